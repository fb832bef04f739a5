#!/usr/bin/env bash
# The Windows build, from a fresh Debian 12 as root: installs what it needs, builds Qt for
# 64-bit Windows once into a cache outside the tree (tools/windows-qt.sh), cross-builds
# Quorvel and all its tests with MinGW-w64 into build-win/, runs the whole Qt Test suite
# under Wine, and makes the portable zip and the installer in build-win/dist/, each of
# them tried under Wine: the program from the zip shows its window, the installer
# installs silently, the installed program starts, and the uninstaller removes it all.
source "$(dirname "$0")/setup.sh"
started=$SECONDS
quorvel_install cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools \
    qt6-translations-l10n g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 fonts-wine \
    nsis zip unzip xz-utils xvfb xauth x11-utils fonts-ipafont-gothic fonts-dejavu-core

qt=$(bash "$QUORVEL_ROOT/tools/windows-qt.sh")
# Qt's Japanese texts are the same file for every system; the tests find them beside Qt.
mkdir -p "$qt/translations"
cp -f /usr/share/qt6/translations/qtbase_ja.qm "$qt/translations/"
build="$QUORVEL_ROOT/build-win"
mingw_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")

echo "== Cross-building Quorvel for Windows (build-win) =="
cmake -S "$QUORVEL_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$QUORVEL_ROOT/cmake/MinGW-w64.cmake" -DCMAKE_PREFIX_PATH="$qt" -DQUORVEL_WINDOWS_QT="$qt" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$QUORVEL_ROOT/tools/wine-run.sh" -DBUILD_TESTING=ON \
    >/dev/null
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
version=$(sed -n 's/^project(Quorvel VERSION \([0-9.]*\).*/\1/p' "$QUORVEL_ROOT/CMakeLists.txt")
IFS=. read -r major minor patch <<<"$version"
version_windows=$(printf '%d.%02d.%04d' "$major" "$minor" "$patch")
dist="$build/dist"
stage="$dist/Quorvel"
rm -rf "$dist" && mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations" "$stage/licenses"
cp "$build/src/Quorvel.exe" "$stage/"
cp "$qt"/bin/Qt6{Core,Gui,Widgets}.dll "$stage/"
cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$mingw_runtime"/{libgcc_s_seh-1.dll,libstdc++-6.dll} "$stage/"
cp /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$stage/"
cp /usr/share/qt6/translations/qtbase_ja.qm "$stage/translations/"
# IPAPGothic for a Windows without ＭＳ Ｐゴシック (one in another language), with its licence.
mkdir -p "$stage/fonts"
cp "$build/src/fonts/"{ipagp.ttf,IPA_Font_License.txt} "$stage/fonts/"
# Nothing needs the symbols on the user's machine.
find "$stage" -name '*.dll' -o -name '*.exe' | xargs x86_64-w64-mingw32-strip --strip-unneeded
# Qt looks for its plugins and texts beside the program.
printf '[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n' >"$stage/qt.conf"
cp "$QUORVEL_ROOT/LICENSE" "$stage/licenses/Quorvel.txt"
cp "$qt"/licenses/* "$stage/licenses/"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/MinGW-w64-runtime.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/MinGW-w64-winpthreads.txt" 2>/dev/null || true
(cd "$dist" && rm -f "Quorvel-$version-win64.zip" && zip -qr "Quorvel-$version-win64.zip" Quorvel)

# The installer removes exactly what it installed.
cp "$QUORVEL_ROOT/resources/quorvel.ico" "$dist/"
(cd "$stage" && find . -type f | sort | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
 find . -mindepth 1 -type d | sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|') \
    >"$dist/uninstall-files.nsh"
size_kb=$(du -sk "$stage" | cut -f1)
makensis -V2 -DVERSION="$version" -DVERSION_WINDOWS="$version_windows" -DSIZE_KB="$size_kb" \
    -DSTAGE="$stage" -DOUT="$dist/Quorvel-$version-setup.exe" \
    "$QUORVEL_ROOT/packaging/windows/quorvel.nsi"

bash "$QUORVEL_ROOT/packaging/windows/check-windows-packages.sh" "$dist" "$version"
echo "Windows: zip $(du -h "$dist/Quorvel-$version-win64.zip" | cut -f1)," \
     "installer $(du -h "$dist/Quorvel-$version-setup.exe" | cut -f1), $((SECONDS - started)) s in all"
