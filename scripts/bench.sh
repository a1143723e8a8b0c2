#!/usr/bin/env bash
# Builds the release preset, starts a throwaway PostgreSQL server, runs the copy benchmark on
# SQLite and that server (on its socket and behind the benchmark's delaying relay, at 0.25 and
# 1 ms each way), and draws its chart:
#   bench/results/{timings,network,memory,settings,targets}.csv, bench/results/report.txt,
#   docs/bench.png.
# The server and its folder are removed at the end, whatever happens. --sizes 100,1000,10000 took
# 6 to 12 minutes on a busy 2-core machine; the default sizes add 100,000 items, whose filtered copies
# on PostgreSQL take a minute or more per repetition there. Extra arguments go to oq_bench, e.g.
#   scripts/bench.sh --sizes 100,1000 --reps 3      (a quick look)
#   scripts/bench.sh --engines sqlite               (no server)
#   scripts/bench.sh --only network --delays 0,0.5  (PostgreSQL over a network of 0.5 ms only)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target oq_bench -j "$(nproc)"

cpu="$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
memory="$(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo)"
machine="$(nproc) cores, ${cpu}, ${memory} RAM, Linux $(uname -r)"
mkdir -p bench/results docs

pg_dir="$(mktemp -d "${TMPDIR:-/tmp}/oq-bench-pg.XXXXXX")"
trap 'scripts/pg-server.sh stop "$pg_dir"' EXIT
trap 'exit 130' INT TERM
scripts/pg-server.sh start "$pg_dir"
eval "$(scripts/pg-server.sh env "$pg_dir")"
pg_version="$(psql -Atc 'show server_version' | cut -d' ' -f1)"

load_before="$(cut -d' ' -f1-3 /proc/loadavg)"

build/release/bench/oq_bench --out bench/results "$@" | tee bench/results/report.txt
# Other work on the machine shows in the figures: the load averages go with them.
load_after="$(cut -d' ' -f1-3 /proc/loadavg)"
printf '%s\nPostgreSQL %s (throwaway server: unix socket, fsync off)\nload average before: %s, after: %s\n' \
  "$machine" "$pg_version" "$load_before" "$load_after" >bench/results/machine.txt
cat bench/results/machine.txt
# Debian's own Python: it has python3-matplotlib, whatever python3 comes first on PATH.
/usr/bin/python3 bench/plot_bench.py bench/results docs/bench.png "$machine"
