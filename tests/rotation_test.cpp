// rot_<site>_<side>: the orientation of every site frame.
#include <gtest/gtest.h>

#include <random>

#include "support/compare.hpp"
#include "support/expected.hpp"
#include "support/harness.hpp"
#include "support/reference.hpp"

namespace bipedkin::testing {
namespace {

const std::vector<double> M = {0, 0, -1, 0, 1, 0, 1, 0, 0};
const std::vector<double> I = {1, 0, 0, 0, 1, 0, 0, 0, 1};
const std::vector<double> L = {0, 0, -1, 1, 0, 0, 0, -1, 0};

std::string name(const std::string& site, char side) { return "rot_" + site + "_" + side; }

// Index (1-based) of the coordinate of joint j (1 = mount .. 8 = toe).

// The joints that turn each site frame, counted from the mount.
int chain_length(const std::string& site) {
  const auto it = std::find(rotation_sites.begin(), rotation_sites.end(), site);
  return site == "toe_sole" ? 8 : static_cast<int>(it - rotation_sites.begin()) + 1;
}

TEST(Rotation, HomeOrientations) {
  for (char side : {'l', 'r'}) {
    for (const auto& site : rotation_sites) {
      SCOPED_TRACE(name(site, side));
      const auto& expected = site == "mount" ? M : site == "hip_abduction" ? I : L;
      EXPECT_EQ(eval(name(site, side), {}), expected);
    }
  }
}

TEST(Rotation, QuarterTurnExamples) {
  struct Case {
    const char* name;
    int k;
    std::vector<double> expected;
  };
  const Case cases[] = {
      {"rot_mount_l", 7, {0, 1, 0, 0, 0, 1, 1, 0, 0}},
      {"rot_mount_r", 15, {0, 1, 0, 0, 0, 1, 1, 0, 0}},
      {"rot_hip_rotation_l", 9, {0, 0, -1, 0, -1, 0, -1, 0, 0}},
      {"rot_hip_flexion_l", 10, {1, 0, 0, 0, 0, 1, 0, -1, 0}},
      {"rot_hip_flexion_r", 18, {1, 0, 0, 0, 0, 1, 0, -1, 0}},
      {"rot_hip_abduction_l", 4, {1, 0, 0, 0, 0, 1, 0, -1, 0}},  // base roll: R_b = Rx(pi/2)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(near(eval(c.name, with_q({{c.k, pi / 2}})), c.expected, 1e-16));
  }
}

TEST(Rotation, AgreesWithTheProductFormOfTheChain) {
  on_sites_and_states(11, 50, 3.5, rotation_sites, [](const std::string& site, char side, const StateVector& x) {
    SCOPED_TRACE(name(site, side));
    const auto expected = column_major(reference_pose(site, side, x).R);
    EXPECT_TRUE(near(eval(name(site, side), x), {expected.begin(), expected.end()}, 1e-14));
  });
}

TEST(Rotation, OrthonormalWithDeterminantOneFarOutsideOneTurn) {
  std::mt19937_64 rng(12);
  for (int trial = 0; trial < 20; ++trial) {
    const StateVector x = random_state(rng, 1000.0);
    for (const auto& d : expected_deliverables()) {
      if (d.name.rfind("rot_", 0) != 0) continue;
      SCOPED_TRACE(d.name);
      const auto r = eval(d.name, x);
      auto e = [&](int i, int j) { return r[at(i, j, 3)]; };
      for (int a = 1; a <= 3; ++a) {
        for (int b = 1; b <= 3; ++b) {
          const double dot = e(1, a) * e(1, b) + e(2, a) * e(2, b) + e(3, a) * e(3, b);
          EXPECT_NEAR(dot, a == b ? 1.0 : 0.0, 1e-14);
        }
      }
      const double det = e(1, 1) * (e(2, 2) * e(3, 3) - e(3, 2) * e(2, 3)) -
                         e(1, 2) * (e(2, 1) * e(3, 3) - e(3, 1) * e(2, 3)) +
                         e(1, 3) * (e(2, 1) * e(3, 2) - e(3, 1) * e(2, 2));
      EXPECT_NEAR(det, 1.0, 1e-14);
    }
  }
}

// Only the base angles and the joints from the mount to the site are read;
// the right leg is the left leg's formula on the right leg's coordinates.
TEST(Rotation, ReadsOnlyItsChainAndTheLegsAreTheSameFunction) {
  std::mt19937_64 rng(13);
  for (int trial = 0; trial < 10; ++trial) {
    const StateVector x = random_state(rng);
    for (char side : {'l', 'r'}) {
      for (const auto& site : rotation_sites) {
        SCOPED_TRACE(name(site, side));
        const auto base = eval(name(site, side), x);
        StateVector y = random_state(rng);
        for (int k = 4; k <= 6; ++k) y[k - 1] = x[k - 1];
        for (int j = 1; j <= chain_length(site); ++j) y[coordinate(side, j) - 1] = x[coordinate(side, j) - 1];
        EXPECT_TRUE(identical(eval(name(site, side), y), base));
        if (side == 'l') {
          EXPECT_TRUE(identical(eval(name(site, 'r'), swap_legs(x)), base));
        }
      }
    }
  }
}

TEST(Rotation, TurningOneWholeTurnChangesNothingBeyondRounding) {
  std::mt19937_64 rng(14);
  const StateVector x = random_state(rng);
  for (int k = 4; k <= 22; ++k) {
    StateVector y = x;
    y[k - 1] += 2 * pi;
    for (const auto& d : expected_deliverables()) {
      if (d.name.rfind("rot_", 0) != 0) continue;
      SCOPED_TRACE(::testing::Message() << d.name << " q(" << k << ")");
      EXPECT_TRUE(near(eval(d.name, y), eval(d.name, x), 4e-15));
    }
  }
}

// Coaxial and parallel joints: only the sum of their angles matters to the
// frames beyond them.
TEST(Rotation, CoaxialAndParallelJointsActThroughTheSumOfTheirAngles) {
  std::mt19937_64 rng(15);
  const StateVector x = random_state(rng);
  for (char side : {'l', 'r'}) {
    StateVector y = x;
    y[coordinate(side, 1) - 1] += 0.3;
    y[coordinate(side, 2) - 1] -= 0.3;
    StateVector z = x;
    z[coordinate(side, 4) - 1] += 0.4;
    z[coordinate(side, 5) - 1] -= 0.4;
    for (const auto& site : rotation_sites) {
      SCOPED_TRACE(name(site, side));
      const auto r = eval(name(site, side), x);
      if (site == "mount") {
        EXPECT_FALSE(near(eval(name(site, side), y), r, 1e-3));
      } else {
        EXPECT_TRUE(near(eval(name(site, side), y), r, 1e-15));
      }
      if (chain_length(site) >= 5) {
        EXPECT_TRUE(near(eval(name(site, side), z), r, 1e-15));
      }
    }
  }
}

// NaN reaches exactly the elements whose closed form holds the angle: never
// the first row through the base roll, never a frame's own axis column
// through the angles that turn the frame about it.
TEST(Rotation, NaNReachesOnlyTheElementsWhoseFormulaHoldsTheAngle) {
  std::mt19937_64 rng(16);
  const StateVector x = random_state(rng);
  auto check = [](const std::vector<double>& r, auto finite_element) {
    for (int i = 1; i <= 3; ++i) {
      for (int j = 1; j <= 3; ++j) {
        const double v = r[at(i, j, 3)];
        EXPECT_EQ(std::isfinite(v), finite_element(i, j)) << "element (" << i << "," << j << ") = " << v;
      }
    }
  };
  for (char side : {'l', 'r'}) {
    for (const auto& site : rotation_sites) {
      SCOPED_TRACE(name(site, side));
      StateVector y = x;
      y[3] = NAN;
      check(eval(name(site, side), y), [](int i, int) { return i == 1; });

      // The frame's own axis and the joints that turn it about that axis.
      const int axis = (site == "hip_abduction" || site == "hip_rotation") ? 1 : 3;
      std::vector<int> joints;
      if (site == "mount") joints = {1};
      if (site == "hip_abduction") joints = {1, 2};
      if (site == "hip_rotation") joints = {3};
      for (int j = 4; j <= chain_length(site) && chain_length(site) >= 4; ++j) joints.push_back(j);
      for (int j : joints) {
        SCOPED_TRACE(::testing::Message() << "joint " << j);
        StateVector z = x;
        z[coordinate(side, j) - 1] = NAN;
        check(eval(name(site, side), z), [&](int, int col) { return col == axis; });
      }
    }
  }
}

// Every element is written: nothing of the host's fill survives.
TEST(Rotation, WritesAllNineElements) {
  std::mt19937_64 rng(17);
  const StateVector x = random_state(rng);
  for (const auto& d : expected_deliverables()) {
    if (d.name.rfind("rot_", 0) != 0) continue;
    SCOPED_TRACE(d.name);
    EXPECT_TRUE(identical(eval(d.name, x, {.fill = NAN}), eval(d.name, x)));
  }
}

}  // namespace
}  // namespace bipedkin::testing
