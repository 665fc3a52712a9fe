#!/usr/bin/env bash
# Builds Kestrin for release and packs it as a Debian package:
# build/package/kestrin_<version>_<arch>.deb (install it with: sudo apt-get install ./<file>).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/install-deps.sh"
build="$here/build/release"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRIN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
out="$here/build/package"
mkdir -p "$out"
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake"
rm -rf "$out/_CPack_Packages"
ls -1 "$out"/kestrin_*.deb
