// The Python module bipedkin: every evaluator of the C library on one state
// or on a batch of states held in NumPy arrays.
//
// Layout. The C library writes each state's result column-major (rows x
// cols) and reads a batch as 44 x N column-major, i.e. N states of 44
// contiguous doubles: exactly a C-contiguous (N, 44) array, which is read in
// place. A column-major rows x cols block is a row-major cols x rows block,
// so a matrix result is returned as a view with the strides that make it
// (rows, cols) per state: (rows*cols*8, 8, rows*8) for a batch, (8, rows*8)
// (Fortran order) for one state. No element is copied on the way out. A
// column result (cols == 1) or a row result (rows == 1) is C-contiguous.
//
// out= takes either layout: the one evaluate returns (written in place by
// the library) or C-contiguous, for which the library writes into a scratch
// buffer of a few states at a time and the module transposes each block into
// out.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bipedkin.h"

namespace py = pybind11;

namespace {

using npy = py::detail::npy_api;
constexpr py::ssize_t state_size = BIPEDKIN_STATE_SIZE;

struct Entry {
  const bipedkin_evaluator* evaluator;
  std::string name;
  py::ssize_t rows;
  py::ssize_t cols;
  bool scalar;  // its input is one number, never read

  py::ssize_t size() const { return rows * cols; }
  // Whether a per-state column-major block is also row-major.
  bool is_vector() const { return rows == 1 || cols == 1; }
};

// Every evaluator, read once from the library's own list, and an index by
// name (views into the entries' names, which never move once the list is
// built).
struct Registry {
  std::vector<Entry> entries;
  std::unordered_map<std::string_view, const Entry*> by_name;

  Registry() {
    const std::size_t n = bipedkin_count();
    entries.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
      const bipedkin_evaluator* e = bipedkin_at(i);
      entries.push_back(Entry{e, bipedkin_name(e), static_cast<py::ssize_t>(bipedkin_rows(e)),
                              static_cast<py::ssize_t>(bipedkin_cols(e)),
                              bipedkin_input_form(e) == BIPEDKIN_INPUT_SCALAR});
    }
    for (const Entry& e : entries) by_name.emplace(e.name, &e);
  }
};

const Registry& registry() {
  static const Registry r;
  return r;
}

std::string type_name(py::handle h) { return Py_TYPE(h.ptr())->tp_name; }

std::string shape_text(const py::ssize_t* shape, py::ssize_t ndim) {
  std::string s = "(";
  for (py::ssize_t i = 0; i < ndim; ++i) s += (i == 0 ? "" : ", ") + std::to_string(shape[i]);
  return s + (ndim == 1 ? ",)" : ")");
}

std::string shape_text(const py::array& a) { return shape_text(a.shape(), a.ndim()); }

std::string dtype_text(const py::array& a) { return py::str(a.dtype()).cast<std::string>(); }

const Entry& lookup(py::handle name) {
  if (!PyUnicode_Check(name.ptr())) {
    throw py::type_error("the evaluator's name must be a str, got " + type_name(name));
  }
  Py_ssize_t length = 0;
  const char* text = PyUnicode_AsUTF8AndSize(name.ptr(), &length);
  if (text == nullptr) throw py::error_already_set();
  const Registry& r = registry();
  if (const auto it = r.by_name.find(std::string_view(text, static_cast<std::size_t>(length))); it != r.by_name.end()) {
    return *it->second;
  }
  // The library's own message names the closest evaluators.
  const bipedkin_evaluator* found = nullptr;
  if (std::memchr(text, '\0', static_cast<std::size_t>(length)) == nullptr &&
      bipedkin_find(text, &found) != BIPEDKIN_OK) {
    throw py::value_error(bipedkin_last_error());
  }
  throw py::value_error("no evaluator named " + py::repr(name).cast<std::string>());
}

bool is_native_float64(const py::array& a) {
  return npy::get().PyArray_EquivTypes_(py::dtype::of<double>().ptr(), a.dtype().ptr());
}

