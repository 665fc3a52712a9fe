#!/usr/bin/env bash
# Installs what is missing, builds Kestrin (release) and starts it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/install-deps.sh"
build="$here/build/release"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRIN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
if [ -x "$build/bin/kestrin" ]; then
  exec "$build/bin/kestrin" "$@"
elif [ -x "$build/bin/kestrin-cli" ]; then
  if [ $# -eq 0 ]; then set -- show memory --destination 0; fi
  exec "$build/bin/kestrin-cli" "$@"
else
  echo "Kestrin is built in $build; the programs are not there yet." >&2
fi
