#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite without a display;
# then builds everything again with AddressSanitizer and UndefinedBehaviorSanitizer
# (clang, in build-asan/), runs the tests there, and fuzzes the record code for a minute.
# The tests include installing: the menu entry and metainfo are validated, the .deb is
# built and unpacked, and the program from it is started on a virtual X server. The
# Japanese font families that desktops have are installed for the window's font tests
# (fonts-noto-cjk is the big one: 57 MB to fetch), libcanberra for the beep's, weston
# and Qt's Wayland plugin for the window's on Wayland, Qt's GTK platform theme for its
# look and its message boxes under a GNOME theme. acl and attr: the save tests give
# records ACLs and extended attributes with setfacl and setfattr, to see that a replaced
# record keeps them.
source "$(dirname "$0")/setup.sh"
quorvel_install "${QUORVEL_PACKAGES[@]}" binutils-mingw-w64-x86-64 \
    clang-14 libclang-rt-14-dev libfuzzer-14-dev llvm-14 \
    desktop-file-utils appstream dpkg-dev file xvfb xauth x11-utils \
    fonts-noto-cjk fonts-vlgothic fonts-takao fonts-droid-fallback libcanberra0 libcanberra-pulse \
    weston qt6-wayland qt6-gtk-platformtheme acl attr
quorvel_build build -DBUILD_TESTING=ON
export QT_QPA_PLATFORM=offscreen
quorvel_small_disk
cd "$QUORVEL_ROOT/build"
ctest --output-on-failure --timeout 300

# --- The same tests under the sanitizers -------------------------------------------------
# Every report stops the process that makes it (-fno-sanitize-recover=all, halt_on_error)
# and is also written to build-asan/sanitizer-logs, so that a report fails this script
# even from a process whose exit code nobody looks at.
asan="$QUORVEL_ROOT/build-asan"
started=$SECONDS
echo "== Tests with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan) =="
cmake -S "$QUORVEL_ROOT" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DBUILD_TESTING=ON -DQUORVEL_SANITIZE=ON -DQUORVEL_FUZZ=ON \
    >/dev/null
cmake --build "$asan" -j2

symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"
logs="$asan/sanitizer-logs"
rm -rf "$logs" && mkdir -p "$logs"
# Leaks are looked for: Qt frees or keeps reachable what it allocates for itself, and
# tools/lsan.supp names the few system libraries that do not.
asan_options="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1"
asan_options+=":check_initialization_order=1:strict_init_order=1"
export ASAN_OPTIONS="$asan_options:log_path=$logs/report"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1:log_path=$logs/report"
export LSAN_OPTIONS="suppressions=$QUORVEL_ROOT/tools/lsan.supp:print_suppressions=0"

cd "$asan"
status=0
ctest --output-on-failure --timeout 600 || status=$?
if [ -n "$(ls -A "$logs")" ]; then
    echo "Sanitizer reports:" >&2
    for report in "$logs"/*; do
        echo "--- $report" >&2
        cat "$report" >&2
    done
    status=1
fi
[ "$status" -eq 0 ] || { echo "The tests failed under the sanitizers." >&2; exit "$status"; }
echo "Sanitizer build and tests: $((SECONDS - started)) s"

# --- Fuzzing ---------------------------------------------------------------------------
# fuzz_record for a minute, from the seeds and past findings in fuzz/, in a copy of them:
# new inputs go to build-asan/fuzz-corpus, never into the repository. Its temporary
# record folder is on tmpfs where there is one. fuzz/README.md tells how to run it longer.
echo "== Fuzzing the record code for 60 seconds (build-asan/fuzz/fuzz_record) =="
corpus="$asan/fuzz-corpus"
artifacts="$asan/fuzz-artifacts"
mkdir -p "$corpus" "$artifacts"
cp -R "$QUORVEL_ROOT/fuzz/corpus/." "$QUORVEL_ROOT/fuzz/regressions/." "$corpus/"
scratch=$(mktemp -d /dev/shm/quorvel-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1"
fuzz_log="$asan/fuzz.log"
if ! TMPDIR="$scratch" "$asan/fuzz/fuzz_record" -max_total_time=60 -max_len=4096 -timeout=30 \
        -rss_limit_mb=2048 -print_final_stats=1 -dict="$QUORVEL_ROOT/fuzz/record.dict" \
        -artifact_prefix="$artifacts/" "$corpus" >"$fuzz_log" 2>&1; then
    grep -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse)' "$fuzz_log" | tail -n 80 >&2
    echo "fuzz_record found a failing input; it is in $artifacts (add it to fuzz/regressions)." >&2
    exit 1
fi
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::' "$fuzz_log"
echo "fuzz_record: no failure in 60 seconds"
echo "Sanitizer build, tests and fuzzing: $((SECONDS - started)) s"

# One closing line for the whole run; any failure above has already ended the script.
count_tests() { (cd "$1" && ctest -N | awk '/^Total Tests:/ { print $3 }'); }
echo "quorvel: $(( $(count_tests "$QUORVEL_ROOT/build") + $(count_tests "$asan") + 1 )) passed, 0 failed"
