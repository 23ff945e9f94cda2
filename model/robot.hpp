// The robot, written once: the base frame, the two leg chains and their
// constants, and the kinematic quantities every evaluator is built from.
//
// Each leg hangs from the base frame by eight revolute joints. In the home
// configuration (q = 0) the base frame is the world frame; every constant
// below is a base-frame coordinate at home. The right leg is the left leg
// with the y coordinate of every home point negated; its joint axes and home
// orientations are the left leg's, not mirrored.
//
// Site frames are composed in the local form: p_k = p_(k-1) + R_(k-1) d_k and
// R_k = R_(k-1) C_k Rot(e_k, q_k), with the offsets d_k taken from the home
// points. Joints that turn about one line (mount and hip abduction) or about
// parallel lines (hip flexion to toe) are gathered into one rotation by the
// sum of their angles, so every kernel takes one sine and one cosine per
// angle or angle sum.
#pragma once

#include <math.h>

#include <concepts>
#include <tuple>
#include <type_traits>
#include <utility>

#include "model/linalg.hpp"
#include "model/state.hpp"

namespace bipedkin::model {

template <class T>
using RotationOf = Mat3<VectorOf<T>, VectorOf<T>, VectorOf<T>>;
using Rotation = RotationOf<double>;

// Every sine and cosine of the model is taken here, with one call for both
// (a pack's, one call for all its lanes, in model/pack.hpp). A benchmark can
// define BIPEDKIN_SINCOS to see which angles a kernel needs. The two results
// come back in two separate variables: written into one SinCos, they were
// read back as one 16-byte load of two 8-byte stores, which the processor
// cannot forward and stalls on after every call.
#ifndef BIPEDKIN_SINCOS
#define BIPEDKIN_SINCOS ::sincos
#endif
inline SinCos<double> sincos_of(double angle) {
  double s, c;
  BIPEDKIN_SINCOS(angle, &s, &c);
  return {s, c};
}

// ---------------------------------------------------------------------------
// Constants

// Home points of the left leg's sites, in base coordinates, exactly as stored.
namespace home {
inline constexpr double mount_x = 0.021;
inline constexpr double hip_x = -0.049;  // hip abduction to knee
inline constexpr double hip_y = 0.135;   // mount to hip flexion
inline constexpr double hip_rotation_z = -0.09;
inline constexpr double leg_y = 0.1305;  // knee to toe sole
inline constexpr double knee_z = -0.21;
inline constexpr double shin_x = -0.0016;
inline constexpr double shin_z = -0.2707;
inline constexpr double ankle_x = 0.0184;
inline constexpr double ankle_z = -0.7055;
inline constexpr double toe_x = -0.0216;
inline constexpr double toe_z = -1.1135;
// 0.0522 - 0.0216 in double precision, one unit in the last place above 0.0306.
inline constexpr double toe_sole_x = 0.030600000000000002;
inline constexpr double toe_sole_z = toe_z - 0.0177;
}  // namespace home

// +1 for the left leg, -1 for the right: the sign of the home points' y.
template <Side S>
inline constexpr double lateral = S == Side::left ? 1.0 : -1.0;

template <Side S>
constexpr Vector home_point(Site site) {
  using namespace home;
  const double hy = lateral<S> * hip_y;
  const double ly = lateral<S> * leg_y;
  switch (site) {
    case Site::mount: return {mount_x, hy, 0.0};
    case Site::hip_abduction: return {hip_x, hy, 0.0};
    case Site::hip_rotation:
    case Site::hip_flexion: return {hip_x, hy, hip_rotation_z};
    case Site::knee: return {hip_x, ly, knee_z};
    case Site::shin: return {shin_x, ly, shin_z};
    case Site::ankle: return {ankle_x, ly, ankle_z};
    case Site::toe: return {toe_x, ly, toe_z};
    case Site::toe_sole: return {toe_sole_x, ly, toe_sole_z};
  }
  return {};
}

// Home orientations of the site frames, columns in base coordinates.
// M = Ry(pi/2): the mount frame's z axis along base +x.
inline constexpr Mat3 mount_orientation{Vec3{Zero{}, Zero{}, MinusOne{}}, Vec3{Zero{}, One{}, Zero{}},
                                        Vec3{One{}, Zero{}, Zero{}}};
// L: x down the hanging leg, y along base +x, z along base -y.
inline constexpr Mat3 leg_orientation{Vec3{Zero{}, Zero{}, MinusOne{}}, Vec3{One{}, Zero{}, Zero{}},
                                      Vec3{Zero{}, MinusOne{}, Zero{}}};

// A vector constant, given as a function F that returns it, with its zero
// elements turned into structural zeros.
template <class F, int I>
constexpr auto structural_element() {
  constexpr double v = I == 0 ? F{}().x : I == 1 ? F{}().y : F{}().z;
  if constexpr (v == 0.0) {
    return Zero{};
  } else {
    return v;
  }
}
template <class F>
constexpr auto structural(F) {
  return Vec3{structural_element<F, 0>(), structural_element<F, 1>(), structural_element<F, 2>()};
}

// Offset of a site's origin from its parent site's origin, in the parent
// frame's home orientation: the difference of the two home points rotated
// into the parent frame.
template <Side S>
constexpr Vector local_offset(Site site) {
  const Vector diff = home_point<S>(site) - home_point<S>(static_cast<Site>(static_cast<int>(site) - 1));
  switch (site) {
    case Site::hip_abduction: return numeric(transpose_times(mount_orientation, diff));
    case Site::hip_rotation: return diff;  // the hip abduction frame is the base orientation at home
    default: return numeric(transpose_times(leg_orientation, diff));
  }
}

template <Side S, Site K>
inline constexpr auto offset = structural([] { return local_offset<S>(K); });

// The mount and hip abduction sites lie on the mount axis, which no leg joint
// moves relative to the base: their base-frame position is their home point.
template <Side S, Site K>
  requires(K == Site::mount || K == Site::hip_abduction)
inline constexpr auto base_offset = structural([] { return home_point<S>(K); });

// ---------------------------------------------------------------------------
// The chain of turns
//
// From the world to a site frame the orientation is a product of turns. A
// turn is a fixed orientation followed by a rotation about one unit axis of
// the frame it reaches; that axis is the same before and after the rotation,
// and it carries the rates of the coordinates listed with the turn (two for
// the coaxial mount and hip abduction, several for the parallel hip flexion
// to toe). Rotations, world axes, body axes and angular velocities are all
// folds over one chain.

using AxisX = Vec3<One, Zero, Zero>;
using AxisY = Vec3<Zero, One, Zero>;
using AxisZ = Vec3<Zero, Zero, One>;
inline constexpr AxisX e1{};
inline constexpr AxisY e2{};
inline constexpr AxisZ e3{};

template <class Fixed, class Axis, class T, int... Coordinates>
struct Turn {
  Fixed fixed;
  Axis axis;  // e1, e2 or e3 of the frame the turn reaches
  T angle;

