#!/usr/bin/env bash
# snipforge-convert as a script runs it: no display, no Qt platform, an almost empty
# environment. It must convert a list and link no Qt library but Qt Core.
set -euo pipefail
program=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
printf 'clip\n10\n11\n' > "$folder/frames.txt"
env -i HOME="$folder" PATH=/usr/bin:/bin "$program" --offset-before 2 --include-text \
  "$folder/frames.txt"
expected=$'clip\r\nTrim(0,-1)++trim(1, 7)++\\\r\ntrim( 12,0)\r\n'
if [ "$(cat "$folder/frames.avs"; echo .)" != "$expected." ]; then
  echo "unexpected script:"; od -c "$folder/frames.avs"; exit 1
fi
qt_libraries=$(readelf -d "$program" | grep -o 'libQt6[A-Za-z]*' | sort -u | tr '\n' ' ')
if [ "$qt_libraries" != "libQt6Core " ]; then
  echo "links Qt libraries beyond Qt Core: $qt_libraries"; exit 1
fi
