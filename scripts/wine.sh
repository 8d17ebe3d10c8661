# Wine as the Windows scripts use it; sourced, not run.

# Makes WINEPREFIX the prefix in folder $1, set up on first use: Chinese
# fonts for Qt's offscreen platform, and Qt's messages on standard error.
# Wine passes no QT_ variable of the environment on: Qt's platform plug-in,
# if $2 names one, is set in the prefix's registry.
wine_prefix() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEARCH=win64
    # No offers to download Mono or Gecko: nothing here needs them.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    [ -e "$WINEPREFIX/system.reg" ] && return 0
    mkdir -p "$WINEPREFIX/fonts"
    local font
    for font in truetype/arphic/uming.ttc opentype/noto/NotoSansCJK-Regular.ttc \
        opentype/noto/NotoSerifCJK-Regular.ttc truetype/dejavu/DejaVuSans.ttf; do
        [ -e "/usr/share/fonts/$font" ] && ln -sf "/usr/share/fonts/$font" "$WINEPREFIX/fonts/"
    done
    # A set-up that fails is tried once more; what it said is shown when
    # the second fails too.
    local log=$WINEPREFIX/wineboot.log
    wineboot -i >"$log" 2>&1 || { wineserver -k 2>/dev/null || true; wineboot -i >>"$log" 2>&1; } ||
        { echo "wineboot failed in $WINEPREFIX:" >&2; tail -n 20 "$log" >&2; return 1; }
    wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null
    wine reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d "Z:${WINEPREFIX//\//\\}\\fonts" /f >/dev/null
    if [ -n "${2:-}" ]; then
        wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d "$2" /f >/dev/null
    fi
    wineserver -w
}

# The folders of MinGW's own runtime DLLs, as a Windows PATH.
wine_runtime_path() {
    local dll folders=()
    for dll in libstdc++-6.dll libwinpthread-1.dll; do
        folders+=("Z:$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)")")
    done
    (IFS=';'; echo "${folders[*]}")
}
