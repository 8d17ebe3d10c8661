#!/usr/bin/env bash
# Cross-builds the Windows programs (yanshubu.exe, yanshubu-db.exe and the
# Access reader) with MinGW-w64 into build-win/bin.
# YSB_WIN_ROOT: the toolchain folder holding qt6-mingw/, deps-mingw/ and
# mingw-toolchain.cmake; by default the archives of ../shared/win are
# unpacked into build-win/sdk (their build.sh rebuilds them from source).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh g++-mingw-w64-x86-64-posix ninja-build zstd qt6-base-dev-tools
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
cmake -G Ninja -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/mingw-toolchain.cmake" \
    -DYSB_WIN_ROOT="$root" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" -j "$(nproc)" --target yanshubu yanshubu-db yanshubu-access-reader
