#!/usr/bin/env bash
# Runs on an X server (check-package.sh starts it under xvfb-run): starts
# $QUORVEL_CHECK_PROGRAM in $QUORVEL_CHECK_HOME and waits up to thirty seconds for
# a viewable top-level window named $QUORVEL_CHECK_TITLE of 465 x 433 pixels (the first
# program of a new Wine prefix on a display took more than ten on a busy machine).
set -uo pipefail

cd "$QUORVEL_CHECK_HOME" || exit 1
# The X server's, whatever platform the tests around us ask for.
QT_QPA_PLATFORM=xcb "$QUORVEL_CHECK_PROGRAM" &
program=$!
trap 'kill "$program" 2>/dev/null; wait "$program" 2>/dev/null' EXIT

for _ in $(seq 150); do
    kill -0 "$program" 2>/dev/null || { echo "the program ended before its window came up"; exit 1; }
    # Top-level windows are the root's children: 'id "name": (...)  WxH+X+Y ...'.
    line=$(xwininfo -root -children | grep -F "\"$QUORVEL_CHECK_TITLE\":" | head -n 1)
    if [ -n "$line" ]; then
        window=$(awk '{ print $1 }' <<<"$line")
        info=$(xwininfo -id "$window")
        if grep -q 'Map State: IsViewable' <<<"$info"; then
            width=$(awk '/Width:/ { print $2 }' <<<"$info")
            height=$(awk '/Height:/ { print $2 }' <<<"$info")
            if [ "$width" = 465 ] && [ "$height" = 433 ]; then
                echo "xvfb: window $window \"$QUORVEL_CHECK_TITLE\" is viewable, ${width}x$height"
                exit 0
            fi
            echo "the window \"$QUORVEL_CHECK_TITLE\" is ${width}x$height, not 465x433"
            exit 1
        fi
    fi
    sleep 0.2
done
echo "no viewable window \"$QUORVEL_CHECK_TITLE\" within thirty seconds; the server has:"
xwininfo -root -tree
exit 1
