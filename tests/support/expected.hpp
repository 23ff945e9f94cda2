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
inline const std::vector<std::string> omega_sites = {"mount", "hip_abduction", "hip_rotation", "hip_flexion"};
inline const std::vector<std::string> angjac_sites = {"mount", "hip_abduction", "hip_rotation"};

inline const std::vector<std::string> rotation_sites = {"mount", "hip_abduction", "hip_rotation", "hip_flexion",
                                                        "knee",  "shin",          "ankle",        "toe_sole"};

inline std::vector<ExpectedDeliverable> expected_deliverables() {
  std::vector<ExpectedDeliverable> out;
  auto family = [&](const std::string& quantity, const std::vector<std::string>& sites, int rows, int cols) {
    for (const auto& site : sites) {
      for (const char* side : {"_l", "_r"}) out.push_back({quantity + "_" + site + side, Form::state, rows, cols});
    }
  };
  family("pos", position_sites, 3, 1);
  family("rot", rotation_sites, 3, 3);
  family("omega_world", omega_sites, 3, 1);
  family("omega_body", omega_sites, 3, 1);
  family("angjac_world", angjac_sites, 3, 22);
  family("angjac_body", angjac_sites, 3, 22);
  family("jac", {"mount", "hip_abduction"}, 3, 22);
  family("jacdot", {"mount"}, 3, 22);
  out.push_back({"actuation_matrix", Form::state, 22, 10});
  for (int n : {8, 9, 10, 11, 14, 16, 17, 18, 19, 22}) {
    out.push_back({"dyn_sparsity_" + std::to_string(n), Form::scalar, (n == 14 || n == 22) ? 39 : 40, 2});
  }
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
