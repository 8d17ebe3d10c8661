# debian_source POOL_DIR FILE SHA256 DEST: a Debian source archive from the
# archive's pool (e.g. main/q/qrencode), checked against the hash pinned by
# the caller, unpacked into DEST. Downloads are kept in YSB_SOURCES, by
# default build-win/sources of the project.
debian_source() {
    local pool=$1 file=$2 sha=$3 dest=$4
    local cache=${YSB_SOURCES:-$(dirname "${BASH_SOURCE[0]}")/../build-win/sources}
    mkdir -p "$cache" "$dest"
    if ! echo "$sha  $cache/$file" | sha256sum -c --status 2>/dev/null; then
        curl -fsSL --retry 3 -o "$cache/$file.part" \
            "http://deb.debian.org/debian/pool/$pool/$file"
        echo "$sha  $cache/$file.part" | sha256sum -c --status || {
            echo "$file: not the pinned source (sha256 differs)" >&2
            rm -f "$cache/$file.part"
            return 1
        }
        mv "$cache/$file.part" "$cache/$file"
    fi
    tar -xf "$cache/$file" -C "$dest" --strip-components=1
}
