#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, run and test oquardelino. Run as root (or with
# sudo available). Safe to run again: apt-get skips what is already installed.
# Usage: scripts/install-deps.sh [PACKAGE...]   (the named packages instead of the usual list)
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  libsqlite3-dev sqlite3
  libpq-dev libpqxx-dev postgresql
  qt6-base-dev libgl-dev
  libcli11-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-wine fonts-liberation2
  python3-matplotlib
  dpkg-dev file strace
  lintian desktop-file-utils
)

# Named packages instead of the list above, for the builds that need more (Windows, fuzzing).
if (($# > 0)); then packages=("$@"); fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]} == 0)); then
  echo "install-deps: all packages present"
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
