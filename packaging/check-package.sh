#!/usr/bin/env bash
# Makes the Debian package with cpack, unpacks it into a scratch root with
# dpkg -x and checks it as a user of it would meet it: its control fields, its
# files, and the program in it starting and showing its window.
#
#   check-package.sh <build folder> <project version> <application ID> <scratch folder>
#
# "Shows its window" is looked for twice. Under the offscreen platform, which
# has no screen to look at, the program must start and still be running after
# a while (a missing library or plugin ends it at once). Under Xvfb, a real X
# server, the window titled "Quorvel  Ver<version>" must be mapped and viewable
# at the window's fixed size, as xwininfo reads it from the server.
set -euo pipefail

build=$1 version=$2 id=$3 work=$4
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need() {
    command -v "$1" >/dev/null || { echo "FAIL: $1 is missing (Debian package $2)" >&2; exit 1; }
}
need cpack cmake
need dpkg-shlibdeps dpkg-dev
need xvfb-run xvfb
need xauth xauth
need xwininfo x11-utils

# 1.0.8 shows as 1.08 in the caption.
IFS=. read -r major minor patch <<<"$version"
title="Quorvel  Ver$major.$minor$patch"

rm -rf "$work"
mkdir -p "$work"
# As the plain package command makes it: SOURCE_DATE_EPOCH comes from the last commit.
(cd "$build" && env -u SOURCE_DATE_EPOCH cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) \
    || { cat "$work/cpack.log" >&2; echo "FAIL: cpack could not make the package" >&2; exit 1; }
debs=("$work"/quorvel_"$version"_*.deb)
[ -f "${debs[0]}" ] || { ls -l "$work" >&2; echo "FAIL: no quorvel_${version}_*.deb" >&2; exit 1; }
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# Every file's time is the last commit's, so that the package made again is the same.
if commit_time=$(git -C "$(dirname "$0")" log -1 --format=%ct 2>/dev/null); then
    times=$(dpkg-deb --fsys-tarfile "$deb" | TZ=UTC tar -tv --full-time | awk '{ print $4, $5 }' | sort -u)
    [ "$times" = "$(date -u -d "@$commit_time" '+%F %T')" ] \
        || fail "the package's times are not the last commit's ($(date -u -d "@$commit_time" '+%F %T')): $times"
fi

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quorvel ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version), not $version"
[ "$(field Section)" = utils ] || fail "Section is $(field Section)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Homepage)" ] || fail "no Homepage"
description=$(field Description)
[ "$(wc -l <<<"$description")" -gt 2 ] || fail "the Description has no long part"
depends=$(field Depends)
echo "Depends: $depends"
# From the binary's libraries, and the two that it needs without linking them.
names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 fonts-ipafont-gothic \
               qt6-translations-l10n; do
    grep -Fqx "$package" <<<"$names" || fail "Depends lacks $package"
done

# What a desktop should have besides: Qt's Wayland plugin and the event sounds.
recommends=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$(field Recommends)")
for package in qt6-wayland libcanberra0 libcanberra-pulse; do
    grep -Fqx "$package" <<<"$recommends" || fail "Recommends lacks $package"
done

root=$work/root
dpkg-deb -x "$deb" "$root"
for path in usr/bin/quorvel "usr/share/applications/$id.desktop" "usr/share/metainfo/$id.metainfo.xml" \
            "usr/share/icons/hicolor/32x32/apps/$id.png" "usr/share/icons/hicolor/256x256/apps/$id.png" \
            usr/share/doc/quorvel/copyright; do
    [ -f "$root/$path" ] || fail "the package lacks /$path"
done
# Nothing but what a user needs: no tests, benchmarks or static libraries, and no copy of
# the IPA font, which the package depends on.
extra=$(find "$root" -type f -printf '/%P\n' \
        | grep -Ev '^/usr/(bin/quorvel$|share/(applications|metainfo|icons/hicolor|doc/quorvel)/)' || true)
[ -z "$extra" ] || fail "the package holds more than the program: $extra"
program=$root/usr/bin/quorvel
missing=$(ldd "$program" | grep 'not found' || true)
[ -z "$missing" ] || fail "libraries not found: $missing"

# The program runs in a folder of its own, so that it lists nothing of ours.
home=$work/home
mkdir -p "$home"

# Offscreen: it must start and stay up.
(cd "$home" && QT_QPA_PLATFORM=offscreen exec "$program") >"$work/offscreen.log" 2>&1 &
pid=$!
sleep 2
if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    echo "offscreen: the packaged program started and kept running"
else
    wait "$pid" && status=0 || status=$?
    fail "under the offscreen platform the packaged program ended at once (exit $status): $(cat "$work/offscreen.log")"
fi

# Xvfb: its window must be on the screen.
export QUORVEL_CHECK_PROGRAM=$program QUORVEL_CHECK_TITLE=$title QUORVEL_CHECK_HOME=$home
if ! xvfb-run -a -s "-screen 0 1024x768x24" bash "$(dirname "$0")/check-window.sh" >"$work/xvfb.log" 2>&1; then
    cat "$work/xvfb.log" >&2
    fail "the packaged program showed no window \"$title\" on Xvfb"
else
    cat "$work/xvfb.log"
fi

[ "$failures" -eq 0 ] || exit 1
echo "the package installs, and the program in it starts and shows its window"
