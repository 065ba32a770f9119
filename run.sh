#!/usr/bin/env bash
# Builds Tolvan and starts it. It works in its workspace as the installed
# program does: the current directory when it holds data/sites.tlx (never the
# source tree itself), else $XDG_DATA_HOME/tolvan, which gets a copy of the
# shipped engine data the first time; --workspace DIR names another.
set -euo pipefail
src="$(cd "$(dirname "$0")" && pwd)"
"$src/tools/install-deps.sh"
cmake -S "$src" -B "$src/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$src/build/release" -j"$(nproc)" --target tolvan
exec "$src/build/release/src/tolvan" "$@"
