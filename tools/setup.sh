# Sourced by run.sh and test.sh: installs what a fresh Debian 12 machine lacks and
# builds into build/. Quick when everything is already there.
set -euo pipefail

QUORVEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

quorvel_install() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

QUORVEL_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libicu-dev qt6-translations-l10n libgl-dev
                  fonts-ipafont-gothic)

quorvel_build() {
    local dir=$1; shift
    cmake -S "$QUORVEL_ROOT" -B "$QUORVEL_ROOT/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$QUORVEL_ROOT/$dir"
}

# A small file system of our own for the tests to fill, so that a full disk is the
# system's own refusal; QUORVEL_TEST_SMALL_DISK names it, and the tests that need it skip
# where none could be mounted. Kept mounted for the next run. One named beforehand in
# QUORVEL_TEST_SMALL_DISK is taken instead, so that builds side by side have one each.
quorvel_small_disk() {
    local at=${QUORVEL_TEST_SMALL_DISK:-/tmp/quorvel-small-disk}
    mkdir -p "$at"
    mountpoint -q "$at" || mount -t tmpfs -o size=256k,mode=0777 quorvel-small "$at" 2>/dev/null || {
        echo "No small file system could be mounted; the full-disk tests will skip." >&2
        return 0
    }
    export QUORVEL_TEST_SMALL_DISK=$at
}
