#!/usr/bin/env bash
# Builds the fuzz harnesses (fuzz/: clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 60). Every harness starts from
# the inputs kept in fuzz/corpus/<harness> and the package fixtures it reads; what it learns
# stays in build-fuzz/corpus. Exits non-zero when any harness finds something; the input that
# found it lies in build-fuzz/findings.
#   ./fuzz.sh [SECONDS] [HARNESS ...]
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages

seconds=${1:-60}
shift || true
build=build-fuzz
all=(update_ini_fuzz prog_device_fuzz com_data_fuzz reply_parser_fuzz image_reader_fuzz
  receiver_fuzz offered_version_fuzz language_fuzz classic_loader_fuzz f5xx_loader_fuzz
  whole_run_fuzz)
harnesses=("${@:-${all[@]}}")

# The repository's files each harness reads as they are.
fixtures() {
  case $1 in
    update_ini_fuzz) echo demo/Update.ini ;;
    prog_device_fuzz) echo demo/ProgDevice.ini ;;
    image_reader_fuzz) echo demo/Demo340.txt ;;
    *) ;;
  esac
}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DUPDATER_FUZZ=ON -DUPDATER_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${harnesses[@]}"

mkdir -p "$build/findings"
failed=()
summary=()
for h in "${harnesses[@]}"; do
  corpus="$build/corpus/$h"
  mkdir -p "$corpus"
  for f in $(fixtures "$h"); do cp "$f" "$corpus/fixture-$(basename "$f")"; done
  log="$build/findings/$h.log"
  echo "== $h (${seconds} s)"
  # A loader run that takes seconds of real time is a hang.
  if "$build/fuzz/$h" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$h-" "$corpus" $(ls -d "fuzz/corpus/$h" 2>/dev/null) \
    >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    summary+=("$h: ${runs:-?} executions")
  else
    failed+=("$h")
    summary+=("$h: FINDING (see $log)")
    grep -E "ERROR|SUMMARY|runtime error|Test unit written" "$log" | head -5 || true
  fi
done

printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]}"
  exit 1
fi
echo "no findings"
