#!/usr/bin/env bash
# Builds Quorvel, shows its main window on a virtual X server in a folder of two
# sample records, clicks the first record and then Ver情報, and saves a picture of
# that window as docs/screenshot.png (or the file given as the argument).
#
#   tools/screenshot.sh [out.png]
#   tools/screenshot.sh --dark [out.png]
#
# --dark shows the window as a GNOME desktop in dark mode would: through Qt's GTK
# platform theme with Adwaita's dark variant, which hands the program a dark
# palette and its own icons; the picture goes to build/screenshot-dark.png unless
# another file is given. The window is meant to look the same either way.
#
# QUORVEL_SCREENSHOT_COMMAND and QUORVEL_SCREENSHOT_WINDOW put another program
# and the name of its window in place of build/src/quorvel and "Quorvel  Ver1.08",
# e.g. to try the grabbing with xmessage:
#   QUORVEL_SCREENSHOT_COMMAND="xmessage -name hello hello" \
#   QUORVEL_SCREENSHOT_WINDOW=hello tools/screenshot.sh /tmp/hello.png
# shellcheck source=tools/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

# Seconds to wait for the window to come up.
QUORVEL_SCREENSHOT_TIMEOUT=${QUORVEL_SCREENSHOT_TIMEOUT:-10}

# Runs on the virtual X server: starts the program, waits for its window to be
# shown, grabs it into $1 and stops the program.
grab() {
    local out=$1 name=${QUORVEL_SCREENSHOT_WINDOW:-"Quorvel  Ver1.08"}

    # The window is in Japanese, and so is the user: dates as Japan writes them.
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

    cd "$QUORVEL_ROOT" || return 1
    local command
    records=""
    if [ -n "${QUORVEL_SCREENSHOT_COMMAND:-}" ]; then
        command=$QUORVEL_SCREENSHOT_COMMAND
        bash -c "exec $command" &
    else
        command="$QUORVEL_ROOT/build/src/quorvel"
        # Two records, in code page 932 as the program writes them, with a fixed date.
        records=$(mktemp -d)
        printf 'ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\r\n#55\r\n' >"$records/サクラ(55).pas"
        printf 'abcdefghijklmnopqrstuvwxyz9876543210\r\n' >"$records/ハヤテ.pas"
        touch -d '2026-12-08 20:39:47' "$records"/*.pas
        (cd "$records" && exec "$command") &
    fi
    program=$!
    trap 'kill "$program" 2>/dev/null; wait "$program" 2>/dev/null || true; [ -z "${records:-}" ] || rm -rf "$records"' EXIT

    local id="" tries=$((QUORVEL_SCREENSHOT_TIMEOUT * 5))
    while [ "$tries" -gt 0 ]; do
        if ! kill -0 "$program" 2>/dev/null; then
            echo "screenshot: $command ended before its window \"$name\" came up" >&2
            return 1
        fi
        local info
        if info=$(xwininfo -name "$name" 2>/dev/null) && grep -q 'Map State: IsViewable' <<<"$info"; then
            id=$(awk '/Window id:/ { print $4; exit }' <<<"$info")
            break
        fi
        sleep 0.2
        tries=$((tries - 1))
    done
    if [ -z "$id" ]; then
        echo "screenshot: no window \"$name\" within $QUORVEL_SCREENSHOT_TIMEOUT s" >&2
        return 1
    fi

    # Give the program a moment to paint what it has just mapped.
    sleep 1
    if [ -n "$records" ]; then
        # The first row of File1, then Command4, in window pixels (twips / 15).
        xdotool mousemove --window "$id" 200 256 click 1
        sleep 0.3
        xdotool mousemove --window "$id" 408 352 click 1
        xdotool mousemove --window "$id" 460 428
        sleep 0.5
    fi
    mkdir -p "$(dirname "$out")"
    import -window "$id" "$out"
    echo "screenshot: window $id (\"$name\") saved as $out"
}

if [ "${1:-}" = "--grab" ]; then
    grab "$2"
    exit
fi

extra_packages=()
if [ "${1:-}" = "--dark" ]; then
    shift
    extra_packages=(qt6-gtk-platformtheme)
    export QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
    out=${1:-"$QUORVEL_ROOT/build/screenshot-dark.png"}
else
    out=${1:-"$QUORVEL_ROOT/docs/screenshot.png"}
fi
case $out in
    /*) ;;
    *) out="$PWD/$out" ;;
esac

quorvel_install "${QUORVEL_PACKAGES[@]}" xvfb xauth imagemagick x11-utils xdotool locales \
    "${extra_packages[@]}"
# A Japanese locale, where the system has none generated, is made in the build folder
# for this program alone (LOCPATH), leaving the system's locales as they are.
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
    locales="$QUORVEL_ROOT/build/locale"
    if [ ! -d "$locales/ja_JP.UTF-8" ]; then
        mkdir -p "$locales"
        localedef -i ja_JP -c -f UTF-8 "$locales/ja_JP.UTF-8" \
            || { echo "screenshot: could not make the ja_JP.UTF-8 locale" >&2; exit 1; }
    fi
    export LOCPATH=$locales
fi
if [ -z "${QUORVEL_SCREENSHOT_COMMAND:-}" ]; then
    quorvel_build build
fi

xvfb-run -a -s "-screen 0 1024x768x24" "$QUORVEL_ROOT/tools/screenshot.sh" --grab "$out"
