#!/usr/bin/env bash
# Installs what the build needs, builds with warnings as errors, starts a throwaway PostgreSQL
# server and runs every test against SQLite and that server. The server and its folder are removed
# at the end, whether the tests pass, fail or are interrupted.
# Usage: scripts/test.sh [preset]   (dev by default; also release, asan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"

scripts/install-deps.sh
# The dev, asan, fuzz and Windows builds compile much the same sources: ccache keeps each one's
# objects for the next run on this machine.
# Paths are taken relative to the checkout, so that a fresh clone elsewhere finds them too.
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
fi
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"

pg_dir="$(mktemp -d "${TMPDIR:-/tmp}/oq-pg.XXXXXX")"
trap 'scripts/pg-server.sh stop "$pg_dir"' EXIT
trap 'exit 130' INT TERM
scripts/pg-server.sh start "$pg_dir"
eval "$(scripts/pg-server.sh env "$pg_dir")"

# ctest lists each program's tests when it starts, and keeps the list until the program is rebuilt;
# a list made without a server lacks the PostgreSQL cases, so make it afresh now that there is one.
find "build/$preset/tests" -name '*_tests.cmake' -name '*\[*' -delete

ctest --preset "$preset" -j "$(nproc)"

# --- Sanitizers ---------------------------------------------------------------------------------
# The whole suite again, built with the address and undefined-behaviour sanitizers, against the
# same server. The sanitizers' options and the leak suppressions come with the asan test preset.
# Skipped when the run above was the asan preset already, or with OQ_SKIP_ASAN=1.
if [ "$preset" != asan ] && [ "${OQ_SKIP_ASAN:-0}" != 1 ]; then
  cmake --preset asan
  cmake --build --preset asan -j "$(nproc)"
  find build/asan/tests -name '*_tests.cmake' -name '*\[*' -delete
  ctest --preset asan -j "$(nproc)"
fi
# --- end of sanitizers --------------------------------------------------------------------------

# A short run of the statement fuzz target, in its own clang build (build/fuzz).
scripts/fuzz.sh 30

# ---- Windows: the DLL cross-built with mingw-w64 (64- and 32-bit) and its tests under Wine ----
scripts/test-windows.sh

# The tests stay lean: at most a third of the lines of the code they test.
scripts/test-ratio.sh --max 33
