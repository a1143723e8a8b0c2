#!/usr/bin/env bash
# Makes the Debian packages of this build (oquardelino and liboquardelino-dev), checks what they
# declare and carry, runs lintian (any E: line fails) and desktop-file-validate on them, unpacks
# them into a scratch root as dpkg would install them and runs from there the installed program
# (demo, then a copy) and the example host, built through the installed CMake package.
# Exit 77 (skipped) when dpkg-deb is missing.
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
dev="$(ls "$scratch"/out/liboquardelino-dev_*.deb)"
for package in "$deb" "$dev"; do dpkg-deb -x "$package" "$scratch/root"; done

# Each library once, the Qt platform plugins declared, the -dev package tied to this version.
depends="$(dpkg-deb -f "$deb" Depends)"
names="$(tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | sort)"
for library in libqt6widgets6 libsqlite3-0 libpq5 libpqxx qt6-qpa-plugins; do
  grep -q "^$library" <<<"$names" || fail "Depends lacks $library: $depends"
done
[[ -z "$(uniq -d <<<"$names")" ]] || fail "Depends names $(uniq -d <<<"$names" | xargs) twice: $depends"
[[ "$(dpkg-deb -f "$dev" Depends)" == "oquardelino (= $(dpkg-deb -f "$deb" Version))" ]] ||
  fail "liboquardelino-dev depends on: $(dpkg-deb -f "$dev" Depends)"
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
component="usr/lib/$multiarch/oquardelino/liboquardelino.so"
for file in usr/bin/oquardelino "$component" usr/share/man/man1/oquardelino.1.gz \
  usr/share/bash-completion/completions/oquardelino usr/share/applications/oquardelino.desktop \
  usr/include/oquardelino/oquardelino_server.h usr/include/oquardelino/host/in_process_server.h \
  "usr/lib/$multiarch/cmake/oquardelino/oquardelinoConfig.cmake"; do
  [[ -s "$scratch/root/$file" ]] || fail "the packages lack /$file"
done
[[ -z "$(dpkg-deb -c "$deb" | grep -E 'usr/include|cmake/')" ]] || fail "the program's package holds -dev files"

command -v lintian >/dev/null || fail "lintian is missing (scripts/install-deps.sh installs it)"
lintian --allow-root "$deb" "$dev" >"$scratch/lintian.log" 2>&1 || true
! grep '^E:' "$scratch/lintian.log" || fail "lintian reports errors (all it said: $scratch/lintian.log)"
desktop-file-validate "$scratch/root/usr/share/applications/oquardelino.desktop" ||
  fail "desktop-file-validate refuses the launcher"

# The installed program, with its own home: nothing of the build tree or the user's files.
program="$scratch/root/usr/bin/oquardelino"
export HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/data" XDG_CONFIG_HOME="$scratch/home/config"
"$program" demo >"$scratch/demo.log" 2>&1 || { cat "$scratch/demo.log"; fail "installed demo failed"; }
db="$XDG_DATA_HOME/oquardelino"
log="$("$program" copy --internos "sqlite:$db/internos.db" --ncm "sqlite:$db/ncm.db" \
  --source 2024-0101 --new PKG-1 --copies 2 2>&1)" || fail "installed copy failed: $log"
[[ "$log" == *"Proceso terminado"* ]] || fail "unexpected copy log: $log"
[[ "$("$program" setting TRELVO PROCESOS PKG-1_2)" == SI ]] || fail "no mark for the second copy"

# The example host, built with the installed header through the installed CMake package.
mkdir -p "$scratch/host" && printf '%s\n' 'cmake_minimum_required(VERSION 3.25)' 'project(host C)' \
  'find_package(oquardelino 1.1 REQUIRED)' \
  'add_executable(load_component ${EXAMPLE})' \
  'target_include_directories(load_component PRIVATE' \
  '  $<TARGET_PROPERTY:oquardelino::component,INTERFACE_INCLUDE_DIRECTORIES>)' \
  'target_link_libraries(load_component PRIVATE ${CMAKE_DL_LIBS})' \
  'file(WRITE ${CMAKE_BINARY_DIR}/component_path "${OQUARDELINO_COMPONENT_PATH}")' \
  >"$scratch/host/CMakeLists.txt"
{ cmake -S "$scratch/host" -B "$scratch/host/build" -DCMAKE_PREFIX_PATH="$scratch/root/usr" \
    -DEXAMPLE="$scratch/root/usr/share/doc/liboquardelino-dev/examples/load_component.c" &&
    cmake --build "$scratch/host/build"; } >"$scratch/host.log" 2>&1 ||
  { cat "$scratch/host.log"; fail "the example host does not build against the packages"; }
[[ "$(cat "$scratch/host/build/component_path")" == "$scratch/root/$component" ]] ||
  fail "OQUARDELINO_COMPONENT_PATH is $(cat "$scratch/host/build/component_path")"
# A component built with the sanitizers needs their runtime loaded first into a plain C host.
preload=""
if readelf -d "$scratch/root/$component" | grep -q 'libasan'; then
  preload="$(gcc -print-file-name=libasan.so)"
fi
out="$(LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0 \
  "$scratch/host/build/load_component" "$scratch/root/$component" 2>&1)" ||
  fail "the example host failed: $out"
[[ "$out" == *"cMAIN created"* ]] || fail "the example host said: $out"
echo "packages $(basename "$deb") and $(basename "$dev") install and run; lintian: no errors"
