// The one list of evaluators as types: every row of evaluators.def with its
// kernel type and its kind, and the descriptor of each row that every
// consumer reads (name, shape, input form). Nothing here instantiates a
// kernel's evaluation, so a deliverable's source, which needs its own row
// only, and the consumers of the descriptors compile as fast with a long
// list as with a short one; gateway/evaluators.hpp adds every row's kernel.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <utility>
#include <iterator>
#include <tuple>

#include "constraints/kernels.hpp"
#include "evaluators/angular/angular.hpp"
#include "evaluators/jacobian/jacobian.hpp"
#include "evaluators/kernel.hpp"
#include "evaluators/pose/pose.hpp"
#include "model/state.hpp"
#include "tables/tables.hpp"

namespace bipedkin::gateway {

using evaluators::Input;

// How a row is built as a MEX deliverable: behind the gateway of
// gateway/gateway.hpp, or on the run time (constraints/deliverable.cpp).
enum class Kind { gateway, runtime };

enum class Id {
#define BIPEDKIN_EVALUATOR(name, ...) name,
#include "gateway/evaluators.def"
#undef BIPEDKIN_EVALUATOR
};

namespace detail {
using model::Side;
using model::Site;
namespace pose = evaluators::pose;
namespace angular = evaluators::angular;
namespace jacobian = evaluators::jacobian;
namespace tables = bipedkin::tables;
namespace constraints = bipedkin::constraints;

template <class K, Kind k>
struct RowOf {
  using kernel = K;
  static constexpr Kind kind = k;
};
struct End {};

using Rows = std::tuple<
#define BIPEDKIN_EVALUATOR(name, kind, ...) RowOf<__VA_ARGS__, Kind::kind>,
#include "gateway/evaluators.def"
#undef BIPEDKIN_EVALUATOR
    End>;

inline constexpr const char* names[] = {
#define BIPEDKIN_EVALUATOR(name, ...) #name,
#include "gateway/evaluators.def"
#undef BIPEDKIN_EVALUATOR
};
}  // namespace detail

inline constexpr std::size_t count = std::size(detail::names);

// Row i: its kernel type and its kind.
template <std::size_t i>
using Row = std::tuple_element_t<i, detail::Rows>;
template <Id id>
using RowNamed = Row<static_cast<std::size_t>(id)>;

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

  constexpr int size() const { return rows * cols; }
};

template <std::size_t i>
constexpr Evaluator describe() {
  using K = typename Row<i>::kernel;
  return {detail::names[i], Row<i>::kind, K::input, K::rows, K::cols, K::reads_state, K::written_by_gateway};
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
