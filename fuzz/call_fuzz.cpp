// Fuzzes the call boundary of every deliverable through the built-in host.
//
// Each input decodes to one host call: a deliverable, nlhs and nrhs from -1
// to 4, the host's interrupt flag, and up to four inputs of any class (double,
// single, integers, logical, char, struct, cell), real or complex, full or
// sparse, of any dimensions, holding any values (NaN, infinities, signed
// zeros, subnormals, raw bit patterns). The outcome is predicted from the
// deliverables' documented rules and checked:
//   - a refusal has the predicted identifier (and one of the documented ones);
//   - a success returns the configured shape, and values equal, bit for bit,
//     to the same call on a dense 44x1 copy of the input;
//   - inputs are left untouched and every allocation of the call is freed.
// Out-of-bounds writes and leaks are AddressSanitizer's to find.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>
#include <optional>
#include <string>
#include <vector>

#include "bipedkin/host.hpp"
#include "gateway/rows.hpp"

namespace {

using namespace bipedkin;

enum class Kind { state, scalar, constraint, batch };

struct Target {
  std::string name;
  Kind kind;
  std::size_t rows, cols;
  host::Library library;
};

std::vector<Target>& targets() {
  static std::vector<Target> all = [] {
    const char* env = std::getenv("BIPEDKIN_MEX_DIR");
    const std::string dir = env != nullptr ? env : BIPEDKIN_MEX_DIR;
    std::vector<Target> t;
    for (const auto& d : gateway::evaluators) {
      const Kind kind = d.kind == gateway::Kind::runtime ? Kind::constraint
                        : d.input == gateway::Input::state ? Kind::state
                                                            : Kind::scalar;
      t.push_back({d.name, kind, static_cast<std::size_t>(d.rows), static_cast<std::size_t>(d.cols),
                   host::Library::open(d.name, dir)});
    }
    t.push_back({"bipedkin_batch", Kind::batch, 0, 0, host::Library::open("bipedkin_batch", dir)});
    return t;
  }();
  return all;
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "FUZZ FINDING: %s\n", what.c_str());
  std::abort();
}

// Reads the fuzzer's bytes front to back; past the end everything is zero.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  double raw_double() {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(byte()) << (8 * i);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  double value() {
    const std::uint8_t s = byte();
    switch (s) {
      case 0: return 0.0;
      case 1: return -0.0;
      case 2: return std::numeric_limits<double>::quiet_NaN();
      case 3: return -std::numeric_limits<double>::quiet_NaN();
      case 4: return std::numeric_limits<double>::infinity();
      case 5: return -std::numeric_limits<double>::infinity();
      case 6: return std::numeric_limits<double>::denorm_min();
      case 7: return -1e-310;
      case 8: return std::numeric_limits<double>::max();
      case 9: return 1e300;
      default: return s >= 128 ? raw_double() : s / 16.0 - 4.0;
    }
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

struct Input {
  host::Array array;
  mxClassID class_id;
  bool complex;
  bool sparse;
  std::vector<std::size_t> dims;
  std::vector<double> values;  // real parts as doubles, column-major (numeric classes)
};

std::vector<std::size_t> shape(Bytes& in) {
  static const std::vector<std::vector<std::size_t>> interesting = {
      {44, 1}, {1, 44}, {1, 4, 11}, {1, 1},  {44, 2},     {0, 0},  {43, 1}, {1, 45},
      {45, 1}, {1, 1, 44}, {44, 1, 1, 2}, {0, 44}, {2, 22}, {44, 0}, {1, 1, 1, 1}, {44, 3}};
  const std::uint8_t mode = in.byte() % 4;
  if (mode <= 1) return interesting[in.byte() % interesting.size()];
  if (mode == 2) return {static_cast<std::size_t>(in.byte() % 50), static_cast<std::size_t>(in.byte() % 50)};
  std::vector<std::size_t> d(2 + in.byte() % 5);
  for (auto& v : d) v = in.byte() % 6;
  return d;
}

std::size_t count(const std::vector<std::size_t>& dims) {
  std::size_t n = 1;
  for (std::size_t d : dims) n *= d;
  return n;
}

template <class T>
void fill_as(void* data, const std::vector<double>& v) {
  for (std::size_t i = 0; i < v.size(); ++i) {
    const double x = v[i];
    // Integer classes hold what a conversion would: finite values in range.
    T t{};
    if constexpr (std::is_floating_point_v<T>) {
      t = static_cast<T>(x);
    } else if (x == x && x > (std::is_signed_v<T> ? -100 : -1) && x < 100) {
      t = static_cast<T>(x);
    }
    std::memcpy(static_cast<char*>(data) + i * sizeof(T), &t, sizeof(T));
  }
}

