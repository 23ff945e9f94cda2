// rot_<site>_<side>: the orientation of a site frame in the world, a 3x3
// rotation whose columns are the frame's axes in world coordinates.
#pragma once

#include "evaluators/output.hpp"
#include "model/robot.hpp"

namespace bipedkin::evaluators::pose {

template <model::Side S, model::Site K>
void rotation(double* out, const double* x) {
  store(out, model::site_rotation<S, K>(model::State{x}));
}

}  // namespace bipedkin::evaluators::pose
