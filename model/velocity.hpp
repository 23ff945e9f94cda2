// Velocity-level quantities of the chain: the axes about which the
// coordinates turn a frame, in world and in frame coordinates, the angular
// velocity they give, and the rates of the world axes.
//
// All are folds over the turns of model/robot.hpp. Each turn's rotation is
// computed once (one sine and cosine), and the frames, axes and velocities
// are built from those rotations. A turn's rotation leaves its own axis
// fixed, so a joint's world axis is the frame reached before the joint
// applied to its local axis.
#pragma once

#include <cstddef>
#include <tuple>
#include <utility>

#include "model/robot.hpp"

namespace bipedkin::model {

inline constexpr Vec3 zero_vector{Zero{}, Zero{}, Zero{}};

// Left fold over a heterogeneous pack: f(...f(f(init, a), b)..., z).
template <class F, class Acc>
auto fold(const F&, const Acc& acc) {
  return acc;
}
template <class F, class Acc, class First, class... Rest>
auto fold(const F& f, const Acc& acc, const First& first, const Rest&... rest) {
  return fold(f, f(acc, first), rest...);
}

// The rotation of every turn, in chain order: the chain's sines and cosines.
template <class... Turns>
auto rotations(const std::tuple<Turns...>& turns) {
  return std::apply([](const auto&... t) { return std::tuple{t.rotation()...}; }, turns);
}

// The orientation the chain reaches, from its rotations.
template <class... Rotations>
auto frame_of(const std::tuple<Rotations...>& rotations) {
  return std::apply([](const auto&... r) { return (identity * ... * r); }, rotations);
}

// World direction of every turn's axis, in chain order: the frame reached
// before the turn, applied to its fixed orientation and local axis.
template <std::size_t I = 0, class Before, class... Turns, class... Rotations>
auto world_axes_from(const Before& before, const std::tuple<Turns...>& turns,
                     const std::tuple<Rotations...>& rotations) {
  const auto& t = std::get<I>(turns);
  const auto axis = before * (t.fixed * t.axis);
  if constexpr (I + 1 < sizeof...(Turns)) {
    return std::tuple_cat(std::tuple{axis}, world_axes_from<I + 1>(before * std::get<I>(rotations), turns, rotations));
  } else {
    return std::tuple{axis};
  }
}
template <class... Turns, class... Rotations>
auto world_axes(const std::tuple<Turns...>& turns, const std::tuple<Rotations...>& rotations) {
  return world_axes_from(identity, turns, rotations);
}

// Every turn's axis in the coordinates of the frame the chain reaches,
// carried through the turns after it. Only its type is used: which elements
// are structurally constant (a frame's own axis, the elements that vanish in
// every state). The values are taken as R^T a by the kernels.
template <class... Turns>
auto carried_body_axes(const std::tuple<Turns...>& turns) {
  auto carry = [](const auto& axes, const auto& turn) {
    const auto rotation = turn.rotation();
    return std::tuple_cat(
        std::apply([&](const auto&... a) { return std::tuple{transpose_times(rotation, a)...}; }, axes),
        std::tuple{turn.axis});
  };
  return std::apply([&](const auto&... t) { return fold(carry, std::tuple{}, t...); }, turns);
}
template <class Turns>
using BodyAxesStructure = decltype(carried_body_axes(std::declval<const Turns&>()));

// The elements of v, except where the structure S (a vector type) holds a
// constant: there the constant.
template <AnyVec3 S>
constexpr auto structured_as(const AnyVec3 auto& v) {
  auto pick = []<class E>(E, const auto& value) {
    if constexpr (Constant<E>) {
      return E{};
    } else {
      return value;
    }
  };
  return Vec3{pick(decltype(S::x){}, v.x), pick(decltype(S::y){}, v.y), pick(decltype(S::z){}, v.z)};
}

// Sum of the first N axes times the rates of their turns; all of them when N
// is the chain's length.
template <std::size_t N, class... Turns>
auto axes_times_rates(const std::tuple<Turns...>&, const auto& axes, const auto& x) {
  return [&]<std::size_t... i>(std::index_sequence<i...>) {
    return (zero_vector + ... + (std::get<i>(axes) * std::tuple_element_t<i, std::tuple<Turns...>>::rate(x)));
  }(std::make_index_sequence<N>{});
}
template <class... Turns>
auto axes_times_rates(const std::tuple<Turns...>& turns, const auto& axes, const auto& x) {
  return axes_times_rates<sizeof...(Turns)>(turns, axes, x);
}

// Rates of the world axes along the motion: axis i turns with the angular
// velocity of the frame before it, w_(i-1) x a_i.
template <class... Turns>
auto world_axis_rates(const std::tuple<Turns...>& turns, const auto& axes, const auto& x) {
  return [&]<std::size_t... i>(std::index_sequence<i...>) {
    return std::tuple{cross(axes_times_rates<i>(turns, axes, x), std::get<i>(axes))...};
  }(std::index_sequence_for<Turns...>{});
}

// The frame a chain reaches and the angular velocity of that frame, the
// defining form's way: w_body = R^T (sum of a_k dq(k)), with R the frame and
// a_k the world axes, and w_world = R w_body. Every angle of the chain is
// read (R holds them all, the site's own joint included), so a non-finite
// angle reaches every element through R^T and R.
template <class Turns, class X>
auto angular_velocity(const Turns& turns, const X& x) {
  const auto r = rotations(turns);
  const auto frame = frame_of(r);
  const auto w = transpose_times(frame, axes_times_rates(turns, world_axes(turns, r), x));
  struct Result {
    decltype(frame) rotation;
    decltype(w) body;
    auto world() const { return rotation * body; }
  };
  return Result{frame, w};
}

}  // namespace bipedkin::model
