#!/usr/bin/env bash
# Makes the Debian package of this build, unpacks it into a scratch root as dpkg would install it
# and runs the installed program from there: demo, then a copy. Also checks what the package
# declares and carries. Exit 77 (skipped) when dpkg-deb is missing.
# Usage: deb_package_test.sh BUILD_DIR SCRATCH_DIR
set -euo pipefail
build="$1"
scratch="$2"
command -v dpkg-deb >/dev/null || { echo "dpkg-deb is missing: the package cannot be made"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$scratch" && mkdir -p "$scratch/root"
cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb="$(ls "$scratch"/out/oquardelino_*.deb)"
dpkg-deb -x "$deb" "$scratch/root"

depends="$(dpkg-deb -f "$deb" Depends)"
for library in libqt6widgets6 libsqlite3-0 libpq5 libpqxx; do
  [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
for file in usr/bin/oquardelino usr/lib/oquardelino/liboquardelino.so \
  usr/include/oquardelino/oquardelino_server.h usr/include/oquardelino/host/in_process_server.h \
  usr/lib/cmake/oquardelino/oquardelinoConfig.cmake usr/share/man/man1/oquardelino.1.gz \
  usr/share/bash-completion/completions/oquardelino; do
  [[ -s "$scratch/root/$file" ]] || fail "the package lacks /$file"
done

# The installed program, with its own home: nothing of the build tree or the user's files.
program="$scratch/root/usr/bin/oquardelino"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/data" XDG_CONFIG_HOME="$scratch/home/config"
"$program" demo >"$scratch/demo.log" 2>&1 || { cat "$scratch/demo.log"; fail "installed demo failed"; }
db="$XDG_DATA_HOME/oquardelino"
log="$("$program" copy --internos "sqlite:$db/internos.db" --ncm "sqlite:$db/ncm.db" \
  --source 2024-0101 --new PKG-1 --copies 2 2>&1)" || fail "installed copy failed: $log"
[[ "$log" == *"Proceso terminado"* ]] || fail "unexpected copy log: $log"
[[ "$("$program" setting TRELVO PROCESOS PKG-1_2)" == SI ]] || fail "no mark for the second copy"

# A host finds the component through the package's CMake config.
mkdir -p "$scratch/host" && printf '%s\n' 'cmake_minimum_required(VERSION 3.25)' 'project(host NONE)' \
  'find_package(oquardelino 1.1 REQUIRED)' \
  'if(NOT EXISTS "${OQUARDELINO_COMPONENT_PATH}")' '  message(FATAL_ERROR "no component")' 'endif()' \
  >"$scratch/host/CMakeLists.txt"
cmake -S "$scratch/host" -B "$scratch/host/build" -DCMAKE_PREFIX_PATH="$scratch/root/usr" \
  >"$scratch/host.log" 2>&1 || { cat "$scratch/host.log"; fail "find_package(oquardelino) failed"; }
echo "package $(basename "$deb") installs and runs"
