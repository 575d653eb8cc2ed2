#!/usr/bin/env bash
# snipforge-convert.exe as a program under wine: a list whose name is not ASCII, the script
# written beside it byte for byte, the same bytes on standard output with -o -, exit status 2
# for a usage error, and the console's code page as it found it on every way out.
#   windows_program_test.sh SNIPFORGE-CONVERT.EXE CODE_PAGE_TEST.EXE  (with WINEPREFIX set to a
#   prefix of the run)
set -euo pipefail
program=$1
code_page_test=$2
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

# Wine gives a program a console when its standard input is a terminal: script(1) makes one.
if ! command -v script >/dev/null; then
  echo "the console's code page is not tested: script(1) is missing"
  exit 0
fi
status=0
script -qec "wine '$code_page_test' 'Z:$(printf '%s' "$program" | tr / '\\')'" /dev/null \
  </dev/null >"$folder/console" 2>&1 || status=$?
if [ "$status" -eq 77 ]; then
  echo "the console's code page is not tested: wine gave no console"
elif [ "$status" -ne 0 ]; then
  sed 's/\x1b\[1C/ /g; s/\x1b\[[?0-9;]*[a-zA-Z]//g' "$folder/console"
  fail "the console's code page was not put back"
fi
