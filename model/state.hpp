// The state vector x = [q; dq] and the coordinates it holds.
//
// Indices are 1-based, as the host numbers them: q(k) is x(k) and dq(k) is
// x(22 + k) for k = 1..22.
//
//   q(1..3)   world position of the base origin
//   q(4..6)   base angles about x, then the once-turned y, then the twice-turned z
//   q(7..14)  left leg, from the base out: mount, hip abduction, hip rotation,
//             hip flexion, knee, shin, ankle, toe
//   q(15..22) right leg, in the same order
#pragma once

namespace bipedkin::model {

inline constexpr int num_coordinates = 22;
inline constexpr int state_size = 2 * num_coordinates;

enum class Side { left, right };

// The eight joints of a leg, numbered from the base out (j = 1..8).
enum class Joint { mount = 1, hip_abduction, hip_rotation, hip_flexion, knee, shin, ankle, toe };

// The points and frames the evaluators report on: the site frame of each
// joint, and the toe sole, a point fixed to the toe segment.
enum class Site { mount, hip_abduction, hip_rotation, hip_flexion, knee, shin, ankle, toe, toe_sole };

// Coordinates of the floating base.
inline constexpr int base_x = 1, base_y = 2, base_z = 3;
inline constexpr int base_roll = 4, base_pitch = 5, base_yaw = 6;

// Index of a leg's first coordinate (its mount joint).
constexpr int first_coordinate(Side side) { return side == Side::left ? 7 : 15; }

// Index of the coordinate of one joint of one leg.
constexpr int coordinate(Side side, Joint joint) { return first_coordinate(side) + static_cast<int>(joint) - 1; }

// The joint whose site frame a site is; the toe sole rides on the toe.
constexpr Joint joint_of(Site site) {
  return site == Site::toe_sole ? Joint::toe : static_cast<Joint>(static_cast<int>(site) + 1);
}

// Read-only view of the 44 doubles of one state, in place. The model reads
// every state through a view like this one: a pack's view (model/pack.hpp)
// reads one state per lane and gives packs where this gives doubles.
struct State {
  using number = double;
  const double* x;

  constexpr double q(int k) const { return x[k - 1]; }
  constexpr double dq(int k) const { return x[num_coordinates + k - 1]; }
};

template <class X>
using number_of = typename X::number;

}  // namespace bipedkin::model
