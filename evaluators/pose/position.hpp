// pos_<site>_<side>: the world position of a site's origin (of the sole point
// for the toe sole).
#pragma once

#include "evaluators/output.hpp"
#include "model/robot.hpp"

namespace bipedkin::evaluators::pose {

template <model::Side S, model::Site K>
void position(double* out, const double* x) {
  store(out, model::site_position<S, K>(model::State{x}));
}

}  // namespace bipedkin::evaluators::pose
