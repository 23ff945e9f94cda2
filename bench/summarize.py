#!/usr/bin/env python3
"""Summarizes a run of bipedkin_bench (Google Benchmark JSON, with median
aggregates): per deliverable the kernel's median ns, its trig floor and the
plain reference; the host call, C library and KDL comparisons; the goals. Writes
summary.json and kernels_vs_floor.svg into the output folder and prints the
tables as Markdown. Times are the process's CPU time per call unless
--clock real is given.

    summarize.py RAW.json [--out DIR] [--clock cpu|real]
"""

import argparse
import json
import os
import platform
import statistics
import sys

FAMILIES = [
    ("pos", "site positions"),
    ("rot", "site rotations"),
    ("omega_world", "angular velocities, world"),
    ("omega_body", "angular velocities, body"),
    ("angjac_world", "angular-velocity Jacobians, world"),
    ("angjac_body", "angular-velocity Jacobians, body"),
    ("jac", "site Jacobians"),
    ("jacdot", "site Jacobian rates"),
    ("actuation_matrix", "actuation matrix"),
    ("dyn_sparsity", "sparsity patterns"),
]

# Goals, side by side in one run.
FLOOR_WORST = 1.5
FLOOR_MEDIAN = 1.25
KDL_GOALS = {"toe_sole_pose": 3.5, "jac_hip_abduction_l": 20.0, "jacdot_mount_l": 30.0,
             "jac_toe_sole_l": 20.0, "jacdot_toe_sole_l": 25.0}
# The kernels beyond the original set against their trig floors.
BEYOND_FLOOR_WORST = 1.35
BEYOND_FLOOR_MEDIAN = 1.15
# The fast batch against the exact one, per state on one thread.
FAST_MEDIAN = {"avx512": 4.0, "avx2": 2.5}
FAST_LEAST = {"avx512": 2.0}
FAST_POS_TOE_SOLE_FLOOR = 0.25  # pos_toe_sole_l on the widest path against its scalar trig floor
KDL_FAST_FURTHER = 3.0  # KDL / fast batch against KDL / kernel
REFERENCE_GOAL = 2.0
HOST_OVERHEAD_NS = 100.0


def family_of(name):
    # Longest prefix first: "jacdot_" before "jac_", "omega_world_" before "omega_".
    for key, _ in sorted(FAMILIES, key=lambda f: -len(f[0])):
        if name == key or name.startswith(key + "_"):
            return key
    return "other"


SITES = ["mount", "hip_abduction", "hip_rotation", "hip_flexion", "knee", "shin", "ankle", "toe", "toe_sole"]
PATHS = ["avx512", "avx2", "sse2"]


def beyond_original(name):
    """The kinematics of every frame that go beyond the original set: the
    Jacobians and their rates beyond the mount axis, the angular velocities
    beyond the hip flexion and their Jacobians beyond the hip rotation."""
    family = family_of(name)
    site = name[len(family) + 1:-2]
    if family == "jac":
        return site not in ("mount", "hip_abduction")
    if family == "jacdot":
        return site != "mount"
    if family in ("omega_world", "omega_body"):
        return SITES.index(site) > SITES.index("hip_flexion")
    if family in ("angjac_world", "angjac_body"):
        return SITES.index(site) > SITES.index("hip_rotation")
    return False


def table_order(name):
    """Family, then site from the base out, then left before right."""
    family = family_of(name)
    keys = [k for k, _ in FAMILIES]
    rank = keys.index(family) if family in keys else len(keys)
    rest = name[len(family) + 1:] if name != family else ""
    side = 1 if rest.endswith("_r") else 0
    site = rest[:-2] if rest.endswith(("_l", "_r")) else rest
    if site in SITES:
        return (rank, SITES.index(site), side, "")
    return (rank, len(SITES), side, "%08s" % site)


def cpu_model():
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def load(path, clock):
    with open(path) as f:
        raw = json.load(f)
    median, cv, counters = {}, {}, {}
    for b in raw["benchmarks"]:
        if b.get("run_type") != "aggregate":
            continue
        name = b["run_name"]
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
        if b["aggregate_name"] == "median":
            median[name] = b[clock] * scale
            if "sincos" in b:
                counters[name] = int(round(b["sincos"]))
            if "states" in b:
                counters[name] = int(round(b["states"]))
            if "states_per_second" in b:
                counters[name + ":rate"] = b["states_per_second"]
        elif b["aggregate_name"] == "cv":
            cv[name] = b[clock]  # a fraction
    if not median:
        sys.exit("no median aggregates in %s: run with --benchmark_repetitions > 1" % path)
    return raw.get("context", {}), median, cv, counters


