#!/usr/bin/env bash
# The Windows build, from a fresh Debian 12 as root: installs what it needs, builds Qt for
# 64-bit Windows once into a cache outside the tree (tools/windows-qt.sh), cross-builds
# Quorvel and all its tests with MinGW-w64 into build-win/, runs the whole Qt Test suite
# under Wine, and makes the portable zip and the installer in build-win/dist/, each of
# them tried under Wine (packaging/windows/check-windows-packages.sh), with
# SHA256SUMS beside them; then tools/reproduce.sh makes the packages again from two clean
# clones and compares them byte for byte. --bench runs bench_records under Wine at the end.
source "$(dirname "$0")/setup.sh"
source "$(dirname "$0")/windows-common.sh"
started=$SECONDS
bench=false
for argument in "$@"; do
    case $argument in
        --bench) bench=true ;;
        *) echo "usage: tools/windows.sh [--bench]" >&2; exit 2 ;;
    esac
done
quorvel_windows_setup
build="$QUORVEL_ROOT/build-win"
# The commit build-win/dist is made of, where nothing beside it is changed: reproduce.sh
# builds that one and compares build-win/dist with its clones too.
head=$(git -C "$QUORVEL_ROOT" rev-parse HEAD 2>/dev/null || true)
if [ -n "$head" ] && [ -z "$(git -C "$QUORVEL_ROOT" status --porcelain)" ] \
        && [ "$SOURCE_DATE_EPOCH" = "$(git -C "$QUORVEL_ROOT" log -1 --format=%ct)" ]; then
    export QUORVEL_DIST_COMMIT=$head
fi

echo "== Cross-building Quorvel for Windows (build-win) =="
quorvel_windows_configure "$build" ON
cmake --build "$build"

# --- Wine ------------------------------------------------------------------------------
# A prefix of our own in the build folder, made once; no desktop integration, no dialogs.
export WINEPREFIX="$build/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
to_windows() { echo "Z:${1//\//\\}"; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    # Wine's own Latin fonts, which the prefix does not get by itself.
    cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
export WINEPATH="$(to_windows "$qt/bin");$(to_windows "$mingw_runtime");$(to_windows /usr/x86_64-w64-mingw32/lib)"
# The offscreen platform reads fonts from a folder: a Japanese one and a Latin one.
fonts="$build/test-fonts"
mkdir -p "$fonts"
cp -f /usr/share/fonts/opentype/ipafont-gothic/*.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf \
    "$fonts/" 2>/dev/null || true
export WINEQT_QPA_FONTDIR=$(to_windows "$fonts")
# Wine's services keep the first program's output open until they have started; start
# them now, or the first test waits for its time-out.
wineserver -p30 2>/dev/null || true
wine cmd /c exit >/dev/null 2>&1 || true

# The small file system as drive S:, for the full-disk tests.
quorvel_small_disk
if [ -n "${QUORVEL_TEST_SMALL_DISK:-}" ]; then
    ln -sfn "$QUORVEL_TEST_SMALL_DISK" "$WINEPREFIX/dosdevices/s:"
    export QUORVEL_TEST_SMALL_DISK=S:/
fi

echo "== The tests under Wine =="
(cd "$build" && ctest --output-on-failure --timeout 300)

# --- Deliverables ----------------------------------------------------------------------
echo "== The zip and the installer (build-win/dist) =="
dist="$build/dist"
quorvel_windows_package "$build" "$dist"
bash "$QUORVEL_ROOT/packaging/windows/check-windows-packages.sh" "$dist" "$version"
echo "Windows: zip $(du -h "$dist/Quorvel-$version-win64.zip" | cut -f1)," \
     "installer $(du -h "$dist/Quorvel-$version-setup.exe" | cut -f1); SHA256SUMS:"
cat "$dist/SHA256SUMS"

echo "== The same packages again, from two clean clones (tools/reproduce.sh) =="
bash "$QUORVEL_ROOT/tools/reproduce.sh"

if $bench; then
    # Made from Linux (bench/make_folders.py): under Wine each new file costs a pass over
    # its folder. The million records in memory, as on Linux: a tmpfs folder as drive M:.
    echo "== The benchmark under Wine: ratios, not Windows timings (bench/README.md) =="
    quorvel_install python3
    folders=$(mktemp -d "$build/bench-folders.XXXXXX")
    memory=$(mktemp -d /dev/shm/quorvel-bench.XXXXXX)
    python3 "$QUORVEL_ROOT/bench/make_folders.py" "$folders" "$memory"
    ln -sfn "$memory" "$WINEPREFIX/dosdevices/m:"
    QUORVEL_BENCH_FOLDERS=$(to_windows "$folders") QUORVEL_BENCH_MEMORY=M: \
        "$QUORVEL_ROOT/tools/wine-run.sh" "$build/bench/bench_records.exe" && status=0 || status=$?
    rm -f "$WINEPREFIX/dosdevices/m:"
    rm -rf "$memory" "$folders"
    [ "$status" -eq 0 ] || exit "$status"
fi
echo "Windows command: $((SECONDS - started)) s in all"