bool is_real_number_kind(char kind) { return kind == 'b' || kind == 'i' || kind == 'u' || kind == 'f'; }

// numpy.asarray(x), with numpy's complaint about x turned into the
// evaluator's.
py::array as_array(const Entry& e, py::handle x) {
  if (py::isinstance<py::array>(x)) return py::reinterpret_borrow<py::array>(x);
  PyObject* a = npy::get().PyArray_FromAny_(x.ptr(), nullptr, 0, 0, npy::NPY_ARRAY_ENSUREARRAY_, nullptr);
  if (a == nullptr) {
    py::error_already_set error;
    const std::string message = e.name + ": x cannot be read as an array of numbers (" + py::str(error.value()).cast<std::string>() + ")";
    if (error.matches(PyExc_TypeError)) throw py::type_error(message);
    throw py::value_error(message);
  }
  return py::reinterpret_steal<py::array>(a);
}

// Refuses what is not real numbers: complex, strings, dates, records.
// Object arrays go on to the cast, which refuses what is not a number.
void check_numbers(const Entry& e, const py::array& a, const char* what) {
  const char kind = a.dtype().kind();
  if (is_real_number_kind(kind) || kind == 'O') return;
  throw py::type_error(e.name + ": " + what + " must be real numbers, got an array of " + dtype_text(a));
}

// The states of x: the number of states (-1 for the single state of a
// (44,) array) and a C-contiguous float64 array holding them, x itself when
// it is one.
struct States {
  py::array array;
  py::ssize_t n;
  const double* data() const { return static_cast<const double*>(array.data()); }
};

States read_states(const Entry& e, py::handle x) {
  if (x.is_none()) throw py::type_error(e.name + ": x is None; it takes one state of shape (44,) or N states of shape (N, 44)");
  py::array a = as_array(e, x);
  check_numbers(e, a, "x");
  const bool single = a.ndim() == 1 && a.shape(0) == state_size;
  const bool batch = a.ndim() == 2 && a.shape(1) == state_size;
  if (!single && !batch) {
    throw py::value_error(e.name + ": x has shape " + shape_text(a) +
                          "; it takes one state of shape (44,) or N states of shape (N, 44)");
  }
  constexpr int in_place = npy::NPY_ARRAY_C_CONTIGUOUS_ | npy::NPY_ARRAY_ALIGNED_;
  if (!is_native_float64(a) || (a.flags() & in_place) != in_place) {
    PyObject* c = npy::get().PyArray_FromAny_(a.ptr(), py::dtype::of<double>().release().ptr(), 0, 0,
                                              in_place | npy::NPY_ARRAY_FORCECAST_ | npy::NPY_ARRAY_ENSUREARRAY_,
                                              nullptr);
    if (c == nullptr) {
      py::error_already_set error;
      throw py::type_error(e.name + ": x cannot be read as float64 (" + py::str(error.value()).cast<std::string>() + ")");
    }
    a = py::reinterpret_steal<py::array>(c);
  }
  return States{a, single ? -1 : a.shape(0)};
}

// A scalar-input evaluator takes one real number, whose value it never reads.
void check_scalar(const Entry& e, py::handle x) {
  if (PyFloat_Check(x.ptr()) || PyLong_Check(x.ptr())) return;
  if (x.is_none()) throw py::type_error(e.name + ": takes one number (its value is never read), got None");
  const py::array a = as_array(e, x);
  if (!is_real_number_kind(a.dtype().kind())) {
    throw py::type_error(e.name + ": takes one real number (its value is never read), got " +
                         (a.ndim() == 0 ? "a " + dtype_text(a) : "an array of " + dtype_text(a)));
  }
  if (a.ndim() != 0) {
    throw py::value_error(e.name + ": takes one number (its value is never read), not an array; got shape " +
                          shape_text(a));
  }
}

