#!/usr/bin/env bash
# Builds Kestrin for Windows (scripts/windows/build.sh) and runs the whole CTest suite under
# Wine (offscreen platform), in a private Wine prefix inside the build folder. Arguments go to
# ctest, for example: scripts/windows/test.sh -R clone. The whole suite ends with a clone through
# a Wine COM port (scripts/windows/com-check.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
bash "$here/scripts/windows/build.sh"
build=${KESTRIN_WIN_BUILD:-$here/build/windows}
export WINEPREFIX="$build/wine"
# Set the prefix up once before the tests start side by side in it.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  WINEDEBUG=-all wineboot -i >/dev/null 2>&1
fi
cd "$build"
status=0
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"${KESTRIN_JOBS:-$(nproc)}" "$@" || status=$?
# A clone through a Wine COM port against the Linux simulator, with the whole suite only.
if [ $# -eq 0 ] && [ $status -eq 0 ]; then
  bash "$here/scripts/windows/com-check.sh" || status=$?
fi
wineserver -k 2>/dev/null || true
exit $status
