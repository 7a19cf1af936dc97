#!/usr/bin/env bash
# One whole update under Wine: update-cli.exe of the Windows build programs instrument-sim of the
# Linux build through a pty that Wine maps to COM5, with the demo's firmware package. The program
# searches the ports itself: COM3 is there too, and silent. The run must end with the success
# text and the instrument's flash equal to the image.
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

# A prefix of its own: the server is restarted here so that it takes the COM links. They lead to
# the simulator's links in the port folder, so they stay the same from run to run.
export WINEPREFIX=$win/wine-prefix-e2e
wine_prefix_ready || { echo "wine_e2e.sh: no Wine prefix in $WINEPREFIX" >&2; exit 1; }
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
for port in 3 5; do
  ln -sfn "$run/ports/COM$port" "$WINEPREFIX/dosdevices/com$port"
done

source "$root/scripts/instrument_sim.sh"
UPDATE_PORT_DIR=$run/ports start_instrument_sim "$linux/sim/instrument-sim" \
  "$run/instrument-sim.log" --profile "$root/demo/demo-instrument.ini" --com 5 --silent-ports 3 \
  --state "$run/instrument-state.json" --dump "$run/instrument-flash.txt" \
  --trace "$run/instrument-trace.txt"

# The port folder's names keep the search to COM3 and COM5 (no real port of the machine is
# opened); the program opens them as \\.\COM3 and \\.\COM5.
status=0
(cd "$run" && UPDATE_PORT_DIR=$(wine_path "$run/ports") UPDATE_TIME_SCALE=${UPDATE_TIME_SCALE:-10} \
  timeout 300 "$WINE" "$(wine_path "$run/update-cli.exe")" --yes --timeout 240) \
  >"$run/update-cli.log" 2>&1 || status=$?

kill -TERM $sim && wait $sim || true
trap - EXIT
# An error box on the way (a line setting refused, say) fails the run even when it ends well.
if [ $status -ne 0 ] || ! grep -q "Download erfolgreich" "$run/update-cli.log" ||
  grep -q '^\[Fehler\]' "$run/update-cli.log"; then
  cat "$run/update-cli.log"
  echo "wine_e2e.sh: update-cli.exe under Wine failed (exit $status); files in $run" >&2
  exit 1
fi
"$linux/demo/flash-compare" "$run/Demo340.txt" "$run/instrument-flash.txt" ||
  { echo "wine_e2e.sh: the flash differs from the image; files in $run" >&2; exit 1; }
echo "wine_e2e.sh: update-cli.exe under Wine found the instrument on COM5 and programmed it;" \
  "flash = image"
