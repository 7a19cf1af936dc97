#!/usr/bin/env bash
# Includes run downward only: each folder may include its own headers and those of the folders
# below it. The simulator shares nothing with the product. Prints every include that crosses a
# layer and exits 1 when there is one.
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
  [msp430]="core package serial platform update msp430"
  [loaders]="core package serial platform update msp430 loaders"
  [check]="core package serial platform update msp430 loaders check"
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
[ $status -eq 0 ] && echo "includes run downward"
exit $status
