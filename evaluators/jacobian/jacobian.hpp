// Translational Jacobians of the sites and their rates along the motion,
// from the leg's chain of links (model/links.hpp):
//
//   jac_<site>     column k = a_k x r_k     a_k: the world axis of coordinate k
//   jacdot_<site>  column k = a_k' x r_k + a_k x r_k'
//
// with r_k the sum of the links from a point of axis k out to the site, and
// the identity in the base position's columns. Elements that are zero in
// every state (the other leg's columns, the columns of joints beyond the
// site, the columns of axes through the site, the element (1,4)) are left to
// the caller's zero fill, except that jac_mount, jac_hip_abduction and
// jacdot_mount, whose sites lie on their leg's mount axis, write exact
// zeros into the columns of that axis, as they always have.
#pragma once

#include <tuple>
#include <utility>

#include "evaluators/kernel.hpp"
#include "evaluators/output.hpp"
#include "model/links.hpp"

namespace bipedkin::evaluators::jacobian {

namespace detail {

// Writes column(axis) into the columns of every coordinate that turns about
// an axis of the chain; an axis through the site gives a zero column in
// every state, written only where WriteZeros says so.
template <model::Site K, bool WriteZeros>
void store_axis_columns(auto out, const auto& axes, const auto& column) {
  std::apply(
      [&](const auto&... axis) {
        (
            [&](const auto& a) {
              using A = std::remove_cvref_t<decltype(a)>;
              if constexpr (A::point < model::point_of(K)) {
                A::for_each_coordinate([&](int k) { store_nonzero_column(out, k, column(a)); });
              } else if constexpr (WriteZeros) {
                A::for_each_coordinate([&](int k) { store_column(out, k, model::Vector{0.0, 0.0, 0.0}); });
              }
            }(axis),
            ...);
      },
      axes);
}

}  // namespace detail

template <model::Side S, model::Site K>
struct SiteJacobian : Kernel<3, 22> {
  static void evaluate(auto out, const auto& x) {
    const auto chain = model::leg_links<S, K, false>(x);
    const auto& links = std::get<0>(chain);
    const auto& axes = std::get<2>(chain);
    // The identity of the base position's columns.
    store_nonzero_column(out, model::base_x, model::e1);
    store_nonzero_column(out, model::base_y, model::e2);
    store_nonzero_column(out, model::base_z, model::e3);
    constexpr bool on_mount_axis = K == model::Site::mount || K == model::Site::hip_abduction;
    detail::store_axis_columns<K, on_mount_axis>(out, axes, [&](const auto& a) {
      return cross(a.axis, model::links_out<std::remove_cvref_t<decltype(a)>::point>(links));
    });
  }
};

template <model::Side S, model::Site K>
struct SiteJacobianRate : Kernel<3, 22> {
  static void evaluate(auto out, const auto& x) {
    const auto chain = model::leg_links<S, K, true>(x);
    const auto& links = std::get<0>(chain);
    const auto& rates = std::get<1>(chain);
    const auto& axes = std::get<2>(chain);
    detail::store_axis_columns<K, K == model::Site::mount>(out, axes, [&](const auto& a) {
      constexpr int point = std::remove_cvref_t<decltype(a)>::point;
      return cross(a.rate, model::links_out<point>(links)) + cross(a.axis, model::links_out<point>(rates));
    });
  }
};

}  // namespace bipedkin::evaluators::jacobian
