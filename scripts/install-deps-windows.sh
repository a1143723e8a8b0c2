#!/usr/bin/env bash
# Installs the Debian 12 packages the Windows builds and their Wine tests need: the mingw-w64 cross
# compilers and widl, Wine's IDL files, Wine with its 32-bit half (32-bit hosts load only the
# 32-bit DLL), wixl for the installer packages, a virtual display and xdotool, and tcl for making
# SQLite's amalgamation from Debian's source package.
#
# Some kernels (virtual machines among them) cannot run 32-bit Linux programs, and 32-bit Wine is
# one. There the 32-bit programs run under qemu's user-mode emulator, registered with the kernel's
# binfmt_misc; bookworm's qemu 7.2 takes about a minute to start each Wine program, the one from
# bookworm-backports a few seconds.
set -euo pipefail
cd "$(dirname "$0")"

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
fi
./install-deps.sh mingw-w64 mingw-w64-tools libwine-dev wine64 wine wine32:i386 wixl xvfb xauth \
  xdotool tcl dpkg-dev

runs_32bit() { /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; }
if runs_32bit; then exit 0; fi

if ! dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null | grep -q bpo; then
  backports=/etc/apt/sources.list.d/oq-bookworm-backports.sources
  if [ ! -f "$backports" ]; then
    $sudo tee "$backports" >/dev/null <<'SOURCES'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    -t bookworm-backports qemu-user-static
fi
binfmt=/proc/sys/fs/binfmt_misc
mountpoint -q "$binfmt" || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
# 32-bit x86 ELF programs (e_machine 3 or 6) go to the emulator, opened once now (flag F).
[ -e "$binfmt/oq-i386" ] && echo -1 | $sudo tee "$binfmt/oq-i386" >/dev/null
printf '%s' ':oq-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
  $sudo tee "$binfmt/register" >/dev/null
runs_32bit || { echo "install-deps-windows: 32-bit programs still do not run" >&2; exit 1; }
echo "install-deps-windows: 32-bit programs run under qemu-i386-static"
