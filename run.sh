#!/usr/bin/env bash
# Builds Tolvan and starts it in its workspace ($XDG_DATA_HOME/tolvan), which
# gets a copy of the shipped engine data the first time.
set -euo pipefail
src="$(cd "$(dirname "$0")" && pwd)"
"$src/tools/install-deps.sh"
cmake -S "$src" -B "$src/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$src/build/release" -j"$(nproc)" --target tolvan
workspace="${XDG_DATA_HOME:-$HOME/.local/share}/tolvan"
mkdir -p "$workspace"
[ -d "$workspace/data" ] || cp -r "$src/data" "$workspace/data"
cd "$workspace"
exec "$src/build/release/src/tolvan" "$@"