unsigned read_threads(const Entry& e, py::handle threads) {
  PyObject* index = PyBool_Check(threads.ptr()) ? nullptr : PyNumber_Index(threads.ptr());
  if (index == nullptr) {
    PyErr_Clear();
    throw py::type_error(e.name + ": threads must be an int, got " + type_name(threads));
  }
  int overflow = 0;
  const long long v = PyLong_AsLongLongAndOverflow(index, &overflow);
  Py_DECREF(index);
  if (overflow < 0 || (overflow == 0 && v < 0)) {
    throw py::value_error(e.name + ": threads must be 0 (the library chooses) or a count of threads, got " +
                          py::repr(threads).cast<std::string>());
  }
  if (overflow > 0 || v > static_cast<long long>(UINT_MAX)) {
    throw py::value_error(e.name + ": threads must be at most " + std::to_string(UINT_MAX) + ", got " +
                          py::repr(threads).cast<std::string>());
  }
  return static_cast<unsigned>(v);
}

bool read_fast(const Entry& e, py::handle fast) {
  if (PyBool_Check(fast.ptr())) return fast.ptr() == Py_True;
  // Kept for the life of the process: no reference is dropped after the
  // interpreter has gone.
  static const py::handle numpy_bool = py::object(py::module_::import("numpy").attr("bool_")).release();
  if (py::isinstance(fast, numpy_bool)) return PyObject_IsTrue(fast.ptr()) == 1;
  throw py::type_error(e.name + ": fast must be True or False, got " + type_name(fast));
}

// The result's shape for n states (-1: one state), and the strides of the
// layout evaluate returns. At most three dimensions, held in place: a
// single-state call allocates nothing but its result.
struct ResultShape {
  int ndim = 0;
  py::ssize_t dims[3] = {};
  py::ssize_t strides[3] = {};

  ResultShape(const Entry& e, py::ssize_t n) {
    constexpr py::ssize_t d = sizeof(double);
    if (n >= 0) add(n, e.size() * d);
    if (e.cols == 1) {
      add(e.rows, d);
    } else if (e.rows == 1) {
      add(e.rows, e.cols * d);
      add(e.cols, d);
    } else {
      add(e.rows, d);
      add(e.cols, e.rows * d);
    }
  }

  void add(py::ssize_t extent, py::ssize_t stride) {
    dims[ndim] = extent;
    strides[ndim++] = stride;
  }

  std::string text() const { return shape_text(dims, ndim); }

  bool same_shape(const py::array& a) const {
    return a.ndim() == ndim && std::equal(dims, dims + ndim, a.shape());
  }

  // Whether a (of this shape) has these strides wherever they matter: an
  // extent of 1 has no stride that matters, an empty array none at all.
  bool same_layout(const py::array& a) const {
    if (std::find(dims, dims + ndim, 0) != dims + ndim) return true;
    for (int i = 0; i < ndim; ++i) {
      if (dims[i] != 1 && a.strides(i) != strides[i]) return false;
    }
    return true;
  }

  py::array allocate() const {
    auto& api = npy::get();
    PyObject* a = api.PyArray_NewFromDescr_(api.PyArray_Type_, py::dtype::of<double>().release().ptr(), ndim,
                                            const_cast<py::ssize_t*>(dims), const_cast<py::ssize_t*>(strides),
                                            nullptr, 0, nullptr);
    if (a == nullptr) throw py::error_already_set();
    return py::reinterpret_steal<py::array>(a);
  }
};

enum class Layout { per_state_column_major, row_major };

Layout check_out(const Entry& e, py::handle out, const ResultShape& shape) {
  if (!py::isinstance<py::array>(out)) {
    throw py::value_error(e.name + ": out must be a NumPy array of float64 and shape " + shape.text() +
                          ", got " + type_name(out));
  }
  const auto a = py::reinterpret_borrow<py::array>(out);
  if (!is_native_float64(a)) throw py::value_error(e.name + ": out has dtype " + dtype_text(a) + "; it must be float64");
  if (!shape.same_shape(a)) {
    throw py::value_error(e.name + ": out has shape " + shape_text(a) + "; the result's shape is " + shape.text());
  }
  if (!a.writeable()) throw py::value_error(e.name + ": out is not writeable");
  if ((a.flags() & npy::NPY_ARRAY_ALIGNED_) == 0) throw py::value_error(e.name + ": out is not aligned");
  if (shape.same_layout(a)) return Layout::per_state_column_major;
  if ((a.flags() & npy::NPY_ARRAY_C_CONTIGUOUS_) != 0) return Layout::row_major;
  throw py::value_error(e.name + ": out must be C-contiguous (or laid out as evaluate returns its result), got strides " +
                        shape_text(a.strides(), a.ndim()));
}

