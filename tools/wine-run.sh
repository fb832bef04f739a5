#!/usr/bin/env bash
# Runs a Windows program under Wine as CTest runs a test: Wine hands the program only
# the variables named WINEQT_* as QT_*, so every QT_* variable is passed on that way, and
# Qt Test's output goes to stderr instead of the debugger stream. The prefix, the path
# to Qt's DLLs and the font folder come from tools/windows.sh.
set -euo pipefail
while IFS='=' read -r name _; do
    [[ $name == QT_* ]] && export "WINE$name=${!name}"
done < <(env)
export WINEQT_FORCE_STDERR_LOGGING=1
exec wine "$@"
