#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite without a display.
source "$(dirname "$0")/setup.sh"
quorvel_install "${QUORVEL_PACKAGES[@]}" binutils-mingw-w64-x86-64
quorvel_build build -DBUILD_TESTING=ON
export QT_QPA_PLATFORM=offscreen
cd "$QUORVEL_ROOT/build"
ctest --output-on-failure --timeout 300
