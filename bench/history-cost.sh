#!/usr/bin/env bash
# What keeping the submission history costs a run: the same `tolvan submit` of
# one site to ENGINES (default 10,000) GET engine definitions against a private
# local nginx, with history.db kept and with the history turned off (history.db
# is then a directory, so the store cannot open it), alternating, in the same run.
# Reports the median wall time of each, and the median CPU time (user + system)
# too: on a shared machine the CPU time is the steadier of the two figures.
#
# Environment: BUILD_DIR (default build/bench-full), ENGINES, ROUNDS (default 5),
# FRESH (default 1: every kept run starts without history.db; 0: the kept runs
# add to one history.db made by an untimed first run, as a user's runs do).
# Needs nginx-light (Debian).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/submit-bench-common.sh

engines=${ENGINES:-10000}
rounds=${ROUNDS:-5}
need_packages nginx:nginx-light
build_submit_command

port=$(free_port)
start_nginx "$port"

base="$work/base"
mkdir -p "$base/data" "$base/sites"
cp data/hosts.tlx "$base/data/"  # as in a real base: every run looks hosts up there
python3 - "$base" "$engines" "http://127.0.0.1:$port/add" <<'PY'
import os, sys
base, count, action = sys.argv[1], int(sys.argv[2]), sys.argv[3]
names = ["Engine %05d" % i for i in range(1, count + 1)]
for name in names:
    with open(os.path.join(base, "data", name + ".tlx"), "w", newline="") as f:
        f.write("[Fields]\r\nURL=url\r\n[SITE]\r\nACTION=%s?url={URL}&t={TITLE}\r\nMETHOD=GET\r\nURL=http://e.example/\r\n" % action)
with open(os.path.join(base, "sites", "all.tlx"), "w", newline="") as f:
    f.write("".join(n + "\r\n" for n in names))
with open(os.path.join(base, "sites", "englist.tlx"), "w", newline="") as f:
    f.write("all\r\n")
PY

run() {  # run LABEL: one timed run, wall seconds appended to $work/LABEL
  (cd "$base" && measure "$work/t" "$work/out" "$work/err" "${submit[@]}" --site http://www.mysite.example/ --engine-list all --timeout 0)
  read -r wall user sys status _ <"$work/t"
  [ "$status" = 0 ] || { echo "run failed ($status)"; cat "$work/err"; exit 1; }
  [ "$(grep -c $'\tsuccess\t' "$work/out")" = "$engines" ] || { echo "not every engine succeeded"; exit 1; }
  echo "$wall" >>"$work/$1"
  python3 -c "import sys; print(float(sys.argv[1]) + float(sys.argv[2]))" "$user" "$sys" >>"$work/$1.cpu"
}
fresh=${FRESH:-1}
kept_db="$work/kept-history"  # where a kept history.db waits while the history is off
mkdir -p "$kept_db"
expected=0
if [ "$fresh" = 0 ]; then
  run warmup
  expected=$engines
  mv "$base"/history.db* "$kept_db"/
fi
for _ in $(seq "$rounds"); do
  rm -rf "$base/history.db" "$base/history.db-wal" "$base/history.db-shm"
  if [ "$fresh" = 0 ]; then
    mv "$kept_db"/history.db* "$base"/
  else
    expected=0
  fi
  run kept
  expected=$((expected + engines))
  rows=$(python3 -c "import sqlite3,sys; print(sqlite3.connect(sys.argv[1]).execute('select count(*) from submissions').fetchone()[0])" "$base/history.db")
  [ "$rows" = "$expected" ] || { echo "history holds $rows rows, not $expected"; exit 1; }
  if [ "$fresh" = 0 ]; then
    mv "$base"/history.db* "$kept_db"/
  fi
  rm -rf "$base/history.db" "$base/history.db-wal" "$base/history.db-shm"
  mkdir "$base/history.db"
  run off
done
median() { sort -n "$1" | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
kept=$(median "$work/kept"); off=$(median "$work/off")
kept_cpu=$(median "$work/kept.cpu"); off_cpu=$(median "$work/off.cpu")
python3 -c "import sys; k,o=float(sys.argv[1]),float(sys.argv[2]); print('%d requests: history kept %.3f s, history off %.3f s (median of %s): recording costs %.1f%% of the run' % (int(sys.argv[3]), k, o, sys.argv[4], 100*(k-o)/k))" "$kept" "$off" "$engines" "$rounds"
python3 -c "import sys; k,o=float(sys.argv[1]),float(sys.argv[2]); print('CPU time (user + system): history kept %.3f s, history off %.3f s: recording costs %.1f%% of it' % (k, o, 100*(k-o)/k))" "$kept_cpu" "$off_cpu"
