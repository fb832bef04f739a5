#!/usr/bin/env bash
# Runs a test program on a virtual X server through Qt's GTK platform theme with
# Adwaita's dark variant, as a GNOME desktop in dark mode shows programs. Exits 77
# (skipped) where Xvfb or the theme plugin is not installed.
#
#   gtk3.sh <Qt plugin folder> <program> [arguments]
set -u
plugins=$1; shift
command -v xvfb-run >/dev/null || { echo "xvfb-run is not installed (Debian package xvfb)"; exit 77; }
[ -e "$plugins/platformthemes/libqgtk3.so" ] \
    || { echo "Qt's GTK platform theme is not installed (Debian package qt6-gtk-platformtheme)"; exit 77; }
export QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
