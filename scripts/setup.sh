#!/usr/bin/env bash
# Installs whatever Debian packages the build, the tests and the program
# need and are not installed yet, and any further packages named as arguments.
set -euo pipefail

packages=(
    cmake make g++          # build
    qt6-base-dev qt6-svg-dev libgl-dev   # Qt 6 Widgets, PrintSupport, Test, Svg
    qt6-translations-l10n   # Qt's own dialogs and buttons in Chinese
    libsqlite3-dev          # the database engine
    sqlite3                 # its shell, whose CSV import the import benchmark is measured against
    mdbtools-dev pkg-config # libmdb reads the old program's Access files
    libx11-dev              # the lock keys' state from the X server
    fonts-arphic-uming      # the stand-in for 宋体 (AR PL UMing, drawn to its measures)
    fonts-noto-cjk          # stand-ins for 黑体 (Noto Sans CJK), and for 宋体 without UMing
    clang-format            # the format check among the tests
    poppler-utils           # pdftotext and pdfinfo read back the exported reports in the tests
    xvfb xauth              # a virtual X server for the keyboard test (xvfb-run)
    unicode-data bzip2      # the Han characters' Mandarin readings, for the pinyin table
    libicu-dev              # ICU's name transform, for the table of surnames' readings
    libnova-dev             # the sun's place, for the calendar's solar terms
    qtkeychain-qt6-dev      # the sync's password in the system's secret store
    desktop-file-utils appstream # the installed menu entry and description are checked
    dpkg-dev                # dpkg-shlibdeps: the .deb's Depends on the libraries (make package)
    clang libclang-rt-14-dev # make fuzz: libFuzzer and the sanitizers' runtimes for clang
    python3-radicale        # a CardDAV server of their own for the sync tests
    libqrencode-dev         # the contacts' QR codes (名片二维码)
    zbar-tools              # zbarimg reads those codes back in the tests
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} > 0)); then
    echo "Installing: ${missing[*]}"
    sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
