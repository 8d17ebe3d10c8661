#!/usr/bin/env bash
# The whole program as a new user on a clean Debian 12 meets it: builds the
# .deb (make package), installs it with apt into a fresh bookworm root made
# by debootstrap (so its Depends must pull in everything the program needs),
# then, on a virtual X display as a normal user with an empty home, starts
# it from its menu entry, makes the first book (新建通讯录), logs in, adds a
# contact on the card, quits through 文件 > 退出 and checks with sqlite3 that
# the backup made on the way out holds the contact and the user.
#
#   tools/check-package.sh [OUTPUT]     as root; not run by CI
#
# Takes a few minutes; the first run also makes the root (several more). A
# screenshot of each step, the logs and the summary go to OUTPUT (default
# build/check-package/). The fresh root is kept as a tarball in
# $YANSHUBU_CHECK_ROOT (default /var/tmp/yanshubu-check-root) and unpacked
# anew for every run; delete pristine.tar there to make it again.
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-build/check-package}")
cache=$(realpath -m "${YANSHUBU_CHECK_ROOT:-/var/tmp/yanshubu-check-root}")
root=$cache/root
user=checker          # the Unix account that uses the program
book_user=tester      # the first user of the book, and the login
book_password=pw12
contact=张三
home=/home/$user
data=$home/.local/share/yanshubu

if [ "$(id -u)" -ne 0 ]; then
    echo "tools/check-package.sh: run as root (debootstrap, chroot and mounts need it)" >&2
    exit 2
fi

results=()
timings=()
failed=0
stage=
stage_start=$SECONDS
mounted=()

begin() {
    end_stage
    stage=$1
    stage_start=$SECONDS
    echo "== $stage"
}
end_stage() {
    if [ -n "$stage" ]; then
        timings+=("$(printf '%-24s %5ds' "$stage" $((SECONDS - stage_start)))")
        stage=
    fi
}
pass() {
    results+=("PASS  $1")
    echo "PASS  $1"
}
fail() {
    results+=("FAIL  $1")
    echo "FAIL  $1" >&2
    failed=1
}

