# Sourced by the scripts that run the updater against the simulated instrument.
# start_instrument_sim SIM LOG ARGS...: starts the simulator program SIM with ARGS in the
# background, its output in LOG; sets $sim to its process, ends it when the script exits, and
# waits up to 10 s for its "ready" (the ports are made). Fails with the log when it is not ready.
start_instrument_sim() {
  local program=$1 log=$2
  shift 2
  "$program" "$@" >"$log" 2>&1 &
  sim=$!
  trap 'kill $sim 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    grep -q ready "$log" 2>/dev/null && return 0
    sleep 0.1
  done
  cat "$log" >&2
  return 1
}
