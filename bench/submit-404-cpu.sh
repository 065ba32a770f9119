#!/usr/bin/env bash
# CPU per engine of a `tolvan submit` run whose engines all answer 404 against
# one whose engines all take the site (200), on a private local nginx, in
# alternating rounds of the same run. A failed engine should cost little more
# than a successful one: the goal is at most 10% more CPU per engine.
#
# Environment: BUILD_DIR (default build/bench-full), ENGINES (default 2000),
# ROUNDS (default 7), BASELINE (optional: another submit command measured in
# the same rounds). Needs nginx-light (Debian).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/submit-bench-common.sh

engines=${ENGINES:-2000}
rounds=${ROUNDS:-7}
need_packages nginx:nginx-light
build_submit_command
baseline=()
[ -n "${BASELINE:-}" ] && read -r -a baseline <<<"$BASELINE"

port=$(free_port)
start_nginx "$port"

base="$work/base"
mkdir -p "$base/data" "$base/sites"
python3 - "$base" "$engines" "http://127.0.0.1:$port" <<'PY'
import os, sys
base, count, server = sys.argv[1], int(sys.argv[2]), sys.argv[3]
for kind, path in (("Taking", "/add"), ("Missing", "/missing")):
    names = ["%s %04d" % (kind, i) for i in range(1, count + 1)]
    for i, name in enumerate(names, 1):
        with open(os.path.join(base, "data", name + ".tlx"), "w", newline="") as f:
            f.write("[Fields]\r\nURL=url\r\nTITLE=title\r\nEMAIL=email\r\nDESC=desc\r\nKEYWORDS=keywords\r\n"
                    "category=cat\r\n[Categories]\r\n41=software\r\n[ExtraFields]\r\nextrafields=1\r\n"
                    "Extra1=engine,%d\r\n[SITE]\r\nACTION=%s%s\r\nMETHOD=POST\r\nURL=http://engine%d.example/\r\n"
                    % (i, server, path, i))
    with open(os.path.join(base, "sites", kind.lower() + ".tlx"), "w", newline="") as f:
        f.write("".join(n + "\r\n" for n in names))
with open(os.path.join(base, "sites", "englist.tlx"), "w", newline="") as f:
    f.write("taking\r\nmissing\r\n")
with open(os.path.join(base, "sites", "last.tlx"), "w", newline="") as f:
    f.write("[LastSaved]\r\nFORWARD=http://\r\nURL=www.mysite.example/\r\nTITLE=My Site\r\n"
            "CATEGORY=Computer => Software\r\nKEY1=tools\r\n")
PY
echo "engines: $engines per list; submit command: ${submit[*]}"
echo "load before: $(uptime)"

# one COMMAND-NAME LIST OUTCOME: CPU microseconds per engine of one run.
one() {
  local -n cmd=$1
  (cd "$base" && measure "$work/t" "$work/out" "$work/err" "${cmd[@]}" --site http://www.mysite.example/ \
    --engine-list "$2" --timeout 30)
  read -r _ user sys _ _ <"$work/t"
  local n
  n=$(grep -c $'\t'"$3"$'\t' "$work/out" || true)
  if [ "$n" != "$engines" ]; then
    echo "the $2 run gave $n engines $3, not $engines" >&2
    tail -3 "$work/out" "$work/err" >&2
    exit 1
  fi
  awk -v n="$engines" -v u="$user" -v s="$sys" 'BEGIN { printf "%.1f", 1e6 * (u + s) / n }'
}

: >"$work/rounds"
for round in $(seq "$rounds"); do
  if [ $((round % 2)) = 1 ]; then ok=$(one submit taking success); bad=$(one submit missing failed)
  else bad=$(one submit missing failed); ok=$(one submit taking success); fi
  line="$ok $bad"
  msg=$(printf 'round %d: all-success %s us/engine, all-404 %s us/engine' "$round" "$ok" "$bad")
  if [ ${#baseline[@]} -gt 0 ]; then
    bok=$(one baseline taking success); bbad=$(one baseline missing failed)
    line="$line $bok $bbad"
    msg="$msg; baseline $bok and $bbad"
  fi
  echo "$line" >>"$work/rounds"
  echo "$msg"
done
echo "load after: $(uptime)"
awk '{ ok[NR] = $1; bad[NR] = $2; r[NR] = $2 / $1; if (NF > 2) { bok[NR] = $3; bbad[NR] = $4; br[NR] = $4 / $3 } }
  function median(a, n,   i, j, t, b) { for (i = 1; i <= n; i++) b[i] = a[i]
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (b[j] < b[i]) { t = b[i]; b[i] = b[j]; b[j] = t }
    return b[int((n + 1) / 2)] }
  END {
    printf "median: all-success %.1f us/engine, all-404 %.1f us/engine; 404 costs %+.0f%% (median of the rounds; goal at most +10%%)\n",
      median(ok, NR), median(bad, NR), 100 * (median(r, NR) - 1)
    if (length(bok) > 0)
      printf "baseline median: all-success %.1f us/engine, all-404 %.1f us/engine; 404 costs %+.0f%%\n",
        median(bok, NR), median(bbad, NR), 100 * (median(br, NR) - 1) }' "$work/rounds"
