#!/usr/bin/env bash
# Run by check-windows-packages.sh on a virtual display, with Quorvel installed in
# $WINEPREFIX: the Start menu entry, started as Windows starts it, opens the user's
# Documents folder where Windows keeps it, so that a record made at once lands there; while
# that Quorvel runs, the uninstaller (as it is, and run in place) and the installer end
# with exit code 2 and change nothing. Stops that Quorvel.
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
# The user's Documents folder redirected, as OneDrive's folder backup or a company's
# policy redirects it, to a folder of this check's own: the Start menu entry must open
# that one, not the profile's own Documents (a folder of its own here too: Wine links it
# to the home folder).
profile_documents="$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/Documents"
[ -L "$profile_documents" ] && rm "$profile_documents"
mkdir -p "$profile_documents"
rm -f "$profile_documents/Abc.pas"
redirected_root=$(mktemp -d)
documents="$redirected_root/OneDrive/Documents"
mkdir -p "$documents"
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
was=$(wine reg query "$shell_folders" /v Personal 2>/dev/null | tr -d '\r' \
      | sed -n 's/^ *Personal *REG_EXPAND_SZ *//p')
wine reg add "$shell_folders" /v Personal /t REG_EXPAND_SZ /d "Z:${documents//\//\\}" /f >/dev/null
trap 'wine reg add "$shell_folders" /v Personal /t REG_EXPAND_SZ /d "${was:-%USERPROFILE%\Documents}" \
      /f >/dev/null 2>&1; rm -rf "$redirected_root"' EXIT
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
    # A record made at once, by keyboard from the drive list, which has the focus at start:
    # the name, the password, and four Tabs on (End, the two lists) ファイル作成, pressed
    # with Return.
    password=ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789
    window=$(timeout 20 xdotool search --sync --name "^$title\$" 2>/dev/null | head -n 1)
    sleep 1
    xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
    sleep 0.5
    xdotool key Tab && xdotool type --delay 20 Abc && xdotool key Tab \
        && xdotool type --delay 20 "$password" && xdotool key --delay 100 Tab Tab Tab Tab Return
    for _ in $(seq 50); do
        [ -f "$documents/Abc.pas" ] && break
        sleep 0.2
    done
    if [ "$(cat "$documents/Abc.pas" 2>/dev/null)" = "$password"$'\r' ]; then
        echo "shortcut: a record made at once from the Start menu entry is in the redirected Documents ($(
            cd "$redirected_root" && echo */*/Abc.pas))"
    else
        fail "no record made from the Start menu entry in the redirected Documents: $(
            find "$redirected_root" "$profile_documents" -name Abc.pas)"
    fi
    [ ! -e "$profile_documents/Abc.pas" ] || fail "the record went into the profile's own Documents"
    # The message that says it was made.
    xdotool key Return

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
