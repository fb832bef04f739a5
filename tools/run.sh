#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quorvel.
source "$(dirname "$0")/setup.sh"
quorvel_install "${QUORVEL_PACKAGES[@]}"
# The same build folder as the tests, building only the program.
cmake -S "$QUORVEL_ROOT" -B "$QUORVEL_ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$QUORVEL_ROOT/build" --target quorvel
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Quorvel is built (build/src/quorvel) but there is no display to show its window on (DISPLAY is not set)." >&2
    exit 1
fi
exec "$QUORVEL_ROOT/build/src/quorvel"
