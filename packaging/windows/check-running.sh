#!/usr/bin/env bash
# Run by check-windows-packages.sh on a virtual display, with Quorvel installed in
# $WINEPREFIX: the Start menu entry, started as Windows starts it, starts Quorvel in the
# user's Documents folder; while that Quorvel runs, the uninstaller (as it is, and run in
# place) and the installer end with exit code 2 and change nothing. Stops that Quorvel.
set -uo pipefail
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The pids of this prefix's Windows processes started from a file of that name.
windows_pids() {
    local proc argv0
    for proc in /proc/[0-9]*; do
        tr "\\0" "\\n" 2>/dev/null <"$proc/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
        argv0=$(tr "\\0" "\\n" 2>/dev/null <"$proc/cmdline" | head -n 1)
        [[ ${argv0,,} == *\\"${1,,}" ]] && echo "${proc#/proc/}"
    done
}
# Everything an installation is: its files with their sums, the menu entry and the entry
# in Apps & features.
installation() {
    (cd "$installed" 2>/dev/null && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
    [ -e "$menu_entry" ] && echo "menu entry"
    wine reg query "$key" 2>/dev/null | tr -d '\r'
}
# The Start menu entry, started as Windows starts it, starts Quorvel in the user's
# Documents folder. A folder of its own here (Wine links it to the home folder), so that
# no other folder can pass for it; Wine gives the Windows program's current folder to its
# Unix process.
documents="$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/Documents"
[ -L "$documents" ] && rm "$documents"
mkdir -p "$documents"
wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Quorvel.lnk'
pid=""
for _ in $(seq 100); do
    pid=$(windows_pids Quorvel.exe | head -n 1)
    [ -n "$pid" ] && break
    sleep 0.2
done
if [ -z "$pid" ]; then
    fail "the Start menu entry started no Quorvel.exe"
else
    started_in=$(readlink -f "/proc/$pid/cwd")
    [ "$started_in" = "$(readlink -f "$documents")" ] \
        || fail "the Start menu entry started Quorvel in $started_in, not in Documents"
    echo "shortcut: the Start menu entry starts Quorvel in the user's Documents folder"

    # With it running, neither the uninstaller nor the installer changes anything.
    sleep 2
    kill -0 "$pid" 2>/dev/null || fail "Quorvel started from the Start menu entry ended at once"
    before=$(installation)
    wine "$installed/uninstall.exe" /S
    # The uninstaller runs from a copy of itself and returns at once; wait for the copy.
    sleep 1
    for _ in $(seq 150); do
        [ -z "$(windows_pids Au_.exe)" ] && break
        sleep 0.2
    done
    [ "$(installation)" = "$before" ] \
        || fail "the uninstaller changed the installation while Quorvel ran"
    # Run in place, the uninstaller returns its own exit code. NSIS reads the folder after
    # _?= unquoted to the end of the line, and Wine quotes an argument with a space: given
    # as two arguments, the line reads as typed.
    wine "$installed/uninstall.exe" /S '_?=C:\Program' 'Files\Quorvel'
    status=$?
    [ "$status" -eq 2 ] || fail "the uninstaller in place ended with $status while Quorvel ran, not 2"
    [ "$(installation)" = "$before" ] \
        || fail "the uninstaller in place changed the installation while Quorvel ran"
    wine "$dist/Quorvel-$version-setup.exe" /S
    status=$?
    [ "$status" -eq 2 ] || fail "the installer ended with $status while Quorvel ran, not 2"
    [ "$(installation)" = "$before" ] \
        || fail "the installer changed the installation while Quorvel ran"
    echo "running: the uninstaller and the installer ended with exit code 2 and changed nothing"
    kill "$pid"
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
fi

[ "$failures" -eq 0 ]
