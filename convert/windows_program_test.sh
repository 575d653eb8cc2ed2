#!/usr/bin/env bash
# snipforge-convert.exe as a program under wine: a list whose name is not ASCII, the script
# written beside it byte for byte, the same bytes on standard output with -o -, and exit status 2
# for a usage error.
#   windows_program_test.sh SNIPFORGE-CONVERT.EXE  (with WINEPREFIX set to a prefix of the run)
set -euo pipefail
program=$1
: "${WINEPREFIX:?a wine prefix of the test run}"
export LANG=C.UTF-8  # wine passes names outside ASCII only in a UTF-8 locale
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
fail() { echo "$*"; exit 1; }

printf 'clip\n10\n11\n' > "$folder/été.txt"
list="Z:$(printf '%s' "$folder/été.txt" | tr / '\\')"
printf 'clip\r\nTrim(0,-1)++trim(1, 7)++\\\r\ntrim( 12,0)\r\n' > "$folder/expected"
wine "$program" --offset-before 2 --include-text -- "$list"
[ -f "$folder/été.avs" ] || fail "no script été.avs beside the list: $(ls "$folder")"
cmp "$folder/expected" "$folder/été.avs" || { od -c "$folder/été.avs"; fail "unexpected script"; }
wine "$program" --offset-before 2 --include-text -o - -- "$list" > "$folder/out"
cmp "$folder/expected" "$folder/out" || { od -c "$folder/out"; fail "unexpected standard output"; }
status=0
wine "$program" --no-such-option "$list" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a usage error exited with $status, not 2"
