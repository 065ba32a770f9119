#!/usr/bin/env bash
# Installs the Debian packages Tolvan needs to build, run and test; only the
# missing ones, with sudo when not root.
set -euo pipefail
packages=(
  build-essential cmake pkg-config ccache file dpkg-dev
  qt6-base-dev libgl-dev fonts-dejavu-core libfontconfig-dev
  libzip-dev zlib1g-dev
  libssl-dev ca-certificates openssl qtkeychain-qt6-dev libsecret-1-dev gnome-keyring dbus-daemon
  libsqlite3-dev libexpat1-dev libpcre2-dev nlohmann-json3-dev qt6-charts-dev libqt6opengl6-dev
  desktop-file-utils appstream scdoc librsvg2-bin
  libgtest-dev libgmock-dev libbenchmark-dev libinih-dev
  python3 python3-aiosmtpd python3-cryptography tinyproxy
  xdg-utils
  clang-14 libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
