#!/usr/bin/env bash
# Builds the statement fuzz target with clang's libFuzzer, address and undefined-behaviour
# sanitizers in build/fuzz, and runs it for SECONDS seconds (30 by default) on the corpus kept in
# build/fuzz/corpus. Fails when an invariant breaks; the crashing input is left in build/fuzz.
# Usage: scripts/fuzz.sh [SECONDS] [more libFuzzer options, e.g. -jobs=2]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
shift || true

scripts/install-deps.sh clang libclang-rt-14-dev

cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
  -DOQ_BUILD_FUZZ=ON -DOQ_BUILD_TESTS=OFF -DOQ_BUILD_BENCH=OFF -DOQ_WITH_QT=OFF \
  -DOQ_WITH_POSTGRES=OFF -DOQ_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build/fuzz --target oq_statement_fuzz -j "${FUZZ_BUILD_JOBS:-2}"

mkdir -p build/fuzz/corpus
cd build/fuzz
./tests/fuzz/oq_statement_fuzz -max_total_time="$seconds" -max_len=1024 -len_control=0 \
  -print_final_stats=1 "$@" corpus
