#!/usr/bin/env bash
# A whole `tolvan submit` run of one site to 2,000 POST engine definitions
# against ApacheBench posting the same body 2,000 times, one request after the
# other, to the same location of a private local nginx, in the same run.
# Everything the run does per engine counts: reading the definition, building
# the body, the request, judging the answer and printing the outcome; the
# process start-up counts too.
#
# Environment: BUILD_DIR (default build/bench-full; configured with
# -DTOLVAN_BENCH=ON), ENGINES (default 2000), ROUNDS (default 7), BASELINE
# (optional: another submit command, such as an older build's
# "submit_cli submit", measured in the same rounds for a before/after table).
# Needs nginx-light and apache2-utils (Debian).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/submit-bench-common.sh

engines=${ENGINES:-2000}
rounds=${ROUNDS:-7}
need_packages nginx:nginx-light ab:apache2-utils
build_submit_command

port=$(free_port)
start_nginx "$port"
action="http://127.0.0.1:$port/add"

# The base directory: definitions, the index, and one saved engine list.
base="$work/base"
mkdir -p "$base/data" "$base/sites"
cp data/hosts.tlx "$base/data/"  # as in a real base: every run looks hosts up there
python3 - "$base" "$engines" "$action" <<'PY'
import os, sys
base, count, action = sys.argv[1], int(sys.argv[2]), sys.argv[3]
names = ["Engine %04d" % i for i in range(1, count + 1)]
for i, name in enumerate(names, 1):
    with open(os.path.join(base, "data", name + ".tlx"), "w", newline="") as f:
        f.write("[Fields]\r\nURL=url\r\nTITLE=title\r\nEMAIL=email\r\nDESC=desc\r\nKEYWORDS=keywords\r\n"
                "category=cat\r\n[Categories]\r\n0=general\r\n41=software\r\n"
                "[ExtraFields]\r\nextrafields=2\r\nExtra1=lang,en\r\nExtra2=engine,%d\r\n"
                "[SITE]\r\nACTION=%s\r\nMETHOD=POST\r\nURL=http://engine%d.example/\r\n" % (i, action, i))
lines = "".join(n + "\r\n" for n in names)
for path in ("data/sites.tlx", "sites/all%d.tlx" % count):
    with open(os.path.join(base, path), "w", newline="") as f:
        f.write(lines)
with open(os.path.join(base, "sites", "englist.tlx"), "w", newline="") as f:
    f.write("all%d\r\n" % count)
# One saved site profile, found through the reverse address index.
profile = {"FORWARD": "http://", "URL": "www.mysite.example/", "TITLE": "My Site", "desc": "Tools for everyone. ",
           "CATEGORY": "Computer => Software", "KEY1": "tools", "KEY2": "software", "KEY3": "downloads",
           "NAME": "Pat Example", "COMPANY": "Example Ltd", "CITY": "Springfield", "COUNTRY": "NA",
           "email": "pat@mysite.example", "address": "1 Main Street", "state": "NA", "zip": "00000",
           "phone": "000-000-0000", "fax": "000-000-0000"}
with open(os.path.join(base, "sites", "tlxprofiles.tlx"), "w", newline="") as f:
    f.write("[My Site]\r\n" + "".join("%s=%s\r\n" % kv for kv in profile.items()))
with open(os.path.join(base, "sites", "tlxplist.tlx"), "w", newline="") as f:
    f.write("My Site\r\n")
with open(os.path.join(base, "sites", "tlxurls.tlx"), "w", newline="") as f:
    f.write("http://www.mysite.example/\r\n")
with open(os.path.join(base, "sites", "tlxurlsrev.tlx"), "w", newline="") as f:
    f.write("[http://www.mysite.example/]\r\nprofile=My Site\r\n")
PY
site="http://www.mysite.example/"
list="all$engines"
baseline=()
[ -n "${BASELINE:-}" ] && read -r -a baseline <<<"$BASELINE"

# ab posts the body the run itself builds for the first engine.
body="$work/body"
(cd "$base" && "${submit[@]}" --site "$site" --engine "Engine 0001" --dry-run) \
  | awk -F'\t' '$1 == "request" { printf "%s", $4 }' >"$body"
[ -s "$body" ] || { echo "the dry run printed no request body" >&2; exit 1; }
echo "engines: $engines POST definitions; body: $(wc -c <"$body") bytes"
echo "submit command: ${submit[*]}"
echo "load before: $(uptime)"

posts() { grep -c '^POST /add 200$' "$work/logs/access.log" || true; }
# Per round: our rate (whole process), ab's rate (its own report), and the CPU
# time per request of each process (user + system).
: >"$work/rounds"
# run_ours [baseline]: one whole run of this build's command (or the baseline's).
run_ours() {
  local -a cmd=("${submit[@]}")
  [ "${1:-}" = baseline ] && cmd=("${baseline[@]}")
  before=$(posts)
  (cd "$base" && measure "$work/ours.time" "$work/run.out" "$work/run.err" \
    "${cmd[@]}" --site "$site" --engine-list "$list")
  read -r wall user sys code rss <"$work/ours.time"
  ok=$(grep -c $'\tsuccess\t' "$work/run.out" || true)
  arrived=$(( $(posts) - before ))
  if [ "$code" != 0 ] || [ "$ok" != "$engines" ] || [ "$arrived" != "$engines" ] \
     || ! grep -qx 'Submission Complete.' "$work/run.out"; then
    echo "round $round: the run did not complete cleanly (status $code, $ok successes, $arrived posts arrived)" >&2
    tail -5 "$work/run.err" >&2
    exit 1
  fi
  ours=$(awk -v n="$engines" -v w="$wall" 'BEGIN { printf "%.1f", n / w }')
  ours_cpu=$(awk -v n="$engines" -v u="$user" -v s="$sys" 'BEGIN { printf "%.1f", 1e6 * (u + s) / n }')
  ours_rss=$(awk -v k="$rss" 'BEGIN { printf "%.1f", k / 1024 }')
}

