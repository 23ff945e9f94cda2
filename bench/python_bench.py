#!/usr/bin/env python3
"""What the Python module costs over the C library, measured side by side
in one run.

    PYTHONPATH=build/python python3 bench/python_bench.py [--build build] [--states 200000]
                                                          [--repeats 7] [--json FILE]

Batch: the same random states (angles uniform in [-pi, pi), base position
and rates in [-1, 1)) through bipedkin.evaluate and through the C
library's own bipedkin_eval_batch on libbipedkin.so via ctypes, one thread,
exact and fast, per state:

  C, out reused         bipedkin_eval_batch into one buffer, written before
  evaluate, out=        evaluate with out= a reused array in the layout evaluate
                        returns (written in place, no copy)
  C, new out            bipedkin_eval_batch into a fresh np.empty each call
  evaluate              evaluate allocating its result, as most callers will
  evaluate, C out=      out= a reused C-contiguous array (matrix results are
                        transposed into it block by block)

Each repetition runs every variant once, in turn, so that a slow spell of a
shared machine spreads over all of them; the figure is the median.

Single state: one evaluate call on a (44,) array against small NumPy calls
(np.add of two (44,) arrays, np.dot of two 3-vectors), with timeit.
"""

import argparse
import ctypes
import json
import os
import statistics
import sys
import time
import timeit

import numpy as np

ZERO_FILL, FAST = 1, 2
EVALUATORS = ["pos_toe_sole_l", "rot_knee_l", "jac_toe_sole_l", "jacdot_toe_sole_l"]


def load_library(path):
    lib = ctypes.CDLL(path)
    lib.bipedkin_find.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]
    lib.bipedkin_eval_batch.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p,
                                        ctypes.c_uint, ctypes.c_uint]
    return lib


def states(n, seed=1):
    rng = np.random.default_rng(seed)
    x = rng.uniform(-1.0, 1.0, size=(n, 44))
    x[:, 3:22] = rng.uniform(-np.pi, np.pi, size=(n, 19))
    return x


def batch_variants(bipedkin, lib, name, x, fast):
    info = bipedkin.info(name)
    n = len(x)
    e = ctypes.c_void_p()
    assert lib.bipedkin_find(name.encode(), ctypes.byref(e)) == 0
    flags = ZERO_FILL | (FAST if fast else 0)
    reused_c = np.zeros(n * info.rows * info.cols)
    returned = bipedkin.evaluate(name, x, fast=fast, threads=1)
    reused_layout = returned.copy(order="K")  # the strides evaluate returns
    assert reused_layout.strides == returned.strides
    reused_row_major = np.zeros(returned.shape)

    def c_batch(out):
        assert lib.bipedkin_eval_batch(e, x.ctypes.data, n, out.ctypes.data, flags, 1) == 0

    return {
        "C, out reused": lambda: c_batch(reused_c),
        "evaluate, out=": lambda: bipedkin.evaluate(name, x, fast=fast, threads=1, out=reused_layout),
        "C, new out": lambda: c_batch(np.empty(n * info.rows * info.cols)),
        "evaluate": lambda: bipedkin.evaluate(name, x, fast=fast, threads=1),
        "evaluate, C out=": lambda: bipedkin.evaluate(name, x, fast=fast, threads=1, out=reused_row_major),
    }


def median_seconds(variants, repeats):
    times = {k: [] for k in variants}
    for _ in range(repeats):
        for k, f in variants.items():
            start = time.perf_counter()
            f()
            times[k].append(time.perf_counter() - start)
    return {k: statistics.median(v) for k, v in times.items()}


def single_call(bipedkin, repeats):
    x = states(1)[0]
    a, b = np.arange(44.0), np.ones(44)
    u, v = np.arange(3.0), np.ones(3)
    calls = {
        "evaluate('pos_toe_sole_l', x)": lambda: bipedkin.evaluate("pos_toe_sole_l", x),
        "evaluate('rot_knee_l', x)": lambda: bipedkin.evaluate("rot_knee_l", x),
        "evaluate('pos_toe_sole_l', x, fast=True)": lambda: bipedkin.evaluate("pos_toe_sole_l", x, fast=True),
        "np.add(a, b), (44,) arrays": lambda: np.add(a, b),
        "np.dot(u, v), 3-vectors": lambda: np.dot(u, v),
    }
    number = 20000
    results = {}
    for _ in range(repeats):
        for k, f in calls.items():
            results.setdefault(k, []).append(timeit.timeit(f, number=number) / number)
    return {k: statistics.median(v) for k, v in results.items()}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build", help="the build folder (its python/ and bin/libbipedkin.so)")
    parser.add_argument("--states", type=int, default=200_000)
    parser.add_argument("--repeats", type=int, default=7)
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()

    sys.path.insert(0, os.path.join(args.build, "python"))
    import bipedkin

    lib = load_library(os.path.join(args.build, "bin", "libbipedkin.so"))
    x = states(args.states)
    print(f"bipedkin {bipedkin.__version__} from {bipedkin.__file__}; fast path {bipedkin.fast_path()}; "
          f"{args.states} states, one thread, median of {args.repeats}")
    report = {"states": args.states, "repeats": args.repeats, "fast_path": bipedkin.fast_path(), "batch": {},
              "single": {}}

    names = None
    for name in EVALUATORS:
        for fast in (False, True):
            variants = batch_variants(bipedkin, lib, name, x, fast)
            names = list(variants)
            per_state = {k: s / args.states * 1e9 for k, s in median_seconds(variants, args.repeats).items()}
            report["batch"][f"{name}{' fast' if fast else ''}"] = per_state
    header = f"{'ns per state':<24}" + "".join(f"{k:>18}" for k in names) + f"{'out= / C':>10}{'new / C':>10}"
    print(header)
    for row, per_state in report["batch"].items():
        ratios = (per_state["evaluate, out="] / per_state["C, out reused"], per_state["evaluate"] / per_state["C, new out"])
        print(f"{row:<24}" + "".join(f"{per_state[k]:>18.1f}" for k in names) + "".join(f"{r:>10.3f}" for r in ratios))

    print(f"\n{'one call':<44}{'ns':>10}")
    report["single"] = {k: s * 1e9 for k, s in single_call(bipedkin, args.repeats).items()}
    for k, ns in report["single"].items():
        print(f"{k:<44}{ns:>10.0f}")

    if args.json:
        with open(args.json, "w") as f:
            json.dump(report, f, indent=1)


if __name__ == "__main__":
    main()
