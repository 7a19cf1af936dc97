#!/usr/bin/env bash
# The updater programming the simulated instrument. Builds what it needs, lays out the demo's
# firmware package in demo/run, starts instrument-sim (the instrument on COM3 behind two silent
# ports) and runs the updater from the package: the window when a display is present, otherwise
# update-cli answering Yes, printing the log. It ends by comparing the instrument's flash with
# the firmware image.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target update update-cli instrument-sim flash-compare manuals

root=$PWD
run=$root/demo/run
rm -rf "$run" && mkdir -p "$run/ports"
# Settings and device description are read from the working folder, firmware files are listed
# from the program's folder: links to the programs run from the package copy.
cp demo/Update.ini demo/ProgDevice.ini demo/Demo340.txt "$run/"
# The package carries the window's language files and the manuals of the help menu.
cp lang/Update.Deu lang/Update.Eng build/shell/Firmwareupdate_*.pdf "$run/"
ln -s "$root/build/shell/update" "$run/update"
ln -s "$root/build/shell/update-cli" "$run/update-cli"
export UPDATE_PORT_DIR=$run/ports

source scripts/instrument_sim.sh
start_instrument_sim "$root/build/sim/instrument-sim" "$run/instrument-sim.log" \
  --profile demo/demo-instrument.ini --com 3 --silent-ports 1,2 \
  --state "$run/instrument-state.json" --dump "$run/instrument-flash.txt" \
  --trace "$run/instrument-trace.txt"

status=0
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the window once offscreen for a screenshot, then update-cli does the update."
  (cd "$run" && QT_QPA_PLATFORM=offscreen UPDATE_AUTO_ANSWER=yes \
    UPDATE_SCREENSHOT="$run/window.png" ./update 2>/dev/null) || true
  echo "Screenshot of the window: demo/run/window.png"
  echo "-------- update-cli --yes"
  (cd "$run" && ./update-cli --yes) || status=$?
else
  (cd "$run" && ./update) || status=$?
fi

kill -TERM $sim && wait $sim || true
trap - EXIT
echo "-------- the simulated instrument's flash against the image"
"$root/build/demo/flash-compare" "$run/Demo340.txt" "$run/instrument-flash.txt" || status=1
echo "Instrument trace: demo/run/instrument-trace.txt, state: demo/run/instrument-state.json"
exit $status
