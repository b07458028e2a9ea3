#!/usr/bin/env bash
# Builds bench/ in release mode into build-bench/ and runs every benchmark program there at
# 100k and 1M customers (where a program takes a size), then times the real program from its
# start to its login window under Xvfb. Every figure and ratio goes to stdout.
#   BENCH_MAX_ROWS=100000 scripts/bench.sh    # leave out the 1M sizes
#   BENCH_STARTUP_ONLY=1 scripts/bench.sh     # only the start-up time
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-bench
max_rows=${BENCH_MAX_ROWS:-1000000}
scripts/deps.sh xdotool

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCUSTDESK_BENCH=ON \
    -DCUSTDESK_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 >/dev/null

export QT_QPA_PLATFORM=offscreen
export OPEN_BENCH_MAX_ROWS=$max_rows SEARCH_BENCH_MAX_ROWS=$max_rows SORT_BENCH_MAX_ROWS=$max_rows
export ACTIVITIES_BENCH_MAX_ROWS=$max_rows PINYIN_BENCH_MAX_ROWS=$max_rows
export PG_BENCH_MAX_ROWS=$max_rows
# The PostgreSQL figures come from a throw-away server of the run's own.
pgdir=$(mktemp -d /tmp/custdesk-pg.XXXXXX)
trap '"$root"/scripts/pg-server.sh stop "$pgdir"' EXIT
CUSTDESK_BENCH_PG=$("$root"/scripts/pg-server.sh start "$pgdir")
export CUSTDESK_BENCH_PG
for bench in "$build"/bin/*_bench; do
    [ -n "${BENCH_STARTUP_ONLY:-}" ] && break
    echo "=== $(basename "$bench")"
    "$bench" 2>&1 | grep -v '^\*\*\*WARNING'
done

# Start-up: a copy of the program folder, so the run writes nothing into the build.
echo "=== start-up to the login window"
if ! command -v xdotool >/dev/null || ! command -v Xvfb >/dev/null; then
    echo "skipped: needs Xvfb and xdotool (apt-get install xvfb xdotool)"
    exit 0
fi
program=$(mktemp -d)
trap 'rm -rf "$program"; [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true; "$root"/scripts/pg-server.sh stop "$pgdir"' EXIT
cp -r "$build/program/." "$program/"
# Xvfb picks a free display and names it once it accepts clients.
displayfile=$program/.display
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
xvfb_pid=$!
until [ -s "$displayfile" ]; do sleep 0.05; done
display=:$(cat "$displayfile")
times=()
for run in 1 2 3 4 5; do
    start=$(date +%s%N)
    DISPLAY=$display QT_QPA_PLATFORM=xcb "$program/custdesk" >/dev/null 2>&1 &
    pid=$!
    until DISPLAY=$display xdotool search --onlyvisible --name '^登录$' >/dev/null 2>&1; do
        sleep 0.005
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "the program ended before its login window showed"
            exit 1
        fi
    done
    end=$(date +%s%N)
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    times+=($(((end - start) / 1000000)))
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')
echo "runs (ms): $sorted"
echo "median start-up to the login window: $(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p) ms"
