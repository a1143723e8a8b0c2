#!/usr/bin/python3
"""Draws docs/bench.png from the CSV files oq_bench writes: cost against N on log scales, and
PostgreSQL's speed against the network delay.

Usage: plot_bench.py RESULTS_FOLDER OUTPUT_PNG [MACHINE_TEXT]
"""
import csv
import sys
from collections import defaultdict

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

STYLE = {"run": ("-", "o"), "floor": ("--", "s"), "set-based": (":", "^")}
COLOURS = {"full x1": "tab:blue", "full x9": "tab:purple",
           "con LAPI": "tab:red", "sin LAPI": "tab:green"}


def read(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def series(rows):
    """(scenario, implementation) -> sorted [(n, median seconds)], SQLite in autocommit only."""
    out = defaultdict(list)
    for r in rows:
        if (r.get("engine", "sqlite"), r.get("mode", "autocommit")) != ("sqlite", "autocommit"):
            continue
        out[(r["scenario"], r["implementation"])].append((int(r["n"]), float(r["median_s"])))
    return {k: sorted(v) for k, v in out.items()}


def sqlite_settings(folder):
    """The SQLite connection settings the report's first line names, in words."""
    try:
        with open(f"{folder}/report.txt", encoding="utf-8") as report:
            line = report.readline()
    except FileNotFoundError:
        return "settings not recorded"
    values = dict(part.strip().split("=", 1) for part in
                  line.split(":", 1)[-1].split(",") if "=" in part)
    journal = values.get("journal_mode") or "each file's own journal mode"
    synchronous = values.get("synchronous")
    return journal + (f", synchronous {synchronous}" if synchronous else ", SQLite's defaults")


def draw_times(ax, data, scenarios, title):
    for (scenario, impl), points in sorted(data.items()):
        if scenario not in scenarios or impl not in STYLE:
            continue
        line, marker = STYLE[impl]
        xs, ys = zip(*points)
        ax.plot(xs, ys, line, marker=marker, color=COLOURS.get(scenario, "black"),
                label=f"{scenario} {impl}")
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("items in the source interno (N)")
    ax.set_ylabel("seconds (median)")
    ax.set_title(title)
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=7)


def draw_memory(ax, rows):
    ns = [int(r["n"]) for r in rows]
    base = [int(r["baseline_kb"]) / 1024 for r in rows]
    for key, label, colour in (("peak_full_kb", "full copy", "tab:blue"),
                               ("peak_con_kb", "con LAPI", "tab:red"),
                               ("peak_sin_kb", "sin LAPI", "tab:green")):
        ax.plot(ns, [int(r[key]) / 1024 for r in rows], "-o", color=colour, label=label)
    ax.plot(ns, base, ":", color="grey", label="before the runs")
    ax.plot(ns, [b + 2 * n / 1024 for b, n in zip(base, ns)], "--", color="black",
            label="2 KB per item over the baseline")
    ax.set_xscale("log")
    ax.set_yscale("log")
    ax.set_xlabel("items in the source interno (N)")
    ax.set_ylabel("peak resident set (MB)")
    ax.set_title("Peak memory of one run")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=7)


def draw_network(ax, rows):
    """Kept items per second against the delay each way, at the largest N, savings on and off."""
    largest = max(int(r["n"]) for r in rows)
    for scenario in ("con LAPI", "sin LAPI", "full x1"):
        for savings, line in (("on", "-"), ("off", "--")):
            points = sorted((float(r["delay_ms"]), float(r["items_per_s"])) for r in rows
                            if r["scenario"] == scenario and r["savings"] == savings
                            and int(r["n"]) == largest)
            if points:
                xs, ys = zip(*points)
                ax.plot(xs, ys, line, marker="o", color=COLOURS.get(scenario, "black"),
                        label=f"{scenario}, savings {savings}")
    ax.set_yscale("log")
    ax.set_xlabel("network delay each way (ms; 0 = the server's socket)")
    ax.set_ylabel("items written per second (median)")
    ax.set_title(f"PostgreSQL over a network, one transaction, N={largest:,}")
    ax.grid(True, which="both", alpha=0.3)
    ax.legend(fontsize=7)


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    folder, output = sys.argv[1], sys.argv[2]
    machine = sys.argv[3] if len(sys.argv) > 3 else ""
    data = series(read(f"{folder}/timings.csv"))
    memory = read(f"{folder}/memory.csv")
    try:
        network = read(f"{folder}/network.csv")
    except FileNotFoundError:
        network = []

    fig, axes = plt.subplots(1, 4, figsize=(21, 5.2))
    draw_times(axes[0], data, {"full x1", "full x9"}, "Full copy: run against the floor")
    draw_times(axes[1], data, {"con LAPI", "sin LAPI"},
               "Filtered copy: run, replayed floor, set-based")
    if memory:
        draw_memory(axes[2], memory)
    else:
        axes[2].set_axis_off()
    if network:
        draw_network(axes[3], network)
    else:
        axes[3].set_axis_off()
    fig.suptitle(f"oQUARDELINO copy cost against N (SQLite: {sqlite_settings(folder)})"
                 + (f"\n{machine}" if machine else ""), fontsize=10)
    fig.tight_layout()
    fig.savefig(output, dpi=110)
    print(f"chart written to {output}")


if __name__ == "__main__":
    main()
