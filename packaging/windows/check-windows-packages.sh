#!/usr/bin/env bash
# Tries the Windows deliverables in dist/ under Wine (WINEPREFIX set by tools/windows.sh)
# as a user would: the program unpacked from the zip has its manifest and shows its
# window; the installer replaces an older version silently, with its Start menu entry and
# one entry in Apps & features; the installed program shows its window; the Start menu
# entry opens the user's Documents folder, redirected, where a record made at once lands;
# while it runs, the uninstaller and the
# installer change nothing and say so in their exit code; closed, the uninstaller takes
# all of it away.
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

# Starts the program on a virtual display and waits for its window. Wine binds a prefix's
# windows to the display its server first saw, so a server started without one (by the
# tests, or the installer) goes first; this prefix and its server are ours alone.
check_window() {
    local exe=$1 launcher
    wineserver -k 2>/dev/null || true
    launcher=$(mktemp)
    printf '#!/bin/sh\nexec wine "%s"\n' "$exe" >"$launcher"
    chmod +x "$launcher"
    QUORVEL_CHECK_PROGRAM=$launcher QUORVEL_CHECK_TITLE=$title QUORVEL_CHECK_HOME=$(dirname "$exe") \
        xvfb-run -a -s "-screen 0 1024x768x24" bash "$here/../check-window.sh"
    local status=$?
    rm -f "$launcher"
    wineserver -k 2>/dev/null || true
    return $status
}

# SHA256SUMS names both packages, with their sums, as a user checks a download.
(cd "$dist" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS does not match the packages"
[ "$(awk '{ print $2 }' "$dist/SHA256SUMS" | sort | tr '\n' ' ')" = \
  "Quorvel-$version-setup.exe Quorvel-$version-win64.zip " ] || fail "SHA256SUMS does not name both packages"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && unzip -q "$dist/Quorvel-$version-win64.zip")

# Every DLL that the program and its DLLs import is in the zip or part of Windows 10.
system_dlls=" advapi32 authz dwrite gdi32 imm32 kernel32 mpr netapi32 oleaut32 shcore shell32
 shlwapi user32 userenv uxtheme version winmm ws2_32 wtsapi32 comdlg32 d3d11 d3d9 dwmapi dxgi
 msvcrt ole32 api-ms-win-core-synch-l1-2-0 api-ms-win-core-winrt-l1-1-0
 api-ms-win-core-winrt-string-l1-1-0 "
system_dlls=$(tr '\n' ' ' <<<"$system_dlls")
while read -r dll; do
    lower=$(tr 'A-Z' 'a-z' <<<"${dll%.[dD][lL][lL]}")
    [[ $system_dlls == *" $lower "* ]] || [ -n "$(find "$work/Quorvel" -iname "$dll")" ] \
        || fail "$dll is imported but neither in the zip nor part of Windows"
done < <(find "$work/Quorvel" -iname '*.dll' -o -iname '*.exe' \
         | xargs x86_64-w64-mingw32-objdump -p | awk '/DLL Name/ { print $3 }' | sort -u)
# The manifest in the program: Windows 10 and 11, paths beyond 260 characters, and no code
# page of its own (records are in the system's, 932).
manifest=$(x86_64-w64-mingw32-windres -J coff -i "$work/Quorvel/Quorvel.exe" -O rc 2>/dev/null \
           | sed -n '/^1 24 /,/^END/p')
[ -n "$manifest" ] || fail "Quorvel.exe holds no application manifest"
grep -q 'supportedOS Id=""{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}""' <<<"$manifest" \
    || fail "the manifest does not declare Windows 10 and 11"
grep -q '<longPathAware[^>]*>true</longPathAware>' <<<"$manifest" \
    || fail "the manifest does not declare long paths"
! grep -qi 'activeCodePage' <<<"$manifest" || fail "the manifest sets a code page"
[ -n "$manifest" ] && echo "zip: Quorvel.exe declares Windows 10 and 11 and long paths in its manifest"
# Quorvel.exe is a window program, which opens no console; Quorvel.com beside it is the
# same program for the console, where the commands print and return their exit code.
subsystem() { x86_64-w64-mingw32-objdump -p "$1" | awk '/^Subsystem/ { print $2 }'; }
[ "$(subsystem "$work/Quorvel/Quorvel.exe")" = 00000002 ] || fail "Quorvel.exe is not a window program"
[ "$(subsystem "$work/Quorvel/Quorvel.com")" = 00000003 ] || fail "Quorvel.com is not a console program"
quorvel_check() {
    local out
    out=$(wine "$1" --version 2>&1)
    [ $? = 0 ] && grep -q '^Quorvel ver' <<<"$out"
}
quorvel_check "$work/Quorvel/Quorvel.com" && echo "zip: Quorvel.com answers in the console" \
    || fail "Quorvel.com from the zip did not answer --version in the console"
