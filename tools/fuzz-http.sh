#!/usr/bin/env bash
# Runs the HTTP response fuzzer for a bounded time: tools/fuzz-http.sh [seconds, default 60]
exec "$(dirname "$0")/fuzz.sh" "${1:-60}" HttpResponseFuzz
