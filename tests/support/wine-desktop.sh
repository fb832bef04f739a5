#!/usr/bin/env bash
# Runs a test that needs Windows' own windows (the input method lives there) under Wine:
#   wine-desktop.sh <wine runner> <test.exe> [arguments]
# on a virtual display of its own and in a Wine prefix of its own beside the usual one.
# Wine's desktop keeps the display that the first program of its prefix had, and the
# prefix of the other tests is started without one (they draw offscreen).
set -euo pipefail
if [ "${1:-}" != --on-display ]; then
    base=${WINEPREFIX:-$HOME/.wine}
    export WINEPREFIX="$base-desktop"
    exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" --on-display "$@"
fi
shift
# Wine's services started first, so that they do not hold the test's output open.
wineserver -k 2>/dev/null || true
wine cmd /c exit >/dev/null 2>&1 || true
status=0
"$@" || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
