// The one list of evaluators as C++: the descriptor of each row of
// evaluators.def that every consumer reads, its kernel compiled for one
// state. Instantiates every row's kernel: a source that needs one row
// includes gateway/rows.hpp instead.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
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

// What every consumer knows of a row.
struct Evaluator {
  const char* name;
  Kind kind;
  Input input;
  int rows;
  int cols;
  // Whether the result depends on the state (not so for the constant tables
  // and the constraint Jacobians).
  bool reads_state;
  // Whether its MEX deliverable's gateway writes the output itself, with no
  // kernel of its own.
  bool written_by_gateway;
  Kernel kernel;

  constexpr int size() const { return rows * cols; }
};

template <std::size_t i>
constexpr Evaluator describe() {
  using K = typename Row<i>::kernel;
  return {detail::names[i], Row<i>::kind, K::input,           K::rows,
          K::cols,          K::reads_state, K::written_by_gateway, &exact_kernel<K>};
}

inline constexpr std::array<Evaluator, count> evaluators = []<std::size_t... i>(std::index_sequence<i...>) {
  return std::array<Evaluator, count>{describe<i>()...};
}(std::make_index_sequence<count>{});

// The most elements of any row's result.
inline constexpr int largest_size = [] {
  int most = 0;
  for (const Evaluator& e : evaluators) most = std::max(most, e.size());
  return most;
}();

// The row of that name, or null.
constexpr const Evaluator* find(std::string_view name) {
  for (const Evaluator& e : evaluators) {
    if (name == e.name) return &e;
  }
  return nullptr;
}

}  // namespace bipedkin::gateway
