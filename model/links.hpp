// A leg as a chain of links, for the translational Jacobians of its sites
// and their rates.
//
// The points of the chain, from the base out: the base origin (0), the
// point of the mount axis at the site (1: the mount's origin for the mount,
// the hip abduction's for every other site), the hip rotation and hip
// flexion origin (2, one point), the knee (3), shin (4), ankle (5), toe (6)
// and toe sole (7). Link i is the vector from point i - 1 to point i in world
// coordinates, fixed in the frame of the segment that carries it: the base
// for link 1, the hip abduction frame for link 2, the hip flexion, knee,
// shin, ankle and toe frames for links 3 to 7.
//
// Every coordinate that moves a site turns about an axis through one of the
// points: the base angles through the base origin, the mount and hip
// abduction (one line) through point 1, the hip rotation and hip flexion
// through point 2, the knee to the toe through points 3 to 6. The column of
// coordinate k in the Jacobian of a site at point n is a_k x r, with a_k the
// world axis and r the sum of the links from the axis's point out to the
// site; its rate is a_k' x r + a_k x r', with r' the sum of each link turned
// by its frame's angular velocity. The links are summed from the site
// inwards, so no large base position is subtracted out of them again.
#pragma once

#include <tuple>
#include <utility>

#include "model/velocity.hpp"

