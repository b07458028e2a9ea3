#!/usr/bin/env bash
# Builds custdesk and starts it on a demonstration program folder, build/demo/, made afresh
# each time: a few hundred generated customers, contact activities of Admin due today and
# tomorrow, and the reminder window at start-up. build/program and its database stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo/DataBase"
cp build/program/custdesk build/program/help.html "$demo/"
build/bin/custdesk_demodata "$demo/DataBase/Custom.db" "${CUSTDESK_DEMO_CUSTOMERS:-300}" Admin
printf '[login]\r\nusername=0\r\n[OtherInfo]\r\nawoke=0\r\nDay=0\r\n' >"$demo/Config.ini"
[ "${CUSTDESK_DEMO_NO_START:-}" ] && exit 0
exec "$demo/custdesk"