run_ab() {
  before=$(posts)
  measure "$work/ab.time" "$work/ab.out" "$work/ab.err" \
    ab -n "$engines" -c 1 -p "$body" -T application/x-www-form-urlencoded "$action"
  read -r _ ab_user ab_sys code _ <"$work/ab.time"
  arrived=$(( $(posts) - before ))
  failed=$(awk '/^Failed requests/ {print $3}' "$work/ab.out")
  non2xx=$(awk '/^Non-2xx responses/ {print $3}' "$work/ab.out")
  theirs=$(awk '/Requests per second/ {print $4}' "$work/ab.out")
  if [ "$code" != 0 ] || [ "$arrived" != "$engines" ] || [ "$failed" != "0" ] || [ -n "$non2xx" ]; then
    echo "round $round: ab status $code, $failed failed, ${non2xx:-0} non-2xx, $arrived posts arrived" >&2
    exit 1
  fi
}

# The order alternates, so neither side always runs on a warmer machine.
run_baseline() {
  [ ${#baseline[@]} -gt 0 ] || return 0
  local saved=("${ours:-}" "${ours_cpu:-}" "${ours_rss:-}" "${wall:-}")
  run_ours baseline
  base_rate=$ours base_cpu=$ours_cpu base_rss=$ours_rss
  ours=${saved[0]} ours_cpu=${saved[1]} ours_rss=${saved[2]} wall=${saved[3]}
}
: >"$work/baseline-rounds"
for round in $(seq "$rounds"); do
  if [ $((round % 2)) = 1 ]; then run_baseline; run_ours; run_ab; else run_ab; run_ours; run_baseline; fi
  ab_cpu=$(awk -v n="$engines" -v u="$ab_user" -v s="$ab_sys" 'BEGIN { printf "%.1f", 1e6 * (u + s) / n }')
  ratio=$(awk -v o="$ours" -v a="$theirs" 'BEGIN { printf "%.2f", o / a }')
  echo "$ours $theirs $ratio $ours_cpu $ab_cpu" >>"$work/rounds"
  printf 'round %d: tolvan submit %s requests/s (%.2f s, CPU %s us/request, peak RSS %s MiB), ab %s requests/s (CPU %s us/request), ratio %s\n' \
    "$round" "$ours" "$wall" "$ours_cpu" "$ours_rss" "$theirs" "$ab_cpu" "$ratio"
  if [ ${#baseline[@]} -gt 0 ]; then
    base_ratio=$(awk -v o="$base_rate" -v a="$theirs" 'BEGIN { printf "%.2f", o / a }')
    echo "$base_rate $theirs $base_ratio $base_cpu $ab_cpu" >>"$work/baseline-rounds"
    printf '         baseline %s requests/s (CPU %s us/request, peak RSS %s MiB), ratio %s\n' \
      "$base_rate" "$base_cpu" "$base_rss" "$base_ratio"
  fi
done
# Where our time goes: the same run with --dry-run reads every definition,
# builds every body and prints it, but sends nothing (the least CPU of 3).
dry_best=
for _ in 1 2 3; do
  (cd "$base" && measure "$work/dry.time" /dev/null "$work/dry.err" \
    "${submit[@]}" --site "$site" --engine-list "$list" --dry-run)
  read -r _ duser dsys _ _ <"$work/dry.time"
  dry_best=$(awk -v a="${dry_best:-1e9}" -v b="$duser" -v c="$dsys" 'BEGIN { print (b + c < a ? b + c : a) }')
done
awk -v w="$dry_best" -v n="$engines" 'BEGIN {
  printf "dry run (no requests): CPU %.3f s, %.1f us per engine of work besides the request itself\n", w, 1e6 * w / n }'
echo "load after: $(uptime)"
summary() {
  sort -n -k3 "$1" | awk -v who="$2" '{ o[NR] = $1; a[NR] = $2; r[NR] = $3; c[NR] = $4; ac[NR] = $5 } END {
    if (NR == 0) exit
    bo = 0; ba = 0
    for (i = 1; i <= NR; i++) { if (o[i] > bo) bo = o[i]; if (a[i] > ba) ba = a[i] }
    m = int((NR + 1) / 2)
    printf "%s: ratio per round median %.2f (min %.2f, max %.2f); median round %.1f requests/s, CPU %.1f us/request against ab %.1f requests/s, CPU %.1f us/request\n", who, r[m], r[1], r[NR], o[m], c[m], a[m], ac[m]
    printf "%s: best of %d %.1f requests/s, ab %.1f requests/s, ratio %.2f (goal: median at least 0.90)\n", who, NR, bo, ba, bo / ba }'
}
summary "$work/rounds" "tolvan submit"
summary "$work/baseline-rounds" "baseline"
