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
    wine wine64 fonts-wine nsis sqlite3 xvfb xauth x11-utils xdotool imagemagick
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

# Not yet passing under Wine, each for a reason of its own (the rest must):
#   tst_platform     Qt's Chinese texts are not in the kit's Qt (the package has
#                    them); the desktop tests name Linux's programs and devices
#   tst_contacts     the clock follows Wine's English time format; a book is
#                    deleted while open, which Windows refuses
#   tst_interchange  Wine has no GB18030 (code page 54936): GBK files are read
#                    as code page 936, which refuses other bytes
#   tst_reports      the PDFs are read back with Linux's pdftotext
#   tst_app          two tests spell paths the Unix way
(cd "$build" && ctest --output-on-failure -j "$(nproc)" \
    -E '^(tst_platform|tst_contacts|tst_interchange|tst_reports|tst_app)$')
bash tests/windows/delivery.sh "$build" "$name" "${YSB_LINUX_DB:-build-test/bin/yanshubu-db}"
