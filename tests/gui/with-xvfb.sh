#!/usr/bin/env bash
# Runs a command on a private X server with a window manager that puts frames and title
# bars around the windows: Xvfb on a free display, openbox on it, both stopped when the
# command ends. Used by the window tests that must see a real frame.
#   tests/gui/with-xvfb.sh COMMAND [ARG...]
set -u

for tool in Xvfb openbox xprop; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "with-xvfb.sh: $tool is not installed (scripts/setup.sh installs it)" >&2
    exit 1
  fi
done

work=$(mktemp -d)
xvfb_pid="" wm_pid=""
stop() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null && wait "$wm_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT TERM

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "with-xvfb.sh: Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  sleep 0.1
done
[ -s "$work/display" ] || { echo "with-xvfb.sh: Xvfb gave no display number within 10 s" >&2; exit 1; }
export DISPLAY=":$(tr -d '[:space:]' <"$work/display")"

# The window manager is ready once it has announced itself on the root window.
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  kill -0 "$wm_pid" 2>/dev/null || { echo "with-xvfb.sh: openbox did not start:" >&2; cat "$work/openbox.log" >&2; exit 1; }
  sleep 0.1
done
xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" ||
  { echo "with-xvfb.sh: openbox was not ready within 10 s" >&2; exit 1; }

QT_QPA_PLATFORM=xcb "$@"
rc=$?
exit "$rc"