def summarize(context, median, cv, counters):
    names = sorted((n[len("kernel/"):] for n in median if n.startswith("kernel/")), key=table_order)
    rows = []
    for name in names:
        k = median["kernel/" + name]
        floor = median.get("floor/" + name)
        ref = median.get("reference/" + name)
        arith = median.get("arith/" + name)
        rows.append({
            "name": name,
            "family": family_of(name),
            "sincos": counters.get("kernel/" + name, 0),
            "kernel_ns": k,
            "kernel_cv": cv.get("kernel/" + name),
            "floor_ns": floor,
            "floor_ratio": k / floor if floor else None,
            "arithmetic_ns": arith,
            "reference_ns": ref,
            "reference_speedup": ref / k if ref else None,
        })

    host = []
    for n in median:
        if n.startswith("host/"):
            name = n[len("host/"):]
            k = median["kernel/" + name]
            entry = median.get("entry/" + name)
            host.append({"name": name, "family": family_of(name), "host_ns": median[n], "kernel_ns": k,
                         "overhead_ns": median[n] - k, "entry_ns": entry,
                         "entry_overhead_ns": entry - k if entry is not None else None})

    host.sort(key=lambda h: table_order(h["name"]))
    # The C library: a single call, and one state's share of a batch of the pool.
    capi = []
    for n in median:
        if n.startswith("capi/"):
            name = n[len("capi/"):]
            k = median["kernel/" + name]
            batch = "capi_batch/" + name
            per_state = median[batch] / counters[batch] if batch in median and counters.get(batch) else None
            capi.append({"name": name, "family": family_of(name), "kernel_ns": k, "single_ns": median[n],
                         "single_overhead_ns": median[n] - k, "batch_per_state_ns": per_state,
                         "batch_overhead_ns": per_state - k if per_state is not None else None})
    capi.sort(key=lambda c: table_order(c["name"]))
    kdl = []
    pairs = {"toe_sole_pose": "ours/toe_sole_pose", "jac_hip_abduction_l": "kernel/jac_hip_abduction_l",
             "jacdot_mount_l": "kernel/jacdot_mount_l", "jac_toe_sole_l": "kernel/jac_toe_sole_l",
             "jacdot_toe_sole_l": "kernel/jacdot_toe_sole_l"}
    for what, ours in pairs.items():
        if "kdl/" + what in median and ours in median:
            k = {"quantity": what, "kdl_ns": median["kdl/" + what], "ours_ns": median[ours],
                 "speedup": median["kdl/" + what] / median[ours], "goal": KDL_GOALS[what]}
            fast = "batch_fast/" + what
            if fast in median and counters.get(fast):
                k["fast_per_state_ns"] = median[fast] / counters[fast]
                k["fast_speedup"] = k["kdl_ns"] / k["fast_per_state_ns"]
            kdl.append(k)

    # Many states at once: per state, one thread, N states a call.
    batch = []
    floors = {r["name"]: r["floor_ns"] for r in rows}
    for n in median:
        if not n.startswith("batch_exact/"):
            continue
        name = n[len("batch_exact/"):]
        per_state = lambda key: median[key] / counters[key] if key in median and counters.get(key) else None
        b = {"name": name, "family": family_of(name), "beyond_original": beyond_original(name),
             "exact_ns": per_state(n), "floor_ns": floors.get(name)}
        for path in PATHS:
            ns = per_state("fast_%s/%s" % (path, name))
            if ns is not None:
                b[path + "_ns"] = ns
                b[path + "_speedup"] = b["exact_ns"] / ns
                if b["floor_ns"]:
                    b[path + "_per_floor"] = ns / b["floor_ns"]
        batch.append(b)
    batch.sort(key=lambda b: table_order(b["name"]))
    throughput = []
    for n in median:
        if n.startswith("throughput_exact/"):
            name = n[len("throughput_exact/"):]
            # The rate counters are states over wall-clock time.
            t = {"name": name, "states": counters.get(n), "exact_states_per_s": counters[n + ":rate"]}
            fast = "throughput_fast/" + name
            if fast + ":rate" in counters:
                t["fast_states_per_s"] = counters[fast + ":rate"]
            throughput.append(t)
    throughput.sort(key=lambda t: table_order(t["name"]))

    with_floor = [r for r in rows if r["floor_ratio"] is not None]
    ratios = [r["floor_ratio"] for r in with_floor]
    worst = max(with_floor, key=lambda r: r["floor_ratio"]) if with_floor else None
    speedups = [r["reference_speedup"] for r in rows if r["reference_speedup"] is not None]
    goals = {
        "floor_worst": {"value": worst["floor_ratio"] if worst else None, "deliverable": worst["name"] if worst else None,
                        "goal": FLOOR_WORST, "met": bool(worst) and worst["floor_ratio"] <= FLOOR_WORST},
        "floor_median": {"value": statistics.median(ratios) if ratios else None, "goal": FLOOR_MEDIAN,
                         "met": bool(ratios) and statistics.median(ratios) <= FLOOR_MEDIAN},
        "reference_min_speedup": {"value": min(speedups) if speedups else None, "goal": REFERENCE_GOAL,
                                  "met": bool(speedups) and min(speedups) >= REFERENCE_GOAL},
        "host_max_overhead_ns": {"value": max(h["overhead_ns"] for h in host) if host else None,
                                 "goal": HOST_OVERHEAD_NS,
                                 "met": bool(host) and max(h["overhead_ns"] for h in host) <= HOST_OVERHEAD_NS},
    }
    for k in kdl:
        goals["kdl_" + k["quantity"]] = {"value": k["speedup"], "goal": k["goal"], "met": k["speedup"] >= k["goal"]}
        if "fast_speedup" in k and k["quantity"].endswith("toe_sole_l"):
            further = k["fast_speedup"] / k["speedup"]
            goals["kdl_fast_further_" + k["quantity"]] = {"value": further, "goal": KDL_FAST_FURTHER,
                                                          "met": further >= KDL_FAST_FURTHER}
    beyond = [r for r in with_floor if beyond_original(r["name"])]
    if beyond:
        worst_beyond = max(beyond, key=lambda r: r["floor_ratio"])
        median_beyond = statistics.median(r["floor_ratio"] for r in beyond)
        goals["beyond_floor_worst"] = {"value": worst_beyond["floor_ratio"], "deliverable": worst_beyond["name"],
                                       "goal": BEYOND_FLOOR_WORST,
                                       "met": worst_beyond["floor_ratio"] <= BEYOND_FLOOR_WORST}
        goals["beyond_floor_median"] = {"value": median_beyond, "goal": BEYOND_FLOOR_MEDIAN,
                                        "met": median_beyond <= BEYOND_FLOOR_MEDIAN}
    for path in PATHS:
        for subset, members in (("original", [b for b in batch if not b["beyond_original"]]), ("all", batch)):
            speedups = [b[path + "_speedup"] for b in members if path + "_speedup" in b]
            if not speedups:
                continue
            if path in FAST_MEDIAN:
                m = statistics.median(speedups)
                goals["fast_%s_median_%s" % (path, subset)] = {"value": m, "goal": FAST_MEDIAN[path],
                                                                "met": m >= FAST_MEDIAN[path]}
            if path in FAST_LEAST:
                least = min((b for b in members if path + "_speedup" in b), key=lambda b: b[path + "_speedup"])
                goals["fast_%s_least_%s" % (path, subset)] = {"value": least[path + "_speedup"],
                                                               "deliverable": least["name"],
                                                               "goal": FAST_LEAST[path],
                                                               "met": least[path + "_speedup"] >= FAST_LEAST[path]}
    for b in batch:
        if b["name"] == "pos_toe_sole_l":
            widest = next((p for p in PATHS if p + "_per_floor" in b), None)
            if widest:
                goals["fast_pos_toe_sole_l_per_floor"] = {"value": b[widest + "_per_floor"], "deliverable": widest,
                                                          "goal": FAST_POS_TOE_SOLE_FLOOR,
                                                          "met": b[widest + "_per_floor"] <= FAST_POS_TOE_SOLE_FLOOR}

    cvs = [r["kernel_cv"] for r in rows if r["kernel_cv"] is not None]
    machine = {
        "cpu": cpu_model(),
        "cpus": context.get("num_cpus"),
        "mhz_per_cpu": context.get("mhz_per_cpu"),
        "load_avg": context.get("load_avg"),
        "compiler": context.get("compiler"),
        "flags": context.get("flags"),
        "kdl": context.get("kdl"),
        "benchmark_library_build": context.get("library_build_type"),
        "date": context.get("date"),
        "pool_states": context.get("pool_states"),
        "batch_states": context.get("batch_states"),
        "throughput_states": context.get("throughput_states"),
        "fast_path": context.get("fast_path"),
    }
    return {
        "machine": machine,
        "kernel_cv": {"median": statistics.median(cvs) if cvs else None, "max": max(cvs) if cvs else None},
        "goals": goals,
        "deliverables": rows,
        "host": host,
        "capi": capi,
        "kdl": kdl,
        "batch": batch,
        "throughput": throughput,
    }


