#!/usr/bin/env bash
# Starts the real program on a virtual X screen with a window manager
# (openbox, when installed) and saves a picture of the whole screen: the check
# that the main window comes up on a display, whole, at its first size.
#   scripts/xvfb_screenshot.sh <build folder> <picture.png> [WIDTHxHEIGHT]
set -euo pipefail
build=$1
picture=$2
screen=${3:-1024x768}
startup_wait=2        # seconds for the program to show its window
settle_ms=500         # then a little more for the paint to reach the screen

if ! command -v xvfb-run >/dev/null; then
  echo "xvfb-run is not installed; no picture of the running program" >&2
  exit 0
fi
# A settings folder of its own: the window opens at its first size, not where
# a person's earlier run left it.
settings=$(mktemp -d)
trap 'rm -rf "$settings"' EXIT
xvfb-run -a -s "-screen 0 ${screen}x24" env XDG_CONFIG_HOME="$settings" bash -c '
  wm=
  if command -v openbox >/dev/null; then
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
  fi
  "$1/src/ui/reelo" &
  pid=$!
  sleep "$3"
  "$1/tests/ui/reelo_screenshots" --screen "$2" "$4"
  status=$?
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  [ -n "$wm" ] && kill "$wm"
  exit "$status"
' grab "$build" "$picture" "$startup_wait" "$settle_ms"