# The processes whose root is the check's root, whoever started them there.
root_pids() {
    local link pid
    for link in /proc/[0-9]*/root; do
        pid=${link#/proc/}
        pid=${pid%/root}
        [ "$(readlink "$link" 2>/dev/null)" = "$root" ] && echo "$pid"
    done
    return 0
}
# Mount points at or under a folder, deepest first.
mounts_under() {
    awk -v dir="$1" '$2 == dir || index($2, dir "/") == 1 { print $2 }' /proc/self/mounts | sort -r
}
unmount_under() {
    local point
    for point in $(mounts_under "$1"); do
        umount "$point" 2>/dev/null || umount -l "$point"
    done
}
# Nothing of the root's may outlive the run: its processes end, its mounts go.
cleanup() {
    local pids
    pids=$(root_pids)
    if [ -n "$pids" ]; then
        kill $pids 2>/dev/null || true
        sleep 1
        pids=$(root_pids)
        [ -z "$pids" ] || kill -9 $pids 2>/dev/null || true
    fi
    [ -d "$root" ] && unmount_under "$root"
    return 0
}
summary() {
    local status=$?
    end_stage
    set +e
    cleanup
    if ((status != 0 && failed == 0)); then
        fail "stopped with status $status (see the output above)"
    fi
    {
        echo
        echo "== Times"
        printf '%s\n' "${timings[@]}"
        echo
        echo "== Results"
        printf '%s\n' "${results[@]}"
        echo
        echo "Screenshots and logs: $out"
        ls "$out"/*.png 2>/dev/null | sed 's/^/  /'
        if ((failed)); then echo "FAIL"; else echo "PASS"; fi
    } | tee "$out/summary.txt"
    ((failed == 0)) || exit 1
}

rm -rf "$out"
mkdir -p "$out"
trap summary EXIT

# ---------------------------------------------------------------- package
begin package
make --no-print-directory package >"$out/make-package.log" 2>&1 ||
    { tail -30 "$out/make-package.log" >&2; fail "make package (see make-package.log)"; exit 1; }
deb=$(ls -t build/yanshubu_*.deb | head -1)
pass "make package: $deb ($(du -h "$deb" | cut -f1))"
dpkg-deb -I "$deb" >"$out/deb-info.txt"
dpkg-deb -c "$deb" >"$out/deb-contents.txt"
grep -E '^ (Depends|Recommends):' "$out/deb-info.txt" || true

# ---------------------------------------------------------------- root
begin root
bash scripts/setup.sh debootstrap >/dev/null
mkdir -p "$cache"
unmount_under "$cache"
if [ ! -s "$cache/pristine.tar" ]; then
    # The mirror the host itself uses for bookworm.
    mirror=$(awk '/^$/ { uri = "" } /^URIs:/ { uri = $2 }
        /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == "bookworm" && uri != "") { print uri; exit } }' \
        /etc/apt/sources.list.d/debian.sources)
    [ -n "$mirror" ] || { fail "no bookworm mirror in /etc/apt/sources.list.d/debian.sources"; exit 1; }
    fresh=$cache/fresh
    rm -rf --one-file-system "$fresh"
    echo "debootstrap from $mirror (once; kept in $cache/pristine.tar)"
    debootstrap --variant=minbase bookworm "$fresh" "$mirror" >"$out/debootstrap.log" 2>&1 ||
        { tail -20 "$out/debootstrap.log" >&2; unmount_under "$fresh"; fail "debootstrap"; exit 1; }
    unmount_under "$fresh"
    # The host's sources, updates and security too: the package's Depends
    # carry the versions of the host's libraries.
    rm -f "$fresh/etc/apt/sources.list"
    cp /etc/apt/sources.list.d/debian.sources "$fresh/etc/apt/sources.list.d/"
    # Nothing installed there starts a service.
    printf '#!/bin/sh\nexit 101\n' >"$fresh/usr/sbin/policy-rc.d"
    chmod 755 "$fresh/usr/sbin/policy-rc.d"
    tar --numeric-owner -cpf "$cache/pristine.tar.part" -C "$fresh" .
    mv "$cache/pristine.tar.part" "$cache/pristine.tar"
    rm -rf --one-file-system "$fresh"
fi
# Every run from the same clean root.
rm -rf --one-file-system "$root"
mkdir -p "$root"
tar --numeric-owner -xpf "$cache/pristine.tar" -C "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount -t proc proc "$root/proc"
mount -t sysfs sysfs "$root/sys"
mount --bind /dev "$root/dev"
mount --bind /dev/pts "$root/dev/pts"
pass "clean bookworm root in $root"

in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

# ---------------------------------------------------------------- install
begin install
install -m 644 "$deb" "$root/tmp/"
in_root apt-get update -q >"$out/apt-install.log" 2>&1
# Without recommends: what Depends names alone must be enough.
if in_root apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" \
    >>"$out/apt-install.log" 2>&1; then
    pass "apt-get install ./$(basename "$deb") pulled in $(grep -c '^Setting up' "$out/apt-install.log") packages"
else
    tail -30 "$out/apt-install.log" >&2
    fail "apt-get install of the package (see apt-install.log)"
    exit 1
fi
missing=$(in_root sh -c 'ldd /usr/bin/yanshubu /usr/bin/yanshubu-db' | grep 'not found' || true)
[ -z "$missing" ] && pass "every library of the programs is installed" ||
    fail "libraries not found: $missing"
for plugin in platforms/libqxcb.so imageformats/libqsvg.so iconengines/libqsvgicon.so; do
    [ -e "$root/usr/lib/x86_64-linux-gnu/qt6/plugins/$plugin" ] && pass "Qt plugin $plugin" ||
        fail "Qt plugin $plugin missing"
done
# The program draws 宋体 and 黑体 with these (fontconfig knows no such names).
for pair in "宋体:AR PL UMing CN" "黑体:Noto Sans CJK SC"; do
    family=${pair#*:}
    font=$(in_root fc-match -f '%{family[0]}' "$family:lang=zh-cn" 2>/dev/null || echo "nothing (no fc-match)")
    [ "$font" = "$family" ] && pass "${pair%%:*} is drawn with $font" ||
        fail "${pair%%:*} would be drawn with $font, not $family"
done
[ -e "$root/usr/share/qt6/translations/qtbase_zh_CN.qm" ] && pass "Qt's Chinese texts" ||
    fail "qtbase_zh_CN.qm missing"

# ---------------------------------------------------------------- test tools
begin "test tools"
# Only now, so that none of them can have brought what the package lacks.
in_root apt-get install -y -q --no-install-recommends xvfb xauth xdotool imagemagick dex \
    openbox sqlite3 procps >"$out/apt-tools.log" 2>&1 ||
    { tail -30 "$out/apt-tools.log" >&2; fail "installing the test tools"; exit 1; }
in_root useradd --no-create-home --shell /bin/bash --user-group "$user"
install -d -m 700 -o "$(in_root id -u "$user")" -g "$(in_root id -g "$user")" \
    "$root$home" "$root/tmp/runtime-$user" "$root/tmp/shots"
uid=$(in_root id -u "$user")
gid=$(in_root id -g "$user")
pass "test tools; user $user with an empty home"

# ---------------------------------------------------------------- desktop
begin start
# The user's session, as a desktop starts a program: nothing but these.
as_user() {
    chroot --userspec="$uid:$gid" --groups="$gid" "$root" /usr/bin/env -i \
        HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/bash PATH=/usr/local/bin:/usr/bin:/bin \
        LANG=C.UTF-8 XDG_RUNTIME_DIR="/tmp/runtime-$user" DISPLAY="${display:-}" "$@"
}
step=0
shoot() {
    step=$((step + 1))
    local name
    name=$(printf '%02d-%s.png' "$step" "$1")
    as_user import -window root "/tmp/shots/$name" && cp "$root/tmp/shots/$name" "$out/$name" &&
        echo "   screenshot $out/$name"
    # What windows there are, for when the picture is not enough.
    windows >"$out/${name%.png}.windows.txt" || true
}
# Every visible window: id, size and title.
windows() {
    local id
    for id in $(as_user xdotool search --onlyvisible --name . 2>/dev/null); do
        printf '%s %s %s\n' "$id" "$(as_user xdotool getwindowgeometry "$id" | awk '/Geometry/ { print $2 }')" \
            "$(as_user xdotool getwindowname "$id")"
    done
}
titles() {
    windows | cut -d' ' -f3- | paste -sd'|'
}
# Prints the first visible window whose title is exactly $1 and that is not
# among $3, waiting up to $2 seconds.
wait_window() {
    local title=$1 seconds=$2 exclude=${3:-} deadline=$((SECONDS + $2)) id
    while ((SECONDS <= deadline)); do
        for id in $(as_user xdotool search --onlyvisible --name "^$title\$" 2>/dev/null); do
            [[ " $exclude " == *" $id "* ]] && continue
            echo "$id"
            return 0
        done
        sleep 0.2
    done
    return 1
}
wait_gone() {
    local deadline=$((SECONDS + $2))
    while ((SECONDS <= deadline)); do
        as_user xdotool getwindowname "$1" >/dev/null 2>&1 || return 0
        as_user xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.2
    done
    return 1
}
# Gives the keyboard to a window.
activate() {
    timeout 5 chroot --userspec="$uid:$gid" "$root" /usr/bin/env -i PATH=/usr/bin:/bin \
        DISPLAY="$display" xdotool windowactivate --sync "$1" >/dev/null 2>&1 || true
    sleep 0.2
}
key() { as_user xdotool key --clearmodifiers --delay 80 "$@"; sleep 0.3; }
type_text() { as_user xdotool type --delay 80 "$1"; sleep 0.3; }
# The program's main window: the largest window titled 雁书簿 (the splash
# and the greeting are titled so too).
main_window() {
    windows | awk '$3 ~ /^雁书簿/ { split($2, s, "x"); if (s[1] * s[2] > best) { best = s[1] * s[2]; id = $1 } }
        END { if (id) print id }'
}
# Answers the message boxes that come up one after another, each with the
# next of the keys given, and says which titles came; waits $1 seconds for
# the first. A box is any visible window but the main window.
answer_boxes() {
    local first=$1 main id name waited
    shift
    main=$(main_window)
    waited=$first
    boxes=()
    for answer in "$@"; do
        id=
        local deadline=$((SECONDS + waited))
        while ((SECONDS <= deadline)) && [ -z "$id" ]; do
            id=$(windows | awk -v main="$main" '$1 != main { print $1; exit }')
            [ -n "$id" ] || sleep 0.2
        done
        [ -n "$id" ] || return 1
        name=$(as_user xdotool getwindowname "$id")
        boxes+=("$name")
        shoot "box-${#boxes[@]}"
        activate "$id"
        key "$answer"
        wait_gone "$id" 5 || return 1
        waited=5
    done
}

Xvfb_log=$out/xvfb.log
rm -f "$root/tmp/display"
as_user Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$root/tmp/display" >"$Xvfb_log" 2>&1 &
for _ in $(seq 50); do [ -s "$root/tmp/display" ] && break; sleep 0.1; done
display=:$(tr -d '\n' <"$root/tmp/display")
[ "$display" != ":" ] || { fail "Xvfb did not start (see xvfb.log)"; exit 1; }
for _ in $(seq 50); do as_user xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
as_user openbox >"$out/openbox.log" 2>&1 &
sleep 1
echo "   display $display"

# From the menu entry, as a desktop's launcher would.
started=$SECONDS
as_user dex /usr/share/applications/org.example.yanshubu.desktop >"$out/program.log" 2>&1 &
if first=$(wait_window 雁书簿 20); then
    pass "started from org.example.yanshubu.desktop; first window after $((SECONDS - started))s"
    shoot first-window
else
    shoot no-window
    fail "no window within 20 s of starting from the menu entry (see program.log)"
    exit 1
fi
program_pid() {
    local pid
    for pid in $(root_pids); do
        [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = yanshubu ] && echo "$pid"
    done
    return 0
}

# ---------------------------------------------------------------- first start
begin "first start"
if ! dialog=$(wait_window 新建通讯录 20 "$first"); then
    shoot first-start
    fail "no 新建通讯录 dialog on the first start; windows: $(titles)"
    exit 1
fi
sleep 0.5
shoot first-start
activate "$dialog"
# Focus starts in 用户名称; Tab to 密码, Tab to 确认密码; Enter is 确定.
type_text "$book_user"
key Tab
type_text "$book_password"
key Tab
type_text "$book_password"
shoot first-start-typed
key Return
if ! wait_gone "$dialog" 10; then
    shoot first-start-stays
    fail "新建通讯录 stays after 确定; windows: $(titles)"
    exit 1
fi
[ -s "$root$data/MY.mdb" ] && pass "新建通讯录 made $data/MY.mdb" ||
    fail "no $data/MY.mdb after 新建通讯录"

# ---------------------------------------------------------------- login
begin login
# The login dialog F_DL sits inside the main window.
for _ in $(seq 50); do main=$(main_window); [ -n "$main" ] && break; sleep 0.2; done
[ -n "$main" ] || { shoot no-main-window; fail "no main window after 新建通讯录; windows: $(titles)"; exit 1; }
sleep 1
activate "$main"
shoot login
# 用户名称(&U) and 密码(&P) reach their boxes; Enter is 确定(&Y).
key alt+u ctrl+a
type_text "$book_user"
key alt+p ctrl+a BackSpace
type_text "$book_password"
shoot login-typed
key Return
# An empty book: 没有可用记录 (提示信息), then 没有记录是否添加新联系人信息? (提示,
# Enter is 是), then the day's greeting (雁书簿).
if answer_boxes 10 Return Return Return; then
    pass "logged in as $book_user; boxes: ${boxes[*]}"
else
    shoot after-login
    fail "login as $book_user/$book_password: boxes ${boxes[*]:-none}; windows: $(titles)"
    exit 1
fi

# ---------------------------------------------------------------- contact
begin contact
activate "$main"
shoot card
# 编辑 > 添加记录 (its first item) whatever mode the card is in; the keyboard
# stays in 姓名, the first box. Then Tab along the card's 21 boxes to 添加.
key alt+e Return
type_text "$contact"
shoot card-typed
key $(printf 'Tab %.0s' $(seq 21)) space
# 添加成功 (提示信息) with Enter, then 是否继续添加记录？ (提示) with Escape, 否.
if answer_boxes 5 Return Escape; then
    pass "added $contact; boxes: ${boxes[*]}"
else
    shoot after-add
    fail "adding $contact: boxes ${boxes[*]:-none}; windows: $(titles)"
fi
shoot card-saved

# ---------------------------------------------------------------- quit
begin quit
activate "$main"
# 文件(&F) > 退出(&X), then 是否真的要退出？ (提示) with Enter, 是.
key alt+f x
if answer_boxes 5 Return; then
    pass "quit asked: ${boxes[*]}"
else
    shoot quit
    fail "quitting: boxes ${boxes[*]:-none}; windows: $(titles)"
fi
for _ in $(seq 75); do [ -n "$(program_pid)" ] || break; sleep 0.2; done
if [ -z "$(program_pid)" ]; then
    pass "the program ended"
else
    shoot still-running
    fail "the program still runs 15 s after 退出; windows: $(titles)"
fi

# ---------------------------------------------------------------- backup
begin backup
backup=$(ls "$root$data/backups/" 2>/dev/null | grep -E '^MY-[0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{6}\.mdb$' | tail -1 || true)
if [ -z "$backup" ]; then
    fail "no backup MY-YYYY-MM-DD-HHMMSS.mdb in $data/backups/ ($(ls "$root$data/backups/" 2>/dev/null | paste -sd' ' || true))"
    exit 1
fi
pass "backup $data/backups/$backup"
query() { as_user sqlite3 -readonly "$data/backups/$backup" "$1"; }
[ "$(query "SELECT count(*) FROM yanshu WHERE GR_XM = '$contact'")" = 1 ] &&
    pass "the backup's yanshu holds $contact" || fail "the backup's yanshu lacks $contact"
[ "$(query "SELECT count(*) FROM mab WHERE YHM = '$book_user'")" = 1 ] &&
    pass "the backup's mab holds $book_user" || fail "the backup's mab lacks $book_user"
