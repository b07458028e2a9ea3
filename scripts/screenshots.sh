#!/usr/bin/env bash
# Takes the README's pictures in docs/ from a demo program folder (made by scripts/demo.sh),
# on a virtual 1280x800 screen with a small window manager:
#   CUSTDESK_DEMO_NO_START=1 scripts/demo.sh && scripts/screenshots.sh build/demo
# Needs xvfb, openbox, xdotool, x11-utils, imagemagick and fonts-wqy-microhei.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${CUSTDESK_ON_XVFB:-}" ]; then
    CUSTDESK_ON_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
program="$(cd "${1:-build/demo}" && pwd)"
out="$(pwd)/docs"
mkdir -p "$out"

openbox >/dev/null 2>&1 &
sleep 1
(cd "$program" && exec ./custdesk) >/dev/null 2>&1 &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT

# The active window with its frame, cut from the screen.
shot() {
    local id parent
    sleep "${2:-1.5}"
    id=$(xdotool getactivewindow)
    while parent=$(xwininfo -tree -id "$id" | awk '/Parent window id/ {print $4}') &&
        ! xwininfo -tree -id "$parent" | grep -q "(the root window)"; do
        id=$parent
    done
    local geometry
    geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h "+" x "+" y}')
    import -window root -crop "$geometry" +repage -colors 200 "$out/$1.png"
    echo "$1.png: $geometry"
}

# The context menu of the customer list, and its n-th item.
menu_item() {
    xdotool mousemove 400 300 click 1 sleep 0.3 click 3 sleep 0.5
    for _ in $(seq "$1"); do xdotool key Down; done
    xdotool key Return
}

shot login 3
xdotool key Return           # Admin, empty password
shot reminder 2.5            # opens by itself: awoke=0
xdotool key alt+q
shot customers 1.5
xdotool key ctrl+e
shot editor
xdotool key alt+q
menu_item 6                  # 设置列显示
shot chooser
xdotool key Escape
menu_item 4                  # 打印
shot preview 2.5
