#!/usr/bin/env bash
# The installer under wine: /S installs both programs, the Start menu entry, "Open with" for
# .txt files, the folder at the end of the system PATH and the entry in Add/Remove Programs, and
# the uninstaller takes them all away again. Neither installs nor uninstalls while a program
# runs; a file that cannot be written fails the install and leaves no entry behind; a PATH the
# installer cannot hold whole is left alone.
#   installer_test.sh SETUP.EXE VERSION NUMBERS  (with WINEPREFIX set to a prefix of the test run;
#   VERSION the text of the version, NUMBERS its four numbers, as 0.6.0.0)
set -euo pipefail
setup=$1 version=$2 numbers=$3
: "${WINEPREFIX:?a wine prefix of the test run}"
programs="$WINEPREFIX/drive_c/Program Files/Snipforge"
folder='C:\Program Files\Snipforge'
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Snipforge.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Snipforge'
open_with='HKLM\Software\Classes\.txt\OpenWithProgids'
environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
scratch=$(mktemp -d)
fail() { echo "$*"; exit 1; }

# The system PATH, its type, and setting both.
path_field() { wine reg query "$environment" /v Path | tr -d '\r' |
                 sed -n "s/^    Path    \(REG_[A-Z_]*\)    \(.*\)$/\\$1/p"; }
set_path() { wine reg add "$environment" /v Path /t "$2" /d "$1" /f >/dev/null; }
original_path=$(path_field 2)
original_type=$(path_field 1)
[ "$original_type" = REG_EXPAND_SZ ] || fail "the prefix's PATH is $original_type"
release_program() { :; }
trap 'release_program; set_path "$original_path" "$original_type"; rm -rf "$scratch"' EXIT
expect_path() {
  [ "$(path_field 2)" = "$1" ] || fail "$2: PATH is '$(path_field 2)', not '$1'"
  [ "$(path_field 1)" = REG_EXPAND_SZ ] || fail "$2: PATH became $(path_field 1)"
}

installed() {
  for file in snipforge.exe snipforge-convert.exe README-windows.txt uninstall.exe; do
    [ -f "$programs/$file" ] || fail "$1: not installed: $file"
  done
  [ -f "$menu" ] || fail "$1: no Start menu entry"
  wine reg query "$open_with" /v Snipforge.FrameList >/dev/null ||
    fail "$1: no Open with entry for .txt files"
  wine reg query "$key" /v UninstallString >/dev/null || fail "$1: not in Add/Remove Programs"
}
not_installed() {
  [ ! -e "$programs/snipforge.exe" ] || fail "$1: left snipforge.exe"
  [ ! -e "$menu" ] || fail "$1: left the Start menu entry"
  if wine reg query "$key" >/dev/null 2>&1; then fail "$1: left the Add/Remove Programs entry"; fi
  if wine reg query "$open_with" /v Snipforge.FrameList >/dev/null 2>&1; then
    fail "$1: left the Open with entry"
  fi
}
# The uninstaller copies itself away and returns at once; wait until it has removed the folder,
# its last step (wine's own services never end, so waiting for every program of the prefix
# would not do).
uninstall() {
  wine "$programs/uninstall.exe" /S
  for _ in $(seq 300); do [ -e "$programs" ] || break; sleep 0.1; done
  [ ! -e "$programs" ] || fail "uninstall left behind: $(ls "$programs")"
}
# The uninstaller in place (_?=, which must stand unquoted after it), which returns its status.
uninstall_in_place() {
  printf '"%s\\uninstall.exe" /S _?=%s\r\nexit /b %%errorlevel%%\r\n' "$folder" "$folder" \
    >"$scratch/uninstall.bat"
  wine cmd /c "Z:${scratch//\//\\}\\uninstall.bat" >/dev/null
}

# A first install: everything in place, the folder once at the end of PATH, and the version
# resources of the three programs.
wine "$setup" /S
installed "first install"
expect_path "$original_path;$folder" "first install"
wine "$setup" /S
installed "second install"
expect_path "$original_path;$folder" "second install"
[ "$(cd "$scratch" && wine cmd /c 'snipforge-convert --version' | tr -d '\r')" = \
  "snipforge-convert $version" ] || fail "snipforge-convert does not run by its name"
