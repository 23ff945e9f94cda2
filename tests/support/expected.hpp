// What the build must deliver, written down independently of the build's own
// table: every generated deliverable with its input form and output shape.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "support/constraints_expected.hpp"

namespace bipedkin::testing {

enum class Form { state, scalar };

struct ExpectedDeliverable {
  std::string name;
  Form form;
  int rows;
  int cols;
};

inline void PrintTo(const ExpectedDeliverable& d, std::ostream* os) { *os << d.name; }

// The sites of each family, in chain order.
inline const std::vector<std::string> position_sites = {"mount", "hip_abduction", "hip_rotation", "hip_flexion", "knee",
                                                        "shin",  "ankle",         "toe",          "toe_sole"};
inline const std::vector<std::string> rotation_sites = {"mount", "hip_abduction", "hip_rotation", "hip_flexion",
                                                        "knee",  "shin",          "ankle",        "toe_sole"};
// The frames with an angular velocity and its Jacobian: every frame with a
// rotation.
inline const std::vector<std::string>& omega_sites = rotation_sites;

namespace detail {
inline void add_family(std::vector<ExpectedDeliverable>& out, const std::string& quantity,
                       const std::vector<std::string>& sites, int rows, int cols) {
  for (const auto& site : sites) {
    for (const char* side : {"_l", "_r"}) out.push_back({quantity + "_" + site + side, Form::state, rows, cols});
  }
}
}  // namespace detail

// The kinematics of every frame beyond the hip: the Jacobians and their
// rates at every site, the angular velocities and their Jacobians of every
// frame (66).
inline std::vector<ExpectedDeliverable> frame_kinematics() {
  std::vector<ExpectedDeliverable> out;
  const std::vector<std::string> distal = {"knee", "shin", "ankle", "toe_sole"};
  detail::add_family(out, "jac", {"hip_rotation", "hip_flexion", "knee", "shin", "ankle", "toe", "toe_sole"}, 3, 22);
  detail::add_family(out, "jacdot", {"hip_abduction", "hip_rotation", "hip_flexion", "knee", "shin", "ankle", "toe",
                                     "toe_sole"}, 3, 22);
  detail::add_family(out, "omega_world", distal, 3, 1);
  detail::add_family(out, "omega_body", distal, 3, 1);
  detail::add_family(out, "angjac_world", {"hip_flexion", "knee", "shin", "ankle", "toe_sole"}, 3, 22);
  detail::add_family(out, "angjac_body", {"hip_flexion", "knee", "shin", "ankle", "toe_sole"}, 3, 22);
  return out;
}

inline std::vector<ExpectedDeliverable> expected_deliverables() {
  std::vector<ExpectedDeliverable> out;
  detail::add_family(out, "pos", position_sites, 3, 1);
  detail::add_family(out, "rot", rotation_sites, 3, 3);
  detail::add_family(out, "omega_world", {"mount", "hip_abduction", "hip_rotation", "hip_flexion"}, 3, 1);
  detail::add_family(out, "omega_body", {"mount", "hip_abduction", "hip_rotation", "hip_flexion"}, 3, 1);
  detail::add_family(out, "angjac_world", {"mount", "hip_abduction", "hip_rotation"}, 3, 22);
  detail::add_family(out, "angjac_body", {"mount", "hip_abduction", "hip_rotation"}, 3, 22);
  detail::add_family(out, "jac", {"mount", "hip_abduction"}, 3, 22);
  detail::add_family(out, "jacdot", {"mount"}, 3, 22);
  out.push_back({"actuation_matrix", Form::state, 22, 10});
  for (int n : {8, 9, 10, 11, 14, 16, 17, 18, 19, 22}) {
    out.push_back({"dyn_sparsity_" + std::to_string(n), Form::scalar, (n == 14 || n == 22) ? 39 : 40, 2});
  }
  const auto beyond = frame_kinematics();
  out.insert(out.end(), beyond.begin(), beyond.end());
  return out;
}

// Every evaluator of the C library and of bipedkin_batch: the generated
// deliverables, and the constraint Jacobians as plain evaluators of a state.
inline std::vector<ExpectedDeliverable> expected_evaluators() {
  std::vector<ExpectedDeliverable> out = expected_deliverables();
  for (const ExpectedConstraint& c : expected_constraints()) out.push_back({c.deliverable(), Form::state, c.rows, 22});
  return out;
}

}  // namespace bipedkin::testing