Input make_input(Bytes& in, const std::vector<Target>& all) {
  static const mxClassID classes[] = {mxDOUBLE_CLASS, mxDOUBLE_CLASS, mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS,
                                      mxUINT8_CLASS,  mxINT16_CLASS,  mxUINT16_CLASS, mxINT32_CLASS,  mxUINT32_CLASS,
                                      mxINT64_CLASS,  mxUINT64_CLASS, mxLOGICAL_CLASS, mxCHAR_CLASS,  mxSTRUCT_CLASS,
                                      mxCELL_CLASS};
  const std::uint8_t c = in.byte();
  Input x{};
  x.class_id = classes[c % std::size(classes)];
  x.complex = (c & 0x40) != 0 && x.class_id != mxLOGICAL_CLASS && x.class_id != mxCHAR_CLASS &&
              x.class_id != mxSTRUCT_CLASS && x.class_id != mxCELL_CLASS;
  x.sparse = (c & 0x80) != 0 && (x.class_id == mxDOUBLE_CLASS);
  x.dims = shape(in);
  if (x.sparse && x.dims.size() > 2) x.dims = {x.dims[0], count(x.dims) / std::max<std::size_t>(x.dims[0], 1)};
  if (count(x.dims) > 4096) x.dims = {64, 64};
  const std::size_t n = count(x.dims);
  x.values.resize(n);
  for (double& v : x.values) v = in.value();

  if (x.class_id == mxCHAR_CLASS && (c & 0x20) != 0) {
    // Sometimes a real evaluator's name, or the batch deliverable's option.
    const std::uint8_t pick = in.byte();
    const std::string& name = pick == 255 ? std::string("fast") : all[pick % all.size()].name;
    x.array.reset(mxCreateString(name.c_str()));
    x.dims = {1, name.size()};
    x.values.assign(name.size(), 0.0);
    return x;
  }
  if (x.sparse) {
    x.array = host::make_sparse(x.dims[0], x.dims[1], x.values);
    if (x.complex) {
      // A complex sparse array: same structure, imaginary parts too.
      host::Array z(mxCreateSparse(x.dims[0], x.dims[1], mxGetNzmax(x.array.get()), mxCOMPLEX));
      std::memcpy(mxGetJc(z.get()), mxGetJc(x.array.get()), (x.dims[1] + 1) * sizeof(mwIndex));
      std::memcpy(mxGetIr(z.get()), mxGetIr(x.array.get()), mxGetNzmax(x.array.get()) * sizeof(mwIndex));
      std::memcpy(mxGetPr(z.get()), mxGetPr(x.array.get()), mxGetNzmax(x.array.get()) * sizeof(double));
      x.array = std::move(z);
    }
    return x;
  }
  x.array = host::make_numeric(x.dims, x.class_id, x.complex);
  void* data = mxGetData(x.array.get());
  if (data != nullptr) {
    switch (x.class_id) {
      case mxDOUBLE_CLASS: fill_as<double>(data, x.values); break;
      case mxSINGLE_CLASS: fill_as<float>(data, x.values); break;
      case mxINT8_CLASS: fill_as<std::int8_t>(data, x.values); break;
      case mxUINT8_CLASS: fill_as<std::uint8_t>(data, x.values); break;
      case mxINT16_CLASS: fill_as<std::int16_t>(data, x.values); break;
      case mxUINT16_CLASS: fill_as<std::uint16_t>(data, x.values); break;
      case mxINT32_CLASS: fill_as<std::int32_t>(data, x.values); break;
      case mxUINT32_CLASS: fill_as<std::uint32_t>(data, x.values); break;
      case mxINT64_CLASS: fill_as<std::int64_t>(data, x.values); break;
      case mxUINT64_CLASS: fill_as<std::uint64_t>(data, x.values); break;
      case mxLOGICAL_CLASS: fill_as<std::uint8_t>(data, x.values); break;
      case mxCHAR_CLASS: fill_as<std::uint16_t>(data, x.values); break;
      default: break;
    }
  }
  return x;
}

