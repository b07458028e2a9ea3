#!/usr/bin/env bash
# Builds custdesk with its tests and runs the whole suite, the data tests also against a
# PostgreSQL server of its own that is stopped afterwards, whatever the outcome.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh -DCUSTDESK_TESTS=ON
root=$PWD
pgdir=$(mktemp -d /tmp/custdesk-pg.XXXXXX)
trap '"$root"/scripts/pg-server.sh stop "$pgdir"' EXIT
CUSTDESK_TEST_PG=$("$root"/scripts/pg-server.sh start "$pgdir")
export CUSTDESK_TEST_PG
cd build
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" ctest --output-on-failure -j 2
