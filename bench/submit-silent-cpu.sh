#!/usr/bin/env bash
# CPU used by `tolvan submit` while it waits on engines that accept the
# connection and never answer: ENGINES (default 2) definitions on a silent
# local server, --timeout 5, so the run waits about 5 s per engine. Reports the
# process's user + system CPU time over its wall time (start-up included).
# With TLS=1 the engines are https:// ones that accept the connection and never
# answer the TLS handshake (certificates from the test CA).
#
# Environment: BUILD_DIR (default build/bench-full), ENGINES (default 2),
# TIMEOUT (default 5), TLS (default 0).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/submit-bench-common.sh

engines=${ENGINES:-2}
timeout=${TIMEOUT:-5}
build_submit_command

port=$(free_port)
if [ "${TLS:-0}" = 1 ]; then
  python3 tests/support/tls_test_server.py certs "$work/certs"
  export SSL_CERT_FILE="$work/certs/ca.pem"
  python3 tests/support/tls_test_server.py serve "$port" "$work/certs/good.pem" silent &
  scheme=https host=localhost kind="https engines stalled in the handshake," goal=1
else
  python3 tests/support/raw_http_server.py "$port" silent &
  scheme=http host=127.0.0.1 kind="engines" goal=2
fi
pids+=($!)
wait_port "$port"

base="$work/base"
mkdir -p "$base/data" "$base/sites"
args=()
for i in $(seq "$engines"); do
  printf '[Fields]\r\nURL=url\r\nTITLE=title\r\n[SITE]\r\nACTION=%s://%s:%s/add\r\nMETHOD=POST\r\nURL=%s://silent.example/\r\n' \
    "$scheme" "$host" "$port" "$scheme" >"$base/data/Silent $i.tlx"
  args+=(--engine "Silent $i")
done
# The site's fields come from the last-used fields, as the window would show them.
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
awk -v w="$wall" -v u="$user" -v s="$sys" -v n="$engines" -v t="$timeout" -v k="$kind" -v g="$goal" 'BEGIN {
  printf "%d %s timed out after %d s each: wall %.3f s, user %.3f s, system %.3f s\n", n, k, t, w, u, s
  printf "CPU / wall: %.3f%% (goal under %d%%)\n", 100 * (u + s) / w, g }'
