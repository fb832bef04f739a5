#!/usr/bin/env bash
# Installs the build into a scratch folder with cmake --install and checks what
# lands there: the program, its font, the menu entry, the icons and the AppStream metainfo,
# with desktop-file-validate and appstreamcli as judges of the last two.
#
#   check-install.sh <build folder> <project version> <application ID> <scratch folder>
set -euo pipefail

build=$1 version=$2 id=$3 root=$4
prefix=$root/usr
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need() {
    command -v "$1" >/dev/null || { echo "FAIL: $1 is missing (Debian package $2)" >&2; exit 1; }
}
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need file file

rm -rf "$root"
cmake --install "$build" --prefix "$prefix" >/dev/null

desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
for path in "$prefix/bin/quorvel" "$desktop" "$metainfo" "$prefix/share/doc/quorvel/copyright"; do
    [ -f "$path" ] || fail "${path#"$root"} is not installed"
done
[ -x "$prefix/bin/quorvel" ] || fail "bin/quorvel is not executable"
# A build with its own copy of IPAPGothic installs it where the program looks, with
# its licence.
if [ -f "$build/src/fonts/ipagp.ttf" ]; then
    for file in ipagp.ttf IPA_Font_License.txt; do
        [ -f "$prefix/share/quorvel/fonts/$file" ] || fail "share/quorvel/fonts/$file is not installed"
    done
fi

# Each icon size the theme holds, a PNG of that size under the ID's name.
for size in 32 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x$size/apps/$id.png
    if [ ! -f "$icon" ]; then
        fail "no ${size}x$size icon"
    elif ! file -b "$icon" | grep -q "^PNG image data, $size x $size,"; then
        fail "the ${size}x$size icon is $(file -b "$icon")"
    fi
done

if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects ${desktop#"$root"}"
    # Found by the menu under the names the other files use.
    grep -qx "Icon=$id" "$desktop" || fail "the desktop entry's icon is not $id"
    grep -qx "Exec=quorvel" "$desktop" || fail "the desktop entry does not start bin/quorvel"
fi
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net --pedantic --explain "$metainfo" \
        || fail "appstreamcli rejects ${metainfo#"$root"}"
    grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's ID is not $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
        || fail "the metainfo does not name the desktop entry $id.desktop"
    grep -q "<release version=\"$version\"" "$metainfo" \
        || fail "the metainfo has no release $version"
fi

[ "$failures" -eq 0 ] || exit 1
echo "cmake --install puts the program, its menu entry, icons and metainfo in place; both validators pass"
