#!/usr/bin/env python3
"""Turns the results of one scripts/bench run into one table of figures, baselines, ratios and
goals. Every ratio compares two figures measured in the same run.

usage: report.py RESULTS_DIR
RESULTS_DIR holds columns.json, builders.json, list_tables.json, startup.json (Google Benchmark
JSON with median aggregates) and memory.jsonl (one object per kelvane_bench_column_memory run).
"""
import json
import os
import sys

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def medians(path):
    """run name -> median aggregate (real time in ns and the counters)."""
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    out = {}
    for b in data["benchmarks"]:
        if b.get("error_occurred"):
            raise SystemExit(f"{os.path.basename(path)}: {b['name']}: {b.get('error_message')}")
        if b.get("aggregate_name") != "median":
            continue
        name = b["run_name"].split("/min_time:")[0].split("/iterations:")[0].split("/repeats:")[0]
        out[name] = dict(b, ns=b["real_time"] * UNIT_NS[b["time_unit"]])
    return out


def fmt_time(ns):
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("µs", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}" if ns / scale < 100 else f"{ns / scale:.0f} {unit}"
    return f"{ns:.3g} ns"


def fmt_ratio(r):
    return f"{r:,.0f}×" if r >= 100 else f"{r:.2f}×"


def main():
    results = sys.argv[1]
    rows = []  # (measure, figure, baseline, ratio, goal, holds)

    # 1. Column read.
    col = medians(os.path.join(results, "columns.json"))
    big = col["read_columns/big"]["ns"]
    empty = col["read_columns/empty"]["ns"]
    naive = col["select_all_stored/big"]["ns"]
    rows.append(("1 Column read, 1,000,000-row table vs empty table", fmt_time(big),
                 fmt_time(empty), fmt_ratio(big / empty), "≤ 1.2×", big / empty <= 1.2))
    rows.append(("1 Column read vs plain select * + stored result (1M rows)", fmt_time(big),
                 fmt_time(naive), fmt_ratio(naive / big) + " faster", "≥ 1,000× faster",
                 naive / big >= 1000))
    runs = [json.loads(line) for line in open(os.path.join(results, "memory.jsonl"), encoding="utf-8")
            if line.strip()]
    read_growth = max(r["growth_kib"] for r in runs if r["mode"] == "columns")
    naive_growth = max(r["growth_kib"] for r in runs if r["mode"] == "select")
    rows.append(("1 Client peak memory growth, column read on 1M rows (worst of "
                 f"{sum(r['mode'] == 'columns' for r in runs)})", f"{read_growth:,} KiB",
                 f"{naive_growth:,} KiB (select *)", "", "< 1 MiB", read_growth < 1024))

    # 2. Builders.
    bld = medians(os.path.join(results, "builders.json"))
    panes = [("custom_type", "Custom type"), ("class_module", "Class module"),
             ("set_class", "Set class"), ("csharp_entity", "C# entity"),
             ("csharp_operation", "C# operation")]
    for key, label in panes:
        for n in (10, 100, 1000):
            b = bld[f"builder/{key}/{n}"]
            m = bld[f"memcpy/{key}/{n}"]
            size = int(b["bytes"])
            per_byte = b["ns"] / size
            rows.append((f"2 {label}, {n:,} columns ({size:,} B): ns per byte vs memcpy",
                         f"{per_byte:.3f} ns/B", f"{m['ns'] / size:.3f} ns/B",
                         fmt_ratio(b["ns"] / m["ns"]), "≤ 4×", b["ns"] / m["ns"] <= 4))
        growth = bld[f"builder/{key}/1000"]["ns"] / bld[f"builder/{key}/100"]["ns"]
        rows.append((f"2 {label}, time for 1,000 vs 100 columns",
                     fmt_time(bld[f"builder/{key}/1000"]["ns"]),
                     fmt_time(bld[f"builder/{key}/100"]["ns"]), fmt_ratio(growth), "≤ 11×",
                     growth <= 11))

    # 3. Listing 5,000 tables.
    lst = medians(os.path.join(results, "list_tables.json"))
    window = lst["list_tables/window"]["ns"]
    client = lst["list_tables/mariadb_client"]["ns"]
    rows.append(("3 List 5,000 tables into 列表框2 vs mariadb -N -e 'show tables'",
                 fmt_time(window), fmt_time(client), fmt_ratio(window / client), "≤ 1.0×",
                 window / client <= 1.0))

    # 4. Start to window shown.
    st = medians(os.path.join(results, "startup.json"))
    app = st["start/kelvane"]["ns"]
    minimal = st["start/empty_qt_widget"]["ns"]
    rows.append(("4 Start to window shown: kelvane vs minimal Qt Widgets window", fmt_time(app),
                 fmt_time(minimal), fmt_ratio(app / minimal), "≤ 1.3×", app / minimal <= 1.3))

    header = ("Measure", "Figure", "Baseline", "Ratio", "Goal", "Holds")
    table = [header] + [(m, f, b, r, g, "yes" if h else "MISSED") for m, f, b, r, g, h in rows]
    widths = [max(len(row[i]) for row in table) for i in range(len(header))]
    lines = []
    for i, row in enumerate(table):
        lines.append("| " + " | ".join(c.ljust(w) for c, w in zip(row, widths)) + " |")
        if i == 0:
            lines.append("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    print("\n".join(lines))
    held = sum(1 for r in rows if r[5])
    print(f"\n{held} of {len(rows)} goals hold. Times are medians; every ratio compares two "
          "figures measured in this run.")


if __name__ == "__main__":
    main()