// A snapshot of an input's bytes, to see that a call leaves it untouched.
std::vector<unsigned char> bytes_of(const mxArray* a) {
  std::vector<unsigned char> out;
  auto add = [&](const void* p, std::size_t n) {
    if (p != nullptr) out.insert(out.end(), static_cast<const unsigned char*>(p), static_cast<const unsigned char*>(p) + n);
  };
  const std::size_t n = mxIsSparse(a) ? mxGetNzmax(a) : mxGetNumberOfElements(a);
  add(mxGetData(a), n * mxGetElementSize(a));
  add(mxGetImagData(a), n * mxGetElementSize(a));
  if (mxIsSparse(a)) {
    add(mxGetIr(a), n * sizeof(mwIndex));
    add(mxGetJc(a), (mxGetN(a) + 1) * sizeof(mwIndex));
  }
  return out;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

bool documented(const std::string& id) {
  static const char* ids[] = {"MATLAB:Tarnel:invalidNumInputs", "MATLAB:Tarnel:maxlhs",
                              "MATLAB:Tarnel:inputNotRealVector", "EMLRT:runTime:WrongNumberOfInputs",
                              "EMLRT:runTime:TooManyOutputArguments", "EMLRT:runTime:InputTypeMismatch",
                              "EMLRT:runTime:Interrupted", "bipedkin:batch:invalidNumInputs",
                              "bipedkin:batch:maxlhs", "bipedkin:batch:inputNotRealMatrix",
                              "bipedkin:batch:invalidName", "bipedkin:batch:unknownName",
                              "bipedkin:batch:invalidOption"};
  for (const char* i : ids)
    if (id == i) return true;
  return false;
}

// The refusal the documented rules predict, or nothing for a success.
std::optional<std::string> predicted(const Target& t, int nlhs, int nrhs, bool interrupt, const std::vector<Input>& in) {
  const mxArray* x = in.empty() ? nullptr : in[0].array.get();
  const bool real_double = x != nullptr && mxIsDouble(x) && !mxIsComplex(x);
  const std::size_t m = x != nullptr ? mxGetM(x) : 0, n = x != nullptr ? mxGetN(x) : 0;
  switch (t.kind) {
    case Kind::state:
    case Kind::scalar: {
      if (nrhs != 1) return "MATLAB:Tarnel:invalidNumInputs";
      if (nlhs > 1) return "MATLAB:Tarnel:maxlhs";
      const bool shape_ok = t.kind == Kind::state ? ((m == 44 && n == 1) || (m == 1 && n == 44)) : (m == 1 && n == 1);
      if (!real_double || !shape_ok) return "MATLAB:Tarnel:inputNotRealVector";
      return std::nullopt;
    }
    case Kind::constraint: {
      if (nrhs != 1) return "EMLRT:runTime:WrongNumberOfInputs";
      if (nlhs > 1) return "EMLRT:runTime:TooManyOutputArguments";
      if (interrupt) return "EMLRT:runTime:Interrupted";
      if (!real_double || mxIsSparse(x) || mxGetNumberOfDimensions(x) != 2 || m != 44 || n != 1) {
        return "EMLRT:runTime:InputTypeMismatch";
      }
      return std::nullopt;
    }
    case Kind::batch: return "?";  // checked against the documented set only
  }
  return std::nullopt;
}

// The same call with the input as a dense 44x1 double (1x1 for a scalar
// input): what a success must equal.
std::vector<double> canonical(const Target& t, const Input& x) {
  host::Array in = t.kind == Kind::scalar ? host::make_double({1, 1}, std::vector<double>{0.0})
                                           : host::make_double({44, 1}, host::values(x.array.get()));
  const mxArray* inputs[] = {in.get()};
  const host::CallResult r = t.library.call(1, inputs);
  if (r.error) fail(t.name + ": the dense copy was refused: " + r.error->what());
  return host::values(r.outputs[0].get());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<Target>& all = targets();
  Bytes in(data, size);
  const Target& t = all[in.byte() % all.size()];
  const int nlhs = in.byte() % 6 - 1;
  const int nrhs = in.byte() % 6 - 1;
  const bool interrupt = (in.byte() & 1) != 0;

  std::vector<Input> inputs;
  for (int i = 0; i < std::max(nrhs, 0); ++i) inputs.push_back(make_input(in, all));
  std::vector<const mxArray*> pointers;
  std::vector<std::vector<unsigned char>> before;
  for (const Input& x : inputs) {
    pointers.push_back(x.array.get());
    before.push_back(bytes_of(x.array.get()));
  }

  const std::size_t live = host::live_allocations();
  {
    host::CallOptions options;
    options.interrupt = interrupt;
    if (nrhs < 0) options.nrhs = nrhs;
    const host::CallResult r = t.library.call(nlhs, pointers, options);
    const std::optional<std::string> expect = predicted(t, nlhs, nrhs, interrupt, inputs);
    if (r.error) {
      if (!documented(r.error->identifier())) fail(t.name + ": undocumented refusal " + r.error->what());
      if (expect && *expect != "?" && *expect != r.error->identifier()) {
        fail(t.name + ": refused with " + r.error->identifier() + ", expected " + *expect);
      }
      if (!expect) fail(t.name + ": refused a valid call: " + r.error->what());
      for (const auto& o : r.outputs)
        if (o) fail(t.name + ": a refused call returned an output");
    } else {
      if (expect && *expect != "?") fail(t.name + ": accepted a call the rules refuse with " + *expect);
      const mxArray* out = r.outputs.at(0).get();
      if (out == nullptr) fail(t.name + ": no output");
      if (t.kind != Kind::batch) {
        if (!mxIsDouble(out) || mxIsComplex(out) || mxIsSparse(out) || mxGetM(out) != t.rows || mxGetN(out) != t.cols) {
          fail(t.name + ": output of the wrong kind or shape");
        }
        if (!same_bits(host::values(out), canonical(t, inputs[0]))) fail(t.name + ": differs from the dense call");
      }
    }
  }
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (bytes_of(inputs[i].array.get()) != before[i]) fail(t.name + ": an input was modified");
  }
  if (host::live_allocations() != live) fail(t.name + ": the call left allocations behind");
  return 0;
}
