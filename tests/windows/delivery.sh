#!/usr/bin/env bash
# The Windows package as a user gets it, each on a Wine prefix that has
# nothing else (no kit, no path to MinGW):
# - the portable zip: yanshubu-db.exe init --demo, import, export and
#   import-access make the same books and files as the Linux build, a
#   Chinese folder name included; yanshubu.exe reaches its first-start
#   window (screenshot first-start.png); with the demo book beside it, the
#   splash, the login, the card, the list, the calendar, a print preview
#   and the about box show (screenshots), and a log-off ends it;
# - the installer, run silently: the program and its Start-menu entry are
#   there; the uninstaller removes the program and leaves the books.
#
#   tests/windows/delivery.sh BUILD NAME LINUX_YANSHUBU_DB [SHOTS]
set -eEuo pipefail
# A step that fails without saying so still says where.
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND (status $?)" >&2' ERR
cd "$(dirname "$0")/../.."
source scripts/wine.sh
build=$(realpath "$1") name=$2 linux_db=$(realpath "$3")
shots=$(realpath -m "${4:-$build/screenshots}")
mkdir -p "$shots"
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

wine_prefix "$work/prefix"
unset WINEPATH
drive=$WINEPREFIX/drive_c
(cd "$drive" && cmake -E tar xf "$build/$name.zip")
program=$drive/$name

# The same work on both sides; Windows' folders under C:\, Linux' beside.
samples=$PWD/tests/data
mkdir -p "$drive/旧 资料" "$work/linux/旧 资料"
for side in "$drive" "$work/linux"; do
    cp "$samples/legacy/legacy-demo.mdb" "$side/旧 资料/旧版.mdb"
    cp "$samples/outlook-21-gbk.vcf" "$samples/excel-gbk.csv" "$side/"
done
tool() { # side, arguments...
    local side=$1
    shift
    if [ "$side" = windows ]; then
        (cd "$drive" && wine "C:\\$name\\yanshubu-db.exe" "$@") >/dev/null
    else
        (cd "$work/linux" && "$linux_db" "$@") >/dev/null
    fi
}
for side in windows linux; do
    root=$drive
    [ "$side" = linux ] && root=$work/linux
    mkdir -p "$root/book" "$root/old"
    tool $side init --demo book || fail "$side: init --demo"
    tool $side import outlook-21-gbk.vcf --folder book || fail "$side: import vCard"
    tool $side import excel-gbk.csv --folder book || fail "$side: import CSV"
    tool $side export out.csv --folder book || fail "$side: export CSV"
    tool $side export out.vcf --format vcard21 --encoding gbk --folder book ||
        fail "$side: export vCard 2.1"
    tool $side import-access "旧 资料/旧版.mdb" --folder old || fail "$side: import-access"
done
# Table by table; a contact's UID and time of change are its own each run.
columns="Id, GR_XM, GR_XB, GR_CS, GR_BB, GR_ICQ, GR_QQ, GR_MSN, GR_ML, GR_DH, GR_DHW, GR_YDH,
    GR_CZ, GR_YB, GR_JZ, GR_GB, GR_DW, GR_DZ, GR_ZW, GR_BG, GR_WB, GR_BZ"
for book in book old; do
    for query in "SELECT $columns FROM yanshu ORDER BY Id, GR_XM" "SELECT * FROM mab ORDER BY YHM"; do
        [ "$(sqlite3 "$drive/$book/MY.mdb" "$query")" = "$(sqlite3 "$work/linux/$book/MY.mdb" "$query")" ] ||
            fail "$book: differs from Linux: $query"
    done
done
[ "$(sqlite3 "$drive/old/MY.mdb" "SELECT count(*) FROM yanshu")" -gt 0 ] || fail "old: no contacts"
# The files byte for byte, but for the UIDs and times made in each run.
own() { sed -E 's/[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}/UID/g; s/[0-9]{4}-?[0-9]{2}-?[0-9]{2}T[0-9:.]+Z/REV/g' "$1"; }
for file in out.csv out.vcf; do
    cmp <(own "$drive/$file") <(own "$work/linux/$file") || fail "the exported $file differs from Linux"
done
echo "zip: the tools' books and files are as on Linux"