def families(summary):
    out = []
    host = {h["family"]: h for h in summary["host"]}
    kdl = {k["quantity"]: k for k in summary["kdl"]}
    kdl_family = {"jac": "jac_hip_abduction_l", "jacdot": "jacdot_mount_l"}
    for key, title in FAMILIES:
        rows = [r for r in summary["deliverables"] if r["family"] == key]
        if not rows:
            continue
        floor = [r["floor_ratio"] for r in rows if r["floor_ratio"] is not None]
        ref = [r["reference_speedup"] for r in rows if r["reference_speedup"] is not None]
        f = {
            "family": key,
            "title": title,
            "count": len(rows),
            "sincos": (min(r["sincos"] for r in rows), max(r["sincos"] for r in rows)),
            "kernel_ns": (min(r["kernel_ns"] for r in rows), statistics.median(r["kernel_ns"] for r in rows),
                          max(r["kernel_ns"] for r in rows)),
            "floor_ratio": (statistics.median(floor), max(floor)) if floor else None,
            "reference_speedup": (statistics.median(ref), min(ref)) if ref else None,
            "host": host.get(key),
        }
        if key in kdl_family and kdl_family[key] in kdl:
            f["kdl"] = kdl[kdl_family[key]]
        if key == "pos" and "toe_sole_pose" in kdl:
            f["kdl"] = kdl["toe_sole_pose"]
        out.append(f)
    return out


