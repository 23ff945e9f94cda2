// pos_<site>_<side>: the world positions of the sites.
#include <gtest/gtest.h>

#include <random>

#include "support/compare.hpp"
#include "support/expected.hpp"
#include "support/harness.hpp"
#include "support/reference.hpp"

namespace bipedkin::testing {
namespace {

std::string pos(const std::string& site, char side) { return "pos_" + site + "_" + side; }

// The site moves with joints 1 to this one: the mount and hip abduction
// sites lie on their own axis line, the hip flexion site on the hip rotation
// axis, every other site beyond its parent's joint.
int moving_joints(const std::string& site) {
  const std::map<std::string, int> n = {{"mount", 0}, {"hip_abduction", 0}, {"hip_rotation", 2},
                                        {"hip_flexion", 2}, {"knee", 4}, {"shin", 5},
                                        {"ankle", 6}, {"toe", 7}, {"toe_sole", 8}};
  return n.at(site);
}

double norm_of_difference(const std::vector<double>& a, const std::vector<double>& b) {
  return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

TEST(Position, HomePoints) {
  const std::map<std::string, std::vector<double>> left = {
      {"mount", {0.021, 0.135, 0}},        {"hip_abduction", {-0.049, 0.135, 0}},
      {"hip_rotation", {-0.049, 0.135, -0.09}}, {"hip_flexion", {-0.049, 0.135, -0.09}},
      {"knee", {-0.049, 0.1305, -0.21}},    {"shin", {-0.0016, 0.1305, -0.2707}},
      {"ankle", {0.0184, 0.1305, -0.7055}}, {"toe", {-0.0216, 0.1305, -1.1135}},
      {"toe_sole", {0.0306, 0.1305, -1.1312}},
  };
  for (const auto& [site, p] : left) {
    SCOPED_TRACE(site);
    EXPECT_TRUE(near(eval(pos(site, 'l'), {}), p, 1e-15));
    EXPECT_TRUE(near(eval(pos(site, 'r'), {}), {p[0], -p[1], p[2]}, 1e-15));
  }
}

TEST(Position, QuarterTurnExamples) {
  struct Case {
    const char* name;
    int k;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"pos_mount_l", 4, {0.021, 0, 0.135}},        {"pos_mount_l", 5, {0, 0.135, -0.021}},
      {"pos_mount_l", 6, {-0.135, 0.021, 0}},       {"pos_toe_l", 8, {-0.0216, 1.2485, -0.0045}},
      {"pos_toe_r", 16, {-0.0216, 0.9785, 0.0045}}, {"pos_ankle_l", 11, {0.4465, 0.1305, -0.1426}},
      {"pos_ankle_r", 19, {0.4465, -0.1305, -0.1426}}, {"pos_knee_l", 9, {-0.0535, 0.135, -0.21}},
      {"pos_toe_sole_l", 14, {-0.0039, 0.1305, -1.0613}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.name << " q(" << c.k << ") = pi/2");
    EXPECT_TRUE(near(eval(c.name, with_q({{c.k, pi / 2}})), c.expected, 2e-15));
  }
}

TEST(Position, AgreesWithTheProductFormOfTheChain) {
  on_sites_and_states(31, 50, 3.5, position_sites, [](const std::string& site, char side, const StateVector& x) {
    SCOPED_TRACE(pos(site, side));
    const Vec p = reference_pose(site, side, x).p;
    EXPECT_TRUE(near(eval(pos(site, side), x), {p[0], p[1], p[2]}, 1e-14));
  });
}

// What moves a site and what does not, bit for bit: its own joint (but the
// toe's for the toe sole), joints beyond it, the other leg and every rate.
TEST(Position, ReadsOnlyTheJointsThatMoveIt) {
  std::mt19937_64 rng(32);
  for (int trial = 0; trial < 10; ++trial) {
    const StateVector x = random_state(rng);
    for (char side : {'l', 'r'}) {
      for (const auto& site : position_sites) {
        SCOPED_TRACE(pos(site, side));
        const auto p = eval(pos(site, side), x);
        StateVector y = random_state(rng);
        for (int k = 1; k <= 6; ++k) y[k - 1] = x[k - 1];
        for (int j = 1; j <= moving_joints(site); ++j) y[coordinate(side, j) - 1] = x[coordinate(side, j) - 1];
        EXPECT_TRUE(identical(eval(pos(site, side), y), p));
      }
    }
  }
}

TEST(Position, HipRotationAndHipFlexionShareTheirOrigin) {
  std::mt19937_64 rng(33);
  for (int trial = 0; trial < 20; ++trial) {
    const StateVector x = random_state(rng, 3.0);
    for (char side : {'l', 'r'}) {
      EXPECT_TRUE(identical(eval(pos("hip_flexion", side), x), eval(pos("hip_rotation", side), x)));
    }
  }
}

TEST(Position, TheToeAngleMovesTheToeSoleOnly) {
  std::mt19937_64 rng(34);
  const StateVector x = random_state(rng);
  for (char side : {'l', 'r'}) {
    StateVector y = x;
    y[coordinate(side, 8) - 1] += 0.5;
    EXPECT_TRUE(identical(eval(pos("toe", side), y), eval(pos("toe", side), x)));
    EXPECT_GT(norm_of_difference(eval(pos("toe_sole", side), y), eval(pos("toe_sole", side), x)), 0.01);
  }
}

TEST(Position, CoaxialMountAndHipAbductionActThroughTheirSum) {
  std::mt19937_64 rng(35);
  const StateVector x = random_state(rng);
  for (char side : {'l', 'r'}) {
    StateVector y = x;
    y[coordinate(side, 1) - 1] += 0.7;
    y[coordinate(side, 2) - 1] -= 0.7;
    for (const auto& site : position_sites) {
      SCOPED_TRACE(pos(site, side));
      EXPECT_TRUE(near(eval(pos(site, side), y), eval(pos(site, side), x), 1e-15));
    }
  }
}

TEST(Position, TranslatingTheBaseTranslatesEverySite) {
  std::mt19937_64 rng(36);
  const StateVector x = random_state(rng);
  const double v[3] = {0.3, -1.25, 2.5};
  StateVector y = x;
  for (int i = 0; i < 3; ++i) y[i] += v[i];
  for (const auto& d : expected_deliverables()) {
    if (d.name.rfind("pos_", 0) != 0) continue;
    SCOPED_TRACE(d.name);
    auto p = eval(d.name, x);
    for (int i = 0; i < 3; ++i) p[i] += v[i];
    EXPECT_TRUE(near(eval(d.name, y), p, 1e-15));
  }
}

TEST(Position, TurningOneWholeTurnChangesNothingBeyondRounding) {
  std::mt19937_64 rng(37);
  const StateVector x = random_state(rng);
  for (int k = 4; k <= 22; ++k) {
    StateVector y = x;
    y[k - 1] += 2 * pi;
    for (char side : {'l', 'r'}) {
      for (const auto& site : position_sites) {
        SCOPED_TRACE(::testing::Message() << pos(site, side) << " q(" << k << ")");
        EXPECT_TRUE(near(eval(pos(site, side), y), eval(pos(site, side), x), 4e-15));
      }
    }
  }
}

// Sites joined by one rigid offset keep their distance in every state.
TEST(Position, SitesJoinedByOneOffsetKeepTheirDistance) {
  const std::pair<const char*, const char*> links[] = {
      {"mount", "hip_abduction"}, {"hip_abduction", "hip_rotation"}, {"hip_flexion", "knee"},
      {"knee", "shin"},           {"shin", "ankle"},                 {"ankle", "toe"},
      {"toe", "toe_sole"},
  };
  std::mt19937_64 rng(38);
  for (char side : {'l', 'r'}) {
    for (const auto& [a, b] : links) {
      SCOPED_TRACE(::testing::Message() << a << " - " << b << " " << side);
      const double home = norm_of_difference(eval(pos(a, side), {}), eval(pos(b, side), {}));
      for (int trial = 0; trial < 20; ++trial) {
        const StateVector x = random_state(rng, 3.0);
        EXPECT_NEAR(norm_of_difference(eval(pos(a, side), x), eval(pos(b, side), x)), home, 1e-15);
      }
    }
  }
}

// NaN in one coordinate reaches exactly the elements whose formula holds it.
TEST(Position, NaNReachesOnlyTheElementsWhoseFormulaHoldsTheCoordinate) {
  std::mt19937_64 rng(39);
  const StateVector x = random_state(rng);
  auto finite = [](const std::vector<double>& p) {
    return std::vector<bool>{std::isfinite(p[0]), std::isfinite(p[1]), std::isfinite(p[2])};
  };
  for (char side : {'l', 'r'}) {
    for (const auto& site : position_sites) {
      SCOPED_TRACE(pos(site, side));
      auto with_nan = [&](int k) {
        StateVector y = x;
        y[k - 1] = NAN;
        return finite(eval(pos(site, side), y));
      };
      EXPECT_EQ(with_nan(1), (std::vector<bool>{false, true, true}));
      EXPECT_EQ(with_nan(2), (std::vector<bool>{true, false, true}));
      EXPECT_EQ(with_nan(3), (std::vector<bool>{true, true, false}));
      EXPECT_EQ(with_nan(4), (std::vector<bool>{true, false, false}));
      EXPECT_EQ(with_nan(5), (std::vector<bool>{false, false, false}));
      EXPECT_EQ(with_nan(6), (std::vector<bool>{false, false, false}));
      // The joints that move the site reach every element; the others,
      // its own among them, none.
      for (int j = 1; j <= 8; ++j) {
        EXPECT_EQ(with_nan(coordinate(side, j)), std::vector<bool>(3, j > moving_joints(site))) << "joint " << j;
      }
    }
  }
}

TEST(Position, WritesAllThreeElements) {
  std::mt19937_64 rng(40);
  const StateVector x = random_state(rng);
  for (const auto& d : expected_deliverables()) {
    if (d.name.rfind("pos_", 0) != 0) continue;
    EXPECT_EQ(written_elements(d.name, x), (std::vector<std::size_t>{0, 1, 2})) << d.name;
  }
}

}  // namespace
}  // namespace bipedkin::testing
