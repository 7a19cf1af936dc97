#!/usr/bin/env bash
# Builds everything and runs every test: first a normal build, then the suite again with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the serial tests with ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

run_suite() {  # build-folder, ctest arguments, cmake options...
  local dir=$1 ctest_args=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest -j "$jobs" --output-on-failure $ctest_args)
}

echo "== build and tests"
run_suite build "" -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp" \
  run_suite build-asan "" -DCMAKE_BUILD_TYPE=Debug -DUPDATER_SANITIZE=ON -DUPDATER_BENCH=OFF
if ctest --test-dir build -N -L serial 2>/dev/null | grep -q "Total Tests: [1-9]"; then
  echo "== ThreadSanitizer (tests labelled serial)"
  run_suite build-tsan "-L serial" -DCMAKE_BUILD_TYPE=Debug -DUPDATER_TSAN=ON -DUPDATER_BENCH=OFF
fi
echo "all suites passed"
