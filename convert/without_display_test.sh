#!/usr/bin/env bash
# snipforge-convert as a script runs it: no display, an almost empty environment. It must
# convert a list, from a file and through a pipe, and link no Qt library.
set -euo pipefail
program=$1
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
printf 'clip\n10\n11\n' > "$folder/frames.txt"
env -i HOME="$folder" PATH=/usr/bin:/bin "$program" --offset-before 2 --include-text -- \
  "$folder/frames.txt"
expected=$'clip\r\nTrim(0,-1)++trim(1, 7)++\\\r\ntrim( 12,0)\r\n'
if [ "$(cat "$folder/frames.avs"; echo .)" != "$expected." ]; then
  echo "unexpected script:"; od -c "$folder/frames.avs"; exit 1
fi
piped=$(printf 'clip\n10\n11\n' | env -i HOME="$folder" PATH=/usr/bin:/bin "$program" \
  --offset-before 2 --include-text -o - -; echo .)
if [ "$piped" != "$expected." ]; then
  echo "unexpected script through the pipe:"; printf '%s' "$piped" | od -c; exit 1
fi
if readelf -d "$program" | grep -q 'libQt'; then
  echo "links Qt: $(readelf -d "$program" | grep -o 'libQt[A-Za-z0-9]*' | tr '\n' ' ')"; exit 1
fi