def markdown(summary):
    lines = []
    fam = families(summary)
    lines.append("| family | n | sincos | kernel ns: min / median / max | kernel / floor: median, worst "
                 "| reference / kernel: median, least | KDL / ours | host call: ns, overhead |")
    lines.append("|---|---|---|---|---|---|---|---|")
    for f in fam:
        s = f["sincos"]
        sincos = "%d" % s[0] if s[0] == s[1] else "%d-%d" % s
        kns = "%.1f / %.1f / %.1f" % f["kernel_ns"]
        fr = "%.2f, %.2f" % f["floor_ratio"] if f["floor_ratio"] else "-"
        rs = "%.1fx, %.1fx" % f["reference_speedup"] if f["reference_speedup"] else "-"
        k = f.get("kdl")
        kd = "%.1fx (%s)" % (k["speedup"], k["quantity"]) if k else "-"
        h = f["host"]
        hs = "%.0f, +%.0f (%s)" % (h["host_ns"], h["overhead_ns"], h["name"]) if h else "-"
        lines.append("| %s | %d | %s | %s | %s | %s | %s | %s |" % (f["family"], f["count"], sincos, kns, fr, rs, kd, hs))
    lines.append("")
    lines.append("| deliverable | sincos | kernel ns | cv | floor ns | kernel / floor | arithmetic alone ns "
                 "| reference ns | reference / kernel |")
    lines.append("|---|---|---|---|---|---|---|---|---|")
    for r in summary["deliverables"]:
        lines.append("| %s | %d | %.1f | %s | %s | %s | %s | %s | %s |" % (
            r["name"], r["sincos"], r["kernel_ns"],
            "%.1f%%" % (100 * r["kernel_cv"]) if r["kernel_cv"] is not None else "-",
            "%.1f" % r["floor_ns"] if r["floor_ns"] else "-",
            "%.2f" % r["floor_ratio"] if r["floor_ratio"] else "-",
            "%.1f" % r["arithmetic_ns"] if r.get("arithmetic_ns") else "-",
            "%.1f" % r["reference_ns"] if r["reference_ns"] else "-",
            "%.1fx" % r["reference_speedup"] if r["reference_speedup"] else "-"))
    lines.append("")
    lines.append("| quantity | KDL ns | ours ns | KDL / ours | goal | fast batch ns per state | KDL / fast |")
    lines.append("|---|---|---|---|---|---|---|")
    for k in summary["kdl"]:
        fast = k.get("fast_per_state_ns")
        lines.append("| %s | %.0f | %.1f | %.1fx | %.1fx | %s | %s |" % (
            k["quantity"], k["kdl_ns"], k["ours_ns"], k["speedup"], k["goal"],
            "-" if fast is None else "%.1f" % fast, "-" if fast is None else "%.0fx" % k["fast_speedup"]))
    lines.append("")
    if summary.get("batch"):
        paths = [p for p in PATHS if any(p + "_ns" in b for b in summary["batch"])]
        lines.append("| batch family | n | exact ns per state: median | " +
                     " | ".join("%s ns: median | exact / %s: median, least" % (p, p) for p in paths) + " |")
        lines.append("|---|---|---|" + "---|---|" * len(paths))
        for key, _ in FAMILIES:
            members = [b for b in summary["batch"] if b["family"] == key]
            if not members:
                continue
            cells = []
            for p in paths:
                sp = [b[p + "_speedup"] for b in members if p + "_speedup" in b]
                ns = [b[p + "_ns"] for b in members if p + "_ns" in b]
                cells.append("%.1f | %.1fx, %.1fx" % (statistics.median(ns), statistics.median(sp), min(sp)))
            lines.append("| %s | %d | %.1f | %s |" % (key, len(members), statistics.median(b["exact_ns"] for b in members),
                                                      " | ".join(cells)))
        lines.append("")
        lines.append("| evaluator | floor ns | exact ns | " + " | ".join("%s ns | exact / %s" % (p, p) for p in paths) +
                     " | widest / floor |")
        lines.append("|---|---|---|" + "---|---|" * len(paths) + "---|")
        for b in summary["batch"]:
            cells = " | ".join("%.1f | %.1fx" % (b[p + "_ns"], b[p + "_speedup"]) if p + "_ns" in b else "- | -"
                               for p in paths)
            widest = next((p for p in paths if p + "_per_floor" in b), None)
            lines.append("| %s%s | %s | %.1f | %s | %s |" % (
                b["name"], " *" if b["beyond_original"] else "", "-" if not b["floor_ns"] else "%.1f" % b["floor_ns"],
                b["exact_ns"], cells, "%.2f" % b[widest + "_per_floor"] if widest else "-"))
        lines.append("")
    if summary.get("throughput"):
        lines.append("| %s states, every core | exact: states/s | fast: states/s | fast / exact |" %
                     (summary["machine"].get("throughput_states") or "N"))
        lines.append("|---|---|---|---|")
        for t in summary["throughput"]:
            f = t.get("fast_states_per_s")
            lines.append("| %s | %.3g | %s | %s |" % (t["name"], t["exact_states_per_s"],
                                                     "-" if f is None else "%.3g" % f,
                                                     "-" if f is None else "%.1fx" % (f / t["exact_states_per_s"])))
        lines.append("")
    lines.append("| host call | kernel ns | whole call ns | overhead ns | mexFunction alone ns | its overhead ns |")
    lines.append("|---|---|---|---|---|---|")
    for h in summary["host"]:
        e = h.get("entry_ns")
        lines.append("| %s | %.1f | %.1f | %.1f | %s | %s |" % (
            h["name"], h["kernel_ns"], h["host_ns"], h["overhead_ns"], "-" if e is None else "%.1f" % e,
            "-" if e is None else "%.1f" % h["entry_overhead_ns"]))
    lines.append("")
    if summary.get("capi"):
        lines.append("| C library | kernel ns | bipedkin_eval ns | overhead ns | per state in a batch ns | overhead ns |")
        lines.append("|---|---|---|---|---|---|")
        for c in summary["capi"]:
            b = c["batch_per_state_ns"]
            lines.append("| %s | %.1f | %.1f | %+.1f | %s | %s |" % (
                c["name"], c["kernel_ns"], c["single_ns"], c["single_overhead_ns"],
                "-" if b is None else "%.1f" % b, "-" if b is None else "%+.1f" % c["batch_overhead_ns"]))
        lines.append("")
    lines.append("| goal | measured | target | met |")
    lines.append("|---|---|---|---|")
    for key, g in summary["goals"].items():
        v = g["value"]
        lines.append("| %s%s | %s | %s | %s |" % (key, " (%s)" % g["deliverable"] if g.get("deliverable") else "",
                                                 "-" if v is None else "%.2f" % v, g["goal"], "yes" if g["met"] else "NO"))
    return "\n".join(lines)


