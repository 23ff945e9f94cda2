// omega_{world,body}_<site>_<side> and angjac_{world,body}_<site>_<side>:
// the angular velocities of the frames and their Jacobians.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <tuple>

#include "support/compare.hpp"
#include "support/expected.hpp"
#include "support/harness.hpp"

namespace bipedkin::testing {
namespace {

std::string name(const std::string& quantity, const std::string& site, char side) {
  return quantity + "_" + site + "_" + side;
}
int joints_of(const std::string& site) {
  return static_cast<int>(std::find(omega_sites.begin(), omega_sites.end(), site) - omega_sites.begin()) + 1;
}

using V = std::vector<double>;

V times(const V& m, int cols, const V& v) {  // 3 x cols matrix times v
  V r(3, 0.0);
  for (int j = 1; j <= cols; ++j)
    for (int i = 1; i <= 3; ++i) r[static_cast<std::size_t>(i - 1)] += m[at(i, j, 3)] * v[static_cast<std::size_t>(j - 1)];
  return r;
}
V transposed_times(const V& m, const V& v) {  // 3x3
  V r(3, 0.0);
  for (int j = 1; j <= 3; ++j)
    for (int i = 1; i <= 3; ++i) r[static_cast<std::size_t>(j - 1)] += m[at(i, j, 3)] * v[static_cast<std::size_t>(i - 1)];
  return r;
}
V rates(const StateVector& x) { return V(x.begin() + 22, x.end()); }

TEST(AngularVelocity, HomeValues) {
  std::mt19937_64 rng(51);
  StateVector x = random_state(rng);
  std::fill(x.begin(), x.begin() + 22, 0.0);
  for (char side : {'l', 'r'}) {
    auto d = [&](int k) { return x[21 + (k <= 6 ? k : coordinate(side, k - 6))]; };
    // d(7..10) are the rates of the leg's mount, hip abduction, hip rotation, hip flexion.
    const double roll = d(4) + d(7) + d(8);
    const std::map<std::string, std::pair<V, V>> home = {
        {"mount", {{d(4) + d(7), d(5), d(6)}, {-d(6), d(5), d(4) + d(7)}}},
        {"hip_abduction", {{roll, d(5), d(6)}, {roll, d(5), d(6)}}},
        {"hip_rotation", {{roll, d(5), d(6) - d(9)}, {d(9) - d(6), roll, -d(5)}}},
        {"hip_flexion", {{roll, d(5) - d(10), d(6) - d(9)}, {d(9) - d(6), roll, d(10) - d(5)}}},
    };
    for (const auto& [site, values] : home) {
      SCOPED_TRACE(name("omega", site, side));
      EXPECT_TRUE(near(eval(name("omega_world", site, side), x), values.first, 1e-15));
      EXPECT_TRUE(near(eval(name("omega_body", site, side), x), values.second, 1e-15));
    }
  }
}

TEST(AngularJacobian, HomeValues) {
  using Columns = std::map<int, V>;  // joint columns as 7, 8, 9 for the left leg
  const Columns world_mount = {{4, {1, 0, 0}}, {5, {0, 1, 0}}, {6, {0, 0, 1}}, {7, {1, 0, 0}}};
  Columns world_abduction = world_mount;
  world_abduction[8] = {1, 0, 0};
  Columns world_rotation = world_abduction;
  world_rotation[9] = {0, 0, -1};
  const std::map<std::string, Columns> home = {
      {"angjac_world_mount", world_mount},
      {"angjac_world_hip_abduction", world_abduction},
      {"angjac_world_hip_rotation", world_rotation},
      {"angjac_body_mount", {{4, {0, 0, 1}}, {5, {0, 1, 0}}, {6, {-1, 0, 0}}, {7, {0, 0, 1}}}},
      {"angjac_body_hip_abduction", world_abduction},
      {"angjac_body_hip_rotation",
       {{4, {0, 1, 0}}, {5, {0, 0, -1}}, {6, {-1, 0, 0}}, {7, {0, 1, 0}}, {8, {0, 1, 0}}, {9, {1, 0, 0}}}},
  };
  for (const auto& [stem, columns] : home) {
    for (char side : {'l', 'r'}) {
      SCOPED_TRACE(stem + "_" + side);
      V expected(66, 0.0);
      for (const auto& [j, c] : columns) {
        const int column = j <= 6 ? j : coordinate(side, j - 6);
        for (int i = 1; i <= 3; ++i) expected[at(i, column, 3)] = c[static_cast<std::size_t>(i - 1)];
      }
      EXPECT_TRUE(near(eval(stem + "_" + side, {}), expected, 0.0));
    }
  }
}

// The Jacobians map the rates to the angular velocities; world and body
// agree through the site's rotation.
TEST(AngularVelocity, JacobianTimesRatesWorldAndBodyAgree) {
  on_sites_and_states(52, 50, 1.5, omega_sites, [](const std::string& site, char side, const StateVector& x) {
    SCOPED_TRACE(name("omega", site, side));
    const V world = eval(name("omega_world", site, side), x);
    const V body = eval(name("omega_body", site, side), x);
    const V R = eval(name("rot", site, side), x);
    EXPECT_TRUE(near(transposed_times(R, world), body, 2e-15));
    const V Jw = eval(name("angjac_world", site, side), x);
    const V Jb = eval(name("angjac_body", site, side), x);
    // Both sides sum the same terms in other orders (R^T (sum of a_k dq(k))
    // against the sum of (R^T a_k) dq(k)): a few units in the last place
    // of values up to about 5.
    EXPECT_TRUE(near(times(Jw, 22, rates(x)), world, 2e-15));
    EXPECT_TRUE(near(times(Jb, 22, rates(x)), body, 2e-15));
    for (int k = 1; k <= 22; ++k) {
      const V world_column = {Jw[at(1, k, 3)], Jw[at(2, k, 3)], Jw[at(3, k, 3)]};
      const V body_column = {Jb[at(1, k, 3)], Jb[at(2, k, 3)], Jb[at(3, k, 3)]};
      EXPECT_TRUE(near(transposed_times(R, world_column), body_column, 1e-15)) << "column " << k;
    }
  });
}

// An independent check: R^T dR/dt by central differences of the rotation
// deliverable along the rates, and its axial vector.
TEST(AngularVelocity, IsTheRateOfTheRotation) {
  const double h = 1e-6;
  on_sites_and_states(53, 10, 1.5, omega_sites, [&](const std::string& site, char side, const StateVector& x) {
    SCOPED_TRACE(name("omega_body", site, side));
    const V R = eval(name("rot", site, side), x);
    const V dR = central_difference(name("rot", site, side), x, along_rates(x), h);
    auto W = [&](int i, int j) {  // (R^T dR)(i, j)
      double s = 0;
      for (int k = 1; k <= 3; ++k) s += R[at(k, i, 3)] * dR[at(k, j, 3)];
      return s;
    };
    EXPECT_TRUE(near(eval(name("omega_body", site, side), x), {W(3, 2), W(1, 3), W(2, 1)}, 1e-8));
  });
}

TEST(AngularVelocity, BaseRatesAloneTurnEveryFrameAlike) {
  std::mt19937_64 rng(54);
  StateVector x = random_state(rng);
  std::fill(x.begin() + 28, x.end(), 0.0);  // dq(7..22)
  const V common = eval("omega_world_mount_l", x);
  for (char side : {'l', 'r'}) {
    for (const auto& site : omega_sites) {
      SCOPED_TRACE(name("omega", site, side));
      EXPECT_TRUE(near(eval(name("omega_world", site, side), x), common, 1e-15));
      EXPECT_TRUE(near(eval(name("omega_body", site, side), x),
                       transposed_times(eval(name("rot", site, side), x), common), 2e-15));
    }
  }
}

// Bit for bit: the base position and its rates, the other leg and the
// joints beyond the site never matter, and the right leg is the left leg's
// function of its own coordinates.
TEST(AngularVelocity, ReadsOnlyItsChainAndTheLegsAreTheSameFunction) {
  std::mt19937_64 rng(55);
  auto swap_columns = [](V m) {
    for (int j = 7; j <= 14; ++j)
      for (int i = 1; i <= 3; ++i) std::swap(m[at(i, j, 3)], m[at(i, j + 8, 3)]);
    return m;
  };
  for (int trial = 0; trial < 10; ++trial) {
    const StateVector x = random_state(rng);
    for (char side : {'l', 'r'}) {
      for (const auto& site : omega_sites) {
        StateVector y = random_state(rng);
        for (int k : {4, 5, 6}) {
          y[k - 1] = x[k - 1];
          y[21 + k] = x[21 + k];
        }
        for (int j = 1; j <= joints_of(site); ++j) {
          y[coordinate(side, j) - 1] = x[coordinate(side, j) - 1];
          y[21 + coordinate(side, j)] = x[21 + coordinate(side, j)];
        }
        for (const char* q : {"omega_world", "omega_body", "angjac_world", "angjac_body"}) {
          SCOPED_TRACE(name(q, site, side));
          const V r = eval(name(q, site, side), x);
          EXPECT_TRUE(identical(eval(name(q, site, side), y), r));
          if (side == 'l') {
            const V right = eval(name(q, site, 'r'), swap_legs(x));
            EXPECT_TRUE(identical(r.size() == 66 ? swap_columns(right) : right, r));
          }
        }
      }
    }
  }
}

// The elements each Jacobian writes (linear, 0-based); every other one stays
// the host's zero.
std::map<std::string, std::vector<std::size_t>> angjac_written() {
  return {
      {"angjac_world_mount_l", elements({{4, "123"}, {5, "123"}, {6, "123"}, {7, "123"}})},
      {"angjac_world_mount_r", elements({{4, "123"}, {5, "123"}, {6, "123"}, {15, "123"}})},
      {"angjac_body_mount_l", elements({{4, "123"}, {5, "123"}, {6, "123"}, {7, "13"}})},
      {"angjac_body_mount_r", elements({{4, "123"}, {5, "123"}, {6, "123"}, {15, "13"}})},
      {"angjac_world_hip_abduction_l", elements({{4, "123"}, {5, "123"}, {6, "123"}, {7, "123"}, {8, "123"}})},
      {"angjac_world_hip_abduction_r", elements({{4, "123"}, {5, "123"}, {6, "123"}, {15, "123"}, {16, "123"}})},
      {"angjac_body_hip_abduction_l", elements({{4, "123"}, {5, "123"}, {6, "123"}, {7, "12"}, {8, "12"}})},
      {"angjac_body_hip_abduction_r", elements({{4, "123"}, {5, "123"}, {6, "123"}, {15, "12"}, {16, "12"}})},
      {"angjac_world_hip_rotation_l",
       elements({{4, "123"}, {5, "123"}, {6, "123"}, {7, "123"}, {8, "123"}, {9, "123"}})},
      {"angjac_world_hip_rotation_r",
       elements({{4, "123"}, {5, "123"}, {6, "123"}, {15, "123"}, {16, "123"}, {17, "123"}})},
      {"angjac_body_hip_rotation_l",
       elements({{4, "123"}, {5, "123"}, {6, "123"}, {7, "123"}, {8, "123"}, {9, "12"}})},
      {"angjac_body_hip_rotation_r",
       elements({{4, "123"}, {5, "123"}, {6, "123"}, {15, "123"}, {16, "123"}, {17, "12"}})},
  };
}

// The written elements that are constant in every state, with their values:
// {row, column as a left-leg coordinate (7, 8, 9 for the leg's joints),
// value}.
std::vector<std::tuple<int, int, double>> angjac_constants(const std::string& stem) {
  if (stem.starts_with("angjac_world")) return {{1, 4, 1.0}, {2, 4, 0.0}, {3, 4, 0.0}, {1, 5, 0.0}};
  if (stem == "angjac_body_mount") return {{3, 6, 0.0}, {1, 7, 0.0}, {3, 7, 1.0}};
  if (stem == "angjac_body_hip_abduction") return {{1, 6, 0.0}, {1, 7, 1.0}, {2, 7, 0.0}, {1, 8, 1.0}, {2, 8, 0.0}};
  return {{1, 7, 0.0}, {1, 8, 0.0}, {1, 9, 1.0}, {2, 9, 0.0}};  // angjac_body_hip_rotation
}

TEST(AngularJacobian, WritesExactlyItsElements) {
  std::mt19937_64 rng(56);
  const StateVector x = random_state(rng);
  for (const auto& [jacobian, expected] : angjac_written()) EXPECT_EQ(written_elements(jacobian, x), expected) << jacobian;
  for (const auto& d : expected_deliverables()) {
    if (d.name.rfind("omega_", 0) == 0) {
      EXPECT_EQ(written_elements(d.name, x), (std::vector<std::size_t>{0, 1, 2}));
    }
  }
}

// A non-finite base roll q(4) reaches what the defining form carries it to,
// R^T and R holding every angle of the chain: every element of the angular
// velocities, and every written element of the Jacobians but the constants
// they store. Nothing else moves.
TEST(AngularJacobian, ANonFiniteBaseRollReachesEveryElementThatHoldsIt) {
  std::mt19937_64 rng(58);
  const double inf = std::numeric_limits<double>::infinity();
  for (const double bad : {std::nan(""), inf, -inf}) {
    StateVector x = random_state(rng);
    x[3] = bad;
    for (const auto& d : expected_deliverables()) {
      if (d.name.rfind("omega_", 0) != 0) continue;
      const V w = eval(d.name, x);
      EXPECT_TRUE(std::isnan(w[0]) && std::isnan(w[1]) && std::isnan(w[2])) << d.name << " at q(4) = " << bad;
    }
    for (const auto& [jacobian, written] : angjac_written()) {
      SCOPED_TRACE(jacobian + " at q(4) = " + std::to_string(bad));
      const char side = jacobian.back();
      const std::string stem = jacobian.substr(0, jacobian.size() - 2);
      std::map<std::size_t, double> constants;
      for (const auto& [i, j, value] : angjac_constants(stem)) {
        constants[at(i, j <= 6 ? j : coordinate(side, j - 6), 3)] = value;
      }
      const V J = eval(jacobian, x);
      for (std::size_t e = 0; e < J.size(); ++e) {
        if (constants.contains(e)) {
          EXPECT_EQ(J[e], constants[e]) << "element " << e + 1;
        } else if (std::find(written.begin(), written.end(), e) != written.end()) {
          EXPECT_TRUE(std::isnan(J[e])) << "element " << e + 1 << " is " << J[e];
        } else {
          EXPECT_EQ(J[e], 0.0) << "element " << e + 1;
        }
      }
    }
  }
}

// Constants of the body Jacobians are exact: a frame's own joint axis, and
// the elements that vanish in every state.
TEST(AngularJacobian, ConstantElementsAreExact) {
  std::mt19937_64 rng(57);
  for (int trial = 0; trial < 10; ++trial) {
    const StateVector x = random_state(rng, 3.0);
    for (char side : {'l', 'r'}) {
      const int m = coordinate(side, 1), a = coordinate(side, 2), r = coordinate(side, 3);
      auto e = [&](const char* stem, int i, int j) { return eval(std::string(stem) + "_" + side, x)[at(i, j, 3)]; };
      EXPECT_EQ(e("angjac_body_mount", 3, 6), 0.0);
      EXPECT_EQ(e("angjac_body_mount", 1, m), 0.0);
      EXPECT_EQ(e("angjac_body_mount", 3, m), 1.0);
      EXPECT_EQ(e("angjac_body_hip_abduction", 1, 6), 0.0);
      for (int j : {m, a}) {
        EXPECT_EQ(e("angjac_body_hip_abduction", 1, j), 1.0);
        EXPECT_EQ(e("angjac_body_hip_abduction", 2, j), 0.0);
        EXPECT_EQ(e("angjac_body_hip_rotation", 1, j), 0.0);
      }
      EXPECT_EQ(e("angjac_body_hip_rotation", 1, r), 1.0);
      EXPECT_EQ(e("angjac_body_hip_rotation", 2, r), 0.0);
      for (const char* stem : {"angjac_world_mount", "angjac_world_hip_abduction", "angjac_world_hip_rotation"}) {
        EXPECT_EQ(e(stem, 1, 4), 1.0);
        EXPECT_EQ(e(stem, 2, 4), 0.0);
        EXPECT_EQ(e(stem, 3, 4), 0.0);
        EXPECT_EQ(e(stem, 1, 5), 0.0);
      }
    }
  }
}

}  // namespace
}  // namespace bipedkin::testing
