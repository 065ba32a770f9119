#!/usr/bin/env bash
# `tolvan submit` of one site to 2,000 https:// engine definitions against
# ApacheBench (-f TLS1.2, one request after the other, a full handshake each)
# on the same private nginx with TLS, in the same run. Both sides make a new
# connection and a new TLS handshake per request; tolvan also verifies the
# certificate (against a test CA made here, trusted through SSL_CERT_FILE),
# reads each definition, builds the body and prints the outcome.
#
# Environment: BUILD_DIR (default build/bench-full), ENGINES (default 2000),
# ROUNDS (default 5). Needs nginx-light and apache2-utils (Debian).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/submit-bench-common.sh

engines=${ENGINES:-2000}
rounds=${ROUNDS:-5}
need_packages nginx:nginx-light ab:apache2-utils
build_submit_command

python3 tests/support/tls_test_server.py certs "$work/certs"
export SSL_CERT_FILE="$work/certs/ca.pem"
# nginx wants the certificate and the key; good.pem holds both.
port=$(free_port)
start_nginx "$port" "$work/certs/good.pem"
action="https://127.0.0.1:$port/add"

base="$work/base"
mkdir -p "$base/data" "$base/sites"
python3 - "$base" "$engines" "$action" <<'PY'
import os, sys
base, count, action = sys.argv[1], int(sys.argv[2]), sys.argv[3]
names = ["Engine %04d" % i for i in range(1, count + 1)]
for i, name in enumerate(names, 1):
    with open(os.path.join(base, "data", name + ".tlx"), "w", newline="") as f:
        f.write("[Fields]\r\nURL=url\r\nTITLE=title\r\nEMAIL=email\r\n"
                "[SITE]\r\nACTION=%s\r\nMETHOD=POST\r\nURL=https://engine%d.example/\r\n" % (action, i))
with open(os.path.join(base, "sites", "all.tlx"), "w", newline="") as f:
    f.write("".join(n + "\r\n" for n in names))
with open(os.path.join(base, "sites", "englist.tlx"), "w", newline="") as f:
    f.write("all\r\n")
with open(os.path.join(base, "sites", "last.tlx"), "w", newline="") as f:
    f.write("[LastSaved]\r\nFORWARD=http://\r\nURL=www.mysite.example/\r\nTITLE=My Site\r\n")
PY
site="http://www.mysite.example/"
body="$work/body"
(cd "$base" && "${submit[@]}" --site "$site" --engine "Engine 0001" --dry-run) \
  | awk -F'\t' '$1 == "request" { printf "%s", $4 }' >"$body"
[ -s "$body" ] || { echo "the dry run printed no request body" >&2; exit 1; }
echo "engines: $engines https POST definitions; body: $(wc -c <"$body") bytes"
echo "submit command: ${submit[*]}"
echo "load before: $(uptime)"

posts() { grep -c '^POST /add 200$' "$work/logs/access.log" || true; }
: >"$work/rounds"
run_ours() {
  before=$(posts)
  (cd "$base" && measure "$work/ours.time" "$work/run.out" "$work/run.err" \
    "${submit[@]}" --site "$site" --engine-list all)
  read -r wall user sys code _ <"$work/ours.time"
  ok=$(grep -c $'\tsuccess\t' "$work/run.out" || true)
  arrived=$(( $(posts) - before ))
  if [ "$code" != 0 ] || [ "$ok" != "$engines" ] || [ "$arrived" != "$engines" ]; then
    echo "round $round: the run did not complete cleanly (status $code, $ok successes, $arrived posts arrived)" >&2
    head -5 "$work/run.out" >&2; tail -5 "$work/run.err" >&2
    exit 1
  fi
  ours=$(awk -v n="$engines" -v w="$wall" 'BEGIN { printf "%.1f", n / w }')
  ours_cpu=$(awk -v n="$engines" -v u="$user" -v s="$sys" 'BEGIN { printf "%.1f", 1e6 * (u + s) / n }')
}
run_ab() {
  before=$(posts)
  measure "$work/ab.time" "$work/ab.out" "$work/ab.err" \
    ab -f TLS1.2 -n "$engines" -c 1 -p "$body" -T application/x-www-form-urlencoded "$action"
  read -r _ ab_user ab_sys code _ <"$work/ab.time"
  arrived=$(( $(posts) - before ))
  failed=$(awk '/^Failed requests/ {print $3}' "$work/ab.out")
  theirs=$(awk '/Requests per second/ {print $4}' "$work/ab.out")
  if [ "$code" != 0 ] || [ "$arrived" != "$engines" ] || [ "$failed" != "0" ]; then
    echo "round $round: ab status $code, $failed failed, $arrived posts arrived" >&2
    exit 1
  fi
}
for round in $(seq "$rounds"); do
  if [ $((round % 2)) = 1 ]; then run_ours; run_ab; else run_ab; run_ours; fi
  ab_cpu=$(awk -v n="$engines" -v u="$ab_user" -v s="$ab_sys" 'BEGIN { printf "%.1f", 1e6 * (u + s) / n }')
  ratio=$(awk -v o="$ours" -v a="$theirs" 'BEGIN { printf "%.2f", o / a }')
  echo "$ours $theirs $ratio" >>"$work/rounds"
  printf 'round %d: tolvan submit %s requests/s (CPU %s us/request), ab -f TLS1.2 %s requests/s (CPU %s us/request), ratio %s\n' \
    "$round" "$ours" "$ours_cpu" "$theirs" "$ab_cpu" "$ratio"
done
echo "load after: $(uptime)"
sort -n -k3 "$work/rounds" | awk '{ o[NR] = $1; a[NR] = $2; r[NR] = $3 } END {
  bo = 0; ba = 0
  for (i = 1; i <= NR; i++) { if (o[i] > bo) bo = o[i]; if (a[i] > ba) ba = a[i] }
  printf "ratio per round: median %.2f (min %.2f, max %.2f)\n", r[int((NR + 1) / 2)], r[1], r[NR]
  printf "best of %d: tolvan submit %.1f requests/s, ab %.1f requests/s, ratio %.2f (goal at least 0.80)\n", NR, bo, ba, bo / ba }'
