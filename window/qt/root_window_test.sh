#!/usr/bin/env bash
# Root's window started from another account's environment, as "su" without "-" keeps it, with
# two accounts and real X servers: it takes nothing from that environment that its allow list
# does not name. Another account's QT_QPA_PLATFORM=vnc opens no port, its logging rules are not
# read, its home folder gets nothing, its display is not used, and "-platform" reaches Qt from
# no command line.
#   root_window_test.sh SNIPFORGE  (as root; exits 77, skipped, otherwise)
set -euo pipefail
program=$1
skip() { echo "skipped: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root, to make a second account and to run root's window"
for tool in Xvfb xauth xwininfo ss useradd runuser unshare; do
  command -v "$tool" >/dev/null || skip "$tool is missing"
done
root_home=$(getent passwd 0 | cut -d: -f6)
unshare --mount --propagation private true 2>/dev/null ||
  skip "cannot give root's window a home folder of its own (unshare --mount)"

work=$(mktemp -d)
chmod 0755 "$work"
mallory=sfmallory$$
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  userdel -r "$mallory" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
useradd -m "$mallory"
home=$(getent passwd "$mallory" | cut -d: -f6)
as_mallory() { runuser -u "$mallory" -- "$@"; }

# An X server of root's, with a cookie of its own, and one of the other account's.
start_x() {  # start_x FILE [runuser -u USER --]: the display number goes to FILE
  local file=$1
  shift
  "$@" Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 "${auth[@]}" 3>"$file" \
    >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$file" ] && return; sleep 0.1; done
  fail "Xvfb did not start"
}
export XAUTHORITY=$work/root.xauth
cookie=$(mcookie)
xauth -q -f "$XAUTHORITY" add :0 . "$cookie" 2>/dev/null
auth=(-auth "$XAUTHORITY")
start_x "$work/root.display"
root_display=:$(cat "$work/root.display")
xauth -q -f "$XAUTHORITY" add "$root_display" . "$cookie"
auth=()
start_x "$work/mallory.display" runuser -u "$mallory" --
mallory_display=:$(cat "$work/mallory.display")

# What the other account leaves in its environment: logging rules that would turn on every
# debug message, through QT_LOGGING_CONF and through XDG_CONFIG_DIRS.
as_mallory mkdir -p "$home/xdg/QtProject" "$home/bin"
as_mallory sh -c "printf '[Rules]\n*.debug=true\n' > '$home/log.ini'"
as_mallory cp "$home/log.ini" "$home/xdg/QtProject/qtlogging.ini"
port=$((20000 + $$ % 20000))
hostile=(HOME="$home" PATH="$home/bin:/usr/bin:/bin" XDG_CONFIG_HOME="$home/.config"
         XDG_CONFIG_DIRS="$home/xdg" QT_LOGGING_CONF="$home/log.ini"
         QT_QPA_PLATFORM="vnc:port=$port" XCURSOR_PATH="$home" LOCPATH="$home" GCONV_PATH="$home"
         DBUS_SESSION_BUS_ADDRESS="unix:path=$home/bus" WAYLAND_DISPLAY=wayland-0)
listening() { [ -n "$(ss -ltnH "sport = :$port")" ]; }
window_on() {  # window_on DISPLAY [runuser -u USER --]
  local display=$1
  shift
  "$@" xwininfo -display "$display" -root -tree 2>/dev/null | grep -q 'Snipforge ver'
}
# Root's window in a mount namespace whose root home folder is empty, so that the run leaves
# root's real settings as they are.
root_window() {  # root_window LOG ENVIRONMENT... -- ARGUMENTS...
  local log=$1
  shift
  local environment=()
  while [ "$1" != -- ]; do environment+=("$1"); shift; done
  shift
  env -i "${environment[@]}" unshare --mount --propagation private sh -c \
    'mount -t tmpfs -o mode=0700 tmpfs "$0" && exec "$@"' "$root_home" "$program" "$@" \
    >"$log" 2>&1 &
  pids+=($!)
  window=$!
}

# The check itself sees the rules: the other account's own window prints debug messages.
as_mallory env "${hostile[@]}" QT_QPA_PLATFORM=offscreen timeout 3 "$program" \
  >"$work/mallory.log" 2>&1 || true
grep -q '^qt\.' "$work/mallory.log" || fail "the logging rules show nothing: the test sees nothing"

# Root's window on root's display with everything else from the other account.
root_window "$work/root.log" "${hostile[@]}" DISPLAY="$root_display" XAUTHORITY="$XAUTHORITY" --
for _ in $(seq 100); do window_on "$root_display" && break; sleep 0.1; done
window_on "$root_display" || { cat "$work/root.log"; fail "root's window did not open"; }
listening && fail "root's window listens on port $port (QT_QPA_PLATFORM from the environment)"
if grep -q '^qt\.' "$work/root.log"; then
  head -5 "$work/root.log"; fail "root's window read another account's logging rules"
fi
[ -z "$(find "$home" -user 0 -print -quit)" ] ||
  fail "root's window wrote into another account's home folder: $(find "$home" -user 0)"
kill "$window"

# The other account's display: not used, and said so. Qt aborts without a display, which the
# shell would report on its standard error.
exec 3>&2 2>/dev/null
root_window "$work/foreign.log" "${hostile[@]}" DISPLAY="$mallory_display" --
for _ in $(seq 50); do kill -0 "$window" 2>/dev/null || break; sleep 0.1; done
kill -0 "$window" 2>/dev/null && fail "root's window runs without a display of its own"
wait "$window" || true
exec 2>&3 3>&-
grep -q "DISPLAY=$mallory_display is not used" "$work/foreign.log" ||
  { cat "$work/foreign.log"; fail "no note on the display that was not used"; }
window_on "$mallory_display" runuser -u "$mallory" -- &&
  fail "root's window opened on another account's display"
listening && fail "root's window listens on port $port"

# "-platform" from the command line, also after "--", reaches no one's Qt.
for arguments in "-platform vnc:port=$port" "-- -platform vnc:port=$port"; do
  # shellcheck disable=SC2086  # the words are the arguments
  for user in root "$mallory"; do
    status=0
    runuser -u "$user" -- env DISPLAY="$root_display" XAUTHORITY="$XAUTHORITY" \
      timeout 5 "$program" $arguments >/dev/null 2>&1 || status=$?
    [ "$status" -eq 2 ] || fail "$user: snipforge $arguments exited with $status, not 2"
  done
done
listening && fail "a window listens on port $port"
echo "root's window took nothing from the other account's environment"
