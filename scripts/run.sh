#!/usr/bin/env bash
# Installs what is missing, builds Kestrin (release) and starts the desktop program. Arguments
# go to kestrin (a data file to open, /setup, --simulator, ...).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

# Install first: the advice below names xvfb-run, which a fresh machine only has afterwards.
bash "$here/scripts/install-deps.sh"

# The window needs a display. Without one, say how to get one rather than failing obscurely.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'MSG'
kestrin needs a display and none was found (DISPLAY and WAYLAND_DISPLAY are not set).
Run it on a desktop, or under a virtual X server:
    xvfb-run -a -s "-screen 0 1400x900x24" bash scripts/run.sh
MSG
  exit 1
fi

build="$here/build/release"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRIN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target kestrin
# No radio given: with no arguments and no USB-serial cable plugged in, clone with the built-in
# simulated transceiver for this run (nothing is stored; a chosen port still wins).
if [ $# -eq 0 ] && ! compgen -G "/dev/ttyUSB*" >/dev/null && ! compgen -G "/dev/ttyACM*" >/dev/null; then
  set -- --simulator
fi
exec "$build/bin/kestrin" "$@"
