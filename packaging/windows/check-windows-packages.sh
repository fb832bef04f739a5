#!/usr/bin/env bash
# Tries the Windows deliverables in dist/ under Wine (WINEPREFIX set by tools/windows.sh)
# as a user would: the program unpacked from the zip shows its window; the installer
# installs silently, with its Start menu entry and its entry in Apps & features; the
# installed program shows its window; the uninstaller takes all of it away again.
# Only Windows' own search path: a DLL the zip lacks must be missed here.
set -uo pipefail
dist=$1
version=$2
short=$(awk -F. '{ printf "%d.%d%d", $1, $2, $3 }' <<<"$version")
title="Quorvel  Ver$short"
here=$(cd "$(dirname "$0")" && pwd)
unset WINEPATH WINEQT_QPA_PLATFORM WINEQT_QPA_FONTDIR
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Starts the program on a virtual display and waits for its window.
check_window() {
    local exe=$1 launcher
    launcher=$(mktemp)
    printf '#!/bin/sh\nexec wine "%s"\n' "$exe" >"$launcher"
    chmod +x "$launcher"
    QUORVEL_CHECK_PROGRAM=$launcher QUORVEL_CHECK_TITLE=$title QUORVEL_CHECK_HOME=$(dirname "$exe") \
        xvfb-run -a -s "-screen 0 1024x768x24" bash "$here/../check-window.sh"
    local status=$?
    rm -f "$launcher"
    wineserver -w
    return $status
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && unzip -q "$dist/Quorvel-$version-win64.zip")
if check_window "$work/Quorvel/Quorvel.exe"; then
    echo "zip: the unpacked program shows its window"
else
    fail "the program from the zip showed no window \"$title\""
fi

installed="$WINEPREFIX/drive_c/Program Files/Quorvel"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
wine "$dist/Quorvel-$version-setup.exe" /S
wineserver -w
[ -f "$installed/Quorvel.exe" ] || fail "the installer put no Quorvel.exe into Program Files"
[ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorvel.lnk" ] \
    || fail "the installer made no Start menu entry"
wine reg query "$key" /v DisplayVersion 2>/dev/null | grep -q "$version" \
    || fail "Apps & features has no entry with version $version"
if check_window "$installed/Quorvel.exe"; then
    echo "installer: installed silently; the installed program shows its window"
else
    fail "the installed program showed no window \"$title\""
fi

wine "$installed/uninstall.exe" /S
wineserver -w
# The uninstaller runs from a copy of itself; give it a moment to finish.
for _ in $(seq 50); do
    [ -e "$installed" ] || break
    sleep 0.2
done
[ ! -e "$installed" ] || fail "the uninstaller left $(find "$installed" | head -n 5)"
[ ! -e "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorvel.lnk" ] \
    || fail "the uninstaller left the Start menu entry"
if wine reg query "$key" >/dev/null 2>&1; then
    fail "the uninstaller left the entry in Apps & features"
fi
[ "$failures" -eq 0 ] || exit 1
echo "uninstaller: removed the program, its Start menu entry and its Apps & features entry"