if check_window "$work/Quorvel/Quorvel.exe"; then
    echo "zip: the unpacked program shows its window"
else
    fail "the program from the zip showed no window \"$title\""
fi

installed="$WINEPREFIX/drive_c/Program Files/Quorvel"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel'
menu_entry="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quorvel.lnk"
quorvel_entries() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null \
        | grep -c 'DisplayName.*REG_SZ.*Quorvel'
}

# An older version, made by this script from the same files and one more, goes first:
# the new one must replace it, that file included, with one entry in Apps & features.
source "$here/../../tools/windows-common.sh"
old="$work/old"
mkdir -p "$old"
cp -R "$dist/Quorvel" "$old/"
echo "a file only the older version had" >"$old/Quorvel/old-version-only.txt"
cp "$dist/quorvel.ico" "$old/"
quorvel_uninstall_list "$old/Quorvel" >"$old/uninstall-files.nsh"
makensis -V1 '-XSetCompressor /FINAL zlib' -DVERSION=0.9.9 -DVERSION_WINDOWS=0.09.0009 -DSIZE_KB=1 \
    -DSTAGE="$old/Quorvel" -DOUT="$old/older-setup.exe" "$here/quorvel.nsi" >/dev/null \
    || fail "the older installer could not be made"
wine "$old/older-setup.exe" /S || fail "the older version did not install"
[ -f "$installed/old-version-only.txt" ] || fail "the older version did not install its own file"

# The installer runs to its end before wine returns.
wine "$dist/Quorvel-$version-setup.exe" /S || fail "the installer ended with exit code $?"
[ -f "$installed/Quorvel.exe" ] || fail "the installer put no Quorvel.exe into Program Files"
quorvel_check "$installed/Quorvel.com" || fail "the installed Quorvel.com did not answer --version"
[ -f "$menu_entry" ] || fail "the installer made no Start menu entry"
wine reg query "$key" /v DisplayVersion 2>/dev/null | grep -q "$version" \
    || fail "Apps & features has no entry with version $version"
[ "$(quorvel_entries)" = 1 ] || fail "Apps & features has $(quorvel_entries) entries for Quorvel, not one"
expected=$( (cd "$dist/Quorvel" && find . -type f; echo ./uninstall.exe; echo ./installed.txt) \
           | LC_ALL=C sort)
[ "$(cd "$installed" && find . -type f | LC_ALL=C sort)" = "$expected" ] \
    || fail "over the older version, Program Files holds other files than the new version's: $(
        diff <(echo "$expected") <(cd "$installed" && find . -type f | LC_ALL=C sort) | grep '^[<>]')"
if check_window "$installed/Quorvel.exe"; then
    echo "installer: replaced an older version silently; the installed program shows its window"
else
    fail "the installed program showed no window \"$title\""
fi

# The Start menu entry opens the redirected Documents; while it runs, the uninstaller and the
# installer change nothing (check-running.sh, on a display of its own as Quorvel needs).
wineserver -k 2>/dev/null || true
export installed menu_entry key dist version title
if ! xvfb-run -a -s "-screen 0 1024x768x24" bash "$here/check-running.sh"; then
    fail "the shortcut or the installer and uninstaller with Quorvel running (above)"
fi
wineserver -k 2>/dev/null || true

wine "$installed/uninstall.exe" /S
# The uninstaller runs from a copy of itself and returns at once; give it time to finish.
for _ in $(seq 100); do
    [ -e "$installed" ] || break
    sleep 0.2
done
[ ! -e "$installed" ] || fail "the uninstaller left $(find "$installed" | head -n 5)"
[ ! -e "$menu_entry" ] || fail "the uninstaller left the Start menu entry"
if wine reg query "$key" >/dev/null 2>&1; then
    fail "the uninstaller left the entry in Apps & features"
fi
[ "$failures" -eq 0 ] || exit 1
echo "uninstaller: removed the program, its Start menu entry and its Apps & features entry"
