# Sourced (after setup.sh) by windows.sh and reproduce.sh: the cross-build of Quorvel for
# Windows and the making of its two packages, the same for the Windows command and for
# the builds that check that the packages can be made again byte for byte.

# Qt for Windows (built once into the cache), the MinGW runtime, the version, and the
# time every package takes its time stamps from: the last commit's, unless the caller
# set one.
quorvel_windows_setup() {
    quorvel_install cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools \
        qt6-translations-l10n g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 fonts-wine \
        nsis zip unzip xz-utils xvfb xauth x11-utils xdotool fonts-ipafont-gothic fonts-dejavu-core git
    qt=$(bash "$QUORVEL_ROOT/tools/windows-qt.sh")
    # Qt's Japanese texts are the same file for every system; the tests find them beside Qt.
    mkdir -p "$qt/translations"
    cp -f /usr/share/qt6/translations/qtbase_ja.qm "$qt/translations/"
    mingw_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
    version=$(sed -n 's/^project(Quorvel VERSION \([0-9.]*\).*/\1/p' "$QUORVEL_ROOT/CMakeLists.txt")
    local major minor patch
    IFS=. read -r major minor patch <<<"$version"
    version_windows=$(printf '%d.%02d.%04d' "$major" "$minor" "$patch")
    quorvel_source_date
}

# SOURCE_DATE_EPOCH, which rcc, strip, CPack and the packaging below take for "now".
quorvel_source_date() {
    if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
        SOURCE_DATE_EPOCH=$(git -C "$QUORVEL_ROOT" log -1 --format=%ct 2>/dev/null) || {
            echo "Not a git checkout: set SOURCE_DATE_EPOCH to the source's date." >&2
            return 1
        }
    fi
    export SOURCE_DATE_EPOCH
}

# quorvel_windows_configure <build folder> <BUILD_TESTING ON|OFF>
quorvel_windows_configure() {
    cmake -S "$QUORVEL_ROOT" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$QUORVEL_ROOT/cmake/MinGW-w64.cmake" -DCMAKE_PREFIX_PATH="$qt" \
        -DQUORVEL_WINDOWS_QT="$qt" -DQT_HOST_PATH=/usr \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_CROSSCOMPILING_EMULATOR="$QUORVEL_ROOT/tools/wine-run.sh" -DBUILD_TESTING="$2" \
        >/dev/null
}

# The stage's uninstall list for the installer: its files, then its folders, deepest first.
quorvel_uninstall_list() {
    (cd "$1" && find . -type f | LC_ALL=C sort | sed 's|^\./||; s|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|'
     find . -mindepth 1 -type d | LC_ALL=C sort -r | sed 's|^\./||; s|/|\\|g; s|.*|  RMDir "$INSTDIR\\&"|')
}

# quorvel_windows_package <build folder> <dist folder>: the zip, the installer and
# SHA256SUMS. The same commit gives the same bytes wherever it is built: the files carry
# the commit's time, the zip lists them in one order without the system's extra
# attributes, and the PE headers' time stamp is the commit's (strip writes it).
quorvel_windows_package() {
    local build=$1 dist=$2
    local stage="$dist/Quorvel"
    rm -rf "$dist" && mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations" "$stage/licenses"
    cp "$build/src/Quorvel.exe" "$stage/"
    # The console companion: the commands typed as "quorvel" in cmd.exe or PowerShell.
    cp "$build/src/Quorvel.com" "$stage/"
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
    find "$stage" \( -name '*.dll' -o -name '*.exe' -o -name '*.com' \) -print0 \
        | xargs -0 x86_64-w64-mingw32-strip --strip-unneeded
    # Qt looks for its plugins and texts beside the program.
    printf '[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n' >"$stage/qt.conf"
    cp "$QUORVEL_ROOT/LICENSE" "$stage/licenses/Quorvel.txt"
    cp "$qt"/licenses/* "$stage/licenses/"
    cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/MinGW-w64-runtime.txt"
    cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/MinGW-w64-winpthreads.txt" 2>/dev/null || true
    find "$stage" -type d -exec chmod 755 {} + && find "$stage" -type f -exec chmod 644 {} +
    find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

    local zip="Quorvel-$version-win64.zip" setup="Quorvel-$version-setup.exe"
    # Zip keeps local times: UTC, so that the time zone of the build does not count.
    (cd "$dist" && find Quorvel | LC_ALL=C sort | TZ=UTC zip -q -X -@ "$zip")

    cp "$QUORVEL_ROOT/resources/quorvel.ico" "$dist/"
    quorvel_uninstall_list "$stage" >"$dist/uninstall-files.nsh"
    # The files' own sizes, not the blocks a file system gives them.
    local size_kb
    size_kb=$(find "$stage" -type f -printf '%s\n' | awk '{ s += $1 } END { print int((s + 1023) / 1024) }')
    makensis -V2 -DVERSION="$version" -DVERSION_WINDOWS="$version_windows" -DSIZE_KB="$size_kb" \
        -DSTAGE="$stage" -DOUT="$dist/$setup" "$QUORVEL_ROOT/packaging/windows/quorvel.nsi"
    (cd "$dist" && sha256sum "$zip" "$setup" >SHA256SUMS)
}
