// The table of generated deliverables as C++: every row of
// deliverables.def with its kernel.
#pragma once

#include "evaluators/angular/angular.hpp"
#include "evaluators/jacobian/jacobian.hpp"
#include "evaluators/pose/position.hpp"
#include "evaluators/pose/rotation.hpp"
#include "gateway/gateway.hpp"

namespace bipedkin::gateway {

struct Deliverable {
  const char* name;
  Input input;
  int rows;
  int cols;
  Kernel kernel;
};

namespace detail {
using model::Side;
using model::Site;
namespace pose = evaluators::pose;
namespace angular = evaluators::angular;
namespace jacobian = evaluators::jacobian;

inline constexpr Deliverable rows[] = {
#define BIPEDKIN_DELIVERABLE(name, form, rows, cols, ...) {#name, Input::form, rows, cols, &__VA_ARGS__},
#include "gateway/deliverables.def"
#undef BIPEDKIN_DELIVERABLE
};
}  // namespace detail

inline constexpr auto& deliverables = detail::rows;

enum class Id {
#define BIPEDKIN_DELIVERABLE(name, ...) name,
#include "gateway/deliverables.def"
#undef BIPEDKIN_DELIVERABLE
};

constexpr const Deliverable& deliverable(Id id) { return deliverables[static_cast<int>(id)]; }

}  // namespace bipedkin::gateway