# The program itself, on a screen: no book beside it, none in the user's
# folder, so it offers to make one.
# The tools' Wine session ends first: its desktop process, started with
# no screen, would take the program's windows and show none.
wineserver -k 2>/dev/null || true
timeout 60 wineserver -w
# A screen of its own: Xvfb picks a free display and names it.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "no Xvfb"
export DISPLAY=:$(head -1 "$work/display")
# Waits up to $2 s (30 by default) for a window of the title; if none
# comes, shows what is on the screen and whether the program still runs.
await() {
    for _ in $(seq $((${2:-30} * 10))); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    import -window root "$shots/missing.png" 2>/dev/null || true
    echo "no window \"$1\"; the screen has (missing.png):" >&2
    for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do
        echo "  \"$(xdotool getwindowname "$id" 2>/dev/null)\"" >&2
    done
    kill -0 "$running" 2>/dev/null && echo "  the program runs" >&2 ||
        echo "  the program has ended" >&2
    return 1
}
start=$(date +%s%N)
wine "$program/yanshubu.exe" >/dev/null 2>&1 &
running=$!
# The first window on a fresh prefix waits for Wine to set up the screen
# and for Qt to read the CJK fonts: more time than the later ones.
await '^新建通讯录$' 90 || fail "no first-start window"
echo "zip: the first-start window after $((($(date +%s%N) - start) / 1000000)) ms"
sleep 0.5
import -window root "$shots/first-start.png"
wineserver -k
wait "$running" || true # the program, ended

# The demo book beside the program: the splash, the login, then the card,
# the list, the calendar and a print preview, each on the screen.
cp "$drive/book/MY.mdb" "$program/MY.mdb"
shot() { # name, after so many seconds
    sleep "$2"
    import -window root "$shots/$1.png"
}
keys() { xdotool key --delay 150 "$@"; }
wine "$program/yanshubu.exe" >/dev/null 2>&1 &
running=$!
await '^雁书簿$' || fail "no splash"
shot splash 0.3
shot login 5 # in the main window, 2.5 s after the splash
keys ctrl+a # over the name shown
xdotool type --delay 50 admin
keys Tab # which selects the password shown
xdotool type --delay 50 123456
keys Return
sleep 3 # the main window
keys alt+v Return && shot card 2
keys alt+v Down Down Return && shot list 2
keys Escape # the list
keys alt+l Return
await '^日历本$' || fail "no calendar"
shot calendar 1
keys alt+o # 确定, back to the main window
sleep 1
keys alt+f Down Right Down Down Return
await '^雁书簿-2003$' || fail "no print preview"
shot print-preview 1
keys alt+F4 # the preview closed, back to the main window
sleep 1
keys alt+h Return && shot about-opening 0.1 # the rectangles, if caught
await '^关于$' || fail "no about box"
shot about 1
# Log-off: the program closes its book and ends by itself.
wine "$build/bin/endsession.exe" || fail "log-off reached no window of the program"
for _ in $(seq 100); do kill -0 "$running" 2>/dev/null || break; sleep 0.1; done
kill -0 "$running" 2>/dev/null && fail "the program did not end at log-off"
wait "$running" || fail "the program ended badly at log-off"
[ "$(sqlite3 "$program/MY.mdb" 'PRAGMA integrity_check')" = ok ] && [ ! -e "$program/MY.mdb-journal" ] ||
    fail "the book was left open at log-off"
echo "zip: the program's windows on the screen; log-off ends it, the book closed"
wineserver -k
kill "$xvfb"
wait "$xvfb" || true
unset DISPLAY # nothing more to see: a dialog could only wait for nobody

# The installer, for this user alone, as a silent install.
timeout 300 wine "$build/${name%-win64}-setup.exe" /S || fail "the installer did not end"
timeout 60 wineserver -w
user=$(wine cmd /c 'echo %USERNAME%' 2>/dev/null | tr -d '\r')
installed=$drive/users/$user/AppData/Local/Programs/yanshubu
menu="$drive/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
[ -e "$installed/yanshubu.exe" ] && [ -e "$installed/platforms/qwindows.dll" ] ||
    fail "the installer put no program in $installed"
[ -e "$menu/雁书簿.lnk" ] || fail "no Start-menu entry 雁书簿"
# A book beside the program and one in the user's folder, as users have them.
appdata=$drive/users/$user/AppData/Roaming/yanshubu
mkdir -p "$appdata" "$installed/backups"
cp "$drive/book/MY.mdb" "$appdata/MY.mdb"
cp "$drive/book/MY.mdb" "$installed/MY.mdb"
cp "$drive/book/MY.mdb" "$installed/backups/MY-2026-01-01-000000.mdb"
timeout 300 wine "$installed/uninstall.exe" /S || fail "the uninstaller did not end"
timeout 60 wineserver -w
[ ! -e "$installed/yanshubu.exe" ] && [ ! -e "$installed/platforms" ] ||
    fail "the uninstaller left the program"
[ ! -e "$menu/雁书簿.lnk" ] || fail "the uninstaller left the Start-menu entry"
[ -s "$installed/MY.mdb" ] && [ -s "$installed/backups/MY-2026-01-01-000000.mdb" ] &&
    [ -s "$appdata/MY.mdb" ] || fail "the uninstaller removed a book"
echo "installer: installs, uninstalls, leaves the books"
