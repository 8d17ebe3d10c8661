#!/usr/bin/env bash
# Takes a screenshot of each stage of a start on a virtual X display:
# the splash, the login dialog, and the contact card after logging in with
# the demo user. The pictures go to the folder given (default: screenshots/).
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

"$folder/yanshubu" &
sleep 1.2
shoot 1-splash
sleep 2.5
shoot 2-login
# Log in as the demo user: the name is offered, the password is typed.
xdotool search --sync --name '雁书簿' windowactivate --sync >/dev/null 2>&1 || true
xdotool key --clearmodifiers alt+p
xdotool key ctrl+a BackSpace
xdotool type --delay 50 123456
xdotool key Return
sleep 1.5
shoot 3-greeting
xdotool key Return
sleep 0.5
shoot 4-card
kill $xvfb
