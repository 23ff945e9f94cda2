// Writing model quantities into a kernel's output elements (column-major).
#pragma once

#include "model/linalg.hpp"

namespace bipedkin::evaluators {

// All three elements of a vector, from linear position offset (0-based) on.
inline void store(double* out, const model::AnyVec3 auto& v) {
  out[0] = model::value(v.x);
  out[1] = model::value(v.y);
  out[2] = model::value(v.z);
}

// All nine elements of a 3x3 matrix, column by column.
inline void store(double* out, const model::AnyMat3 auto& m) {
  store(out, m.c1);
  store(out + 3, m.c2);
  store(out + 6, m.c3);
}

// Rows of column `column` (1-based) of a 3-row matrix; the Rows flags select
// which of the three rows are written.
template <bool Row1 = true, bool Row2 = true, bool Row3 = true>
inline void store_column(double* out, int column, const model::AnyVec3 auto& v) {
  double* c = out + 3 * (column - 1);
  if constexpr (Row1) c[0] = model::value(v.x);
  if constexpr (Row2) c[1] = model::value(v.y);
  if constexpr (Row3) c[2] = model::value(v.z);
}

}  // namespace bipedkin::evaluators
