// The kernels compiled a third time, with every sine and cosine replaced by
// a two-operation stand-in (s = a, c = 1 - a^2/2) inlined in place: what is
// left is each kernel's own arithmetic, with no call to spill around. Its
// time, beside the kernel's and the trig floor's, shows what a kernel costs
// above its sincos calls. The numbers it computes mean nothing.

#include <cstddef>
#include <utility>

namespace bipedkin_arithmetic_sink {
inline void sincos_stand_in(double angle, double* s, double* c) {
  *s = angle;
  *c = 1.0 - 0.5 * angle * angle;
}
}  // namespace bipedkin_arithmetic_sink

#define BIPEDKIN_SINCOS ::bipedkin_arithmetic_sink::sincos_stand_in
#define bipedkin bipedkin_arithmetic
#include "gateway/evaluators.hpp"
#undef bipedkin

#include "arithmetic.hpp"

namespace bipedkin::bench {
namespace {

// Each row's kernel flattened into one function, as the deliverables build it.
const auto& kernels = ::bipedkin_arithmetic::gateway::kernels;

}  // namespace

KernelFunction arithmetic_kernel(std::size_t row) { return row < kernels.size() ? kernels[row] : nullptr; }

}  // namespace bipedkin::bench
