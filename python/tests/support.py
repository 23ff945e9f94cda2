"""What the module's tests share: the C library through ctypes, states,
and a bit-for-bit comparison."""

import ctypes

import numpy as np

import bipedkin

ZERO_FILL = 1
FAST = 2


class CLibrary:
    """libbipedkin.so, called as a C program would, with BIPEDKIN_ZERO_FILL."""

    def __init__(self, path):
        lib = ctypes.CDLL(path)
        lib.bipedkin_count.restype = ctypes.c_size_t
        lib.bipedkin_at.restype = ctypes.c_void_p
        lib.bipedkin_at.argtypes = [ctypes.c_size_t]
        for f in ("bipedkin_name", "bipedkin_version", "bipedkin_fast_path"):
            getattr(lib, f).restype = ctypes.c_char_p
        lib.bipedkin_name.argtypes = [ctypes.c_void_p]
        for f in ("bipedkin_rows", "bipedkin_cols"):
            getattr(lib, f).restype = ctypes.c_size_t
            getattr(lib, f).argtypes = [ctypes.c_void_p]
        lib.bipedkin_input_form.argtypes = [ctypes.c_void_p]
        lib.bipedkin_eval.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint]
        lib.bipedkin_eval_batch.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_size_t, ctypes.c_void_p,
                                            ctypes.c_uint, ctypes.c_uint]
        self.lib = lib
        self.evaluators = {}
        for i in range(lib.bipedkin_count()):
            e = lib.bipedkin_at(i)
            self.evaluators[lib.bipedkin_name(e).decode()] = e

    def info(self, name):
        e = self.evaluators[name]
        form = "scalar" if self.lib.bipedkin_input_form(e) == 1 else "state"
        return self.lib.bipedkin_rows(e), self.lib.bipedkin_cols(e), form

    def _shaped(self, name, buffer, n=None):
        """The library's column-major blocks as the module's shapes."""
        rows, cols, _ = self.info(name)
        blocks = buffer.reshape(-1, cols, rows).transpose(0, 2, 1)
        if cols == 1:
            blocks = blocks[:, :, 0]
        return blocks[0] if n is None else blocks

    def eval(self, name, x, flags=ZERO_FILL):
        rows, cols, form = self.info(name)
        out = np.full(rows * cols, np.nan)
        state = None if form == "scalar" else np.ascontiguousarray(x, dtype=np.float64)
        status = self.lib.bipedkin_eval(self.evaluators[name], None if state is None else state.ctypes.data,
                                        out.ctypes.data, flags)
        assert status == 0
        return self._shaped(name, out)

    def batch(self, name, states, flags=ZERO_FILL, threads=1):
        rows, cols, _ = self.info(name)
        states = np.ascontiguousarray(states, dtype=np.float64)
        out = np.full(len(states) * rows * cols, np.nan)
        status = self.lib.bipedkin_eval_batch(self.evaluators[name], states.ctypes.data, len(states),
                                              out.ctypes.data, flags, threads)
        assert status == 0
        return self._shaped(name, out, len(states))


def random_states(n, seed, angle=3.0):
    """n states with every element uniform in [-angle, angle]."""
    return np.random.default_rng(seed).uniform(-angle, angle, size=(n, bipedkin.STATE_SIZE))


def same_bits(a, b):
    """Equal shapes and equal bits, element by element (NaN and -0.0 included)."""
    a, b = np.ascontiguousarray(a), np.ascontiguousarray(b)
    return a.shape == b.shape and a.dtype == b.dtype == np.float64 and np.array_equal(a.view(np.uint64), b.view(np.uint64))


STATE_NAMES = [n for n in bipedkin.names() if bipedkin.info(n).input == "state"]
SCALAR_NAMES = [n for n in bipedkin.names() if bipedkin.info(n).input == "scalar"]
