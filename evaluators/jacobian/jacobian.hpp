// Translational Jacobians of the sites on the mount axis (mount, hip
// abduction) and the rate of the mount's.
//
// These sites lie on the line the mount and hip abduction joints turn about,
// so p = p_b + R_b h with h the site's home point: column k of dp/dq is the
// identity for the base position, a_k x r for the base angles (r = R_b h),
// and exactly zero for the leg-root joints, whose axis passes through the
// site. The zeros of the leg-root columns are written, the other zero
// columns left to the host.
#pragma once

#include <tuple>

#include "evaluators/kernel.hpp"
#include "evaluators/output.hpp"
#include "model/velocity.hpp"

namespace bipedkin::evaluators::jacobian {

namespace detail {

// Writes exact zeros into the columns of the coordinates of the site's own
// turn (the leg-root joints).
template <model::Side S, model::Site K>
void store_leg_root_zeros(auto out, const auto& x) {
  using OwnTurn = std::tuple_element_t<3, decltype(model::chain<S, K>(x))>;
  OwnTurn::for_each_coordinate([&](int k) { store_column(out, k, model::Vector{0.0, 0.0, 0.0}); });
}

}  // namespace detail

template <model::Side S, model::Site K>
struct SiteJacobian : Kernel<3, 22> {
  static void evaluate(auto out, const auto& state) {
  const auto turns = model::base_turns(state);
  const auto rotations = model::rotations(turns);
  const auto axes = model::world_axes(turns, rotations);
  const auto r = model::frame_of(rotations) * model::base_offset<S, K>;
  // The identity of the base position columns: (1,1), (2,2), (3,3).
  store_column<true, false, false>(out, model::base_x, model::e1);
  store_column<false, true, false>(out, model::base_y, model::e2);
  store_column<false, false, true>(out, model::base_z, model::e3);
  store_column<false, true, true>(out, model::base_roll, cross(std::get<0>(axes), r));  // (1,4) is zero
  store_column(out, model::base_pitch, cross(std::get<1>(axes), r));
  store_column(out, model::base_yaw, cross(std::get<2>(axes), r));
  detail::store_leg_root_zeros<S, K>(out, state);
  }
};

// dJ/dt along dq: column k is d(a_k x r)/dt = a_k' x r + a_k x v, with
// v = w x r the velocity of r and a_k' the rate of the axis.
template <model::Side S, model::Site K>
struct SiteJacobianRate : Kernel<3, 22> {
  static void evaluate(auto out, const auto& state) {
  const auto turns = model::base_turns(state);
  const auto rotations = model::rotations(turns);
  const auto axes = model::world_axes(turns, rotations);
  const auto rates = model::world_axis_rates(turns, axes, state);
  const auto r = model::frame_of(rotations) * model::base_offset<S, K>;
  const auto v = cross(model::axes_times_rates<3>(turns, axes, state), r);
  store_column<false, true, true>(out, model::base_roll, cross(std::get<0>(rates), r) + cross(std::get<0>(axes), v));
  store_column(out, model::base_pitch, cross(std::get<1>(rates), r) + cross(std::get<1>(axes), v));
  store_column(out, model::base_yaw, cross(std::get<2>(rates), r) + cross(std::get<2>(axes), v));
  detail::store_leg_root_zeros<S, K>(out, state);
  }
};

}  // namespace bipedkin::evaluators::jacobian
