// The left leg as an Orocos KDL chain, built from the model's constants in
// the product form (each joint a rotation about its line through its home
// point), on a floating base of three prismatic and three revolute joints
// (world x, y, z, then turns about x, the turned y and the twice-turned z).
// The quantities the kernels also compute: the toe sole frame, the Jacobians
// of the hip abduction site and of the toe sole, and the rates of the
// mount's and the toe sole's Jacobians.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace bipedkin::bench::kdl {

// What KDL computes, each with the left-leg evaluator it is compared with.
enum class Quantity {
  toe_sole_pose,           // the toe sole frame: position (3) then rotation column-major (9)
  hip_abduction_jacobian,  // translational rows, 3x22 column-major (columns 1..8)
  mount_jacobian_rate,     // translational rows, 3x22 (columns 1..7)
  toe_sole_jacobian,       // translational rows, 3x22 (columns 1..14)
  toe_sole_jacobian_rate,  // translational rows, 3x22 (columns 1..14)
};

class Comparison {
 public:
  // Joint values for KDL from each state of the pool (44 doubles each).
  explicit Comparison(const std::vector<const double*>& states);
  ~Comparison();

  // The solver's call alone, its result kept inside, for timing.
  void time(Quantity q, std::size_t state);
  // The same call, its result written to out (the rest of out untouched).
  void values(Quantity q, std::size_t state, double* out);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace bipedkin::bench::kdl
