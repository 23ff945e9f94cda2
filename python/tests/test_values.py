"""The module's values: the C library's bit for bit for every evaluator,
single and batch, exact and fast; the tool's (the MEX deliverables through
the built-in host) for a few."""

import json
import subprocess

import numpy as np
import pytest

import bipedkin
from support import FAST, SCALAR_NAMES, STATE_NAMES, ZERO_FILL, random_states, same_bits


def test_the_list_and_the_version_are_the_librarys(clib):
    assert bipedkin.names() == list(clib.evaluators)
    for name in bipedkin.names():
        assert tuple(bipedkin.info(name)) == clib.info(name), name
    assert bipedkin.__version__ == clib.lib.bipedkin_version().decode()
    assert bipedkin.fast_path() == clib.lib.bipedkin_fast_path().decode()


def test_home_toe_sole():
    p = bipedkin.evaluate("pos_toe_sole_l", [0] * 44)
    assert p.shape == (3,)
    np.testing.assert_allclose(p, [0.0306, 0.1305, -1.1312], rtol=0, atol=1e-15)


def states_for_values():
    """Home, random states, large angles, and NaN and infinities."""
    special = np.zeros((2, 44))
    special[0, 6] = np.nan
    special[0, 30] = np.inf
    special[1, 3] = -np.inf
    special[1, 12] = np.nan
    return np.vstack([np.zeros(44), random_states(13, seed=1), random_states(3, seed=2, angle=1e4), special])


@pytest.mark.parametrize("name", STATE_NAMES)
def test_state_evaluator_is_the_librarys(clib, name):
    states = states_for_values()
    for flags, fast in ((ZERO_FILL, False), (ZERO_FILL | FAST, True)):
        singles = [bipedkin.evaluate(name, x, fast=fast) for x in states]
        for x, got in zip(states, singles):
            assert same_bits(got, clib.eval(name, x, flags)), (name, fast, x)
        # A batch of an odd count, so the fast path's last pack is padded.
        batch = bipedkin.evaluate(name, states, fast=fast)
        assert same_bits(batch, np.stack(singles)), (name, fast)
        assert same_bits(batch, clib.batch(name, states, flags)), (name, fast)

    finite = states[np.isfinite(states).all(axis=1)]
    exact = bipedkin.evaluate(name, finite)
    fast = bipedkin.evaluate(name, finite, fast=True)
    for e, f in zip(exact, fast):
        assert np.max(np.abs(f - e)) / max(1.0, np.max(np.abs(e))) <= 4e-15, name


@pytest.mark.parametrize("name", SCALAR_NAMES)
def test_scalar_evaluator_is_the_librarys(clib, name):
    expected = clib.eval(name, None)
    for value in (0, -5, 2.5, np.nan, np.float32(1), np.int64(3), np.array(7.0)):
        assert same_bits(bipedkin.evaluate(name, value), expected), (name, value)
        assert same_bits(bipedkin.evaluate(name, value, fast=True, threads=2), expected), (name, value)


def tool_value(tool, name, argument):
    run = subprocess.run([tool, "eval", name, argument, "--format", "json"], capture_output=True, text=True,
                         check=True)
    value = np.array([[float(v) for v in row] for row in json.loads(run.stdout)["value"]])
    return value[:, 0] if bipedkin.info(name).cols == 1 else value


def state_argument(x):
    return ",".join(repr(float(v)) for v in x)


TOOL_CASES = [
    ("pos_toe_sole_l", np.zeros(44)),
    ("rot_knee_l", random_states(1, seed=10)[0]),
    ("jac_mount_l", random_states(1, seed=11)[0]),
    ("omega_world_hip_flexion_r", random_states(1, seed=12)[0]),
    ("actuation_matrix", random_states(1, seed=13)[0]),
    ("constraint_jac_linkage_mex", random_states(1, seed=14)[0]),
    ("jacdot_mount_r", states_for_values()[-2]),
]


@pytest.mark.parametrize("name, x", TOOL_CASES, ids=[c[0] for c in TOOL_CASES])
def test_state_evaluator_is_the_tools(tool, name, x):
    assert same_bits(bipedkin.evaluate(name, x), tool_value(tool, name, state_argument(x)))


def test_scalar_evaluator_is_the_tools(tool):
    name = SCALAR_NAMES[0]
    assert same_bits(bipedkin.evaluate(name, -5), tool_value(tool, name, "-5"))
