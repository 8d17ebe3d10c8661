#!/usr/bin/env bash
# libqrencode (LGPL-2.1-or-later), which draws the 名片二维码, for Windows:
# Debian's source cross-built with MinGW-w64 into the kit's deps-mingw
# given as $1, the library alone (no tool, no PNG). A DLL rather than a
# static library, so that it can be replaced as the LGPL allows: it lands
# in bin/, where the install rules find the DLLs the program loads.
# Nothing is done when that version is there already.
set -euo pipefail
prefix=$(cd "${1:?usage: qrencode.sh DEPS_MINGW_PREFIX}" && pwd)
version=4.1.1
if grep -qx "Version: $version" "$prefix/lib/pkgconfig/libqrencode.pc" 2>/dev/null &&
    [ -e "$prefix/bin/libqrencode.dll" ]; then
    exit 0
fi
cd "$(dirname "$0")/../.."
source scripts/debian-source.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
debian_source main/q/qrencode "qrencode_$version.orig.tar.bz2" \
    e455d9732f8041cf5b9c388e345a641fd15707860f928e94507b1961256a6923 "$work/src"
(
    cd "$work/src"
    ./configure -q --host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix CFLAGS=-O2 \
        --prefix="$prefix" --without-tools --enable-shared --disable-static
    make -s -j "$(nproc)" LIBTOOLFLAGS=--silent
    make -s install LIBTOOLFLAGS=--silent >/dev/null
)
# The kit moves: its pkg-config files find the prefix from where they are,
# and libtool's archive, which names this folder, goes.
sed -i 's|^prefix=.*|prefix=${pcfiledir}/../..|' "$prefix/lib/pkgconfig/libqrencode.pc"
rm -f "$prefix/lib/libqrencode.la"
install -Dm644 "$work/src/COPYING" "$prefix/share/licenses/qrencode/COPYING"
echo "libqrencode $version installed in $prefix"
