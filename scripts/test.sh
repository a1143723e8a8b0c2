#!/usr/bin/env bash
# Installs what the build needs, builds with warnings as errors and runs every test.
# Usage: scripts/test.sh [preset]   (dev by default; also release, asan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"

scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"
