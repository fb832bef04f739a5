#!/usr/bin/env bash
# Shows that the packages are reproducible: builds the last commit twice, from two clean
# clones in two different folders (build-reproduce/one/quorvel and
# build-reproduce/two/elsewhere/q), each making Quorvel-<version>-win64.zip,
# Quorvel-<version>-setup.exe and quorvel_<version>_<arch>.deb, and compares them byte
# for byte. Run by tools/windows.sh on a worktree without uncommitted changes, it builds
# the commit that made build-win/dist and compares those packages too. Qt for Windows comes from the
# cache (tools/windows-qt.sh); only Quorvel is built, twice for each system.
source "$(dirname "$0")/setup.sh"
source "$(dirname "$0")/windows-common.sh"
quorvel_windows_setup
quorvel_install "${QUORVEL_PACKAGES[@]}" dpkg-dev file
started=$SECONDS
commit=${QUORVEL_DIST_COMMIT:-$(git -C "$QUORVEL_ROOT" rev-parse HEAD)}
# The packages of a commit carry its time.
SOURCE_DATE_EPOCH=$(git -C "$QUORVEL_ROOT" log -1 --format=%ct "$commit")
export SOURCE_DATE_EPOCH
work="$QUORVEL_ROOT/build-reproduce"
rm -rf "$work"
arch=$(dpkg --print-architecture)
files=("Quorvel-$version-win64.zip" "Quorvel-$version-setup.exe" "quorvel_${version}_$arch.deb")

# build <folder>: a clone of the commit there, its packages in <folder>/packages.
build() {
    local root=$1
    mkdir -p "$(dirname "$root")"
    git clone -q "$QUORVEL_ROOT" "$root"
    git -C "$root" checkout -q --detach "$commit"
    (
        QUORVEL_ROOT=$root
        quorvel_windows_configure "$root/build-win" OFF
        cmake --build "$root/build-win" --target quorvel quorvel_console -j2 >/dev/null
        quorvel_windows_package "$root/build-win" "$root/build-win/dist"
        cmake -S "$root" -B "$root/build-deb" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DBUILD_TESTING=OFF >/dev/null
        # The README's plain package command, which takes the commit's time by itself.
        env -u SOURCE_DATE_EPOCH cmake --build "$root/build-deb" --target package -j2 >/dev/null
    ) || { echo "FAIL: the build in $root failed" >&2; exit 1; }
    mkdir -p "$root/packages"
    cp "$root/build-win/dist/${files[0]}" "$root/build-win/dist/${files[1]}" \
        "$root/build-deb/${files[2]}" "$root/packages/"
}

echo "Building $commit twice (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
one="$work/one/quorvel"
two="$work/two/elsewhere/q"
build "$one"
build "$two"

failures=0
compare() {
    local a=$1 b=$2 file
    for file in "${files[@]}"; do
        [ -f "$b/$file" ] || continue
        if cmp -s "$a/$file" "$b/$file"; then
            echo "identical: $file ($(sha256sum <"$a/$file" | cut -c1-16)…) in $3"
        else
            echo "FAIL: $file differs between $a and $b: $(cmp "$a/$file" "$b/$file" 2>&1)" >&2
            failures=$((failures + 1))
        fi
    done
}
compare "$one/packages" "$two/packages" "both clones"
# SHA256SUMS of each clone names the same sums.
cmp -s "$one/build-win/dist/SHA256SUMS" "$two/build-win/dist/SHA256SUMS" \
    || { echo "FAIL: the two SHA256SUMS differ" >&2; failures=$((failures + 1)); }
if [ -n "${QUORVEL_DIST_COMMIT:-}" ]; then
    compare "$one/packages" "$QUORVEL_ROOT/build-win/dist" "the clone and build-win/dist"
fi
[ "$failures" -eq 0 ] || exit 1
(cd "$one/packages" && sha256sum "${files[@]}")
echo "reproduce: the packages of $commit are byte-identical in both builds ($((SECONDS - started)) s)"
