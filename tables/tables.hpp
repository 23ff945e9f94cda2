// The constant tables: the actuation matrix and the sparsity patterns of
// the actuated rows of the equations of motion. Both are computed at compile
// time from the actuator list; at run time a kernel only stores constants.
#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "evaluators/kernel.hpp"
#include "evaluators/output.hpp"
#include "tables/actuators.hpp"

namespace bipedkin::tables {

// ---------------------------------------------------------------------------
// Actuation matrix B (22 x 10): column k holds actuator k's factor in the row
// of the coordinate it drives.

inline constexpr int actuation_rows = model::num_coordinates;

// Writes the ten nonzero elements; the other 210 are the host's zeros. The
// state is not read. In its MEX deliverable the gateway writes them itself.
struct ActuationMatrix : evaluators::Kernel<actuation_rows, actuator_count> {
  static constexpr bool reads_state = false;
  static constexpr bool written_by_gateway = true;
  static void evaluate(auto out, const auto&) {
    [&]<std::size_t... i>(std::index_sequence<i...>) {
      (evaluators::put(out, (actuator(i + 1).coordinate - 1) + actuation_rows * static_cast<int>(i),
                       actuator(i + 1).factor),
       ...);
    }(std::make_index_sequence<actuator_count>{});
  }
};

// ---------------------------------------------------------------------------
// Sparsity pattern of the dynamics row of an actuated coordinate N: the
// entries of the decision vector z = [q; dq; ddq; u] (76 entries) that row
// depends on, ascending, as (row 1, column) pairs.

inline constexpr int q_block = 0, dq_block = model::num_coordinates, ddq_block = 2 * model::num_coordinates,
                     u_block = 3 * model::num_coordinates;

constexpr model::Side side_of(int n) { return n < model::first_coordinate(model::Side::right) ? model::Side::left : model::Side::right; }

// The coordinates a row's motion couples to in each block: the base angles
// (position only in the rates and accelerations) and the leg's own eight.
constexpr bool couples(int j, int n, bool with_base_position) {
  const int k0 = model::first_coordinate(side_of(n));
  return (j >= model::base_x && j <= model::base_yaw && (with_base_position || j >= model::base_roll)) ||
         (j >= k0 && j < k0 + 8);
}

constexpr bool is_toe(int n) { return n == model::coordinate(side_of(n), model::Joint::toe); }

// Whether column c of z (1-based) is in the pattern of row n.
constexpr bool in_pattern(int n, int c) {
  if (c <= dq_block) return couples(c - q_block, n, false);
  if (c <= ddq_block) return couples(c - dq_block, n, true) && !(is_toe(n) && c - dq_block == n);
  if (c <= u_block) return couples(c - ddq_block, n, true);
  return c - u_block == actuator_of(n);
}

constexpr int pattern_rows(int n) {
  int m = 0;
  for (int c = 1; c <= u_block + actuator_count; ++c) m += in_pattern(n, c) ? 1 : 0;
  return m;
}

// P column-major: ones, then the column indices ascending.
template <int N>
constexpr auto pattern() {
  std::array<double, 2 * pattern_rows(N)> p{};
  int r = 0;
  for (int c = 1; c <= u_block + actuator_count; ++c) {
    if (in_pattern(N, c)) {
      p[static_cast<std::size_t>(r)] = 1.0;
      p[static_cast<std::size_t>(pattern_rows(N) + r)] = c;
      ++r;
    }
  }
  return p;
}

// Stores every element of the pattern; the input is not read.
template <int N>
struct DynSparsity : evaluators::Kernel<pattern_rows(N), 2, evaluators::Input::scalar> {
  static_assert(actuator_of(N) != 0, "a sparsity pattern exists only for an actuated coordinate");
  static constexpr bool reads_state = false;
  static void evaluate(auto out, const auto&) {
    static constexpr auto p = pattern<N>();
    [&]<std::size_t... i>(std::index_sequence<i...>) {
      (evaluators::put(out, static_cast<int>(i), p[i]), ...);
    }(std::make_index_sequence<p.size()>{});
  }
};

}  // namespace bipedkin::tables
