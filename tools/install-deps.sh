#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the program need.
# Does nothing when they are all present; runs apt-get update only when needed.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang-14 libclang-rt-14-dev pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic libpng-dev
  nlohmann-json3-dev libcli11-dev
  qt6-base-dev qt6-translations-l10n xvfb xauth
  zlib1g-dev libssl-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run as root (or install them with apt-get) and try again." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
