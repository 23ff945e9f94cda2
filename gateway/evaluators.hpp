// Every row's kernel compiled for one state, in the list's order, beside
// the descriptors of gateway/rows.hpp. Instantiates every row's kernel: a
// source that needs the descriptors only includes gateway/rows.hpp.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "gateway/rows.hpp"

namespace bipedkin::gateway {

// kernel(out, x): one state's result from its 44 doubles (not read, and
// possibly null, for a kernel that does not read the state).
using Kernel = void (*)(double* out, const double* x);

// A kernel on one state, with everything it calls but the sines and
// cosines inlined.
template <class K>
[[gnu::flatten]] void exact_kernel(double* out, const double* x) {
  K::evaluate(out, model::State{x});
}

// kernels[i] is row i's.
inline constexpr std::array<Kernel, count> kernels = []<std::size_t... i>(std::index_sequence<i...>) {
  return std::array<Kernel, count>{&exact_kernel<typename Row<i>::kernel>...};
}(std::make_index_sequence<count>{});

}  // namespace bipedkin::gateway
