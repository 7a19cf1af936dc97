#!/usr/bin/env bash
# The window of the Windows build under Wine, on a virtual X display (Xvfb) this script starts
# and ends itself:
#   0. the unit tests that make windows (winshell_tests);
#   1. it starts with the demo's package (the simulator's ports present) and lists its controls' and menu items' texts: the
#      German captions are checked, then, with Language=1 in Update.ini, the English ones; each
#      start leaves a picture of the window;
#   2. an automatic run (OK pressed by UPDATE_AUTO_RUN) programs instrument-sim of the Linux
#      build through a pty that Wine maps to COM5 (COM3 is there too, and silent): the run must
#      end with exit code 0, no error box on the way, and the instrument's flash equal to the
#      image; the window's pictures of the start, the programming and the end are kept.
#   scripts/wine_window.sh [WINDOWS-BUILD [LINUX-BUILD]]     (defaults: build-win, build)
# Needs update.exe in the Windows build and instrument-sim and flash-compare in the Linux one.
# The run's files stay in WINDOWS-BUILD/wine-window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine_env.sh"
win=$(realpath "${1:-$root/build-win}")
linux=$(realpath "${2:-$root/build}")
wine_find || { echo "wine_window.sh: Wine is not installed" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "wine_window.sh: Xvfb is not installed" >&2; exit 1; }

run=$win/wine-window
rm -rf "$run" && mkdir -p "$run/ports" "$run/pictures"
package() {  # folder: the demo's package with the window program beside it
  mkdir -p "$1"
  cp "$root/demo/Update.ini" "$root/demo/ProgDevice.ini" "$root/demo/Demo340.txt" "$1/"
  cp "$win/winshell/update.exe" "$win/shell/Update.Deu" "$win/shell/Update.Eng" "$1/"
}

fail() {
  echo "wine_window.sh: $*; files in $run" >&2
  exit 1
}

# The prefix of the window's runs (its server is ended on the way out).
export WINEPREFIX=$win/wine-prefix-window

# A display of its own: the first free number from 90 on.
display=90
while [ -e /tmp/.X$display-lock ] || [ -e /tmp/.X11-unix/X$display ]; do display=$((display + 1)); done
Xvfb :$display -screen 0 1024x768x24 -nolisten tcp >"$run/xvfb.log" 2>&1 &
xvfb=$!
sim=
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  "$WINESERVER" -k 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -e /tmp/.X11-unix/X$display ] && break
  sleep 0.1
done
[ -e /tmp/.X11-unix/X$display ] || { cat "$run/xvfb.log" >&2; echo "wine_window.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$display

# A prefix of its own, its server restarted so that it takes the COM links; they lead to the
# simulator's links in the port folder.
wine_prefix_ready || { echo "wine_window.sh: no Wine prefix in $WINEPREFIX" >&2; exit 1; }
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w 2>/dev/null || true
for port in 3 5; do
  ln -sfn "$run/ports/COM$port" "$WINEPREFIX/dosdevices/com$port"
done
# The port folder's names keep the search to COM3 and COM5 (no real port of the machine is
# opened); the program opens them as \\.\COM3 and \\.\COM5.
ports=$(wine_path "$run/ports")

# 0. The unit tests that make windows (label "display"), on this display and in this prefix,
#    whose server runs with it (another prefix's server may have started without a display).
"$root/scripts/wine_run.sh" "$win/tests/winshell/winshell_tests.exe" >"$run/winshell_tests.log" 2>&1 ||
  { cat "$run/winshell_tests.log"; fail "the unit tests of the Win32 window failed"; }
grep -h '^\[  PASSED  \]' "$run/winshell_tests.log"

# The instrument: its ports are there from the first start on (the window opens them).
source "$root/scripts/instrument_sim.sh"
UPDATE_PORT_DIR=$run/ports start_instrument_sim "$linux/sim/instrument-sim" "$run/instrument-sim.log" \
  --profile "$root/demo/demo-instrument.ini" --com 5 --silent-ports 3 \
  --state "$run/instrument-state.json" --dump "$run/instrument-flash.txt"
trap cleanup EXIT

# 1. The captions in both languages.
check_captions() {  # language (de|en), then the expected "name<TAB>text" lines
  local language=$1 folder=$run/$1
  shift
  package "$folder"
  [ "$language" = en ] && sed -i 's/^Language=0/Language=1/' "$folder/Update.ini"
  local status=0
  (cd "$folder" && UPDATE_PORT_DIR=$ports UPDATE_AUTO_ANSWER=no UPDATE_LIST_CONTROLS=$(wine_path "$folder")'\controls.txt' \
    UPDATE_SCREENSHOT=$(wine_path "$run/pictures")"\\window-$language.png" \
    timeout 120 "$WINE" "$(wine_path "$folder/update.exe")") >"$folder/update.log" 2>&1 || status=$?
  [ $status -eq 0 ] || { cat "$folder/update.log"; fail "the window ($language) ended with exit code $status"; }
  [ -s "$run/pictures/window-$language.png" ] || fail "no picture of the window ($language)"
  local line
  for line in "$@"; do
    grep -qxF "$line" "$folder/controls.txt" ||
      { cat "$folder/controls.txt"; fail "the window ($language) lacks the caption: $line"; }
  done
}
tab=$'\t'
check_captions de "UpdateForm${tab}Download :" "UpdateGroupBox${tab}Gerät" \
  "SerLabel${tab}Seriennummer:" "OkBitBtn${tab}OK" "Bearbeiten${tab}&Datei" \
  "UpdateEnd${tab}&Beenden" "Sprache${tab}&Sprache" "Englisch${tab}&Englisch" \
  "Help${tab}&Hilfe" "UpdateStatusBar.0${tab}[Com3] [5]"
check_captions en "UpdateGroupBox${tab}Device" "SerLabel${tab}Serial number:" \
  "PCBLabel${tab}PCB number:" "WaitPanel${tab}Please wait ..." "Bearbeiten${tab}&File" \
  "UpdateEnd${tab}E&xit" "Sprache${tab}&Language" "Deutsch${tab}&German" "Help${tab}&Help"
echo "wine_window.sh: the window starts under Wine; its captions are German, and English with Language=1"

# 2. One whole update started by OK.
folder=$run/update
package "$folder"
status=0
(cd "$folder" && UPDATE_PORT_DIR=$ports UPDATE_AUTO_ANSWER=yes UPDATE_AUTO_RUN=1 UPDATE_TIME_SCALE=${UPDATE_TIME_SCALE:-10} \
  UPDATE_SCREENSHOT_DIR=$(wine_path "$run/pictures") \
  timeout 300 "$WINE" "$(wine_path "$folder/update.exe")") >"$folder/update.log" 2>&1 || status=$?
kill -TERM "$sim" && wait "$sim" || true
sim=
# An error box on the way fails the run even when it ends well.
if [ $status -ne 0 ] || grep -q '^message box \[Fehler\]' "$folder/update.log"; then
  cat "$folder/update.log"
  fail "the run in the window under Wine failed (exit $status)"
fi
"$linux/demo/flash-compare" "$folder/Demo340.txt" "$run/instrument-flash.txt" ||
  fail "the flash differs from the image"
for picture in start programming end; do
  [ -s "$run/pictures/$picture.png" ] || fail "no picture $picture.png of the run"
done
echo "wine_window.sh: update.exe under Wine found the instrument on COM5 and programmed it" \
  "(OK pressed); flash = image; pictures in $run/pictures"
