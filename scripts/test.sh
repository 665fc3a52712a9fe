#!/usr/bin/env bash
# Installs what is missing, builds the test configuration with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/install-deps.sh"
build="$here/build/test"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKESTRIN_SANITIZE=ON -DKESTRIN_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" "$@"
