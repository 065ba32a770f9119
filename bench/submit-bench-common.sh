# Shared by the submission benchmark scripts (sourced, not run).
# Sets up: $work (a temporary directory removed on exit), the settings
# directory (empty, so the defaults apply), helpers for free ports, a private
# nginx, and the submit command in the array `submit`.

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME" "$work/logs"

# need_packages program:package ... : installs what is missing (as root) or says how.
need_packages() {
  local missing=() item
  for item in "$@"; do
    command -v "${item%%:*}" >/dev/null || missing+=("${item#*:}")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" = 0 ]; then
    apt-get install -y "${missing[@]}"
  else
    echo "missing: ${missing[*]}; install with: sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
}

# measure FILE STDOUT STDERR command...: runs the command and writes
# "wall user system status maxrss" (seconds, microsecond resolution; peak
# resident memory in KiB) to FILE.
measure() {
  [ -x /usr/bin/time ] || need_packages gnu-time-missing:time
  python3 -c '
import os, subprocess, sys, time
timing, out, err = sys.argv[1:4]
# The peak memory comes from GNU time: a child forked from this Python process
# would count the memory of Python itself, which getrusage keeps across exec.
rss_file = timing + ".rss"
start = time.monotonic()
with open(out, "w") as o, open(err, "w") as e:
    child = subprocess.Popen(["/usr/bin/time", "-q", "-f", "%M", "-o", rss_file] + sys.argv[4:], stdout=o, stderr=e)
    _, status, usage = os.wait4(child.pid, 0)  # the rusage of this child alone
wall = time.monotonic() - start
with open(rss_file) as f:
    rss = int(f.read().split()[-1])
with open(timing, "w") as f:
    f.write("%f %f %f %d %d\n" % (wall, usage.ru_utime, usage.ru_stime, os.waitstatus_to_exitcode(status), rss))
' "$@"
}

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

wait_port() {
  for _ in $(seq 200); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $1), 1)" 2>/dev/null && return 0
    sleep 0.05
  done
  echo "nothing listens on $1" >&2
  return 1
}

# A private nginx on 127.0.0.1:$1 that answers 200 to anything but /missing,
# which is 404; it logs "METHOD URI STATUS" per request to $work/logs/access.log.
# With a second argument, a PEM file holding a certificate and its key, it
# speaks TLS (1.2 and 1.3, no session reuse, so every request shakes hands).
start_nginx() {
  local listen="listen 127.0.0.1:$1;"
  if [ -n "${2:-}" ]; then
    listen="listen 127.0.0.1:$1 ssl;
    ssl_certificate $2;
    ssl_certificate_key $2;
    ssl_protocols TLSv1.2 TLSv1.3;
    ssl_session_cache off;
    ssl_session_tickets off;"
  fi
  cat >"$work/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
  log_format short '\$request_method \$uri \$status';
  access_log $work/logs/access.log short;
  client_body_temp_path $work/body-temp;
  proxy_temp_path $work/proxy-temp;
  fastcgi_temp_path $work/fastcgi-temp;
  uwsgi_temp_path $work/uwsgi-temp;
  scgi_temp_path $work/scgi-temp;
  server {
    $listen
    location / { return 200 "ok\n"; }
    location /missing { return 404; }
  }
}
CONF
  nginx -p "$work" -c "$work/nginx.conf" -e "$work/logs/error.log" &
  pids+=($!)
  wait_port "$1"
}

# The command that runs a submission: TOLVAN_SUBMIT if set, else `tolvan submit`
# of BUILD_DIR when the program dispatches it, else the bench's submit_cli.
build_submit_command() {
  if [ -n "${TOLVAN_SUBMIT:-}" ]; then
    read -r -a submit <<<"$TOLVAN_SUBMIT"
    return
  fi
  local build=${BUILD_DIR:-build/bench-full}
  [ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAN_BENCH=ON >/dev/null
  cmake --build "$build" --target tolvan -j2 >/dev/null
  build=$(cd "$build" && pwd)  # the runs start in other directories
  local answer
  answer=$(timeout 20 "$build/src/tolvan" submit 2>&1 </dev/null || true)  # a usage error when dispatched
  if grep -q 'Usage: tolvan submit' <<<"$answer"; then
    submit=("$build/src/tolvan" submit)
  else
    cmake --build "$build" --target submit_cli -j2 >/dev/null
    submit=("$build/bench/submit_cli" submit)
  fi
}
