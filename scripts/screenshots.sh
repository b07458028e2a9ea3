#!/usr/bin/env bash
# Takes the README's pictures in docs/ from a demo program folder (made by scripts/demo.sh),
# on a virtual 1280x800 screen with a small window manager:
#   CUSTDESK_DEMO_NO_START=1 scripts/demo.sh && scripts/screenshots.sh build/demo
# Installs what it needs besides the build's packages: openbox, xdotool, x11-utils, imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -n "${CUSTDESK_ON_XVFB:-}" ] || scripts/deps.sh openbox xdotool x11-utils imagemagick
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

# The active window with the frame the window manager drew round it, cut from the screen;
# "full" takes the whole screen instead.
shot() {
    sleep "${2:-1.5}"
    local geometry=1280x800+0+0
    if [ "${3:-}" != full ]; then
        local id x y w h left right top bottom
        id=$(xdotool getactivewindow)
        read -r x y w h < <(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4}
            /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2}
            END {print x, y, w, h}')
        read -r left right top bottom < <(xprop -id "$id" _NET_FRAME_EXTENTS |
            sed 's/.*= //; s/,//g')
        geometry=$((w + left + right))x$((h + top + bottom))+$((x - left))+$((y - top))
    fi
    import -window root -crop "$geometry" +repage "$out/$1.png"
    echo "$1.png: $geometry"
}

# The customer list's context menu, and its n-th item (新增, 编辑, 删除, four of activities and
# history, three of owners, 打印, 刷新, 设置列显示, 保存列属性, 字段设置); "mark" clicks a row first.
menu_item() {
    xdotool mousemove 400 300
    [ "${2:-}" != mark ] || xdotool click 1 sleep 0.3
    xdotool click 3 sleep 0.6
    for _ in $(seq "$1"); do xdotool key Down; done
    xdotool key Return
}

shot login 3
xdotool key Return # Admin, empty password
shot reminder 3    # opens by itself: awoke=0
xdotool key alt+q
shot customers 1.5 full
xdotool key ctrl+e
shot editor
xdotool key alt+q
xdotool mousemove 400 300 click 1 sleep 0.3 # a customer with activities
xdotool key ctrl+r
shot activities
xdotool key alt+q
menu_item 13 mark # 设置列显示
shot chooser
xdotool key Escape
menu_item 15 # 字段设置: the demo's own fields
shot fields
xdotool key alt+q sleep 1 # the list takes the fields again
xdotool key ctrl+e       # the marked customer, its own fields filled
shot editor-fields
xdotool key alt+q
menu_item 11 # 打印
shot preview 4 full
xdotool key Escape
# A pinyin search: the 拼音 box beside the keyword box on, then the initials of 北京华 typed.
xdotool mousemove 362 95 click 1 sleep 0.5
xdotool mousemove 276 95 click 1 sleep 0.3
xdotool type --delay 200 bjh
shot pinyin 2 full
