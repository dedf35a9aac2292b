#!/usr/bin/env bash
# Starts the real program on a virtual X screen and saves a picture of the
# whole screen: the check that the main window comes up on a display.
#   scripts/xvfb_screenshot.sh <build folder> <picture.png>
set -euo pipefail
build=$1
picture=$2
startup_wait=2        # seconds for the program to show its window
settle_ms=500         # then a little more for the paint to reach the screen

if ! command -v xvfb-run >/dev/null; then
  echo "xvfb-run is not installed; no picture of the running program" >&2
  exit 0
fi
xvfb-run -a -s '-screen 0 1024x768x24' bash -c '
  "$1/src/ui/reelo" &
  pid=$!
  sleep "$3"
  "$1/tests/ui/reelo_screenshots" --screen "$2" "$4"
  status=$?
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  exit "$status"
' grab "$build" "$picture" "$startup_wait" "$settle_ms"
