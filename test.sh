#!/usr/bin/env bash
# Builds everything and runs every test: first a normal build, then the suite again with
# AddressSanitizer and UndefinedBehaviorSanitizer, the tests that run threads with
# ThreadSanitizer, and every fuzz harness briefly.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# A compiler cache, where the machine has one, keeps repeated runs short.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

run_suite() {  # build-folder, ctest arguments, build targets ("" = all), cmake options...
  local dir=$1 ctest_args=$2 targets=$3
  shift 3
  cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" ${targets:+--target $targets}
  (cd "$dir" && ctest -j "$jobs" --output-on-failure $ctest_args)
}

echo "== layers"
scripts/check_layers.sh
echo "== build and tests"
run_suite build "" "" -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== install package"
scripts/check_package.sh build
# The Windows build: update-cli.exe, the Win32 window update.exe and the unit tests cross-built
# with mingw-w64 (release, static, stripped), the tests run under Wine, then one whole update by
# update-cli.exe and one by the window under Wine against the Linux build's instrument-sim. The
# window needs an X display: Xvfb, which its script starts and ends itself.
if command -v x86_64-w64-mingw32-g++-posix >/dev/null; then
  windows_start=$SECONDS
  ensure_packages xvfb
  echo "== Windows cross build"
  cmake -S . -B build-win -G Ninja "${launcher[@]}" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build build-win -j "$jobs" --target update-cli update windows_tests
  echo "== unit tests under Wine"
  scripts/wine_tests.sh build-win
  echo "== update-cli.exe under Wine against instrument-sim"
  scripts/wine_e2e.sh build-win build
  echo "== the window (update.exe) under Wine and Xvfb against instrument-sim"
  scripts/wine_window.sh build-win build
  echo "Windows: update-cli.exe and update.exe built, unit tests, the update and the window under" \
    "Wine passed ($((SECONDS - windows_start)) s)"
else
  echo "== Windows cross build skipped: no x86_64-w64-mingw32-g++-posix"
fi
echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1 run_suite build-asan "" "" -DCMAKE_BUILD_TYPE=Debug -DUPDATER_SANITIZE=ON -DUPDATER_BENCH=OFF
# The serial component's threads under ThreadSanitizer (Qt itself is not built for it, so only
# the serial test programs are built and run).
echo "== ThreadSanitizer (tests labelled serial)"
run_suite build-tsan "-L serial" "serial_parameter_test serial_port_test serial_port_table_test serial_direct_receive_test" \
  -DCMAKE_BUILD_TYPE=Debug -DUPDATER_TSAN=ON -DUPDATER_BENCH=OFF
# The reads after a receive notification and the count a reader asks for, raised while bytes
# arrive.
run_suite build-tsan "-R ReadReceivedTest|AnnounceAtTest" "serial_read_received_test" \
  -DCMAKE_BUILD_TYPE=Debug -DUPDATER_TSAN=ON -DUPDATER_BENCH=OFF
# The console's window system: posts from another thread and its timer heap (Qt-free).
echo "== ThreadSanitizer (tests labelled window_system)"
run_suite build-tsan "-L window_system" "core_window_system_tests" \
  -DCMAKE_BUILD_TYPE=Debug -DUPDATER_TSAN=ON -DUPDATER_BENCH=OFF
# The M16 loader's worker thread under ThreadSanitizer (its test is Qt-free).
echo "== ThreadSanitizer (tests labelled worker)"
run_suite build-tsan "-L worker" "hex_load_tests m16_stand_in" \
  -DCMAKE_BUILD_TYPE=Debug -DUPDATER_TSAN=ON -DUPDATER_BENCH=OFF
# update-cli runs the port's receive and transmit threads beside its event loop: the whole
# updates end to end with update-cli built for ThreadSanitizer (a report makes it exit with 66,
# which fails the run).
echo "== ThreadSanitizer (update-cli end to end)"
run_suite build-tsan "-R LoaderEndToEnd|LoaderFailure" "update-cli instrument-sim loader_e2e_tests" \
  -DCMAKE_BUILD_TYPE=Debug -DUPDATER_TSAN=ON -DUPDATER_BENCH=OFF
# update-cli --gang runs one session thread per port beside the thread that draws the table.
echo "== ThreadSanitizer (update-cli --gang end to end)"
run_suite build-tsan "-R GangEndToEnd" "update-cli instrument-sim gang_e2e_tests" \
  -DCMAKE_BUILD_TYPE=Debug -DUPDATER_TSAN=ON -DUPDATER_BENCH=OFF
# Every fuzz harness for a few seconds (its kept inputs replayed first), so a regression in a
# parser or a loader shows here.
echo "== fuzz harnesses (briefly)"
./fuzz.sh 5
echo "all suites passed"
