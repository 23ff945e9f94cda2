// Velocity-level quantities of the chain: the axes about which the
// coordinates turn a frame, in world and in frame coordinates, the angular
// velocity they give, and the rates of the world axes.
//
// All are folds over the turns of model/robot.hpp. A turn's rotation leaves
// its own axis fixed, so a joint's world axis is the frame reached before
// the joint turns applied to the local axis: no turn's sine and cosine is
// taken unless a later turn needs its frame.
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

// World direction of every turn's axis, in chain order; with Frame, also the
// orientation the whole chain reaches.
template <bool Frame, std::size_t I = 0, class Before, class... Turns>
auto world_axes_from(const Before& before, const std::tuple<Turns...>& turns) {
  const auto& t = std::get<I>(turns);
  const auto axis = before * (t.fixed * t.axis);
  if constexpr (I + 1 < sizeof...(Turns)) {
    auto [rest, reached] = world_axes_from<Frame, I + 1>(before * t.rotation(), turns);
    return std::pair{std::tuple_cat(std::tuple{axis}, rest), reached};
  } else if constexpr (Frame) {
    return std::pair{std::tuple{axis}, before * t.rotation()};
  } else {
    return std::pair{std::tuple{axis}, zero_vector};
  }
}

template <class... Turns>
auto world_axes(const std::tuple<Turns...>& turns) {
  return world_axes_from<false>(identity, turns).first;
}

// The world axes and the orientation the chain reaches, sharing every sine
// and cosine.
template <class... Turns>
auto world_axes_and_frame(const std::tuple<Turns...>& turns) {
  return world_axes_from<true>(identity, turns);
}

// Every turn's axis in the coordinates of the frame the chain reaches: the
// columns of the body angular-velocity Jacobian. Each axis is carried
// through the turns after it, so constants (a frame's own axis) stay exact.
template <class... Turns>
auto body_axes(const std::tuple<Turns...>& turns) {
  auto carry = [](const auto& axes, const auto& turn) {
    const auto rotation = turn.rotation();
    return std::tuple_cat(
        std::apply([&](const auto&... a) { return std::tuple{transpose_times(rotation, a)...}; }, axes),
        std::tuple{turn.axis});
  };
  return std::apply([&](const auto&... t) { return fold(carry, std::tuple{}, t...); }, turns);
}

// Sum of the first N axes times the rates of their turns; all of them when N
// is the chain's length.
template <std::size_t N, class... Turns>
auto axes_times_rates(const std::tuple<Turns...>&, const auto& axes, const State& x) {
  return [&]<std::size_t... i>(std::index_sequence<i...>) {
    return (zero_vector + ... + (std::get<i>(axes) * std::tuple_element_t<i, std::tuple<Turns...>>::rate(x)));
  }(std::make_index_sequence<N>{});
}

// Angular velocity of the frame the chain reaches, in world coordinates:
// the sum of every turn's world axis times its rate.
template <class... Turns>
auto world_angular_velocity(const std::tuple<Turns...>& turns, const State& x) {
  return axes_times_rates<sizeof...(Turns)>(turns, world_axes(turns), x);
}

// The same in the frame's own coordinates, carried out along the chain:
// w_i = R_i^T w_(i-1) + axis_i rate_i, with R_i the rotation of turn i.
template <class... Turns>
auto body_angular_velocity(const std::tuple<Turns...>& turns, const State& x) {
  auto carry = [&](const auto& w, const auto& turn) {
    return transpose_times(turn.rotation(), w) + turn.axis * turn.rate(x);
  };
  return std::apply([&](const auto&... t) { return fold(carry, zero_vector, t...); }, turns);
}

// Rates of the world axes along the motion: axis i turns with the angular
// velocity of the frame before it, w_(i-1) x a_i.
template <class... Turns>
auto world_axis_rates(const std::tuple<Turns...>& turns, const auto& axes, const State& x) {
  return [&]<std::size_t... i>(std::index_sequence<i...>) {
    return std::tuple{cross(axes_times_rates<i>(turns, axes, x), std::get<i>(axes))...};
  }(std::index_sequence_for<Turns...>{});
}

}  // namespace bipedkin::model
