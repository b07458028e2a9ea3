#!/usr/bin/env bash
# Builds bench/ in release mode into build-bench/ and runs every benchmark program there at
# 100k and 1M customers (where a program takes a size), then times the real program under Xvfb:
# from its start to its login window, and (at 1M) from each key typed into the customer search
# box until it shows there. Every figure and ratio goes to stdout, and at the end every bar
# beside its figure with "ok" or "short".
#   BENCH_MAX_ROWS=100000 scripts/bench.sh    # leave out the 1M sizes
#   BENCH_STARTUP_ONLY=1 scripts/bench.sh     # only the real program: start-up, key echo
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
export ACTIVITIES_BENCH_MAX_ROWS=$max_rows PINYIN_BENCH_MAX_ROWS=$max_rows FILTER_BENCH_MAX_ROWS=$max_rows
export PG_BENCH_MAX_ROWS=$max_rows STATISTICS_BENCH_MAX_ROWS=$max_rows
# The program over a delaying relay: 100k customers at most.
export ROUNDTRIP_BENCH_ROWS=$((max_rows < 100000 ? max_rows : 100000))
# The PostgreSQL figures come from a throw-away server of the run's own.
pgdir=$(mktemp -d /tmp/custdesk-pg.XXXXXX)
trap '"$root"/scripts/pg-server.sh stop "$pgdir"' EXIT
CUSTDESK_BENCH_PG=$("$root"/scripts/pg-server.sh start "$pgdir")
export CUSTDESK_BENCH_PG
bars=$(mktemp)
for bench in "$build"/bin/*_bench; do
    [ -n "${BENCH_STARTUP_ONLY:-}" ] && break
    echo "=== $(basename "$bench")"
    "$bench" 2>&1 | grep -v '^\*\*\*WARNING' | tee -a "$bars"
done

# bar <what> <figure> <most> <unit>: one line in the summary's form.
bar() {
    local verdict=short
    awk -v f="$2" -v m="$3" 'BEGIN { exit !(f <= m) }' && verdict=ok
    echo "bar: $1: $2$4 (bar <= $3$4) $verdict" | tee -a "$bars"
}
summary() {
    echo "=== bars"
    grep '^bar: ' "$bars" | sed 's/^bar: //' || true
    rm -f "$bars"
}

# Start-up: a copy of the program folder, so the run writes nothing into the build.
echo "=== start-up to the login window"
if ! command -v xdotool >/dev/null || ! command -v Xvfb >/dev/null; then
    echo "skipped: needs Xvfb and xdotool (apt-get install xvfb xdotool)"
    summary
    exit 0
fi
program=$(mktemp -d)
trap 'rm -rf "$program" "${echoes:-}"; [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true; "$root"/scripts/pg-server.sh stop "$pgdir"' EXIT
cp -r "$build/program/." "$program/"
# A display number of this run's own: other runs on the machine start their Xvfb at the same
# time, and the lowest free number (what -displayfd picks) is the one they race for.
number=$((200 + $$ % 600))
while [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
display=:$number
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null &
xvfb_pid=$!
until DISPLAY=$display xdotool getmouselocation >/dev/null 2>&1; do
    kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start on $display"; exit 1; }
    sleep 0.05
done
# The display itself tells when the login window maps: asking it again and again through
# xdotool cost each ask a process start, which showed in the figure.
times=()
for run in 1 2 3 4 5; do
    shown=$(mktemp)
    DISPLAY=$display "$build/bin/window_wait" '登录' >"$shown" &
    waiter=$!
    until grep -q ready "$shown"; do sleep 0.01; done
    start=$(date +%s%N)
    DISPLAY=$display QT_QPA_PLATFORM=xcb "$program/custdesk" >/dev/null 2>&1 &
    pid=$!
    wait -n "$waiter" "$pid" || true
    if kill -0 "$waiter" 2>/dev/null; then
        kill "$waiter"
        echo "the program ended before its login window showed"
        exit 1
    fi
    end=$(tail -1 "$shown")
    rm -f "$shown"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    times+=($(((end - start) / 1000000)))
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')
echo "runs (ms): $sorted"
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
echo "median start-up to the login window: $median ms"
bar "start-up to the login window, median" "$median" 150 " ms"

# Keystroke to echo: the program logs in over a million customers, ten keys go into the search
# box a typist's pace apart, and each counts from its sending until the box paints it.
if [ "$max_rows" -ge 1000000 ]; then
    echo "=== keystroke to echo at 1000000 customers"
    echoes=$(mktemp -d)
    cp -r "$build/program/." "$echoes/"
    rm -f "$echoes/DataBase/Custom.db"
    "$build/bin/custdesk_demodata" "$echoes/DataBase/Custom.db" 1000000 Admin >/dev/null
    printf '[login]\r\nusername=0\r\n[OtherInfo]\r\nawoke=1\r\nDay=0\r\n' >"$echoes/Config.ini"
    trace=$echoes/echo.log
    DISPLAY=$display QT_QPA_PLATFORM=xcb CUSTDESK_ECHO_TRACE=$trace "$echoes/custdesk" >/dev/null 2>&1 &
    pid=$!
    until DISPLAY=$display xdotool search --onlyvisible --name '^登录$' >/dev/null 2>&1; do sleep 0.05; done
    sleep 0.3
    DISPLAY=$display xdotool key Return # Admin, whose password is empty
    until grep -q '^box' "$trace" 2>/dev/null; do sleep 0.1; done
    # The first start of the day backs the database up behind a modal note: keys wait for it.
    window=""
    for _ in $(seq 1200); do
        window=$(DISPLAY=$display xdotool search --onlyvisible --name '客户管理系统' 2>/dev/null | head -1 || true)
        [ -n "$window" ] && ! DISPLAY=$display xdotool search --onlyvisible --name '^备份数据库$' >/dev/null 2>&1 && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "the main window did not show"; exit 1; }
    sleep 1
    DISPLAY=$display xdotool windowfocus --sync "$window"
    read -r x y < <(grep '^box' "$trace" | tail -1 | cut -d' ' -f2,3)
    DISPLAY=$display xdotool mousemove "$x" "$y" click 1
    sleep 0.5
    sent=()
    for key in a b c d e f g h i j; do
        sent+=($(date +%s%N))
        DISPLAY=$display xdotool key "$key"
        sleep 0.15
    done
    sleep 2
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    worst=0
    lags=()
    for i in "${!sent[@]}"; do
        shown=$(awk -v n=$((i + 1)) '$1 == "echo" && $3 == n { print $2; exit }' "$trace")
        if [ -z "$shown" ]; then
            lags+=("never")
            worst=999999
            continue
        fi
        lag=$(((shown - sent[i]) / 1000000))
        lags+=("$lag")
        [ "$lag" -gt "$worst" ] && worst=$lag
    done
    echo "key to echo (ms): ${lags[*]}"
    bar "keystroke to echo at 1M, slowest of ten" "$worst" 50 " ms"
fi
summary
