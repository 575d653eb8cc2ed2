#!/usr/bin/env bash
# cmake --install creates the machine-wide store's folder 0755 when it is missing, whatever the
# umask, and leaves the mode of a folder that exists as it was.
#   install_folder_test.sh BUILD-DIR
set -euo pipefail
build=$1
folder=$(sed -n 's/^SNIPFORGE_SETTINGS_FILE:[A-Z]*=//p' "$build/CMakeCache.txt")
folder=${folder%/*}
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
umask 077
run_install() { DESTDIR=$dest cmake --install "$build" --component settings_folder >/dev/null; }

run_install
mode=$(stat -c %a "$dest$folder")
[ "$mode" = 755 ] || { echo "created $mode, not 755"; exit 1; }

rm -r "${dest:?}$folder"
mkdir -m 0710 "$dest$folder"
run_install
mode=$(stat -c %a "$dest$folder")
[ "$mode" = 710 ] || { echo "an existing folder changed to $mode"; exit 1; }
