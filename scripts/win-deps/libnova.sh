#!/usr/bin/env bash
# libnova (LGPL-2.0-or-later), the sun's place behind the calendar's solar
# terms, for Windows: Debian's source cross-built with the kit's toolchain
# into the kit's deps-mingw given as $1, the library alone, as a DLL in
# bin/ (replaceable, as the LGPL asks, and found by the install rules).
# Its CMake build was written for MSVC: the file autotools would make is
# given the one answer MinGW needs (it has round()), and 32-bit time_t,
# which 64-bit MinGW refuses, is not asked for. Nothing is done when that
# version is there already.
set -euo pipefail
prefix=$(cd "${1:?usage: libnova.sh DEPS_MINGW_PREFIX}" && pwd)
version=0.16
licence=$prefix/share/licenses/libnova
if [ "$(cat "$licence/VERSION" 2>/dev/null)" = "$version" ] && [ -e "$prefix/bin/liblibnova.dll" ]; then
    exit 0
fi
cd "$(dirname "$0")/../.."
source scripts/debian-source.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
debian_source main/libn/libnova "libnova_$version.orig.tar.xz" \
    5dea5b29cba777ab8de4fd30cdfdbc1728fe1b3c573902270c1106bad55439a2 "$work/src"
sed -i '/_USE_32BIT_TIME_T/d' "$work/src/src/julian_day.c"
echo '#define HAVE_ROUND 1' >"$work/src/src/config.h"
cmake -G Ninja -S "$work/src" -B "$work/build" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/../mingw-toolchain.cmake" -DYSB_WIN_ROOT="$prefix/.." \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" >/dev/null
cmake --build "$work/build" --target libnova >/dev/null
cmake --install "$work/build/src" >/dev/null
install -Dm644 "$work/src/COPYING" "$licence/COPYING"
echo "$version" >"$licence/VERSION"
echo "libnova $version installed in $prefix"
