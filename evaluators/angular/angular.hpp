// The angular velocities of the hip-side site frames and their Jacobians,
// in world coordinates and in the frame's own coordinates.
//
//   omega_world = sum of a_k dq(k)    a_k: the world axis of coordinate k
//   omega_body  = the same in the site frame, carried out along the chain
//   angjac_*    = the columns a_k (world) or a_k seen from the site (body)
#pragma once

#include <tuple>
#include <utility>

#include "evaluators/output.hpp"
#include "model/velocity.hpp"

namespace bipedkin::evaluators::angular {

template <model::Side S, model::Site K>
void omega_world(double* out, const double* x) {
  const model::State state{x};
  store(out, model::world_angular_velocity(model::chain<S, K>(state), state));
}

template <model::Side S, model::Site K>
void omega_body(double* out, const double* x) {
  const model::State state{x};
  store(out, model::body_angular_velocity(model::chain<S, K>(state), state));
}

namespace detail {

// Writes axis i of the chain into the column of every coordinate turn i
// carries; the last turn's columns (the site's own joint) get only the rows
// LastRows selects.
template <class LastRows, class Turns, class Axes>
void store_axes(double* out, const Axes& axes) {
  constexpr std::size_t n = std::tuple_size_v<Turns>;
  [&]<std::size_t... i>(std::index_sequence<i...>) {
    (
        [&] {
          using Turn = std::tuple_element_t<i, Turns>;
          Turn::for_each_coordinate([&](int k) {
            if constexpr (i + 1 == n) {
              store_column<LastRows::row1, LastRows::row2, LastRows::row3>(out, k, std::get<i>(axes));
            } else {
              store_column(out, k, std::get<i>(axes));
            }
          });
        }(),
        ...);
  }(std::make_index_sequence<n>{});
}

template <bool R1, bool R2, bool R3>
struct Rows {
  static constexpr bool row1 = R1, row2 = R2, row3 = R3;
};

// Rows of the site's own joint columns that the body Jacobian writes: the
// third element of an axis about x and the second of an axis about z stay
// the host's zero.
template <model::Site K>
using OwnBodyRows = std::conditional_t<K == model::Site::mount, Rows<true, false, true>, Rows<true, true, false>>;

}  // namespace detail

template <model::Side S, model::Site K>
void angjac_world(double* out, const double* x) {
  const auto turns = model::chain<S, K>(model::State{x});
  detail::store_axes<detail::Rows<true, true, true>, decltype(turns)>(out, model::world_axes(turns));
}

template <model::Side S, model::Site K>
void angjac_body(double* out, const double* x) {
  const auto turns = model::chain<S, K>(model::State{x});
  detail::store_axes<detail::OwnBodyRows<K>, decltype(turns)>(out, model::body_axes(turns));
}

}  // namespace bipedkin::evaluators::angular
