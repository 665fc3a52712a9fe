#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in build/fuzz, and runs them on their seed corpora.
#   scripts/fuzz.sh                 every harness for 60 s
#   scripts/fuzz.sh TARGET          one harness (qev_open, csv_import, ...) for 60 s
#   scripts/fuzz.sh [TARGET|all] SECONDS
# New inputs go to build/fuzz/corpus/<target> (the seeds in fuzz/corpus stay as they are); a
# crash leaves its input in build/fuzz/findings/<target>.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
target=${1:-all}
seconds=${2:-60}
build="$here/build/fuzz"

bash "$here/scripts/install-deps.sh"
if [ ! -f "$build/CMakeCache.txt" ]; then
  launcher=()
  if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
  CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKESTRIN_SANITIZE=ON -DKESTRIN_FUZZ=ON -DKESTRIN_TESTS=OFF -DKESTRIN_BENCH=OFF "${launcher[@]}" >/dev/null
fi

if [ "$target" = all ]; then
  targets=()
  for f in "$here"/fuzz/*.cpp; do targets+=("$(basename "$f" .cpp)"); done
else
  targets=("$target")
fi
build_targets=()
for t in "${targets[@]}"; do build_targets+=("fuzz_$t"); done
cmake --build "$build" -j"$(nproc)" --target "${build_targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$here/tests/support/lsan.supp}
export QT_QPA_PLATFORM=offscreen
status=0
for t in "${targets[@]}"; do
  work="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$work" "$findings"
  seeds=()
  if [ -d "$here/fuzz/corpus/$t" ]; then seeds+=("$here/fuzz/corpus/$t"); fi
  log="$build/findings/$t.log"
  echo "== $t: ${seconds} s" >&2
  if "$build/bin/fuzz_$t" "$work" "${seeds[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
      -max_len=20000 -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$log" | tail -2 >&2 || true
  else
    status=1
    echo "fuzz_$t found a fault; input and log in $findings" >&2
    grep -E 'ERROR|property failed|SUMMARY|runtime error' "$log" | head -5 >&2 || true
  fi
done
exit $status
