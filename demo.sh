#!/usr/bin/env bash
# Builds the updater and runs it. With a display the window opens; without one it runs
# offscreen, saves a screenshot of the window and ends.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target update instrument-sim

run=demo/run
rm -rf "$run" && mkdir -p "$run"
# The package: settings and device description are read from the working folder, firmware files
# are listed from the program's folder, so a link to the program runs from the package copy.
cp demo/Update.ini demo/ProgDevice.ini "$run/"
ln -s "$PWD/build/shell/update" "$run/update"

# The window opens its serial ports at start-up: the simulated instrument is its port COM1, and
# the machine's own ports are left alone.
export UPDATE_PORT_DIR="$PWD/$run/ports"
mkdir -p "$UPDATE_PORT_DIR"
build/sim/instrument-sim --profile sim/profiles/meter.ini --com 1 >"$run/sim.log" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e "$UPDATE_PORT_DIR/COM1" ] && break
  sleep 0.1
done
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  shot="$PWD/$run/window.png"
  (cd "$run" && QT_QPA_PLATFORM=offscreen UPDATE_SCREENSHOT="$shot" ./update)
  echo "No display: the window ran offscreen; screenshot saved as $shot"
else
  (cd "$run" && ./update)
fi
