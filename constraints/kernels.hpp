// The kernels of the constraint deliverables: the constant Jacobians of the
// model's holonomic constraints and their time derivatives, which are zero.
//
// The mount and shin joints of each leg are held rigid, and each leg's knee
// and ankle are coupled by a linkage (dq(knee) + dq(ankle) = 0). Both sets
// of constraints are linear in q, so their Jacobians are constant: tables of
// signed 8-bit integers, column-major, R rows by 22 columns, converted to
// double when written. No kernel reads the state.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "evaluators/kernel.hpp"
#include "evaluators/output.hpp"
#include "model/state.hpp"

namespace bipedkin::constraints {

inline constexpr int columns = model::num_coordinates;

// An R x 22 table with a 1 at each (row, coordinate), both 1-based, and 0
// elsewhere.
template <int Rows>
constexpr std::array<std::int8_t, Rows * columns> ones_at(std::initializer_list<std::pair<int, int>> at) {
  std::array<std::int8_t, Rows * columns> table{};
  for (const auto& [row, coordinate] : at) table[(row - 1) + Rows * (coordinate - 1)] = 1;
  return table;
}

using model::coordinate;
using model::Joint;
using model::Side;

// One row per rigid coordinate: left mount, left shin, right mount, right shin.
inline constexpr auto rigid_jacobian = ones_at<4>({{1, coordinate(Side::left, Joint::mount)},
                                                   {2, coordinate(Side::left, Joint::shin)},
                                                   {3, coordinate(Side::right, Joint::mount)},
                                                   {4, coordinate(Side::right, Joint::shin)}});

// One row per leg: its knee and its ankle.
inline constexpr auto linkage_jacobian = ones_at<2>({{1, coordinate(Side::left, Joint::knee)},
                                                     {1, coordinate(Side::left, Joint::ankle)},
                                                     {2, coordinate(Side::right, Joint::knee)},
                                                     {2, coordinate(Side::right, Joint::ankle)}});

// The time derivatives: R x 22 zeros.
template <int Rows>
inline constexpr std::array<std::int8_t, Rows * columns> zeros{};

// A constant Jacobian: the table, element by element, zeros included (the
// run time's output block comes uncleared from mxMalloc). The state is not
// read.
template <const auto& Table>
struct ConstantJacobian : evaluators::Kernel<static_cast<int>(Table.size()) / columns, columns> {
  static constexpr bool reads_state = false;
  static void evaluate(auto out, const auto&) {
    [&]<std::size_t... k>(std::index_sequence<k...>) {
      (evaluators::put(out, static_cast<int>(k), static_cast<double>(Table[k])), ...);
    }(std::make_index_sequence<Table.size()>{});
  }
};

}  // namespace bipedkin::constraints
