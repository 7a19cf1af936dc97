#!/usr/bin/env bash
# Builds the updater and runs it. With a display the window opens; without one it runs
# offscreen, saves a screenshot of the window and ends.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
ensure_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target update

run=demo/run
rm -rf "$run" && mkdir -p "$run"
# The package: settings and device description are read from the working folder, firmware files
# are listed from the program's folder, so a link to the program runs from the package copy.
cp demo/Update.ini demo/ProgDevice.ini "$run/"
ln -s "$PWD/build/shell/update" "$run/update"
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  shot="$PWD/$run/window.png"
  (cd "$run" && QT_QPA_PLATFORM=offscreen UPDATE_SCREENSHOT="$shot" ./update)
  echo "No display: the window ran offscreen; screenshot saved as $shot"
else
  (cd "$run" && ./update)
fi
