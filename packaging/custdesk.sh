#!/bin/sh
# Starts custdesk, or custdesk-admin when called by that name. The programs keep Config.ini and
# the database beside the executable; a system-wide install (under /usr, or not writable) is
# never written to, so each user gets a program folder of their own, made from the installed
# one at the first start.
set -e
case "$(basename "$0")" in
custdesk-admin) name=custdesk-admin ;;
*) name=custdesk ;;
esac
installed="$(cd "$(dirname "$(readlink -f "$0")")/../lib/custdesk" && pwd)"
if [ "$#" -eq 1 ] && [ "$1" = --version ]; then
    exec "$installed/$name" --version
fi
case "$installed" in
/usr/*) ;;
*)
    if [ -w "$installed" ] && [ -w "$installed/DataBase/Custom.db" ]; then
        exec "$installed/$name" "$@"
    fi
    ;;
esac

# Copies beside the target, then renames: a killed start leaves no half file, and a copy of
# the program still running keeps its old executable.
replace() {
    cp "$1" "$2.new.$$"
    mv -f "$2.new.$$" "$2"
}
# The same, but a file already there stays (ln never overwrites), even when two starts race.
place_once() {
    cp "$1" "$2.new.$$"
    ln "$2.new.$$" "$2" 2>/dev/null || true
    rm -f "$2.new.$$"
}

own="${XDG_DATA_HOME:-$HOME/.local/share}/custdesk"
mkdir -p "$own/DataBase"
# The user's database and settings are never replaced; the program files follow updates.
[ -e "$own/DataBase/Custom.db" ] || place_once "$installed/DataBase/Custom.db" "$own/DataBase/Custom.db"
for f in custdesk custdesk-admin help.html; do
    cmp -s "$installed/$f" "$own/$f" || replace "$installed/$f" "$own/$f"
done
exec "$own/$name" "$@"
