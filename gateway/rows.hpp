// The one list of evaluators as types: every row of evaluators.def with its
// kernel type and its kind. Naming a row instantiates nothing of the other
// rows' kernels, so a deliverable's source, which needs its own row only,
// compiles as fast with a long list as with a short one.
#pragma once

#include <cstddef>
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

}  // namespace bipedkin::gateway
