#!/usr/bin/env bash
# Builds the release preset, runs the copy benchmark and draws its chart:
#   bench/results/{timings,memory,settings,targets}.csv, bench/results/report.txt, docs/bench.png.
# About 10 minutes on a 2-core machine. Extra arguments go to oq_bench, for instance
#   scripts/bench.sh --sizes 100,1000 --reps 3      (a quick look)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target oq_bench -j "$(nproc)"

cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
memory="$(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo)"
machine="$(nproc) cores, ${cpu}, ${memory} RAM, Linux $(uname -r)"
mkdir -p bench/results docs
load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

build/release/bench/oq_bench --out bench/results "$@" | tee bench/results/report.txt
# Other work on the machine shows in the figures: the load averages go with them.
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s\nload average before: %s, after: %s\n' "$machine" "$load_before" "$load_after" \
  >bench/results/machine.txt
cat bench/results/machine.txt
# Debian's own Python: it has python3-matplotlib, whatever python3 comes first on PATH.
/usr/bin/python3 bench/plot_bench.py bench/results docs/bench.png "$machine"
