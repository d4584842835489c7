#!/usr/bin/env bash
# Runs a command on a private X display (Xvfb) with a system tray (trayer), so tray
# behaviour is tested for real. Fails when CI is set and the display cannot start.
set -u
workdir=$(mktemp -d)
cleanup() {
  [ -n "${tray_pid:-}" ] && kill "$tray_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$workdir"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$workdir/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$workdir/display" ] && break
  sleep 0.1
done
if [ ! -s "$workdir/display" ]; then
  echo "Xvfb did not start" >&2
  [ -n "${CI:-}" ] && exit 1
  exit 77
fi
export DISPLAY=":$(head -n1 "$workdir/display")"
export QT_QPA_PLATFORM=xcb
trayer --edge bottom --align right --widthtype pixel --width 64 --heighttype pixel --height 24 >/dev/null 2>&1 &
tray_pid=$!
sleep 0.5
"$@"
