// The table of generated deliverables as C++: every row of
// deliverables.def with its kernel.
#pragma once

#include <string_view>

#include "evaluators/angular/angular.hpp"
#include "evaluators/jacobian/jacobian.hpp"
#include "evaluators/pose/position.hpp"
#include "evaluators/pose/rotation.hpp"
#include "gateway/kernel.hpp"
#include "tables/tables.hpp"

namespace bipedkin::gateway {

struct Deliverable {
  const char* name;
  Input input;
  int rows;
  int cols;
  Kernel kernel;
  // The gateway writes the output itself where the others call their kernel.
  bool written_by_gateway;
};

// The actuation matrix has no kernel call of its own: the gateway writes its
// constants where the others call their kernel.
template <Kernel K>
inline constexpr bool writes_in_gateway = false;
template <>
inline constexpr bool writes_in_gateway<&tables::actuation_matrix> = true;

namespace detail {
using model::Side;
using model::Site;
namespace pose = evaluators::pose;
namespace angular = evaluators::angular;
namespace jacobian = evaluators::jacobian;
namespace tables = bipedkin::tables;

inline constexpr Deliverable rows[] = {
#define BIPEDKIN_DELIVERABLE(name, form, rows, cols, ...) \
  {#name, Input::form, rows, cols, &__VA_ARGS__, writes_in_gateway<&__VA_ARGS__>},
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

// Row i's kernel with everything it calls but the sines and cosines inlined.
// The kernel is read into a constant first, so that the call is direct from
// the start: read through the table's row, it stays indirect until after
// early inlining, and flattening then leaves parts of some kernels out of
// line.
template <std::size_t i>
[[gnu::flatten]] void flattened_kernel(double* out, const double* x) {
  constexpr Kernel kernel = deliverables[i].kernel;
  kernel(out, x);
}

// The table's shapes agree with what the constant tables hold.
consteval bool table_shapes_agree() {
  for (const Deliverable& d : deliverables) {
    const std::string_view name = d.name;
    if (name == "actuation_matrix" && (d.rows != tables::actuation_rows || d.cols != tables::actuator_count)) {
      return false;
    }
    if (name.starts_with("dyn_sparsity_")) {
      int n = 0;
      for (char c : name.substr(13)) n = 10 * n + (c - '0');
      if (d.rows != tables::pattern_rows(n) || d.cols != 2 || d.input != Input::scalar) return false;
    }
  }
  return true;
}
static_assert(table_shapes_agree(), "a row of deliverables.def disagrees with the table it names");

}  // namespace bipedkin::gateway