bool overlaps(const py::array& a, const py::array& b) {
  const auto* a0 = static_cast<const char*>(a.data());
  const auto* b0 = static_cast<const char*>(b.data());
  return a.nbytes() > 0 && b.nbytes() > 0 && a0 < b0 + b.nbytes() && b0 < a0 + a.nbytes();
}

// Evaluates n states (n >= 0, or -1 for one state) of x into out, laid out
// as layout says. Batches run without the GIL.
void run(const Entry& e, const double* x, py::ssize_t n, double* out, Layout layout, unsigned flags,
         unsigned threads) {
  bipedkin_status status = BIPEDKIN_OK;
  std::string failure;
  const auto note = [&](bipedkin_status s) {
    if (s != BIPEDKIN_OK && status == BIPEDKIN_OK) {
      status = s;
      failure = bipedkin_last_error();
    }
  };
  const auto size = static_cast<std::size_t>(e.size());
  const auto rows = static_cast<std::size_t>(e.rows), cols = static_cast<std::size_t>(e.cols);
  // One state's column-major block into its row-major place.
  const auto transpose = [&](const double* from, double* to) {
    for (std::size_t j = 0; j < cols; ++j) {
      for (std::size_t i = 0; i < rows; ++i) to[i * cols + j] = from[j * rows + i];
    }
  };

  if (n < 0) {
    if (layout == Layout::per_state_column_major) {
      note(bipedkin_eval(e.evaluator, x, out, flags));
    } else {
      std::vector<double> block(size);
      note(bipedkin_eval(e.evaluator, x, block.data(), flags));
      transpose(block.data(), out);
    }
  } else if (n > 0) {
    const auto count = static_cast<std::size_t>(n);
    if (layout == Layout::per_state_column_major) {
      py::gil_scoped_release unlocked;
      note(bipedkin_eval_batch(e.evaluator, x, count, out, flags, threads));
    } else {
      // A few states at a time into a scratch buffer that stays in cache
      // on one thread; a larger one where the library may spread each chunk
      // over threads.
      const std::size_t budget = threads == 1 ? std::size_t{1} << 15 : std::size_t{1} << 21;  // doubles
      const std::size_t chunk = std::min(count, std::max<std::size_t>(budget / size, 64));
      std::vector<double> scratch(chunk * size);
      py::gil_scoped_release unlocked;
      for (std::size_t first = 0; first < count && status == BIPEDKIN_OK; first += chunk) {
        const std::size_t m = std::min(chunk, count - first);
        note(bipedkin_eval_batch(e.evaluator, x + first * state_size, m, scratch.data(), flags, threads));
        for (std::size_t k = 0; k < m; ++k) transpose(scratch.data() + k * size, out + (first + k) * size);
      }
    }
  }
  if (status != BIPEDKIN_OK) throw std::runtime_error(e.name + ": " + failure);
}

py::object evaluate(py::handle name, py::handle x, py::handle fast, py::handle threads, py::handle out) {
  const Entry& e = lookup(name);
  const unsigned flags = BIPEDKIN_ZERO_FILL | (read_fast(e, fast) ? BIPEDKIN_FAST : 0u);
  const unsigned thread_count = read_threads(e, threads);

  std::optional<States> states;
  if (e.scalar) {
    check_scalar(e, x);
  } else {
    states = read_states(e, x);
  }
  const ResultShape shape(e, states ? states->n : -1);

  const Layout layout = out.is_none() ? Layout::per_state_column_major : check_out(e, out, shape);
  py::array result = out.is_none() ? shape.allocate() : py::reinterpret_borrow<py::array>(out);
  if (!out.is_none() && states && overlaps(result, states->array)) {
    throw py::value_error(e.name + ": out shares memory with x");
  }
  run(e, states ? states->data() : nullptr, states ? states->n : -1, static_cast<double*>(result.mutable_data()),
      layout, flags, thread_count);
  return result;
}

}  // namespace