  static constexpr int coordinates[] = {Coordinates...};

  // f(k) for every coordinate k the turn carries, unrolled.
  template <class F>
  static constexpr void for_each_coordinate(F&& f) {
    (f(Coordinates), ...);
  }

  auto rotation() const {
    const auto a = sincos_of(angle);
    if constexpr (std::same_as<Axis, AxisX>) {
      return fixed * rot_x(a);
    } else if constexpr (std::same_as<Axis, AxisY>) {
      return fixed * rot_y(a);
    } else {
      static_assert(std::same_as<Axis, AxisZ>);
      return fixed * rot_z(a);
    }
  }

  // The rate of the turn's angle.
  template <class X>
  static T rate(const X& x) {
    return (x.dq(Coordinates) + ...);
  }
};

template <int... Coordinates, Number T>
constexpr auto turn(const AnyMat3 auto& fixed, const AnyVec3 auto& axis, T angle) {
  return Turn<std::remove_cvref_t<decltype(fixed)>, std::remove_cvref_t<decltype(axis)>, T, Coordinates...>{
      fixed, axis, angle};
}

// The base: R_b = Rx(q4) Ry(q5) Rz(q6).
template <class X>
auto base_turns(const X& x) {
  return std::tuple{turn<base_roll>(identity, e1, x.q(base_roll)), turn<base_pitch>(identity, e2, x.q(base_pitch)),
                    turn<base_yaw>(identity, e3, x.q(base_yaw))};
}

// Mount: M Rz(q_mount) from the base.
template <Side S, class X>
auto mount_turn(const X& x) {
  constexpr int k = coordinate(S, Joint::mount);
  return turn<k>(mount_orientation, e3, x.q(k));
}

// Hip abduction: the mount and hip abduction joints share one axis line, so
// this frame is the base turned about x by the sum of their angles.
template <Side S, class X>
auto hip_abduction_turn(const X& x) {
  constexpr int k = coordinate(S, Joint::mount);
  return turn<k, k + 1>(identity, e1, x.q(k) + x.q(k + 1));
}

// Hip rotation: L Rx(q_hip_rotation) from the hip abduction frame.
template <Side S, class X>
auto hip_rotation_turn(const X& x) {
  constexpr int k = coordinate(S, Joint::hip_rotation);
  return turn<k>(leg_orientation, e1, x.q(k));
}

// Hip flexion to toe turn about parallel axes: the frame of joint J is the
// hip rotation frame turned about z by the sum of the angles from the hip
// flexion to J.
template <Side S, Joint J, class X>
auto sagittal_turn(const X& x) {
  constexpr int first = coordinate(S, Joint::hip_flexion);
  return [&]<int... i>(std::integer_sequence<int, i...>) {
    auto sum = x.q(first);
    ((sum += x.q(first + 1 + i)), ...);
    return turn<first, first + 1 + i...>(identity, e3, sum);
  }(std::make_integer_sequence<int, static_cast<int>(J) - static_cast<int>(Joint::hip_flexion)>{});
}

// The turns from the world to the frame of site K (the toe sole's frame is
// the toe segment's).
template <Side S, Site K, class X>
auto chain(const X& x) {
  if constexpr (K == Site::mount) {
    return std::tuple_cat(base_turns(x), std::tuple{mount_turn<S>(x)});
  } else if constexpr (K == Site::hip_abduction) {
    return std::tuple_cat(base_turns(x), std::tuple{hip_abduction_turn<S>(x)});
  } else if constexpr (K == Site::hip_rotation) {
    return std::tuple_cat(chain<S, Site::hip_abduction>(x), std::tuple{hip_rotation_turn<S>(x)});
  } else {
    return std::tuple_cat(chain<S, Site::hip_rotation>(x), std::tuple{sagittal_turn<S, joint_of(K)>(x)});
  }
}

// The orientation the turns reach.
template <class... Turns>
auto frame(const std::tuple<Turns...>& turns) {
  return std::apply([](const auto&... t) { return (identity * ... * t.rotation()); }, turns);
}

// ---------------------------------------------------------------------------
// Site rotations and positions

template <class X>
auto base_rotation(const X& x) {
  return frame(base_turns(x));
}

template <class X>
VectorOf<number_of<X>> base_position(const X& x) {
  return {x.q(base_x), x.q(base_y), x.q(base_z)};
}

// Orientation of a site frame in the world: columns are its axes.
template <Side S, Site K, class X>
RotationOf<number_of<X>> site_rotation(const X& x) {
  return frame(chain<S, K>(x));
}

// Carries the origin of site From out along the parallel-axis part of the
// leg to site K, each offset turned by the frame of the site before it.
template <Side S, Site K, Site From, class X, class T = number_of<X>>
VectorOf<T> sagittal_position(const X& x, const RotationOf<T>& hip_rotation, const VectorOf<T>& from) {
  constexpr Site next = static_cast<Site>(static_cast<int>(From) + 1);
  const VectorOf<T> p = from + hip_rotation * (sagittal_turn<S, joint_of(From)>(x).rotation() * offset<S, next>);
  if constexpr (next == K) {
    return p;
  } else {
    return sagittal_position<S, K, next>(x, hip_rotation, p);
  }
}

// World position of a site's origin (for the toe sole, of the sole point).
// A site's own joint angle does not move it; the toe angle moves the toe sole.
template <Side S, Site K, class X, class T = number_of<X>>
VectorOf<T> site_position(const X& x) {
  const auto base = base_rotation(x);
  const VectorOf<T> base_origin = base_position(x);
  if constexpr (K == Site::mount || K == Site::hip_abduction) {
    return base_origin + base * base_offset<S, K>;
  } else {
    const RotationOf<T> hip_abduction = base * hip_abduction_turn<S>(x).rotation();
    // The hip rotation and hip flexion sites share one origin.
    const VectorOf<T> hip = base_origin + base * base_offset<S, Site::hip_abduction> +
                       hip_abduction * offset<S, Site::hip_rotation>;
    if constexpr (K == Site::hip_rotation || K == Site::hip_flexion) {
      return hip;
    } else {
      const RotationOf<T> hip_rotation = hip_abduction * hip_rotation_turn<S>(x).rotation();
      return sagittal_position<S, K, Site::hip_flexion>(x, hip_rotation, hip);
    }
  }
}

}  // namespace bipedkin::model
