// The angular velocities of the site frames and their Jacobians, in world
// coordinates and in the frame's own coordinates, the defining form's way
// with the axis form inside:
//
//   omega_body   = R^T (sum of a_k dq(k))     R: the site frame, a_k: the
//   omega_world  = R omega_body               world axis of coordinate k
//   angjac_body  column k = R^T a_k
//   angjac_world column k = R (R^T a_k)
//
// Every angle of the site's chain is read, the site's own joint included,
// and reaches the elements through R^T and R as the defining form carries
// it. The elements that are constant in every state (a frame's own joint
// axis, the elements that vanish) are stored as those constants.
#pragma once

#include <tuple>
#include <type_traits>
#include <utility>

#include "evaluators/kernel.hpp"
#include "evaluators/output.hpp"
#include "model/velocity.hpp"

namespace bipedkin::evaluators::angular {

template <model::Side S, model::Site K>
struct OmegaWorld : Kernel<3, 1> {
  static void evaluate(auto out, const auto& x) {
    store(out, 0, model::angular_velocity(model::chain<S, K>(x), x).world());
  }
};

template <model::Side S, model::Site K>
struct OmegaBody : Kernel<3, 1> {
  static void evaluate(auto out, const auto& x) {
    store(out, 0, model::angular_velocity(model::chain<S, K>(x), x).body);
  }
};

namespace detail {

template <bool R1, bool R2, bool R3>
struct Rows {
  static constexpr bool row1 = R1, row2 = R2, row3 = R3;
};
using AllRows = Rows<true, true, true>;

// The rows of the site's own joint columns that the body Jacobian writes:
// the element of its own axis that is structurally zero in the defining
// form stays the host's zero (the third of an axis about x, the second of
// an axis about z); the other two are the constants 1 and 0.
template <class OwnAxis>
using OwnBodyRows = std::conditional_t<std::is_same_v<OwnAxis, model::AxisZ>, Rows<true, false, true>,
                                       Rows<true, true, false>>;

// The Jacobians of the frames at the root of a leg (mount, hip abduction,
// hip rotation) write the elements they always have: every row of a column
// but those of the site's own joint that the defining form holds as zero.
// Those of every other frame leave every element that is zero in every
// state (a structural zero) to the caller's zero fill.
template <model::Site K>
inline constexpr bool root_frame = K == model::Site::mount || K == model::Site::hip_abduction ||
                                   K == model::Site::hip_rotation;

// Writes column(i) into the column of every coordinate turn i carries; for
// a root frame, the last turn's columns (the site's own joint) get only the
// rows LastRows selects.
template <model::Site K, class LastRows, class Turns>
void store_columns(auto out, const auto& column) {
  constexpr std::size_t n = std::tuple_size_v<Turns>;
  [&]<std::size_t... i>(std::index_sequence<i...>) {
    (
        [&] {
          using Turn = std::tuple_element_t<i, Turns>;
          const auto c = column(std::integral_constant<std::size_t, i>{});
          Turn::for_each_coordinate([&](int k) {
            if constexpr (!root_frame<K>) {
              store_nonzero_column(out, k, c);
            } else if constexpr (i + 1 == n) {
              store_column<LastRows::row1, LastRows::row2, LastRows::row3>(out, k, c);
            } else {
              store_column(out, k, c);
            }
          });
        }(),
        ...);
  }(std::make_index_sequence<n>{});
}

// The site frame, its rotations and the world axes of its chain.
template <model::Side S, model::Site K>
auto axes_of(const auto& x) {
  const auto turns = model::chain<S, K>(x);
  const auto r = model::rotations(turns);
  struct Axes {
    decltype(turns) chain;
    decltype(r) rotations;
    decltype(model::frame_of(r)) frame;
    decltype(model::world_axes(turns, r)) world;
  };
  return Axes{turns, r, model::frame_of(r), model::world_axes(turns, r)};
}

// Body column i, R^T a_i, with the constants of its structure. The roll
// column (q(4), the chain's first turn) is R^T e_x, in which R^T cancels
// the roll; the defining form R^T dR/dq(4) leaves the roll rotation's
// unreduced c^2 + s^2 as a factor, kept here so that q(4) reaches this
// column as it reaches the others.
template <std::size_t i>
auto body_column(const auto& a) {
  using Structure = std::tuple_element_t<i, model::BodyAxesStructure<decltype(a.chain)>>;
  const auto column = transpose_times(a.frame, std::get<i>(a.world));
  if constexpr (i == 0) {
    const auto& roll = std::get<0>(a.rotations);
    return model::structured_as<Structure>(column * dot(roll.c2, roll.c2));
  } else {
    return model::structured_as<Structure>(column);
  }
}

}  // namespace detail

template <model::Side S, model::Site K>
struct AngjacWorld : Kernel<3, 22> {
  static void evaluate(auto out, const auto& x) {
    const auto a = detail::axes_of<S, K>(x);
    detail::store_columns<K, detail::AllRows, decltype(a.chain)>(out, [&]<std::size_t i>(std::integral_constant<std::size_t, i>) {
      using Structure = std::remove_cvref_t<decltype(std::get<i>(a.world))>;
      return model::structured_as<Structure>(a.frame * transpose_times(a.frame, std::get<i>(a.world)));
    });
  }
};

template <model::Side S, model::Site K>
struct AngjacBody : Kernel<3, 22> {
  static void evaluate(auto out, const auto& x) {
    const auto a = detail::axes_of<S, K>(x);
    using OwnAxis = std::remove_cvref_t<decltype(std::get<std::tuple_size_v<decltype(a.chain)> - 1>(a.chain).axis)>;
    detail::store_columns<K, detail::OwnBodyRows<OwnAxis>, decltype(a.chain)>(
        out, [&]<std::size_t i>(std::integral_constant<std::size_t, i>) { return detail::body_column<i>(a); });
  }
};

}  // namespace bipedkin::evaluators::angular
