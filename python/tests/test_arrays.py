"""How evaluate takes and gives arrays: shapes and layout, inputs of any
memory order and type, out=, threads, and the GIL released during a batch."""

import threading
import time
import tracemalloc

import numpy as np
import pytest

import bipedkin
from support import random_states, same_bits

# A column, a row-free matrix, a wide matrix, and a scalar-input evaluator.
SHAPE_CASES = [
    ("pos_toe_sole_l", (3,)),
    ("rot_knee_l", (3, 3)),
    ("jac_toe_sole_l", (3, 22)),
    ("actuation_matrix", (22, 10)),
]


@pytest.mark.parametrize("name, shape", SHAPE_CASES, ids=[c[0] for c in SHAPE_CASES])
@pytest.mark.parametrize("n", [None, 0, 1, 5])
def test_shapes_and_layout(name, shape, n):
    x = np.zeros(44) if n is None else random_states(n, seed=3)
    got = bipedkin.evaluate(name, x)
    assert got.shape == (shape if n is None else (n, *shape))
    assert got.dtype == np.float64
    # Each state's block is column-major, as the library wrote it: no copy.
    for k, block in enumerate([got] if n is None else got):
        assert block.T.flags.c_contiguous
        if n:
            assert same_bits(block, bipedkin.evaluate(name, x[k]))


def test_scalar_evaluator_shape():
    name = next(n for n in bipedkin.names() if bipedkin.info(n).input == "scalar")
    info = bipedkin.info(name)
    assert bipedkin.evaluate(name, 0.0).shape == (info.rows, info.cols)


def base_states():
    return random_states(9, seed=4)


# Each way of handing the same states over, and the float64 states it
# stands for.
INPUT_CASES = {
    "C float64": lambda x: x.copy(),
    "Fortran order": lambda x: np.asfortranarray(x),
    "every second row": lambda x: np.repeat(x, 2, axis=0)[::2],
    "every second column": lambda x: np.repeat(x, 2, axis=1)[:, ::2],
    "reversed rows": lambda x: x[::-1].copy()[::-1],
    "list of lists": lambda x: x.tolist(),
    "tuple of tuples": lambda x: tuple(map(tuple, x)),
    "float32": lambda x: x.astype(np.float32),
    "big-endian": lambda x: x.astype(">f8"),
    "int64": lambda x: np.round(x * 10).astype(np.int64),
    "uint8": lambda x: np.abs(np.round(x * 10)).astype(np.uint8),
    "object numbers": lambda x: x.astype(object),
    "unaligned": lambda x: np.frombuffer(b"\0" + x.tobytes(), dtype=np.float64, offset=1).reshape(x.shape),
}


@pytest.mark.parametrize("form", INPUT_CASES)
@pytest.mark.parametrize("name", ["pos_toe_sole_l", "jac_toe_sole_l"])
def test_any_input_form_gives_the_same_bits_and_is_left_unchanged(name, form):
    given = INPUT_CASES[form](base_states())
    states = np.array(given, dtype=np.float64)  # what the form holds
    before = np.array(given, copy=True)
    batch = bipedkin.evaluate(name, given)
    assert same_bits(batch, bipedkin.evaluate(name, np.ascontiguousarray(states)))
    assert same_bits(bipedkin.evaluate(name, given[1]), batch[1])
    after = np.array(given, copy=True)
    assert after.dtype == before.dtype and np.array_equal(after, before)


def peak_bytes_during(call):
    tracemalloc.start()
    try:
        call()
        return tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()


def test_a_c_contiguous_float64_batch_is_read_in_place():
    x = random_states(20000, seed=5)  # 7 MB; the result is 0.5 MB
    assert peak_bytes_during(lambda: bipedkin.evaluate("pos_toe_sole_l", x)) < x.nbytes / 4
    # A form that needs converting is copied once, which the measure sees.
    f = np.asfortranarray(x)
    assert peak_bytes_during(lambda: bipedkin.evaluate("pos_toe_sole_l", f)) >= x.nbytes


def out_in_returned_layout(n, rows, cols):
    return np.empty((n, cols, rows)).transpose(0, 2, 1)


# (evaluator, number of states or None for one, how out is made)
OUT_CASES = [
    ("rot_knee_l", 7, "C"),
    ("rot_knee_l", 7, "returned"),
    ("rot_knee_l", None, "C"),
    ("rot_knee_l", None, "returned"),
    ("jac_toe_sole_l", 1500, "C"),  # several chunks of the transposing path
    ("pos_toe_sole_l", 7, "C"),
    ("pos_toe_sole_l", None, "C"),
    ("actuation_matrix", 0, "C"),
    ("dyn_sparsity_9", None, "C"),
]


@pytest.mark.parametrize("name, n, layout", OUT_CASES)
@pytest.mark.parametrize("fast, threads", [(False, 1), (True, 2)])
def test_out_is_written_in_place(name, n, layout, fast, threads):
    info = bipedkin.info(name)
    x = 0.5 if info.input == "scalar" else (random_states(3, seed=6)[0] if n is None else random_states(n, seed=6))
    expected = bipedkin.evaluate(name, x, fast=fast)
    if layout == "C":
        out = np.full(expected.shape, np.nan)
    else:
        out = out_in_returned_layout(1 if n is None else n, info.rows, info.cols)
        out = out[0] if n is None else out
        out.fill(np.nan)
    returned = bipedkin.evaluate(name, x, fast=fast, threads=threads, out=out)
    assert returned is out
    assert same_bits(out, expected)


@pytest.mark.parametrize("threads", [0, 1, 2, 3, 7])
def test_threads_give_the_same_bits(threads):
    x = random_states(20001, seed=7)
    for fast in (False, True):
        reference = bipedkin.evaluate("jac_toe_sole_l", x, fast=fast, threads=1)
        assert same_bits(bipedkin.evaluate("jac_toe_sole_l", x, fast=fast, threads=threads), reference)
        out = np.empty(reference.shape)
        bipedkin.evaluate("jac_toe_sole_l", x, fast=fast, threads=threads, out=out)
        assert same_bits(out, reference)


def test_another_thread_runs_during_a_batch():
    name = "jacdot_toe_sole_l"
    probe = random_states(20000, seed=8)
    start = time.perf_counter()
    bipedkin.evaluate(name, probe, threads=1)
    per_state = (time.perf_counter() - start) / len(probe)
    n = int(min(max(0.5 / per_state, 20000), 600_000))  # about 0.5 s on one thread
    x = np.resize(probe, (n, 44))

    count = 0
    done = threading.Event()

    def counter():
        nonlocal count
        while not done.is_set():
            count += 1

    t = threading.Thread(target=counter)
    t.start()
    try:
        while count == 0:
            time.sleep(0.001)
        # The counter's pace while this thread sleeps (and holds no GIL).
        c0 = count
        time.sleep(0.2)
        pace = (count - c0) / 0.2
        c1 = count
        start = time.perf_counter()
        bipedkin.evaluate(name, x, threads=1)
        took = time.perf_counter() - start
        counted = count - c1
    finally:
        done.set()
        t.join()
    # Holding the GIL, the batch would leave the counter at most a switch
    # interval (5 ms) of counting: a hundredth of its pace over 0.5 s. The
    # margin is for a machine busy with other tests.
    assert took > 0.1
    assert counted > 0.1 * pace * took, (counted, pace, took)
