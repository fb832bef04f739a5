#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (MinGW-w64) from Debian's own source of the Qt that this
# machine has, once, into a cache outside the tree; prints the install folder.
# The cache is reused while the version and the options below stay the same: its folder
# name carries a hash of both. QUORVEL_CACHE moves the cache (default ~/.cache/quorvel).
set -euo pipefail

QUORVEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
upstream=${version%%+*}
cache=${QUORVEL_CACHE:-$HOME/.cache/quorvel}

# Only what the program and its tests use. The bundled third-party libraries, so that
# nothing but Qt's own DLLs has to travel with the program; no ICU (there is none for
# MinGW here: code page 932 goes through Windows' own converter instead). Debian's
# tarball drops wintab.h (tablet events), and direct2d 1.1 does not link in 6.4.
options=(-xplatform win32-g++ -qt-host-path /usr -release -shared -nomake examples
         -nomake tests -no-opengl -no-dbus -no-icu -qt-zlib -qt-pcre -qt-harfbuzz
         -qt-freetype -qt-libpng -qt-libjpeg -no-feature-network
         -no-feature-sql -no-feature-printsupport -no-feature-xml -no-feature-concurrent
         -no-feature-vulkan -no-feature-tabletevent -no-feature-direct2d1_1)
# The cache is keyed by Qt's version, the options and the cross compiler's version.
compiler=$(x86_64-w64-mingw32-g++-posix --version | head -n 1)
key=$(printf '%s\n' "$version" "${options[@]}" "$compiler" | sha1sum | cut -c1-12)
prefix="$cache/qt-$upstream-mingw-$key"

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

# Debian's source of exactly the installed version, from the same archive.
sources=/etc/apt/sources.list.d/quorvel-deb-src.sources
if ! apt-get source --print-uris "qt6-base=$version" >/dev/null 2>&1; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo tee "$sources" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    $sudo apt-get update -qq
fi

work="$cache/qt-build-$key"
rm -rf "$work"
mkdir -p "$work"
started=$SECONDS
echo "Building Qt $upstream for Windows into $prefix (once; about 20 minutes on two cores)" >&2
(cd "$work" && apt-get source --download-only -qq "qt6-base=$version" >&2)
tar -xf "$work"/qt6-base_"${version%-*}".orig.tar.* -C "$work"
src=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'qtbase*' | head -n 1)

mkdir -p "$work/build"
(cd "$work/build" &&
    "$src/configure" -prefix "$prefix" "${options[@]}" -- -G Ninja \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_TOOLCHAIN_FILE="$QUORVEL_ROOT/cmake/MinGW-w64.cmake" >"$work/configure.log" 2>&1) ||
    { tail -n 60 "$work/configure.log" >&2; exit 1; }
cmake --build "$work/build" >"$work/build.log" 2>&1 || { tail -n 60 "$work/build.log" >&2; exit 1; }
rm -rf "$prefix"
cmake --install "$work/build" >/dev/null
# The licences travel with the DLLs.
mkdir -p "$prefix/licenses"
cp "$src"/LICENSES/*.txt "$prefix/licenses/" 2>/dev/null || true
cp "$src"/LICENSE.* "$prefix/licenses/" 2>/dev/null || true
touch "$prefix/.complete"
rm -rf "$work"
echo "Qt for Windows built in $((SECONDS - started)) s" >&2
echo "$prefix"
