#!/usr/bin/env bash
# The HTTP client against ApacheBench on the same local nginx in the same run
# (5,000 sequential HTTP/1.0 GETs each), then the client's CPU time while it
# waits 5 s on a server that never answers. Everything on 127.0.0.1.
# Needs nginx-light and apache2-utils (Debian).
set -euo pipefail
cd "$(dirname "$0")/.."
requests=${REQUESTS:-5000}
build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAN_CORE_ONLY=ON -DTOLVAN_BENCH=ON >/dev/null
cmake --build "$build" --target http_client_bench -j2 >/dev/null
bench="$build/bench/http_client_bench"

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
wait_port() {
  for _ in $(seq 200); do
    python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $1), 1)" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "nothing listens on $1" >&2; return 1
}

port=$(free_port)
mkdir -p "$work/logs"
cat > "$work/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
  access_log off;
  server {
    listen 127.0.0.1:$port;
    location / { return 200 "ok\n"; }
  }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/logs/error.log" &
pids+=($!)
wait_port "$port"

url="http://127.0.0.1:$port/"
ours=$("$bench" get "$url" "$requests")
ab_out=$(ab -q -n "$requests" -c 1 "$url")
ab_rate=$(awk '/Requests per second/ {print $4}' <<<"$ab_out")
our_rate=$(awk '{print $6}' <<<"$ours")
echo "HttpClient: $ours"
echo "ab:         $ab_rate requests/s"
awk -v o="$our_rate" -v a="$ab_rate" 'BEGIN { printf "ratio:      %.2f (goal at least 0.80)\n", o / a }'

silent=$(free_port)
python3 tests/support/raw_http_server.py "$silent" silent &
pids+=($!)
wait_port "$silent"
echo "silent wait: $("$bench" silent "http://127.0.0.1:$silent/" 5) (goal under 2%)"
