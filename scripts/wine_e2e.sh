#!/usr/bin/env bash
# One whole update under Wine: update-cli.exe of the Windows build programs instrument-sim of the
# Linux build through a pty that Wine maps to COM5, with the demo's firmware package; the run
# must end with the success text and the instrument's flash equal to the image.
#   scripts/wine_e2e.sh [WINDOWS-BUILD [LINUX-BUILD]]     (defaults: build-win, build)
# Needs update-cli.exe in the Windows build and instrument-sim and flash-compare in the Linux one.
# The run's files stay in WINDOWS-BUILD/wine-e2e.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine_env.sh"
win=$(realpath "${1:-$root/build-win}")
linux=$(realpath "${2:-$root/build}")
wine_find || { echo "wine_e2e.sh: Wine is not installed" >&2; exit 1; }

run=$win/wine-e2e
rm -rf "$run" && mkdir -p "$run/ports"
# The package: settings, device description and image; the program beside them lists the image.
cp "$root/demo/Update.ini" "$root/demo/ProgDevice.ini" "$root/demo/Demo340.txt" "$run/"
cp "$win/shell/update-cli.exe" "$win/shell/Update.Deu" "$win/shell/Update.Eng" "$run/"

# A prefix of its own: the server is restarted here so that it takes the COM link. The link leads
# to the simulator's link in the port folder, so it stays the same from run to run.
export WINEPREFIX=$win/wine-prefix-e2e
wine_prefix_ready || { echo "wine_e2e.sh: no Wine prefix in $WINEPREFIX" >&2; exit 1; }
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
ln -sfn "$run/ports/COM5" "$WINEPREFIX/dosdevices/com5"

UPDATE_PORT_DIR=$run/ports "$linux/sim/instrument-sim" --profile "$root/demo/demo-instrument.ini" \
  --com 5 --state "$run/instrument-state.json" --dump "$run/instrument-flash.txt" \
  --trace "$run/instrument-trace.txt" >"$run/instrument-sim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q ready "$run/instrument-sim.log" 2>/dev/null && break
  sleep 0.1
done
grep -q ready "$run/instrument-sim.log" || { cat "$run/instrument-sim.log"; exit 1; }

# The Windows program sees no port folder: it opens \\.\COM5 as on a real machine.
status=0
(cd "$run" && env -u UPDATE_PORT_DIR UPDATE_TIME_SCALE=${UPDATE_TIME_SCALE:-10} \
  timeout 300 "$WINE" "$(wine_path "$run/update-cli.exe")" --yes --port COM5 --timeout 240) \
  >"$run/update-cli.log" 2>&1 || status=$?

kill -TERM $sim && wait $sim || true
trap - EXIT
if [ $status -ne 0 ] || ! grep -q "Download erfolgreich" "$run/update-cli.log"; then
  cat "$run/update-cli.log"
  echo "wine_e2e.sh: update-cli.exe under Wine failed (exit $status); files in $run" >&2
  exit 1
fi
"$linux/demo/flash-compare" "$run/Demo340.txt" "$run/instrument-flash.txt" ||
  { echo "wine_e2e.sh: the flash differs from the image; files in $run" >&2; exit 1; }
echo "wine_e2e.sh: update-cli.exe under Wine programmed the instrument on COM5; flash = image"
