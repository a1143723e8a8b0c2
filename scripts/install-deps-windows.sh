#!/usr/bin/env bash
# Installs the Debian 12 packages the Windows build and its Wine tests need: the mingw-w64 cross
# compilers and widl, Wine's IDL files, 64-bit Wine, a virtual display and xdotool, and tcl for
# making SQLite's amalgamation from Debian's source package.
set -euo pipefail
exec "$(dirname "$0")/install-deps.sh" mingw-w64 mingw-w64-tools libwine-dev wine64 wine xvfb \
  xauth xdotool tcl dpkg-dev
