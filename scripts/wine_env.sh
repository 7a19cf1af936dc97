# Running the cross-built Windows programs under Wine. Sourced by wine_run.sh, wine_tests.sh and
# wine_e2e.sh.
#
# Debian's wine64 package alone has no "wine" command on the path; its loader then sits in
# /usr/lib/wine. A scratch prefix per build folder keeps the user's own ~/.wine out of it; mscoree
# and mshtml are switched off so no installer dialog waits for a click.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=${WINEDEBUG:--all}

# The 64-bit loader itself where it is found (the programs are 64-bit), else the "wine" command.
wine_find() {  # sets WINE and WINESERVER; fails when Wine is not installed
  WINE=$(command -v wine64 || true)
  [ -n "$WINE" ] || { [ -x /usr/lib/wine/wine64 ] && WINE=/usr/lib/wine/wine64; }
  [ -n "$WINE" ] || WINE=$(command -v wine || true)
  WINESERVER=$(command -v wineserver || true)
  [ -n "$WINESERVER" ] || { [ -x /usr/lib/wine/wineserver ] && WINESERVER=/usr/lib/wine/wineserver; }
  [ -n "$WINE" ] && [ -n "$WINESERVER" ]
}

# Makes the prefix $WINEPREFIX once (wineboot takes some seconds); parallel callers wait for the
# first one.
wine_prefix_ready() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$WINE" wineboot -i >/dev/null 2>&1
      "$WINESERVER" -w
    fi
  ) 9>"$WINEPREFIX.lock"
  [ -f "$WINEPREFIX/system.reg" ]
}

# The Windows path of a file: drive Z: is the root of the file system. Wine starts a program
# given by its Windows path; a relative Unix path does not start.
wine_path() {
  local path
  path=$(realpath "$1")
  printf 'Z:%s' "${path//\//\\}"
}
