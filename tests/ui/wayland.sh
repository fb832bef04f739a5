#!/usr/bin/env bash
# Runs a test program natively on Wayland, on weston's headless backend in a runtime
# folder of its own, and ends weston again. Exits 77 (skipped) where weston or Qt's
# Wayland plugin is not installed.
#
#   wayland.sh <Qt plugin folder> <program> [arguments]
set -u
plugins=$1; shift
command -v weston >/dev/null || { echo "weston is not installed (Debian package weston)"; exit 77; }
compgen -G "$plugins/platforms/libqwayland-*.so" >/dev/null \
    || { echo "Qt's Wayland plugin is not installed (Debian package qt6-wayland)"; exit 77; }

runtime=$(mktemp -d)
chmod 700 "$runtime"
socket=quorvel-test
XDG_RUNTIME_DIR=$runtime weston --backend=headless-backend.so --socket=$socket --use-pixman \
    --idle-time=0 --width=1024 --height=768 >"$runtime/weston.log" 2>&1 &
weston=$!
trap 'kill "$weston" 2>/dev/null; wait "$weston" 2>/dev/null; rm -rf "$runtime"' EXIT
for _ in $(seq 50); do
    [ -S "$runtime/$socket" ] && break
    kill -0 "$weston" 2>/dev/null || { cat "$runtime/weston.log"; exit 1; }
    sleep 0.2
done
[ -S "$runtime/$socket" ] || { echo "weston did not start"; cat "$runtime/weston.log"; exit 1; }
# Under the sanitizers, leaks are not looked for here: Qt's Wayland plugin leaves its
# Wayland objects (and memory of a library it has unloaded) at exit. The same test
# offscreen looks for ours.
if [ -n "${ASAN_OPTIONS:-}" ]; then
    export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
fi
XDG_RUNTIME_DIR=$runtime WAYLAND_DISPLAY=$socket QT_QPA_PLATFORM=wayland "$@"
