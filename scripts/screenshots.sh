#!/usr/bin/env bash
# Pictures of the window for the README, made by the program itself offscreen: the demo's package
# programs instrument-sim once in German and once in English, and the window saves itself at the
# start, while programming and at the end (UPDATE_SCREENSHOT_DIR). Rerun it after changing the
# window; it writes docs/screenshots/window-{start,programming,end}-{de,en}.png.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
ensure_packages

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target update instrument-sim

root=$PWD
out=$root/docs/screenshots
work=$(mktemp -d)
mkdir -p "$out"
source scripts/instrument_sim.sh

for language in de en; do
  run=$work/$language
  mkdir -p "$run/ports" "$run/pictures"
  cp demo/Update.ini demo/ProgDevice.ini demo/Demo340.txt lang/Update.Deu lang/Update.Eng "$run/"
  [ "$language" = en ] && sed -i 's/^Language=0/Language=1/' "$run/Update.ini"
  export UPDATE_PORT_DIR=$run/ports
  start_instrument_sim "$root/build/sim/instrument-sim" "$run/instrument-sim.log" \
    --profile demo/demo-instrument.ini --com 3 --silent-ports 1,2
  # The user's settings stay untouched: the remembered package folder goes to the work folder.
  status=0
  (cd "$run" && XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen UPDATE_AUTO_ANSWER=yes \
    UPDATE_AUTO_RUN=1 UPDATE_SCREENSHOT_DIR="$run/pictures" "$root/build/shell/update" \
    2>"$run/update.log") || status=$?
  kill -TERM "$sim" && wait "$sim" || true
  trap - EXIT
  if [ $status -ne 0 ]; then
    cat "$run/update.log" >&2
    echo "The run in $language ended with exit code $status; the pictures are kept in $run." >&2
    exit 1
  fi
  for moment in start programming end; do
    cp "$run/pictures/$moment.png" "$out/window-$moment-$language.png"
  done
done
rm -rf "$work"
ls -l "$out"
