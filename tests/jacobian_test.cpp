// jac_<site>_<side> and jacdot_<site>_<side>: the translational Jacobians
// of the sites and their rates.
#include <gtest/gtest.h>

#include <random>

#include "support/compare.hpp"
#include "support/expected.hpp"
#include "support/harness.hpp"

namespace bipedkin::testing {
namespace {

// Each Jacobian with the position it differentiates, its rate and, for the
// sites on their leg's mount axis, the leg-root columns.
struct Site {
  std::string jac, pos, jacdot;
  std::vector<int> leg_root;
};
std::vector<Site> all_sites() {
  std::vector<Site> out;
  for (const auto& site : position_sites) {
    for (char side : {'l', 'r'}) {
      const std::string s = site + "_" + side;
      std::vector<int> leg_root;
      if (site == "mount") leg_root = {coordinate(side, 1)};
      if (site == "hip_abduction") leg_root = {coordinate(side, 1), coordinate(side, 2)};
      out.push_back({"jac_" + s, "pos_" + s, "jacdot_" + s, leg_root});
    }
  }
  return out;
}
const std::vector<Site> sites = all_sites();

std::vector<double> column(const std::vector<double>& m, int j) { return {m[at(1, j, 3)], m[at(2, j, 3)], m[at(3, j, 3)]}; }

TEST(SiteJacobian, HomeValues) {
  const std::map<std::string, std::vector<std::vector<double>>> home = {
      // columns 4, 5, 6
      {"jac_mount_l", {{0, 0, 0.135}, {0, 0, -0.021}, {-0.135, 0.021, 0}}},
      {"jac_mount_r", {{0, 0, -0.135}, {0, 0, -0.021}, {0.135, 0.021, 0}}},
      {"jac_hip_abduction_l", {{0, 0, 0.135}, {0, 0, 0.049}, {-0.135, -0.049, 0}}},
      {"jac_hip_abduction_r", {{0, 0, -0.135}, {0, 0, 0.049}, {0.135, -0.049, 0}}},
  };
  for (const auto& [name, columns] : home) {
    SCOPED_TRACE(name);
    std::vector<double> expected(66, 0.0);
    expected[at(1, 1, 3)] = expected[at(2, 2, 3)] = expected[at(3, 3, 3)] = 1.0;
    for (int j = 4; j <= 6; ++j)
      for (int i = 1; i <= 3; ++i) expected[at(i, j, 3)] = columns[static_cast<std::size_t>(j - 4)][static_cast<std::size_t>(i - 1)];
    EXPECT_EQ(eval(name, {}), expected);
  }
}

// Each column against a central difference of the position deliverable.
TEST(SiteJacobian, IsTheDerivativeOfThePosition) {
  const double h = 1e-5;
  on_random_states(41, 10, 3.0, [&](const StateVector& x) {
    for (const Site& s : sites) {
      const auto J = eval(s.jac, x);
      for (int k = 1; k <= 22; ++k) {
        SCOPED_TRACE(::testing::Message() << s.jac << " column " << k);
        EXPECT_TRUE(near(column(J, k), central_difference(s.pos, x, along_q(k), h), 1e-9));
      }
    }
  });
}

TEST(SiteJacobian, DependsOnTheBaseAnglesAlone) {
  std::mt19937_64 rng(42);
  for (int trial = 0; trial < 10; ++trial) {
    const StateVector x = random_state(rng, 3.0);
    StateVector y = random_state(rng, 3.0);
    for (int k = 4; k <= 6; ++k) y[k - 1] = x[k - 1];
    for (const Site& s : sites) {
      if (s.leg_root.empty()) continue;  // off the mount axis
      SCOPED_TRACE(s.jac);
      const auto J = eval(s.jac, x);
      EXPECT_TRUE(identical(eval(s.jac, y), J));
      EXPECT_EQ(column(J, 1), (std::vector<double>{1, 0, 0}));
      EXPECT_EQ(column(J, 2), (std::vector<double>{0, 1, 0}));
      EXPECT_EQ(column(J, 3), (std::vector<double>{0, 0, 1}));
      EXPECT_EQ(J[at(1, 4, 3)], 0.0);
      for (int k : s.leg_root) EXPECT_EQ(column(J, k), (std::vector<double>{0, 0, 0}));
    }
  }
}

TEST(SiteJacobian, WritesExactlyItsElements) {
  std::mt19937_64 rng(43);
  const StateVector x = random_state(rng);
  const std::map<std::string, std::vector<std::size_t>> written = {
      {"jac_mount_l", elements({{1, "1"}, {2, "2"}, {3, "3"}, {4, "23"}, {5, "123"}, {6, "123"}, {7, "123"}})},
      {"jac_mount_r", elements({{1, "1"}, {2, "2"}, {3, "3"}, {4, "23"}, {5, "123"}, {6, "123"}, {15, "123"}})},
      {"jac_hip_abduction_l",
       elements({{1, "1"}, {2, "2"}, {3, "3"}, {4, "23"}, {5, "123"}, {6, "123"}, {7, "123"}, {8, "123"}})},
      {"jac_hip_abduction_r",
       elements({{1, "1"}, {2, "2"}, {3, "3"}, {4, "23"}, {5, "123"}, {6, "123"}, {15, "123"}, {16, "123"}})},
      {"jacdot_mount_l", elements({{4, "23"}, {5, "123"}, {6, "123"}, {7, "123"}})},
      {"jacdot_mount_r", elements({{4, "23"}, {5, "123"}, {6, "123"}, {15, "123"}})},
  };
  for (const auto& [name, expected] : written) EXPECT_EQ(written_elements(name, x), expected) << name;
}

// The rate against a central difference of the Jacobian along dq.
TEST(SiteJacobianRate, IsTheDerivativeOfTheJacobianAlongTheRates) {
  const double h = 1e-6;
  on_random_states(44, 20, 3.0, [&](const StateVector& x) {
    for (const Site& s : sites) {
      SCOPED_TRACE(s.jacdot);
      EXPECT_TRUE(near(eval(s.jacdot, x), central_difference(s.jac, x, along_rates(x), h), 1e-8));
    }
  });
}

// Every term holds one rate: doubling the rates doubles every element
// exactly, and without rates there is no rate. The mount axis's sites move
// with the base alone.
TEST(SiteJacobianRate, IsLinearInTheRatesAndVanishesWithoutBaseRotation) {
  std::mt19937_64 rng(45);
  for (int trial = 0; trial < 10; ++trial) {
    const StateVector x = random_state(rng, 3.0);
    StateVector doubled = x, still = x, resting = x;
    for (int k = 23; k <= 44; ++k) doubled[k - 1] *= 2;
    for (int k = 23; k <= 44; ++k) resting[k - 1] = 0.0;
    for (int k = 26; k <= 28; ++k) still[k - 1] = 0.0;
    for (const Site& s : sites) {
      SCOPED_TRACE(s.jacdot);
      auto twice = eval(s.jacdot, x);
      for (double& v : twice) v *= 2;
      EXPECT_TRUE(identical(eval(s.jacdot, doubled), twice));
      EXPECT_TRUE(near(eval(s.jacdot, resting), std::vector<double>(66, 0.0), 0.0));
      if (s.leg_root.empty()) continue;
      EXPECT_TRUE(near(eval(s.jacdot, still), std::vector<double>(66, 0.0), 0.0));
      // Only the base angles and their rates are read.
      StateVector y = random_state(rng, 3.0);
      for (int k : {4, 5, 6, 26, 27, 28}) y[k - 1] = x[k - 1];
      EXPECT_TRUE(identical(eval(s.jacdot, y), eval(s.jacdot, x)));
    }
  }
}

}  // namespace
}  // namespace bipedkin::testing
