// The pose of the sites.
#pragma once

#include "evaluators/kernel.hpp"
#include "evaluators/output.hpp"
#include "model/robot.hpp"

namespace bipedkin::evaluators::pose {

// pos_<site>_<side>: the world position of a site's origin (of the sole point
// for the toe sole).
template <model::Side S, model::Site K>
struct Position : Kernel<3, 1> {
  static void evaluate(auto out, const auto& x) { store(out, 0, model::site_position<S, K>(x)); }
};

// rot_<site>_<side>: the orientation of a site frame in the world, a 3x3
// rotation whose columns are the frame's axes in world coordinates.
template <model::Side S, model::Site K>
struct Rotation : Kernel<3, 3> {
  static void evaluate(auto out, const auto& x) { store(out, 0, model::site_rotation<S, K>(x)); }
};

}  // namespace bipedkin::evaluators::pose
