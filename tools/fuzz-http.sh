#!/usr/bin/env bash
# Builds the HTTP response fuzzer with clang (libFuzzer, ASan, UBSan) and runs
# it for a bounded time: tools/fuzz-http.sh [seconds, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build/fuzz
mkdir -p "$out/corpus"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -Isrc/core tests/fuzz/HttpResponseFuzz.cpp src/core/net/HttpClient.cpp src/core/net/NetErrors.cpp \
  src/core/net/EventPump.cpp -lanl -o "$out/http_response_fuzz"
# A few well-formed and broken replies to start from.
printf '\x10HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html>body</html>' > "$out/corpus/ok"
printf '\x05HTTP/1.0 302 Found\r\nLocation: /x\r\n folded\r\nNoColon\r\n\n\nbody' > "$out/corpus/redirect"
"$out/http_response_fuzz" -max_total_time="$seconds" -max_len=200000 "$out/corpus"