namespace bipedkin::model {

// The point (0..7) of a site's origin (the sole point for the toe sole).
constexpr int point_of(Site site) {
  switch (site) {
    case Site::mount:
    case Site::hip_abduction: return 1;
    case Site::hip_rotation:
    case Site::hip_flexion: return 2;
    default: return static_cast<int>(site) - 1;  // knee 3 .. toe sole 7
  }
}

// The point the axis of a leg's joint J passes through.
constexpr int point_of(Joint joint) {
  switch (joint) {
    case Joint::mount:
    case Joint::hip_abduction: return 1;
    case Joint::hip_rotation:
    case Joint::hip_flexion: return 2;
    default: return static_cast<int>(joint) - 2;  // knee 3 .. toe 6
  }
}

// One axis of the chain: its world direction, its rate along the motion,
// the point it passes through and the coordinates that turn about it.
template <class A, class Rate, int Point, int... Coordinates>
struct Axis {
  A axis;
  Rate rate;
  static constexpr int point = Point;
  template <class F>
  static constexpr void for_each_coordinate(F&& f) {
    (f(Coordinates), ...);
  }
};
template <int Point, int... Coordinates>
constexpr auto axis_at(const AnyVec3 auto& a, const AnyVec3 auto& rate) {
  return Axis<std::remove_cvref_t<decltype(a)>, std::remove_cvref_t<decltype(rate)>, Point, Coordinates...>{a, rate};
}

// The rate of a turn, or a structural zero where no rates are wanted: then
// every angular velocity below and every rate built from them is a
// structural zero too, and nothing of the rates is computed.
template <bool WithRates, class Turn, class X>
auto rate_of(const Turn& turn, const X& x) {
  if constexpr (WithRates) {
    return turn.rate(x);
  } else {
    return Zero{};
  }
}

// The links of leg S out to site K with their rates (structural zeros
// without WithRates), and every axis that moves the site.
template <Side S, Site K, bool WithRates, class X>
auto leg_links(const X& x) {
  constexpr int n = point_of(K);
  const auto base = base_turns(x);
  const auto base_rotations = rotations(base);
  const auto a = world_axes(base, base_rotations);
  const auto R_b = frame_of(base_rotations);
  const auto w_b = [&] {
    if constexpr (WithRates) {
      return axes_times_rates(base, a, x);
    } else {
      return zero_vector;
    }
  }();
  const auto base_rates = [&] {
    if constexpr (WithRates) {
      return world_axis_rates(base, a, x);
    } else {
      return std::tuple{zero_vector, zero_vector, zero_vector};
    }
  }();
  const auto base_axes = std::tuple{axis_at<0, base_roll>(std::get<0>(a), std::get<0>(base_rates)),
                                    axis_at<0, base_pitch>(std::get<1>(a), std::get<1>(base_rates)),
                                    axis_at<0, base_yaw>(std::get<2>(a), std::get<2>(base_rates))};
  constexpr int mount = coordinate(S, Joint::mount);
  // Link 1: to the mount axis, fixed in the base.
  const auto l1 = R_b * base_offset<S, K == Site::mount ? Site::mount : Site::hip_abduction>;
  const auto line = R_b * e1;  // the mount and hip abduction axis
  const auto line_axis = [&] {
    if constexpr (K == Site::mount) {
      return axis_at<1, mount>(line, cross(w_b, line));  // the hip abduction is beyond the mount
    } else {
      return axis_at<1, mount, mount + 1>(line, cross(w_b, line));
    }
  }();
  if constexpr (n == 1) {
    return std::tuple{std::tuple{l1}, std::tuple{cross(w_b, l1)}, std::tuple_cat(base_axes, std::tuple{line_axis})};
  } else {
    // Link 2: to the hip, fixed in the hip abduction frame.
    const auto abduction = hip_abduction_turn<S>(x);
    const auto R_ha = R_b * abduction.rotation();
    const auto w_ha = w_b + line * rate_of<WithRates>(abduction, x);
    const auto l2 = R_ha * offset<S, Site::hip_rotation>;
    const auto rotation = hip_rotation_turn<S>(x);
    const auto rotation_axis = R_ha * (rotation.fixed * rotation.axis);
    constexpr int hip_rotation = coordinate(S, Joint::hip_rotation);
    const auto axes = std::tuple_cat(base_axes, std::tuple{line_axis, axis_at<2, hip_rotation>(
                                                                          rotation_axis, cross(w_ha, rotation_axis))});
    const auto links = std::tuple{l1, l2};
    const auto rates = std::tuple{cross(w_b, l1), cross(w_ha, l2)};
    if constexpr (n == 2) {
      return std::tuple{links, rates, axes};
    } else {
      // Links 3 on: from each sagittal site to the next, fixed in the frame
      // of the site before, all of whose axes are parallel.
      const auto R_hr = R_ha * rotation.rotation();
      const auto w_hr = w_ha + rotation_axis * rate_of<WithRates>(rotation, x);
      const auto sagittal = R_hr * e3;
      const auto sagittal_rate = cross(w_hr, sagittal);
      return [&]<int... j>(std::integer_sequence<int, j...>) {
        // Link 3 + j is carried by the frame of joint hip flexion + j.
        constexpr int first = coordinate(S, Joint::hip_flexion);
        auto link = [&]<int i>(std::integral_constant<int, i>) {
          constexpr Site from = static_cast<Site>(static_cast<int>(Site::hip_flexion) + i);
          const auto turn = sagittal_turn<S, joint_of(from)>(x);
          const auto l = R_hr * (turn.rotation() * offset<S, static_cast<Site>(static_cast<int>(from) + 1)>);
          const auto w = w_hr + sagittal * rate_of<WithRates>(turn, x);
          return std::pair{l, cross(w, l)};
        };
        const auto pairs = std::make_tuple(link(std::integral_constant<int, j>{})...);
        // The sagittal joints up to the site's own (the toe sole rides on the toe).
        constexpr int joints = K == Site::toe_sole ? 5 : static_cast<int>(K) - static_cast<int>(Site::hip_flexion) + 1;
        const auto sagittal_axes = [&]<int... m>(std::integer_sequence<int, m...>) {
          return std::tuple{axis_at<2 + (m == 0 ? 0 : m), first + m>(sagittal, sagittal_rate)...};
        }(std::make_integer_sequence<int, joints>{});
        return std::tuple{std::tuple_cat(links, std::tuple{std::get<j>(pairs).first...}),
                          std::tuple_cat(rates, std::tuple{std::get<j>(pairs).second...}),
                          std::tuple_cat(axes, sagittal_axes)};
      }(std::make_integer_sequence<int, n - 2>{});
    }
  }
}

// Sum of links [from, n) of a tuple (links from + 1 .. n, 1-based), summed
// from the site inwards; a structural zero when there are none.
template <int From, class Links>
auto links_out(const Links& links) {
  constexpr int n = std::tuple_size_v<Links>;
  if constexpr (From >= n) {
    return zero_vector;
  } else if constexpr (From + 1 == n) {
    return std::get<From>(links);
  } else {
    return std::get<From>(links) + links_out<From + 1>(links);
  }
}

}  // namespace bipedkin::model
