#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quorvel.
source "$(dirname "$0")/setup.sh"
quorvel_install "${QUORVEL_PACKAGES[@]}"
quorvel_build build -DBUILD_TESTING=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Quorvel is built (build/src/quorvel) but there is no display to show its window on (DISPLAY is not set)." >&2
    exit 1
fi
exec "$QUORVEL_ROOT/build/src/quorvel"
