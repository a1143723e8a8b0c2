#!/usr/bin/env bash
# Makes SQLite's amalgamation (sqlite3.c, sqlite3.h) from Debian's source package, for the Windows
# test host: Debian ships no Windows build of SQLite. Adds a deb-src entry for bookworm main when
# apt has none. Does nothing when the folder already holds both files.
# Usage: scripts/sqlite-amalgamation.sh OUTPUT_FOLDER
set -euo pipefail
out="$(realpath -m "${1:?usage: $0 OUTPUT_FOLDER}")"
if [ -f "$out/sqlite3.c" ] && [ -f "$out/sqlite3.h" ]; then exit 0; fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  $sudo tee /etc/apt/sources.list.d/oq-debian-src.sources >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  $sudo apt-get update -qq
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/oq-sqlite.XXXXXX")"
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get source -qq sqlite3 >/dev/null 2>&1)
source_dir="$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'sqlite3-*' | head -n 1)"
(cd "$source_dir" && ./configure >/dev/null && make -s sqlite3.c >/dev/null)
mkdir -p "$out"
cp "$source_dir/sqlite3.c" "$source_dir/sqlite3.h" "$out/"
echo "sqlite-amalgamation: $out"
