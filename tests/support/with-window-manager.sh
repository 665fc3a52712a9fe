#!/bin/sh
# Runs a GUI test program on a virtual X display with a window manager (openbox), as a user's
# desktop has: popups, focus and activation then go through a real window manager.
# Usage: with-window-manager.sh PROGRAM [ARGS...]
set -u
if ! command -v xvfb-run >/dev/null 2>&1 || ! command -v openbox >/dev/null 2>&1; then
  echo "xvfb-run or openbox is missing: skipped" >&2
  exit 77
fi
exec xvfb-run -a -s "-screen 0 1280x800x24" sh -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  # The window manager is up once it owns the root window.
  for i in $(seq 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
  QT_QPA_PLATFORM=xcb "$@"
  rc=$?
  kill "$wm" 2>/dev/null
  exit $rc
' sh "$@"
