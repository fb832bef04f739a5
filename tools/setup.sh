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
