#!/usr/bin/env bash
# Runs the unit tests of the Windows build under Wine (ctest starts each test program through
# scripts/wine_run.sh, in a scratch prefix beside the build). Those that make windows (label
# "display") need an X display: scripts/wine_window.sh runs them on its own.
#   scripts/wine_tests.sh [WINDOWS-BUILD] [ctest arguments...]     (default: build-win)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/wine_env.sh"
win=$(realpath "${1:-$root/build-win}")
shift || true
wine_find || { echo "wine_tests.sh: Wine is not installed" >&2; exit 1; }
# Made once here, so the parallel tests do not wait for each other's first start.
export WINEPREFIX=$win/wine-prefix
wine_prefix_ready || { echo "wine_tests.sh: no Wine prefix in $WINEPREFIX" >&2; exit 1; }
cd "$win"
ctest -j "${WINE_TEST_JOBS:-2}" --output-on-failure -L windows -LE display "$@"
