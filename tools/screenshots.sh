#!/usr/bin/env bash
# Takes a screenshot of each stage of a start on a virtual X display:
# the splash, the login dialog, the contact card after logging in with
# the demo user, the account dialog, the calendar, a reference table, the
# about box, the help and the pop-up menu. The pictures go to the folder given (default: screenshots/).
#
#   tools/screenshots.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-screenshots}")
mkdir -p "$out"

bash scripts/setup.sh xvfb xauth xdotool imagemagick openbox
make --no-print-directory build >/dev/null

# A program folder of its own, with a fresh demo database.
folder=$(mktemp -d)
cp build/bin/yanshubu "$folder/"
build/bin/yanshubu-db init --demo "$folder" >/dev/null

display=:77
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp &
xvfb=$!
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$folder"' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >/dev/null 2>&1 &
sleep 0.5

shoot() { import -window root "$out/$1.png"; echo "$out/$1.png"; }
# Gives the keyboard to the program's window of exactly this title.
activate() {
    local window
    for window in $(xdotool search --onlyvisible --class yanshubu 2>/dev/null); do
        if [ "$(xdotool getwindowname "$window")" = "$1" ]; then
            timeout 5 xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
            return
        fi
    done
}

# As on a Chinese desktop: the calendar shows the Chinese long date.
LANG=zh_CN.UTF-8 "$folder/yanshubu" &
sleep 1.2
shoot 1-splash
sleep 2.5
shoot 2-login
# Log in as the demo user: the name is offered, the password is typed.
activate 雁书簿
xdotool key --clearmodifiers alt+p
xdotool key ctrl+a BackSpace
xdotool type --delay 50 123456
xdotool key Return
sleep 1.5
shoot 3-greeting
xdotool key Return
sleep 0.5
shoot 4-card
# 文件 > 修改用户信息, proven with the demo password.
xdotool key alt+f Return
sleep 0.8
xdotool type --delay 50 123456
sleep 0.3
shoot 5-account
# 放弃 (two tabs on from the password), then 附表 > 我的日历本.
xdotool key Tab Tab space
sleep 0.3
activate 雁书簿
xdotool key alt+l Return
sleep 0.8
shoot 6-calendar
# 确定 by Enter, then 附表 > 全国电话区间号表.
xdotool key Return
sleep 0.3
activate 雁书簿
xdotool key alt+l Down Return
sleep 0.8
shoot 7-area-codes
# Closed by its close box; then 帮助 > 关于..., caught while it explodes
# and once it stands.
xdotool key alt+F4
sleep 0.3
activate 雁书簿
xdotool key alt+h Return
sleep 0.12
shoot 8-about-opening
sleep 0.8
shoot 9-about
# 确定, then F1 on the card: the help opens at the card's page.
xdotool key Return
sleep 0.5
activate 雁书簿
xdotool key F1
sleep 1
shoot 10-help
xdotool key alt+F4
sleep 0.3
# The right button's pop-up menu, on the card's background.
activate 雁书簿
xdotool mousemove 1180 640 click 3
sleep 0.5
shoot 11-pop-up-menu
xdotool key Escape
kill $xvfb
