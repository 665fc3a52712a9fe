#!/usr/bin/env bash
# Cross-builds Kestrin for 64-bit Windows into build/windows: kestrin.exe, kestrin-cli.exe, the
# tests and the benchmarks, with the warnings of the Linux test build (as errors). Needs the SDK
# of scripts/windows/sdk.sh (KESTRIN_WIN_SDK, default ~/.cache/kestrin/win-sdk-6.4.2).
#   KESTRIN_WIN_BUILD   the build folder (default build/windows)
#   KESTRIN_JOBS        parallel jobs (default: the number of cores)
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
export KESTRIN_WIN_SDK=${KESTRIN_WIN_SDK:-$HOME/.cache/kestrin/win-sdk-6.4.2}
if [ ! -f "$KESTRIN_WIN_SDK/.complete" ]; then
  echo "No Windows SDK in $KESTRIN_WIN_SDK: build it first with scripts/windows/sdk.sh" >&2
  exit 1
fi
bash "$here/scripts/windows/install-deps.sh"
build=${KESTRIN_WIN_BUILD:-$here/build/windows}
# The build-time generators (resource tables, factory images, pictures rendered to PNG, since
# the Windows Qt has no SVG module) run here, from a build of them for this machine.
host="$build/host-tools"
cmake -S "$here" -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRIN_TESTS=OFF \
  -DKESTRIN_BENCH=OFF >/dev/null
cmake --build "$host" -j"${KESTRIN_JOBS:-$(nproc)}" --target kestrin_embed_text factorygen kestrin_svgpng
tools="$host/tools"
mkdir -p "$tools"
for t in kestrin_embed_text factorygen kestrin_svgpng; do
  cp -p "$(find "$host" -name "$t" -type f -perm -u+x | head -n1)" "$tools/"
done
cmake -S "$here" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DKESTRIN_WERROR=ON \
  -DCMAKE_PREFIX_PATH="$KESTRIN_WIN_SDK" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$here/scripts/windows/wine-run.sh" \
  -DKESTRIN_HOST_TOOLS="$tools" >/dev/null
cmake --build "$build" -j"${KESTRIN_JOBS:-$(nproc)}"
