#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds, tests and runs with.
# Only what is missing is installed; nothing is downloaded outside apt.
set -euo pipefail

packages=(
  cmake ninja-build g++ ccache pkg-config
  qt6-base-dev qt6-websockets-dev libqt6sql6-sqlite libqt6sql6-psql libqt6svg6
  libsodium-dev
  libgtest-dev libbenchmark-dev
  postgresql openssl
  xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
