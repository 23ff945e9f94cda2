// Fuzzes the C library's batch entry, exact and fast.
//
// Each input decodes to one bipedkin_eval_batch call: an evaluator, N from
// 0 to 40, the flags (zero fill, fast), a thread count from 0 to 4, and the
// N states, each element either a value from a table of edge cases (NaN,
// infinities, signed zeros, subnormals, the largest doubles, angles near
// multiples of pi) or raw bytes of the input, scaled or not. Checked:
//   - the exact batch is its single exact calls, bit for bit;
//   - a state's fast result is its own fast single call, bit for bit,
//     whatever its place, N and the thread count;
//   - the fast result is within the fast mode's bound of the exact one for
//     every state whose elements are all at most 1e6 in magnitude (no
//     overflow), and NaN and infinities stand in exactly the same elements
//     for every state;
//   - without zero fill, exactly the elements the exact path writes are
//     written;
//   - the states are left untouched.
// Out-of-bounds accesses and data races in the batch are the sanitizers'.

#include <bipedkin.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "lib/fast/bound.hpp"

namespace {

constexpr std::size_t state_size = BIPEDKIN_STATE_SIZE;

[[noreturn]] void fail(const bipedkin_evaluator* e, const std::string& what) {
  std::fprintf(stderr, "FUZZ FINDING: %s: %s\n", bipedkin_name(e), what.c_str());
  std::abort();
}

// The input, read a byte or a double at a time; zeros once it runs out.
struct Reader {
  const std::uint8_t* data;
  std::size_t size;
  std::uint8_t byte() {
    if (size == 0) return 0;
    --size;
    return *data++;
  }
  double raw() {
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits = bits << 8 | byte();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
};

double element(Reader& in) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  static const double edge[] = {0.0,    -0.0,    1.0,     -1.0,   M_PI,    -M_PI / 2, 1e4,     -1e4,  1e6,
                                inf,    -inf,    NAN,     5e-324, -5e-324, 2.2e-308,  1.7e308, -1.7e308,
                                1e300,  3.0,     -3.0,    M_PI * 1e4};
  const std::uint8_t kind = in.byte();
  if (kind < 64) return edge[kind % std::size(edge)];
  const double d = in.raw();
  if (kind < 160) return d;
  // A finite value of moderate size: the raw mantissa scaled into [-8, 8).
  return std::isfinite(d) ? std::fmod(d, 8.0) : 0.0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in{data, size};
  const bipedkin_evaluator* e = bipedkin_at(in.byte() % bipedkin_count());
  const std::size_t n = in.byte() % 41;
  const std::uint8_t choice = in.byte();
  const bool zero_fill = (choice & 1) != 0;
  const unsigned threads = (choice >> 1) % 5;
  const std::size_t elements = bipedkin_rows(e) * bipedkin_cols(e);

  std::vector<double> x(n * state_size);
  for (double& v : x) v = element(in);
  const std::vector<double> copy = x;
  const unsigned flags = zero_fill ? BIPEDKIN_ZERO_FILL : 0u;

  // Outputs hold a marker where the fill would be, to see what is written.
  const double marker = -7.25;
  std::vector<double> exact(n * elements, marker), fast(n * elements, marker);
  if (bipedkin_eval_batch(e, x.data(), n, exact.data(), flags, threads) != BIPEDKIN_OK) fail(e, bipedkin_last_error());
  if (bipedkin_eval_batch(e, x.data(), n, fast.data(), flags | BIPEDKIN_FAST, threads) != BIPEDKIN_OK) {
    fail(e, bipedkin_last_error());
  }
  if (!x.empty() && std::memcmp(x.data(), copy.data(), x.size() * sizeof(double)) != 0) {
    fail(e, "the states were written");  // compared as bytes: NaN is not equal to itself
  }

  std::vector<double> one(elements);
  for (std::size_t s = 0; s < n; ++s) {
    const double* state = x.data() + s * state_size;
    const double* ex = exact.data() + s * elements;
    const double* fa = fast.data() + s * elements;
    std::fill(one.begin(), one.end(), marker);
    bipedkin_eval(e, state, one.data(), flags);
    if (std::memcmp(one.data(), ex, elements * sizeof(double)) != 0) fail(e, "the exact batch is not its single calls");
    std::fill(one.begin(), one.end(), marker);
    bipedkin_eval(e, state, one.data(), flags | BIPEDKIN_FAST);
    if (std::memcmp(one.data(), fa, elements * sizeof(double)) != 0) {
      std::size_t i = 0;
      while (std::memcmp(&one[i], &fa[i], sizeof(double)) == 0) ++i;
      char values[96];
      std::snprintf(values, sizeof values, " (element %zu: %a alone, %a in the batch)", i + 1, one[i], fa[i]);
      fail(e, "state " + std::to_string(s) + "'s fast result depends on its place in the batch" + values);
    }
    bool moderate = true;
    for (std::size_t k = 0; k < state_size; ++k) moderate = moderate && std::fabs(state[k]) <= 1e6;
    for (std::size_t i = 0; i < elements; ++i) {
      if ((ex[i] == marker) != (fa[i] == marker) && !zero_fill) fail(e, "the paths write other elements");
      if (std::isnan(ex[i]) != std::isnan(fa[i]) || std::isinf(ex[i]) != std::isinf(fa[i])) {
        fail(e, "state " + std::to_string(s) + " element " + std::to_string(i + 1) + ": exact " +
                    std::to_string(ex[i]) + ", fast " + std::to_string(fa[i]));
      }
    }
    if (moderate) {
      const double d = bipedkin::fast::normwise_difference(fa, ex, elements);
      if (!(d <= bipedkin::fast::bound)) fail(e, "state " + std::to_string(s) + ": fast differs by " + std::to_string(d));
    }
  }
  return 0;
}
