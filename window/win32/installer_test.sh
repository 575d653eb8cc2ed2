#!/usr/bin/env bash
# The installer under wine: /S installs both programs, the Start menu entry, "Open with" for
# .txt files and the entry in Add/Remove Programs, and /S uninstalls them all again.
#   installer_test.sh SETUP.EXE  (with WINEPREFIX set to a prefix of the test run)
set -euo pipefail
setup=$1
: "${WINEPREFIX:?a wine prefix of the test run}"
programs="$WINEPREFIX/drive_c/Program Files/Snipforge"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Snipforge.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Snipforge'
fail() { echo "$*"; exit 1; }

wine "$setup" /S
for file in snipforge.exe snipforge-convert.exe README-windows.txt uninstall.exe; do
  [ -f "$programs/$file" ] || fail "not installed: $file"
done
[ -f "$menu" ] || fail "no Start menu entry"
wine reg query 'HKLM\Software\Classes\.txt\OpenWithProgids' /v Snipforge.FrameList >/dev/null ||
  fail "no Open with entry for .txt files"
if wine reg query 'HKLM\Software\Classes\.txt' /ve 2>/dev/null | grep -q Snipforge; then
  fail "took over the default program of .txt files"
fi
wine reg query "$key" /v UninstallString >/dev/null || fail "not in Add/Remove Programs"

# The uninstaller copies itself away and returns at once; wait until it has removed the folder,
# its last step (wine's own services never end, so waiting for every program of the prefix
# would not do).
wine "$programs/uninstall.exe" /S
for _ in $(seq 300); do [ -e "$programs" ] || break; sleep 0.1; done
[ ! -e "$programs" ] || fail "left behind: $(ls "$programs")"
[ ! -e "$menu" ] || fail "left the Start menu entry"
if wine reg query "$key" >/dev/null 2>&1; then fail "left the Add/Remove Programs entry"; fi
if wine reg query 'HKLM\Software\Classes\.txt\OpenWithProgids' /v Snipforge.FrameList >/dev/null 2>&1; then
  fail "left the Open with entry"
fi