def svg(summary):
    """Horizontal bars, one row per deliverable: the trig floor (grey) and the
    kernel (coloured), in ns, grouped by family."""
    rows = summary["deliverables"]
    row_h, top, left, right, width = 13, 58, 200, 70, 880
    groups = []
    for key, title in FAMILIES:
        members = [r for r in rows if r["family"] == key]
        if members:
            groups.append((key, title, members))
    height = top + sum(len(m) * row_h + 18 for _, _, m in groups) + 40
    vmax = max(max(r["kernel_ns"], r["floor_ns"] or 0) for r in rows)
    step = next(s for s in (5, 10, 20, 25, 50, 100, 200, 500) if vmax / s <= 8)
    vmax = step * (int(vmax / step) + 1)
    plot_w = width - left - right
    x = lambda v: left + plot_w * v / vmax
    colours = {"pos": "#1f77b4", "rot": "#2ca02c", "omega_world": "#9467bd", "omega_body": "#8c564b",
               "angjac_world": "#e377c2", "angjac_body": "#bcbd22", "jac": "#17becf", "jacdot": "#ff7f0e",
               "actuation_matrix": "#7f7f7f", "dyn_sparsity": "#7f7f7f"}
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" font-size="10">'
           % (width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="18" font-size="13" font-weight="bold">Median ns per kernel call (coloured) against its '
           'trig floor (grey: the same sincos calls alone)</text>' % left,
           '<text x="%d" y="34" fill="#555">%s time per call, median of %s; %s; %s. Label: ns, kernel / floor.</text>'
           % (left, "CPU" if summary["machine"].get("clock", "cpu") == "cpu" else "Wall-clock",
              "repetitions", summary["machine"]["cpu"], summary["machine"]["compiler"] or "")]
    y_axis_end = height - 30
    for i in range(0, int(vmax / step) + 1):
        v = i * step
        out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#ddd"/>' % (x(v), top - 6, x(v), y_axis_end))
        out.append('<text x="%.1f" y="%d" text-anchor="middle" fill="#555">%d</text>' % (x(v), y_axis_end + 12, v))
    out.append('<text x="%.1f" y="%d" text-anchor="middle" fill="#555">ns</text>' % (left + plot_w / 2, y_axis_end + 24))
    y = top
    for key, title, members in groups:
        out.append('<text x="4" y="%d" font-weight="bold">%s</text>' % (y + 4, title))
        y += 10
        for r in members:
            c = colours.get(key, "#333")
            out.append('<text x="%d" y="%d" text-anchor="end">%s</text>' % (left - 4, y + 9, r["name"]))
            if r["floor_ns"]:
                out.append('<rect x="%d" y="%d" width="%.1f" height="%d" fill="#c8c8c8"/>'
                           % (left, y + 1, x(r["floor_ns"]) - left, row_h - 2))
            out.append('<rect x="%d" y="%d" width="%.1f" height="%d" fill="%s"/>'
                       % (left, y + 4, x(r["kernel_ns"]) - left, row_h - 8, c))
            label = "%.1f" % r["kernel_ns"]
            if r["floor_ratio"]:
                label += "  %.2fx" % r["floor_ratio"]
            out.append('<text x="%.1f" y="%d" fill="#333">%s</text>'
                       % (max(x(r["kernel_ns"]), x(r["floor_ns"] or 0)) + 3, y + 9, label))
            y += row_h
        y += 8
    out.append("</svg>")
    return "\n".join(out) + "\n"


