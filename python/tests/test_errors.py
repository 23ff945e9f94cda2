"""Every refusal: its exception, and a message naming the evaluator and
what was wrong. A refused call writes nothing."""

import numpy as np
import pytest

import bipedkin

X = np.zeros((4, 44))
SCALAR = next(n for n in bipedkin.names() if bipedkin.info(n).input == "scalar")
READ_ONLY = np.zeros((4, 3))
READ_ONLY.flags.writeable = False

# (case, name, x, keywords, exception, fragments the message holds)
CASES = [
    ("unknown name", "pos_toe_sole", X, {}, ValueError, ["'pos_toe_sole'", "pos_toe_sole_l"]),
    ("name with a NUL", "pos_toe_sole_l\0x", X, {}, ValueError, ["pos_toe_sole_l\\x00x"]),
    ("name not a str", 42, X, {}, TypeError, ["str", "int"]),
    ("43 elements", "pos_toe_sole_l", np.zeros(43), {}, ValueError, ["pos_toe_sole_l", "(43,)", "(44,)", "(N, 44)"]),
    ("a column of 44", "rot_knee_l", np.zeros((44, 1)), {}, ValueError, ["rot_knee_l", "(44, 1)", "(N, 44)"]),
    ("three dimensions", "rot_knee_l", np.zeros((2, 3, 44)), {}, ValueError, ["rot_knee_l", "(2, 3, 44)"]),
    ("a number for a state", "rot_knee_l", 1.0, {}, ValueError, ["rot_knee_l", "shape ()"]),
    ("strings", "rot_knee_l", ["1"] * 44, {}, TypeError, ["rot_knee_l", "real numbers", "<U1"]),
    ("complex", "rot_knee_l", np.zeros(44, complex), {}, TypeError, ["rot_knee_l", "complex128"]),
    ("an object that is no number", "rot_knee_l", [0.0] * 43 + [object()], {}, TypeError, ["rot_knee_l", "float64"]),
    ("None", "rot_knee_l", None, {}, TypeError, ["rot_knee_l", "None"]),
    ("ragged lists", "rot_knee_l", [[0.0] * 44, [0.0] * 43], {}, ValueError, ["rot_knee_l", "cannot be read"]),
    ("an array for a scalar", SCALAR, np.zeros(44), {}, ValueError, [SCALAR, "one number", "(44,)"]),
    ("a string for a scalar", SCALAR, "0", {}, TypeError, [SCALAR, "real number"]),
    ("None for a scalar", SCALAR, None, {}, TypeError, [SCALAR, "None"]),
    ("negative threads", "pos_toe_sole_l", X, {"threads": -1}, ValueError, ["pos_toe_sole_l", "threads", "-1"]),
    ("huge threads", "pos_toe_sole_l", X, {"threads": 2**40}, ValueError, ["pos_toe_sole_l", "threads"]),
    ("fractional threads", "pos_toe_sole_l", X, {"threads": 1.5}, TypeError, ["pos_toe_sole_l", "threads", "float"]),
    ("fast not a bool", "pos_toe_sole_l", X, {"fast": "yes"}, TypeError, ["pos_toe_sole_l", "fast", "str"]),
    ("out a list", "pos_toe_sole_l", X, {"out": [[0.0] * 3] * 4}, ValueError, ["pos_toe_sole_l", "out", "list"]),
    ("out of a wrong shape", "pos_toe_sole_l", X, {"out": np.zeros((4, 4))}, ValueError,
     ["pos_toe_sole_l", "(4, 4)", "(4, 3)"]),
    ("out of one state for a batch", "rot_knee_l", X, {"out": np.zeros((3, 3))}, ValueError,
     ["rot_knee_l", "(3, 3)", "(4, 3, 3)"]),
    ("out float32", "pos_toe_sole_l", X, {"out": np.zeros((4, 3), np.float32)}, ValueError,
     ["pos_toe_sole_l", "float32", "float64"]),
    ("out big-endian", "pos_toe_sole_l", X, {"out": np.zeros((4, 3), ">f8")}, ValueError, ["pos_toe_sole_l", ">f8"]),
    ("out read-only", "pos_toe_sole_l", X, {"out": READ_ONLY}, ValueError, ["pos_toe_sole_l", "not writeable"]),
    ("out strided", "pos_toe_sole_l", X, {"out": np.zeros((8, 3))[::2]}, ValueError,
     ["pos_toe_sole_l", "C-contiguous", "(48, 8)"]),
    ("out Fortran order", "rot_knee_l", X, {"out": np.zeros((4, 3, 3), order="F")}, ValueError,
     ["rot_knee_l", "C-contiguous"]),
    ("out over x", "pos_toe_sole_l", X, {"out": X.reshape(-1)[:12].reshape(4, 3)}, ValueError,
     ["pos_toe_sole_l", "shares memory"]),
]


@pytest.mark.parametrize("name, x, keywords, exception, fragments", [c[1:] for c in CASES],
                         ids=[c[0] for c in CASES])
def test_refusal(name, x, keywords, exception, fragments):
    out = keywords.get("out")
    before = out.copy() if isinstance(out, np.ndarray) else None
    with pytest.raises(exception) as caught:
        bipedkin.evaluate(name, x, **keywords)
    for fragment in fragments:
        assert fragment in str(caught.value)
    if before is not None:
        assert np.array_equal(out, before)
    assert not X.any()


def test_unknown_name_in_info():
    with pytest.raises(ValueError, match="no evaluator named 'rot_knee'.*rot_knee_l"):
        bipedkin.info("rot_knee")


def test_nan_and_infinities_pass():
    x = np.zeros(44)
    x[3], x[4] = np.nan, np.inf
    assert np.isnan(bipedkin.evaluate("rot_knee_l", x)).any()
    x[4] = 0.0
    x[0] = np.inf
    assert bipedkin.evaluate("pos_toe_sole_l", x)[0] == np.inf
