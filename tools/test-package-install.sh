#!/usr/bin/env bash
# Builds the Debian package, installs it with apt, starts the installed
# tolvan from an empty directory with a fresh HOME, and removes the package
# again, checking that nothing of it stays behind. It changes the system, so
# ./test.sh runs it only as root with TOLVAN_PACKAGE_INSTALL=1 (CI sets it).
# Usage: tools/test-package-install.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/release}" && pwd)
if dpkg-query -W -f='${Status}' tolvan 2>/dev/null | grep -q "install ok installed"; then
  echo "a tolvan package is installed already; not touching it" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
deb=$(ls "$work"/deb/tolvan_*.deb)
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null

mkdir -p "$work/home" "$work/empty"
(cd "$work/empty" && HOME="$work/home" tolvan submit --dry-run --all --site http://www.example.com/ >"$work/out")
tail -n 1 "$work/out" | grep -qx "Submission Complete."
[ -f "$work/home/.local/share/tolvan/data/sites.tlx" ]
[ "$(ls -A "$work/empty")" = "" ]
desktop-file-validate /usr/share/applications/example.quendel.Tolvan.desktop
[ -x /usr/libexec/tolvan/tolvan-window ]
man -w tolvan >/dev/null 2>&1 || [ -f /usr/share/man/man1/tolvan.1 ]

DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y -qq tolvan >/dev/null
for path in /usr/bin/tolvan /usr/libexec/tolvan /usr/share/tolvan /usr/share/applications/example.quendel.Tolvan.desktop; do
  if [ -e "$path" ]; then echo "left behind after removal: $path" >&2; exit 1; fi
done
echo "package install and removal: ok"