def batch_svg(summary):
    """One row per state-dependent evaluator: ns per state on one thread, the
    exact batch and each fast path, with the scalar trig floor as a tick."""
    rows = summary["batch"]
    paths = [p for p in PATHS if any(p + "_ns" in b for b in rows)]
    row_h, top, left, right, width = 12, 62, 200, 60, 880
    groups = []
    for key, title in FAMILIES:
        members = [b for b in rows if b["family"] == key]
        if members:
            groups.append((title, members))
    height = top + sum(len(m) * row_h + 18 for _, m in groups) + 40
    vmax = max(max([b["exact_ns"], b["floor_ns"] or 0]) for b in rows)
    step = next(s for s in (5, 10, 20, 25, 50, 100, 200, 500) if vmax / s <= 8)
    vmax = step * (int(vmax / step) + 1)
    plot_w = width - left - right
    x = lambda v: left + plot_w * v / vmax
    colours = {"exact": "#9e9e9e", "sse2": "#ff7f0e", "avx2": "#2ca02c", "avx512": "#1f77b4"}
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" font-size="10">'
           % (width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="18" font-size="13" font-weight="bold">ns per state in a batch of %s, one thread: exact '
           'and fast</text>' % (left, summary["machine"].get("batch_states") or "N"),
           '<text x="%d" y="34" fill="#555">bars from long to short: exact, %s; black tick: the scalar trig floor '
           '(glibc sincos on the angles the kernel takes)</text>' % (left, ", ".join(reversed(paths))),
           '<text x="%d" y="48" fill="#555">%s, %s. Label: exact / widest path.</text>'
           % (left, summary["machine"]["cpu"], summary["machine"]["compiler"] or "")]
    y_axis_end = height - 30
    for i in range(0, int(vmax / step) + 1):
        v = i * step
        out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#ddd"/>' % (x(v), top - 6, x(v), y_axis_end))
        out.append('<text x="%.1f" y="%d" text-anchor="middle" fill="#555">%d</text>' % (x(v), y_axis_end + 12, v))
    y = top
    for title, members in groups:
        out.append('<text x="4" y="%d" font-weight="bold">%s</text>' % (y + 4, title))
        y += 10
        for b in members:
            out.append('<text x="%d" y="%d" text-anchor="end">%s</text>' % (left - 4, y + 9, b["name"]))
            bars = [("exact", b["exact_ns"])] + [(p, b[p + "_ns"]) for p in reversed(paths) if p + "_ns" in b]
            for i, (what, ns) in enumerate(bars):
                out.append('<rect x="%d" y="%d" width="%.1f" height="%d" fill="%s"/>'
                           % (left, y + 1 + i, x(ns) - left, row_h - 2 - 2 * i, colours[what]))
            if b["floor_ns"]:
                out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="black" stroke-width="1.5"/>'
                           % (x(b["floor_ns"]), y, x(b["floor_ns"]), y + row_h - 1))
            widest = next((p for p in paths if p + "_speedup" in b), None)
            if widest:
                out.append('<text x="%.1f" y="%d" fill="#333">%.1fx</text>'
                           % (max(x(b["exact_ns"]), x(b["floor_ns"] or 0)) + 3, y + 9, b[widest + "_speedup"]))
            y += row_h
        y += 8
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("raw")
    p.add_argument("--out", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "results"))
    p.add_argument("--clock", choices=["cpu", "real"], default="cpu",
                   help="cpu: the process's CPU time per call (the default: on a shared machine it leaves out "
                        "the time the benchmark spends descheduled); real: wall-clock time")
    a = p.parse_args()
    summary = summarize(*load(a.raw, a.clock + "_time"))
    summary["machine"]["clock"] = a.clock
    os.makedirs(a.out, exist_ok=True)
    with open(os.path.join(a.out, "summary.json"), "w") as f:
        json.dump(summary, f, indent=1, sort_keys=False)
        f.write("\n")
    with open(os.path.join(a.out, "kernels_vs_floor.svg"), "w") as f:
        f.write(svg(summary))
    if summary["batch"]:
        with open(os.path.join(a.out, "batch_fast_vs_exact.svg"), "w") as f:
            f.write(batch_svg(summary))
    print(markdown(summary))


if __name__ == "__main__":
    main()
