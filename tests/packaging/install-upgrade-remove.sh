#!/usr/bin/env bash
# Installs the package built from this tree, lets a fresh user start the program and add
# customers, upgrades to a higher version over that user's database, then removes and purges
# the package: every customer, and the database itself, must come through.
set -euo pipefail
src=$1 build=$2
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: installing a package needs root"
    exit 77
fi
exec 9>/tmp/custdesk-package-test.lock
flock 9 # one run at a time installs and removes
if dpkg-query -W -f='${Status}' custdesk 2>/dev/null | grep -q "ok installed"; then
    echo "skipped: custdesk is installed on this machine, and the test would replace it"
    exit 77
fi

running=() # the programs started
work=$(mktemp -d /tmp/custdesk-package.XXXXXX)
chmod 755 "$work"
cleanup() {
    [ ${#running[@]} -eq 0 ] || kill "${running[@]}" 2>/dev/null || true
    dpkg-query -W custdesk >/dev/null 2>&1 && dpkg --purge custdesk >/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
apt() { DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=300 "$@"; }

v1=$(BUILD_DIR="$build" "$src"/scripts/package.sh | tail -1)
version=$(dpkg-deb -f "$v1" Version)
# The server stays on its own machine; workstations need only the client library.
dpkg-deb -f "$v1" Depends | grep -Eq '(^|[ ,|])postgresql' && fail "the package depends on the server"

# The higher version: the same package with a bumped version and a changed program file, so
# the test sees the user's program files follow while the database stays.
dpkg-deb -R "$v1" "$work/v2"
sed -i "s/^Version: .*/Version: $version+1/" "$work/v2/DEBIAN/control"
echo "$version+1" >>"$work/v2/usr/lib/custdesk/custdesk" # the loader ignores what follows
(cd "$work/v2" && find usr -type f -exec md5sum {} + >DEBIAN/md5sums)
v2="$work/custdesk_$version+1.deb"
dpkg-deb --root-owner-group -Znone -b "$work/v2" "$v2" >/dev/null

home="$work/home"
mkdir "$home"
chown nobody:nogroup "$home"
user=(setpriv --reuid=nobody --regid=nogroup --clear-groups
      env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen)
own="$home/.local/share/custdesk"
db="$own/DataBase/Custom.db"


# Starts the installed program as the user and waits until it holds the database open; it
# runs on until the end.
start_and_open_database() {
    "${user[@]}" custdesk >>"$work/program.log" 2>&1 &
    local pid=$! i
    running+=($pid)
    for i in $(seq 300); do
        ls -l /proc/$pid/fd 2>/dev/null | grep -q " -> $db\$" && return 0
        kill -0 $pid 2>/dev/null || break
        sleep 0.2
    done
    cat "$work/program.log" >&2
    fail "the installed program did not open $db"
}
export_customers() { # FILE
    "${user[@]}" custdesk-admin export --format csv "$1" >/dev/null || fail "export to $1"
}

apt install "$v1" >/dev/null
[ "$(custdesk --version)" = "custdesk $version" ] || fail "custdesk --version: $(custdesk --version)"
[ "$(custdesk-admin --version)" = "custdesk-admin $version" ] || fail "custdesk-admin --version"
start_and_open_database

# Customers of random names and numbers, added as the user would, from a spreadsheet file.
{
    echo "客户名称,联系电话"
    for i in $(seq 40); do echo "客户$RANDOM-$i,0$RANDOM$i"; done
} >"$home/new.csv"
"${user[@]}" custdesk-admin import "$home/new.csv" >/dev/null || fail "import"
export_customers "$home/before.csv"
while IFS=, read -r name tel; do
    grep -q "^$name,$tel," "$home/before.csv" || fail "imported customer missing: $name"
done < <(tail -n +2 "$home/new.csv")
inode=$(stat -c %i "$db")

# Upgraded while the user's program runs, then started once more beside it.
apt install "$v2" >/dev/null
[ "$(dpkg-query -W -f='${Version}' custdesk)" = "$version+1" ] || fail "the upgrade did not install"
start_and_open_database
[ "$(stat -c %i "$db")" = "$inode" ] || fail "the upgrade replaced the user's database"
cmp -s /usr/lib/custdesk/custdesk "$own/custdesk" || fail "the user's program stayed the old one"
kill "${running[@]}"
wait "${running[@]}" || true
export_customers "$home/after.csv"
cmp "$home/before.csv" "$home/after.csv" || fail "the customers changed across the upgrade"

for action in remove purge; do
    said=$(apt "$action" custdesk 2>&1)
    grep -qF "~/.local/share/custdesk/" <<<"$said" || fail "$action did not say where the databases stay"
    [ "$(sqlite3 "$db" 'PRAGMA integrity_check')" = ok ] || fail "$action: the database is gone or damaged"
done
[ ! -e /usr/lib/custdesk ] || fail "purge left /usr/lib/custdesk"
echo "installed $version, upgraded to $version+1, removed: $(($(wc -l <"$home/after.csv") - 1)) customers kept"
