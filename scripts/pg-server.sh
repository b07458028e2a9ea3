#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests: "start DIR" prints the URI to reach it,
# "stop DIR" stops it and removes DIR. It listens only on a Unix socket inside DIR.
set -euo pipefail
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[ -n "$bin" ] || { echo "PostgreSQL server programs not found" >&2; exit 1; }
action=$1 dir=$2
# The server refuses to run as root: it runs as an unprivileged user then.
as_owner() {
    if [ "$(id -u)" -eq 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi
}
case "$action" in
start)
    mkdir -p "$dir"
    [ "$(id -u)" -eq 0 ] && chown nobody "$dir"
    as_owner "$bin/initdb" -D "$dir/data" -A trust -U custdesk -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; exit 1; }
    as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c fsync=off -c max_connections=200" \
        start >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    echo "postgresql:///postgres?host=$dir&user=custdesk"
    ;;
stop)
    [ -d "$dir/data" ] && as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
esac