PYBIND11_MODULE(bipedkin, m) {
  m.doc() = R"(Kinematic evaluators of the two-legged robot model, over the C library libbipedkin.

A state is x = [q; dq], 44 float64 values. evaluate(name, x) gives one
evaluator's result at one state (x of shape (44,)) or at N states (x of
shape (N, 44)). Results are bit for bit the C library's, with every element
the evaluator does not define set to 0.0.

Shapes: a column result (cols == 1) is (rows,) for one state and (N, rows)
for N; a matrix result is (rows, cols) or (N, rows, cols). A matrix result
is returned as the library writes it, column-major per state, with no copy:
(rows, cols) in Fortran order for one state, and for N states strides
(rows*cols*8, 8, rows*8). np.ascontiguousarray makes a C-ordered copy.)";

  // Loaded once here, so that a batch never waits on the import.
  py::module_::import("numpy");
  // Each docstring gives its own signature: pybind11's would name the
  // arguments' C++ types.
  py::options options;
  options.disable_function_signatures();
  registry();

  m.attr("__version__") = bipedkin_version();
  m.attr("STATE_SIZE") = state_size;
  m.attr("COORDINATES") = BIPEDKIN_COORDINATES;
  const py::object info_type =
      py::module_::import("collections").attr("namedtuple")("Info", py::make_tuple("rows", "cols", "input"));
  info_type.attr("__module__") = "bipedkin";
  info_type.attr("__doc__") =
      "An evaluator's result shape (rows, cols) and input form: 'state' (x of 44 values) or 'scalar' "
      "(one number, never read).";
  m.attr("Info") = info_type;

  m.def(
      "names",
      [] {
        py::list names;
        for (const Entry& e : registry().entries) names.append(e.name);
        return names;
      },
      "names() -> list of str\n\nEvery evaluator's name, in the library's order.");

  m.def(
      "info",
      [info_type](py::handle name) {
        const Entry& e = lookup(name);
        return info_type(e.rows, e.cols, e.scalar ? "scalar" : "state");
      },
      py::arg("name"),
      "info(name) -> Info\n\nThe evaluator's Info(rows, cols, input), input 'state' or 'scalar'; ValueError for an "
      "unknown name.");

  m.def("fast_path", [] { return std::string(bipedkin_fast_path()); },
        "fast_path() -> str\n\nThe path fast=True takes in this process: 'avx512', 'avx2', 'sse2', or 'exact'.");

  m.def("evaluate", &evaluate, py::arg("name"), py::arg("x"), py::kw_only(), py::arg("fast") = false,
        py::arg("threads") = 0, py::arg("out") = py::none(),
        R"(evaluate(name, x, *, fast=False, threads=0, out=None) -> numpy.ndarray

The evaluator `name` at one state or at N states.

x: one state, shape (44,), or N states, shape (N, 44); anything NumPy
  converts to real numbers, in any memory order. A C-contiguous float64
  array is read in place; anything else is converted to one first. x is
  never written. An evaluator whose input is 'scalar' (see info) takes one
  real number instead, whose value it never reads.
fast: evaluate on packs of states with vector instructions; every element
  within max|fast - exact| / max(1, max|exact|) <= 4e-15 of the exact path.
threads: for N states, 1 evaluates on the calling thread, k > 1 on up to k
  threads, 0 lets the library choose. Batches run with the GIL released.
out: a float64 array of the result's shape, written in place and returned:
  either C-contiguous (a matrix result is then transposed into it block by
  block) or laid out as evaluate returns its result (written directly).

Raises ValueError for an unknown name, a wrong shape, a negative thread
count or an unusable out; TypeError for input that is not real numbers.)");
}
