// What the constraint deliverables must deliver, written down independently
// of the build's own table: entry point, output rows, and the elements that
// are 1 (row, column; 1-based). Every other element is 0.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace bipedkin::testing {

struct ExpectedConstraint {
  std::string entry;
  int rows;
  std::vector<std::pair<int, int>> ones;

  std::string deliverable() const { return entry + "_mex"; }

  // The whole rows x 22 matrix, column-major.
  std::vector<double> matrix() const {
    std::vector<double> m(static_cast<std::size_t>(rows) * 22, 0.0);
    for (const auto& [i, j] : ones) m[static_cast<std::size_t>((i - 1) + rows * (j - 1))] = 1.0;
    return m;
  }
};

inline void PrintTo(const ExpectedConstraint& c, std::ostream* os) { *os << c.deliverable(); }

inline const std::vector<ExpectedConstraint>& expected_constraints() {
  static const std::vector<ExpectedConstraint> all = {
      // mount and shin of each leg held rigid: q(7), q(12), q(15), q(20)
      {"constraint_jac_rigid", 4, {{1, 7}, {2, 12}, {3, 15}, {4, 20}}},
      {"constraint_jacdot_rigid", 4, {}},
      // knee and ankle of each leg coupled: q(11) + q(13), q(19) + q(21)
      {"constraint_jac_linkage", 2, {{1, 11}, {1, 13}, {2, 19}, {2, 21}}},
      {"constraint_jacdot_linkage", 2, {}},
  };
  return all;
}

}  // namespace bipedkin::testing
