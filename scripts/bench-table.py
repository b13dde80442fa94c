#!/usr/bin/env python3
"""Prints one table of benchmark ratios from Google Benchmark JSON files.

Usage: bench-table.py TARGETS_JSON RESULT_JSON...
Each result file is named <bench>.json. Exit status 1 when a target is missed.
"""
import json
import os
import re
import sys

NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
# Run-name parts that depend on how a benchmark was set up, not on what it measures.
SETUP = re.compile(r"/(iterations|repeats|min_time|min_warmup_time|real_time|process_time|"
                   r"manual_time|threads)(:[^/]*)?")


def base_name(run_name):
    return SETUP.sub("", run_name)


def load_runs(path):
    """Run name -> the median (or the only) run of that name."""
    with open(path) as f:
        data = json.load(f)
    runs = {}
    for b in data.get("benchmarks", []):
        if b.get("error_occurred"):
            continue
        name = base_name(b.get("run_name", b["name"]))
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                runs[name] = b
        else:
            runs.setdefault(name, b)
    return runs


def value_ns(runs, spec, time_key):
    """Nanoseconds of NAME (its time) or NAME@counter (a counter in ns)."""
    name, _, counter = spec.partition("@")
    run = runs.get(name)
    if run is None:
        return None
    if counter:
        return run.get(counter)
    return run[time_key] * NS[run.get("time_unit", "ns")]


def fmt_ns(ns):
    if ns is None:
        return "-"
    for unit, scale in (("s", 1e9), ("ms", 1e6), ("us", 1e3)):
        if ns >= scale:
            return f"{ns / scale:.3g} {unit}"
    return f"{ns:.3g} ns"


def main():
    targets = json.load(open(sys.argv[1]))["targets"]
    results = {os.path.splitext(os.path.basename(p))[0]: load_runs(p) for p in sys.argv[2:]}

    rows = []
    shown = {b: set() for b in results}
    missed = 0
    for t in targets:
        bench = t["bench"]
        if bench not in results:
            continue
        runs = results[bench]
        key = t.get("time", "cpu_time")
        op, ref = t["operation"], t["reference"]
        op_ns = value_ns(runs, op, key)
        if op_ns is None:
            continue  # filtered out, or not in this build
        shown[bench].update({op.partition("@")[0], ref.partition("@")[0]})
        if "ratio_counter" in t:
            ratio = runs[op.partition("@")[0]].get(t["ratio_counter"])
            ref_text = ref
        else:
            ref_ns = value_ns(runs, ref, key)
            ratio = op_ns / ref_ns if ref_ns else None
            ref_text = f"{ref} ({fmt_ns(ref_ns)})"
        goal = t.get("target_ratio")
        sign = "<=" if t.get("direction", "max") == "max" else ">="
        if goal is None or ratio is None:
            met = "-"
        elif (ratio <= goal) if sign == "<=" else (ratio >= goal):
            met = "yes"
        else:
            met = "NO"
            missed += 1
        rows.append([bench, op, fmt_ns(op_ns), ref_text,
                     "-" if ratio is None else f"{ratio:.2f}",
                     "-" if goal is None else f"{sign} {goal:g}", met])

    # Every other run, with its time only.
    for bench, runs in results.items():
        for name, run in runs.items():
            if name not in shown[bench]:
                rows.append([bench, name, fmt_ns(value_ns(runs, name, "cpu_time")), "-", "-", "-", "-"])

    head = ["benchmark", "operation", "time", "reference (time)", "ratio", "target", "met"]
    widths = [max(len(r[i]) for r in rows + [head]) for i in range(len(head))]
    line = lambda cells: "| " + " | ".join(c.ljust(w) for c, w in zip(cells, widths)) + " |"
    print(line(head))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print(line(r))
    print(f"\n(medians; CPU time unless the target says otherwise; ratio = operation / reference)")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
