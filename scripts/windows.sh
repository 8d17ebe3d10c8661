#!/usr/bin/env bash
# The Windows program, built here with MinGW-w64 and tried under Wine.
#
#   scripts/windows.sh build    cross-build everything into build-win/bin
#   scripts/windows.sh package  build, then the portable zip and the installer
#   scripts/windows.sh test     package, run the tests under Wine, then try the
#                               zip and the installer on Wine prefixes of their own
#                               beside the Linux build's yanshubu-db (YSB_LINUX_DB,
#                               by default the one of make test)
#
# YSB_WIN_ROOT: the toolchain folder holding qt6-mingw/, deps-mingw/ and
# mingw-toolchain.cmake; by default the archives of ../shared/win are
# unpacked into build-win/sdk (their build.sh rebuilds them from source).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine.sh

step=${1:-package}
bash scripts/setup.sh g++-mingw-w64-x86-64-posix ninja-build zstd qt6-base-dev-tools \
    qt6-translations-l10n poppler-utils \
    wine wine64 fonts-wine nsis sqlite3 curl xvfb xauth x11-utils xdotool imagemagick
build=build-win
kit=../shared/win
root=${YSB_WIN_ROOT:-$build/sdk}
if [ ! -e "$root/mingw-toolchain.cmake" ]; then
    mkdir -p "$root"
    tar -I zstd -xf "$kit/qt6-mingw-6.4.2.tar.zst" -C "$root"
    tar -I zstd -xf "$kit/deps-mingw.tar.zst" -C "$root"
    cp "$kit/mingw-toolchain.cmake" "$root/"
fi
root=$(cd "$root" && pwd)
# The kit's Qt has no translations, which the tests in the build folder
# need; Debian's are those of the same Qt 6.4.2.
mkdir -p "$root/qt6-mingw/translations"
cp -u /usr/share/qt6/translations/qtbase_zh_CN.qm "$root/qt6-mingw/translations/"

# Libraries the kit lacks: each script in scripts/win-deps cross-builds one
# from its Debian source into the kit's deps-mingw, once.
# (scripts/debian-source.sh fetches and checks the sources.)
for dep in scripts/win-deps/*.sh; do
    [ -e "$dep" ] && bash "$dep" "$root/deps-mingw"
done

# The build runs its icon tool under Wine, and the tests run there: a prefix
# of the build's own that finds the kit's DLLs on its path.
wine_prefix "$PWD/$build/wine" offscreen
export WINEPATH="Z:$root/qt6-mingw/bin;Z:$root/deps-mingw/bin;$(wine_runtime_path)"

cmake -G Ninja -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/mingw-toolchain.cmake" \
    -DYSB_WIN_ROOT="$root" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$(nproc)"
[ "$step" = build ] && exit 0

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=yanshubu-$version-win64
rm -rf "${build:?}/$name" "$build/$name.zip"
cmake --install "$build" --prefix "$build/$name" --strip >/dev/null
(cd "$build" && cmake -E tar cf "$name.zip" --format=zip "$name")
# The uninstaller removes what was installed, file by file, and no more.
(
    cd "$build/$name"
    find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
    find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|'
) >"$build/installed-files.nsh"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DPROGRAM="$PWD/$build/$name" \
    -DFILES="$PWD/$build/installed-files.nsh" -DICON="$PWD/$build/resources/yanshubu.ico" \
    -DOUTFILE="$PWD/$build/yanshubu-$version-setup.exe" resources/windows/installer.nsi
ls -l "$build/$name.zip" "$build/yanshubu-$version-setup.exe"
[ "$step" = package ] && exit 0

# Every test runs under Wine but these, each for its reason:
#   tst_keyboard_x11     X11's keyboard; Windows' lock keys are tested in tst_platform
#   the source, table and desktop-file checks: the Linux run does them for both
#   in tst_platform, searching the desktops' programs and the Linux CD device:
#                        Windows names one program each and has MCI do the rest
#   in tst_interchange, GB18030 beyond GBK: Wine lacks code page 54936
#   in tst_legacy, a stuck named pipe; in tst_splash, Linux's folders and /proc
# A test that hangs fails on its own, with its output, after ten minutes.
# The Wine session's own processes (services, the desktop) outlive the test
# that starts them and keep its output open, so ctest waits for the session
# to end: they start here instead, on no terminal, and last until the tests end.
wineserver -p
trap 'wineserver -k 2>/dev/null || true' EXIT
wine wineboot </dev/null >/dev/null 2>&1
(cd "$build" && ctest --output-on-failure --timeout 600 -j "$(nproc)")
wineserver -k
timeout 60 wineserver -w
trap - EXIT
bash tests/windows/delivery.sh "$build" "$name" "${YSB_LINUX_DB:-build-test/bin/yanshubu-db}"
