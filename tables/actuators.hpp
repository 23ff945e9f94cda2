// The ten actuators: which coordinate each drives and with what factor.
//
// They are numbered left leg first, then right leg, and within a leg from
// the root out. This numbering is the column order of the actuation matrix
// and the order of the actuator inputs u in the dynamics' decision vector.
#pragma once

#include "model/state.hpp"

namespace bipedkin::tables {

struct DrivenJoint {
  model::Joint joint;
  double factor;
};

// The driven joints of one leg, in actuator order; both legs alike.
inline constexpr DrivenJoint driven_joints[] = {
    {model::Joint::hip_abduction, 25.0}, {model::Joint::hip_rotation, 25.0}, {model::Joint::hip_flexion, 16.0},
    {model::Joint::knee, 16.0},          {model::Joint::toe, 50.0},
};

inline constexpr int actuators_per_leg = sizeof(driven_joints) / sizeof(driven_joints[0]);
inline constexpr int actuator_count = 2 * actuators_per_leg;

struct Actuator {
  int coordinate;  // 1-based index into q
  double factor;
};

// Actuator k, 1-based.
constexpr Actuator actuator(int k) {
  const model::Side side = k <= actuators_per_leg ? model::Side::left : model::Side::right;
  const DrivenJoint& d = driven_joints[(k - 1) % actuators_per_leg];
  return {model::coordinate(side, d.joint), d.factor};
}

// The actuator that drives coordinate n, or 0 if none does.
constexpr int actuator_of(int n) {
  for (int k = 1; k <= actuator_count; ++k) {
    if (actuator(k).coordinate == n) return k;
  }
  return 0;
}

}  // namespace bipedkin::tables
