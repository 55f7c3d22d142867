#!/usr/bin/env bash
# Builds the Debian package into a temporary directory and checks what it holds: the exact
# file list with owners and modes, stripped commands, a desktop entry that names an installed
# command and icon, and the control data with the dependencies read from the binaries.
# Usage: check-deb.sh CPACK CPackConfig.cmake VERSION
# (grep -q reads from variables: in a pipe it may end the writer early, which pipefail
# would take for a failure.)
set -euo pipefail
cpack=$1 config=$2 version=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if ! "$cpack" -G DEB --config "$config" -B "$tmp" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log"
    fail "cpack failed"
fi
shopt -s nullglob
debs=("$tmp"/dorvanta_*.deb)
[ ${#debs[@]} -eq 1 ] || fail "expected one dorvanta_*.deb, got: ${debs[*]:-none}"
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "dorvanta_${version}_${arch}.deb" ] || fail "file name $(basename "$deb")"

# Every file, with its mode and owner; directories only as root-owned 755.
expected=$(sort <<LIST
-rwxr-xr-x root/root ./usr/bin/dorvanta
-rwxr-xr-x root/root ./usr/bin/dorvanta-admin
-rwxr-xr-x root/root ./usr/bin/dorvanta-init
-rwxr-xr-x root/root ./usr/bin/dorvanta-start
-rwxr-xr-x root/root ./usr/bin/mftp
-rw-r--r-- root/root ./usr/share/applications/dorvanta.desktop
-rw-r--r-- root/root ./usr/share/doc/dorvanta/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/dorvanta/copyright
-rw-r--r-- root/root ./usr/share/doc/dorvanta/uputstvo.md
$(for p in backup dnevni knjizenje meni prijava prvo; do
    echo "-rw-r--r-- root/root ./usr/share/doc/dorvanta/slike/$p.png"
  done)
$(for s in 16 24 32 48 64 128 256; do
    echo "-rw-r--r-- root/root ./usr/share/icons/hicolor/${s}x${s}/apps/dorvanta.png"
  done)
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/dorvanta.svg
-rw-r--r-- root/root ./usr/share/man/man1/dorvanta-admin.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/dorvanta-init.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/dorvanta-start.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/dorvanta.1.gz
-rw-r--r-- root/root ./usr/share/man/man1/mftp.1.gz
-rw-r--r-- root/root ./usr/share/metainfo/dorvanta.metainfo.xml
LIST
)
listing=$(dpkg-deb -c "$deb")
actual=$(awk '$1 !~ /^d/ {print $1, $2, $6}' <<<"$listing" | sort)
if [ "$actual" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$actual") || true
    fail "file list differs (< expected, > packaged)"
fi
baddirs=$(awk '$1 ~ /^d/ && ($1 != "drwxr-xr-x" || $2 != "root/root")' <<<"$listing")
[ -z "$baddirs" ] || fail "directories with other modes or owners: $baddirs"

dpkg-deb -x "$deb" "$tmp/root"
for cmd in dorvanta dorvanta-init dorvanta-admin mftp; do
    sections=$(readelf -S "$tmp/root/usr/bin/$cmd")
    if grep -q '\.debug_info' <<<"$sections"; then
        fail "$cmd is not stripped"
    fi
done
desktop="$tmp/root/usr/share/applications/dorvanta.desktop"
exec_cmd=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -x "$tmp/root/usr/bin/$exec_cmd" ] || fail "the desktop entry starts $exec_cmd, not installed"
[ -f "$tmp/root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon $icon"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop entry is not valid"
fi
for page in "$tmp"/root/usr/share/man/man1/*.gz; do
    gzip -t "$page" || fail "broken $page"
done

# Control data.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = dorvanta ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
depends=$(field Depends)
depends_names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for need in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 \
            libqt6printsupport6 libsqlite3-0 libpq5 libxxhash0 libjpeg62-turbo libssl3 qt6-qpa-plugins \
            fonts-liberation ca-certificates; do
    grep -qxF -e "$need" -e "${need}t64" <<<"$depends_names" || fail "Depends lacks $need: $depends"
done
description=$(field Description)
[ "$(head -1 <<<"$description")" = "cash-desk journal of a small shop" ] ||
    fail "Description: $(head -1 <<<"$description")"
[ "$(wc -l <<<"$description")" -gt 3 ] || fail "no long description"
info=$(dpkg-deb --info "$deb")
grep -q ' md5sums' <<<"$info" || fail "no md5sums"
echo "ok: $(basename "$deb"), $(wc -l <<<"$actual") files"
