// An independent second implementation of the robot's kinematics for the
// tests: the product form over the home points and joint axes, with plain
// 3x3 matrices and the axis-angle formula. Slow and generic on purpose.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "support/harness.hpp"

namespace bipedkin::testing {

using Vec = std::array<double, 3>;
using Mat = std::array<std::array<double, 3>, 3>;  // [row][col]

struct Pose {
  Mat R;
  Vec p;
};

// site: mount, hip_abduction, hip_rotation, hip_flexion, knee, shin, ankle,
// toe, toe_sole; side 'l' or 'r'.
Pose reference_pose(const std::string& site, char side, const StateVector& x);

// The site's velocity kinematics, from the same product form: every axis
// that moves the site frame as a world direction through a world point.
// Matrices 3x22 column-major, as the deliverables return them.
struct Motion {
  std::vector<double> jac;      // d pos / d q
  std::vector<double> jacdot;   // its rate along dq
  std::vector<double> angjac;   // world angular-velocity Jacobian
  Vec omega;                    // world angular velocity
};
Motion reference_motion(const std::string& site, char side, const StateVector& x);

// Column-major elements, as a deliverable returns them.
std::array<double, 9> column_major(const Mat& m);

}  // namespace bipedkin::testing
