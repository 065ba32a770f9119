#!/usr/bin/env bash
# Builds Tolvan and runs every test: the core and GUI tests, a Release build of
# the program, the core tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then each fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
jobs=$(nproc)

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAN_WERROR=ON >/dev/null
cmake --build build/release -j"$jobs"
(cd build/release && ctest --output-on-failure -j"$jobs")

# Packagers build with -O3 (Release), where GCC 12 warns about things -O2 does
# not see: the program is built that way as well (`tolvan` brings the window).
cmake -S . -B build/o3 -DCMAKE_BUILD_TYPE=Release -DTOLVAN_WERROR=ON >/dev/null
cmake --build build/o3 -j"$jobs" --target tolvan

cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DTOLVAN_SANITIZE=ON -DTOLVAN_CORE_ONLY=ON -DTOLVAN_WERROR=ON >/dev/null
cmake --build build/sanitize -j"$jobs"
(cd build/sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j"$jobs")

# Each fuzz target for a bounded 30 seconds; TOLVAN_SKIP_FUZZ=1 leaves them out
# of a local run.
if [ "${TOLVAN_SKIP_FUZZ:-0}" != 1 ]; then
  tools/fuzz.sh 30
fi

# Installing the package changes the system: only where that is wanted.
if [ "$(id -u)" -eq 0 ] && [ "${TOLVAN_PACKAGE_INSTALL:-0}" = 1 ]; then
  tools/test-package-install.sh build/release
fi
