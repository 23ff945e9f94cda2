// Writing model quantities into a kernel's output elements (column-major).
//
// An output is where element i (0-based, linear) of the result goes:
// double* for one state; a pack's output writes lane l's element into state
// l's result. put(out, i, v) stores one element; a structural constant is
// stored as its value.
#pragma once

#include <utility>

#include "model/linalg.hpp"
#include "model/pack.hpp"

namespace bipedkin::evaluators {

inline void put(double* out, int i, double v) { out[i] = v; }

// The results of the W states of a pack, Size doubles each, one after the
// other: lane l's element i is out[l * Size + i].
template <int W, int Size>
struct PackOutput {
  double* out;
};

template <int W, int Size>
void put(PackOutput<W, Size> o, int i, model::Pack<W> v) {
  [&]<int... lane>(std::integer_sequence<int, lane...>) {
    ((o.out[lane * Size + i] = v[lane]), ...);
  }(std::make_integer_sequence<int, W>{});
}

template <int W, int Size>
void put(PackOutput<W, Size> o, int i, double v) {
  [&]<int... lane>(std::integer_sequence<int, lane...>) {
    ((o.out[lane * Size + i] = v), ...);
  }(std::make_integer_sequence<int, W>{});
}

// All three elements of a vector, at linear positions at, at + 1, at + 2.
template <class Out>
void store(Out out, int at, const model::AnyVec3 auto& v) {
  put(out, at, model::value(v.x));
  put(out, at + 1, model::value(v.y));
  put(out, at + 2, model::value(v.z));
}

// All nine elements of a 3x3 matrix, column by column.
template <class Out>
void store(Out out, int at, const model::AnyMat3 auto& m) {
  store(out, at, m.c1);
  store(out, at + 3, m.c2);
  store(out, at + 6, m.c3);
}

// Rows of column `column` (1-based) of a 3-row matrix; the Rows flags select
// which of the three rows are written.
template <bool Row1 = true, bool Row2 = true, bool Row3 = true, class Out>
void store_column(Out out, int column, const model::AnyVec3 auto& v) {
  const int at = 3 * (column - 1);
  if constexpr (Row1) put(out, at, model::value(v.x));
  if constexpr (Row2) put(out, at + 1, model::value(v.y));
  if constexpr (Row3) put(out, at + 2, model::value(v.z));
}

// Every element of column `column` (1-based) of a 3-row matrix but its
// structural zeros, which are zero in every state and left to the caller's
// zero fill.
template <class Out>
void store_nonzero_column(Out out, int column, const model::AnyVec3 auto& v) {
  const int at = 3 * (column - 1);
  if constexpr (!model::is_zero<decltype(v.x)>) put(out, at, model::value(v.x));
  if constexpr (!model::is_zero<decltype(v.y)>) put(out, at + 1, model::value(v.y));
  if constexpr (!model::is_zero<decltype(v.z)>) put(out, at + 2, model::value(v.z));
}

}  // namespace bipedkin::evaluators
