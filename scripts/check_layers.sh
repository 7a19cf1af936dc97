#!/usr/bin/env bash
# Includes run downward only: each folder may include its own headers and those of the folders
# below it. The simulator shares nothing with the product. The Win32 window (winshell/) may
# include what shell/ may, but no Qt. Prints every include that crosses a layer and exits 1 when
# there is one.
set -uo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2

declare -A allowed=(
  [core]="core"
  [package]="core package"
  [serial]="core serial"
  [platform]="core platform"
  [translation]="core package translation"
  [update]="core package serial platform update"
  [loaders]="core package serial platform update loaders"
  [winshell]="core package serial platform translation update loaders shell winshell"
  [check]="core package serial platform update loaders check"
  [sim]="sim"
)

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#include "([a-z0-9_]+)\/.*/\1/' <<<"$text")
    if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      echo "$file:$line: $folder/ must not include $target/: $text"
      status=1
    fi
  done < <(grep -rnE '^\s*#\s*include "[a-z0-9_]+/' "$folder" --include='*.h' --include='*.cpp')
done
# Loaders reach the run through update/run_host.h, never through the engine itself.
while IFS=: read -r file line text; do
  echo "$file:$line: a loader must not include the engine: $text"
  status=1
done < <(grep -rnE '^\s*#\s*include "update/(engine|programming_flows|state_machine)\.h"' loaders \
  --include='*.h' --include='*.cpp')
# Qt stays in shell/ (and the translation's Qt adapter): the Win32 window and the shell headers
# it includes build without it.
while IFS=: read -r file line text; do
  echo "$file:$line: winshell/ must not use Qt: $text"
  status=1
done < <(grep -rnE '^\s*#\s*include\s*<Q' winshell --include='*.h' --include='*.cpp' 2>/dev/null)
while IFS=: read -r file line text; do
  header=$(sed -E 's/.*#include "(shell\/[a-z0-9_]+\.h)".*/\1/' <<<"$text")
  if grep -qE '^\s*#\s*include\s*<Q' "$header" 2>/dev/null; then
    echo "$file:$line: winshell/ includes $header, which uses Qt"
    status=1
  fi
done < <(grep -rnE '^\s*#\s*include "shell/' winshell --include='*.h' --include='*.cpp' 2>/dev/null)
[ $status -eq 0 ] && echo "includes run downward"
exit $status
