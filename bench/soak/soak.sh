#!/usr/bin/env bash
# Soak: RUNS consecutive updates (default 200) of the demo instrument by update-cli, one
# instrument-sim serving them all, at a high time scale. Per run it records update-cli's peak
# resident memory and the most file descriptors it held, and the simulator's memory and
# descriptors after the run; a leak shows as a column that climbs. Prints one line per run and a
# summary (first ten runs against the last ten); exits 1 when a run does not succeed.
#   bench/soak/soak.sh [RUNS] [BUILD-FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
runs=${1:-200}
build=$(cd "${2:-$root/build}" && pwd)
scale=${SOAK_TIME_SCALE:-20}
cmake --build "$build" --target update-cli instrument-sim >/dev/null

work=$(mktemp -d)
sim=""
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/ports" "$work/package"
cp "$root/demo/Update.ini" "$root/demo/ProgDevice.ini" "$work/package/"
ln -s "$build/shell/update-cli" "$work/package/update-cli"
# A small image: the offered version 1.30 at 0xF000, code at 0xF100 and the vectors, so the erase
# sweep stays short and each run takes seconds. Only the reset vector is set (no word at 0xFFFC):
# the boot loader's password is the whole vector table, and the next run knows only that vector.
{
  printf '@F000\r\n31 2E 33 30 00 FF\r\n@F100\r\n'
  for row in $(seq 0 15); do
    for col in $(seq 0 15); do printf '%02X' $(((row * 16 + col) * 7 % 256)); [ "$col" -lt 15 ] && printf ' '; done
    printf '\r\n'
  done
  printf '@FFE0\r\n'
  printf 'FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF\r\n'
  printf 'FF FF FF FF FF FF FF FF FF FF FF FF\r\n@FFFE\r\n00 F1\r\nq\r\n'
} >"$work/package/Demo340.txt"

# The demo's instrument, its greeting after programming as quick as the time scale makes the
# updater's wait for it.
{ cat "$root/demo/demo-instrument.ini"; printf '[protocol]\nrestart_prompt_ms = 100\n'; } >"$work/instrument.ini"
UPDATE_PORT_DIR="$work/ports" "$build/sim/instrument-sim" --profile "$work/instrument.ini" \
  --com 3 >"$work/sim.log" 2>&1 &
sim=$!
for _ in $(seq 100); do grep -q ready "$work/sim.log" && break; sleep 0.05; done

# A process that has just ended has neither: 0 and empty.
fds() { { ls "/proc/$1/fd" 2>/dev/null || true; } | wc -l; }
status_kb() { sed -n "s/^$2:[[:space:]]*\([0-9]*\) kB/\1/p" "/proc/$1/status" 2>/dev/null || true; }

echo "run exit seconds cli_peak_kb cli_max_fds sim_rss_kb sim_fds"
results="$work/results"
failed=0
for run in $(seq "$runs"); do
  start=$(date +%s.%N)
  (cd "$work/package" && UPDATE_PORT_DIR="$work/ports" UPDATE_TIME_SCALE=$scale \
    exec ./update-cli --yes >"$work/cli.log" 2>&1) &
  cli=$!
  peak=0 maxfds=0
  while kill -0 "$cli" 2>/dev/null; do
    hwm=$(status_kb "$cli" VmHWM)
    n=$(fds "$cli")
    [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak=$hwm
    [ "$n" -gt "$maxfds" ] && maxfds=$n
    sleep 0.02
  done
  code=0
  wait "$cli" || code=$?
  seconds=$(echo "$(date +%s.%N) - $start" | bc)
  line="$run $code $(printf '%.2f' "$seconds") $peak $maxfds $(status_kb "$sim" VmRSS) $(fds "$sim")"
  echo "$line" | tee -a "$results"
  if [ "$code" -ne 0 ]; then
    failed=1
    cat "$work/cli.log"
  fi
done

# Averages of a column over the first and the last ten runs.
summary() {
  local column=$1 name=$2
  awk -v c="$column" -v n="$name" -v runs="$runs" '
    NR <= 10 { first += $c; fn++ }
    NR > runs - 10 { last += $c; ln++ }
    { if (min == "" || $c < min) min = $c; if ($c > max) max = $c }
    END { printf "%-12s first ten %9.1f  last ten %9.1f  min %9.1f  max %9.1f\n", n, first / fn, last / ln, min, max }' "$results"
}
echo "== $runs runs at UPDATE_TIME_SCALE=$scale"
summary 3 seconds
summary 4 cli_peak_kb
summary 5 cli_max_fds
summary 6 sim_rss_kb
summary 7 sim_fds
exit $failed
