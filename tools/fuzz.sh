#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) and runs each for
# a bounded time, starting from its corpus in tests/fuzz/corpus/<target>/.
#   tools/fuzz.sh [seconds per target, default 30] [target ...]
# As many targets run at once as there are processors. New inputs the fuzzer
# finds go to build/fuzz/corpus/, not into the repository; a crash leaves its
# input in build/fuzz/ and fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
[ $# -gt 0 ] && shift
out=build/fuzz
cxx=$(command -v clang++-14 || command -v clang++ || true)
if [ -z "$cxx" ]; then
  echo "fuzz: clang++ is missing (tools/install-deps.sh installs clang-14)" >&2
  exit 1
fi
cmake -S . -B "$out" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLVAN_FUZZ=ON -DTOLVAN_CORE_ONLY=ON -DTOLVAN_WERROR=ON >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/*Fuzz.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
cmake --build "$out" -j"$(nproc)" --target "${targets[@]}"

# Readable stack traces in a crash report, where the symbolizer is at hand.
for s in /usr/lib/llvm-14/bin/llvm-symbolizer "$(command -v llvm-symbolizer || true)"; do
  if [ -x "$s" ]; then export ASAN_SYMBOLIZER_PATH="$s"; break; fi
done

run() {
  local t=$1
  mkdir -p "$out/corpus/$t"
  # -timeout: one input taking this long is a hang; -rss_limit_mb: a blow-up.
  if (cd "$out" && "./tests/fuzz/$t" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 "corpus/$t" "../../tests/fuzz/corpus/$t" >"$t.log" 2>&1); then
    echo "$t: $(grep -m1 '^stat::number_of_executed_units' "$out/$t.log" | awk '{print $2}') runs in ${seconds}s, no failure"
  else
    echo "$t FAILED (log: $out/$t.log)"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|.*Test unit written)' "$out/$t.log" | head -20 || true
    return 1
  fi
}

slots=$(nproc)
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$slots" ]; do
    sleep 1
  done
  rm -f "$out/$t.failed"
  run "$t" || touch "$out/$t.failed" &
done
wait
status=0
for t in "${targets[@]}"; do
  [ ! -e "$out/$t.failed" ] || status=1
done
exit $status
