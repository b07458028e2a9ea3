#!/bin/sh
# Starts custdesk. The program keeps Config.ini and its database beside the executable; when
# the installed folder is not writable (a system-wide install), each user gets a program
# folder of their own, made from the installed one at the first start.
set -e
installed="$(cd "$(dirname "$(readlink -f "$0")")/../lib/custdesk" && pwd)"
if [ -w "$installed" ] && [ -w "$installed/DataBase/Custom.db" ]; then
    exec "$installed/custdesk" "$@"
fi
own="${XDG_DATA_HOME:-$HOME/.local/share}/custdesk"
mkdir -p "$own/DataBase"
# The user's database and settings are never replaced; the program files follow updates.
[ -e "$own/DataBase/Custom.db" ] || cp "$installed/DataBase/Custom.db" "$own/DataBase/"
for f in custdesk help.html; do
    cmp -s "$installed/$f" "$own/$f" || cp "$installed/$f" "$own/$f"
done
exec "$own/custdesk" "$@"
