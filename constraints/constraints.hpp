// The table of constraint deliverables as C++: every row of constraints.def
// with its kernel.
#pragma once

#include "constraints/kernels.hpp"

namespace bipedkin::constraints {

// kernel(in1, out): the 44 state doubles (unread) and the rows x 22 block.
using Kernel = void (*)(const double* in1, double* out);

struct Constraint {
  const char* entry;  // the entry point; the deliverable is entry + "_mex"
  int rows;
  Kernel kernel;
};

inline constexpr Constraint table[] = {
#define BIPEDKIN_CONSTRAINT(entry, rows, ...) {#entry, rows, &__VA_ARGS__},
#include "constraints/constraints.def"
#undef BIPEDKIN_CONSTRAINT
};

enum class Id {
#define BIPEDKIN_CONSTRAINT(entry, ...) entry,
#include "constraints/constraints.def"
#undef BIPEDKIN_CONSTRAINT
};

constexpr const Constraint& constraint(Id id) { return table[static_cast<int>(id)]; }

}  // namespace bipedkin::constraints
