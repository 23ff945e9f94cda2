// The left leg as an Orocos KDL chain, built from the model's constants in
// the product form (each joint a rotation about its line through its home
// point), on a floating base of three prismatic and three revolute joints
// (world x, y, z, then turns about x, the turned y and the twice-turned z).
// Three quantities the kernels also compute: the toe sole frame, the
// Jacobian of the hip abduction site and the rate of the mount's Jacobian.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace bipedkin::bench::kdl {

class Comparison {
 public:
  // Joint values for KDL from each state of the pool (44 doubles each).
  explicit Comparison(const std::vector<const double*>& states);
  ~Comparison();

  // The toe sole frame: position (3) then rotation column-major (9).
  void toe_sole_pose(std::size_t state, double* out);
  // The translational rows of the hip abduction site's Jacobian, as a 3x22
  // column-major matrix (columns 1..8; the rest untouched).
  void hip_abduction_jacobian(std::size_t state, double* out);
  // The translational rows of the mount site's Jacobian rate, 3x22
  // (columns 1..7).
  void mount_jacobian_rate(std::size_t state, double* out);

  // The solver calls alone, their results kept inside, for timing.
  void time_toe_sole_pose(std::size_t state);
  void time_hip_abduction_jacobian(std::size_t state);
  void time_mount_jacobian_rate(std::size_t state);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace bipedkin::bench::kdl