for program in "$programs/snipforge.exe" "$programs/snipforge-convert.exe" "$setup"; do
  hex=$(wrestool -x --raw --type=16 "$program" | od -An -v -tx1 | tr -d ' \n')
  hex=${hex#*bd04effe} # VS_FIXEDFILEINFO's signature; then its version, the file's version
  word() { echo $((16#${hex:$1+2:2}${hex:$1:2})); }
  found="$(word 12).$(word 8).$(word 20).$(word 16)"
  [ "$found" = "$numbers" ] || fail "$program: version $found, not $numbers"
  for name in FileVersion ProductVersion; do
    text=$(wrestool -x --raw --type=16 "$program" | strings -el | sed -n "/^$name\$/{n;p}")
    [ "$text" = "$version" ] || fail "$program: $name '$text', not '$version'"
  done
done
[ "$(grep -c $'\r$' "$programs/README-windows.txt")" = "$(wc -l <"$programs/README-windows.txt")" ] ||
  fail "README-windows.txt has lines without CR LF"

# A program that runs: snipforge-convert waiting for its standard input. Neither install nor
# uninstall goes on, and /S says so in its exit status.
mkfifo "$scratch/input"
wine "$programs/snipforge-convert.exe" -o - - <"$scratch/input" >/dev/null 2>&1 &
running=$!
exec 3>"$scratch/input"
release_program() { exec 3>&-; wait "$running" || true; release_program() { :; }; }
for _ in $(seq 100); do grep -q snipforge-convert.exe "/proc/$running/maps" && break; sleep 0.1; done
grep -q snipforge-convert.exe "/proc/$running/maps" || fail "snipforge-convert did not start"
touch -d 2000-01-01 "$programs/snipforge.exe"
if wine "$setup" /S; then fail "installed while snipforge-convert ran"; fi
[ "$(stat -c %Y "$programs/snipforge.exe")" = "$(date -d 2000-01-01 +%s)" ] ||
  fail "replaced snipforge.exe while snipforge-convert ran"
if uninstall_in_place; then fail "uninstalled while snipforge-convert ran"; fi
installed "uninstall while snipforge-convert ran"
expect_path "$original_path;$folder" "uninstall while snipforge-convert ran"
release_program

# Uninstall takes out its own entry of PATH and no other, and leaves .txt's OpenWithProgids to
# the other programs listed there.
set_path "$original_path;$folder;$folder\\bin;C:\\Other" REG_EXPAND_SZ
wine reg add "$open_with" /v Other.Program /t REG_SZ /d '' /f >/dev/null
uninstall
not_installed "uninstall"
expect_path "$original_path;$folder\\bin;C:\\Other" "uninstall"
wine reg query "$open_with" /v Other.Program >/dev/null || fail "took another program's Open with"
wine reg delete "$open_with" /f >/dev/null
set_path "$original_path" REG_EXPAND_SZ
wine "$setup" /S
uninstall
if wine reg query "$open_with" >/dev/null 2>&1; then fail "left an empty OpenWithProgids"; fi
expect_path "$original_path" "uninstall"

# /NOPATH: no entry, and an earlier install's entry taken out.
wine "$setup" /S /NOPATH
installed "/NOPATH"
expect_path "$original_path" "/NOPATH"
wine "$setup" /S
wine "$setup" /S /NOPATH
expect_path "$original_path" "/NOPATH after an install with PATH"
uninstall

# A PATH of 1,023 characters or more, or one that would grow to that with the folder, is left
# alone by both.
for length in 1000 1023 3000; do
  long="$original_path;C:\\"
  while [ ${#long} -lt "$length" ]; do long+=x; done
  set_path "$long" REG_EXPAND_SZ
  wine "$setup" /S
  expect_path "$long" "install with a PATH of $length characters"
  uninstall
  expect_path "$long" "uninstall with a PATH of $length characters"
done
set_path "$original_path" REG_EXPAND_SZ

# A file that cannot be written, in the middle or at the folder: a failed install, no Start menu
# or Add/Remove Programs entry, PATH as it was, and nothing of it left in the folder.
for blocker in folder-at-convert file-at-folder; do
  case $blocker in
    folder-at-convert) mkdir -p "$programs/snipforge-convert.exe" ;;
    file-at-folder) touch "$programs" ;;
  esac
  if wine "$setup" /S; then fail "$blocker: the install did not fail"; fi
  not_installed "$blocker"
  expect_path "$original_path" "$blocker"
  rm -rf "$programs"
done
