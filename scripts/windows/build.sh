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
# The Windows Qt has no SVG module: the pictures are rendered to PNG here, by kestrin_svgpng built
# for this machine against its own Qt.
svgpng="$build/host-tools/kestrin_svgpng"
if [ ! -x "$svgpng" ] || [ "$here/resources/icons/svgpng.cpp" -nt "$svgpng" ]; then
  mkdir -p "$(dirname "$svgpng")"
  # shellcheck disable=SC2046
  g++ -std=c++17 -O1 -fPIC "$here/resources/icons/svgpng.cpp" -o "$svgpng" \
    $(pkg-config --cflags --libs Qt6Svg Qt6Gui Qt6Core)
fi
cmake -S "$here" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DKESTRIN_WERROR=ON \
  -DCMAKE_PREFIX_PATH="$KESTRIN_WIN_SDK" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$here/scripts/windows/wine-run.sh" \
  -DKESTRIN_HOST_SVGPNG="$svgpng" >/dev/null
cmake --build "$build" -j"${KESTRIN_JOBS:-$(nproc)}"
