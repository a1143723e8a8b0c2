#!/usr/bin/env bash
# Installs the Debian 12 packages the Windows build and its Wine tests need: the mingw-w64 cross
# compilers and widl, Wine's IDL files, 64-bit Wine, a virtual display and xdotool, and tcl for
# making SQLite's amalgamation from Debian's source package.
set -euo pipefail

packages=(mingw-w64 mingw-w64-tools libwine-dev wine64 wine xvfb xauth xdotool tcl dpkg-dev)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if ((${#missing[@]} == 0)); then
  echo "install-deps-windows: all packages present"
  exit 0
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "install-deps-windows: installing ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
