#!/usr/bin/env bash
# Starts a cross-built Windows program under Wine with its arguments and ends with its exit code:
#   WINEPREFIX=/path/to/prefix scripts/wine_run.sh program.exe [argument...]
# ctest uses it as the emulator of the Windows build. Without WINEPREFIX the prefix is
# wine-prefix beside the program's build folder.
set -euo pipefail
source "$(dirname "$0")/wine_env.sh"
program=$1
shift
wine_find || { echo "wine_run.sh: Wine is not installed" >&2; exit 127; }
export WINEPREFIX=${WINEPREFIX:-$(realpath "$(dirname "$program")")/wine-prefix}
wine_prefix_ready || { echo "wine_run.sh: no Wine prefix in $WINEPREFIX" >&2; exit 1; }
exec "$WINE" "$(wine_path "$program")" "$@"
