#!/usr/bin/env bash
# CPU used by `tolvan submit` while it waits on https:// engines that accept
# the connection and never answer the TLS handshake: ENGINES (default 2)
# definitions, --timeout TIMEOUT (default 5). Reports user + system CPU time
# over wall time of the whole process (start-up included).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/submit-bench-common.sh

engines=${ENGINES:-2}
timeout=${TIMEOUT:-5}
build_submit_command

python3 tests/support/tls_test_server.py certs "$work/certs"
export SSL_CERT_FILE="$work/certs/ca.pem"
port=$(free_port)
python3 tests/support/tls_test_server.py serve "$port" "$work/certs/good.pem" silent &
pids+=($!)
wait_port "$port"

base="$work/base"
mkdir -p "$base/data" "$base/sites"
args=()
for i in $(seq "$engines"); do
  printf '[Fields]\r\nURL=url\r\nTITLE=title\r\n[SITE]\r\nACTION=https://localhost:%s/add\r\nMETHOD=POST\r\nURL=https://silent.example/\r\n' \
    "$port" >"$base/data/Silent $i.tlx"
  args+=(--engine "Silent $i")
done
printf '[LastSaved]\r\nFORWARD=http://\r\nURL=www.mysite.example/\r\n' >"$base/sites/last.tlx"

echo "submit command: ${submit[*]}"
echo "load before: $(uptime)"
(cd "$base" && measure "$work/time" "$work/run.out" "$work/run.err" \
  "${submit[@]}" --site http://www.mysite.example/ "${args[@]}" --timeout "$timeout")
echo "load after: $(uptime)"
timed_out=$(grep -c $'\ttimed-out\t' "$work/run.out" || true)
if [ "$timed_out" != "$engines" ]; then
  echo "expected $engines timed-out engines, got $timed_out" >&2
  cat "$work/run.out" "$work/run.err" >&2
  exit 1
fi
read -r wall user sys code _ <"$work/time"
[ "$code" = 0 ] || { echo "the run ended with status $code" >&2; exit 1; }
awk -v w="$wall" -v u="$user" -v s="$sys" -v n="$engines" -v t="$timeout" 'BEGIN {
  printf "%d https engines stalled in the handshake, timed out after %d s each: wall %.3f s, user %.3f s, system %.3f s\n", n, t, w, u, s
  printf "CPU / wall: %.3f%% (goal under 1%%)\n", 100 * (u + s) / w }'
