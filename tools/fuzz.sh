#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each for
# a bounded time, starting from its corpus in tests/fuzz/corpus/<target>/.
#   tools/fuzz.sh [seconds per target, default 30] [target ...]
# New inputs the fuzzer finds go to build/fuzz/corpus/, not into the
# repository; a crash leaves its input in build/fuzz/ and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
[ $# -gt 0 ] && shift
out=build/fuzz
CXX=clang++ cmake -S . -B "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAN_FUZZ=ON -DTOLVAN_CORE_ONLY=ON >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/*Fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
cmake --build "$out" -j"$(nproc)" --target "${targets[@]}"
status=0
for t in "${targets[@]}"; do
  mkdir -p "$out/corpus/$t"
  if (cd "$out" && "./tests/fuzz/$t" -max_total_time="$seconds" -max_len=65536 -timeout=20 -print_final_stats=1 \
        "corpus/$t" "../../tests/fuzz/corpus/$t" >"$t.log" 2>&1); then
    echo "$t: $(grep -m1 '^stat::number_of_executed_units' "$out/$t.log" | awk '{print $2}') runs in ${seconds}s, no failure"
  else
    echo "$t FAILED (log: $out/$t.log)"
    grep -E '^(==|SUMMARY|artifact_prefix|Test unit written)' "$out/$t.log" | head -20 || true
    status=1
  fi
done
exit $status
