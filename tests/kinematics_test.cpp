// The velocity kinematics of every frame against the independent product
// form (tests/support/reference.cpp), and what the kernels of the frames
// beyond the hip write and read.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "support/compare.hpp"
#include "support/expected.hpp"
#include "support/harness.hpp"
#include "support/reference.hpp"

namespace bipedkin::testing {
namespace {

using V = std::vector<double>;

std::string name(const std::string& quantity, const std::string& site, char side) {
  return quantity + "_" + site + "_" + side;
}
V transposed_times_columns(const V& R, const V& J) {  // R^T J, R 3x3, J 3x22
  V r(66, 0.0);
  for (int j = 1; j <= 22; ++j)
    for (int i = 1; i <= 3; ++i)
      for (int k = 1; k <= 3; ++k) r[at(i, j, 3)] += R[at(k, i, 3)] * J[at(k, j, 3)];
  return r;
}

// Values up to a few units, the reference summing in another order.
TEST(FrameKinematics, AgreesWithTheProductForm) {
  on_sites_and_states(91, 20, 3.0, position_sites, [](const std::string& site, char side, const StateVector& x) {
    SCOPED_TRACE(site + "_" + side);
    const Motion m = reference_motion(site, side, x);
    EXPECT_TRUE(near(eval(name("jac", site, side), x), m.jac, 1e-14));
    EXPECT_TRUE(near(eval(name("jacdot", site, side), x), m.jacdot, 1e-13));
    if (site == "toe") return;  // no frame of its own: the toe sole's frame rides on the toe
    const V R = eval(name("rot", site, side), x);
    EXPECT_TRUE(near(eval(name("omega_world", site, side), x), {m.omega.begin(), m.omega.end()}, 1e-14));
    V body(3, 0.0);
    for (int i = 1; i <= 3; ++i)
      for (int k = 1; k <= 3; ++k) body[static_cast<std::size_t>(i - 1)] += R[at(k, i, 3)] * m.omega[static_cast<std::size_t>(k - 1)];
    EXPECT_TRUE(near(eval(name("omega_body", site, side), x), body, 1e-14));
    EXPECT_TRUE(near(eval(name("angjac_world", site, side), x), m.angjac, 1e-14));
    EXPECT_TRUE(near(eval(name("angjac_body", site, side), x), transposed_times_columns(R, m.angjac), 1e-14));
  });
}

// An element is written exactly when it is not zero in every state: at a
// random state, the elements the NaN fill shows written are those that are
// not zero.
TEST(FrameKinematics, WritesExactlyTheElementsThatAreNotZeroInEveryState) {
  std::mt19937_64 rng(92);
  for (int trial = 0; trial < 3; ++trial) {
    const StateVector x = random_state(rng, 3.0);
    for (const auto& d : frame_kinematics()) {
      SCOPED_TRACE(d.name);
      const V r = eval(d.name, x);
      std::vector<std::size_t> nonzero;
      for (std::size_t e = 0; e < r.size(); ++e)
        if (r[e] != 0.0) nonzero.push_back(e);
      EXPECT_EQ(written_elements(d.name, x), nonzero);
    }
  }
}

// A non-finite coordinate reaches every element that changes with it, and
// nothing at all where no element changes with it (a coordinate the kernel
// does not read). An element may hold a coordinate it does not change
// with, as the first row of the base pitch's column holds the base roll,
// which turns both of its factors about x.
TEST(FrameKinematics, ANonFiniteCoordinateReachesTheElementsThatChangeWithIt) {
  std::mt19937_64 rng(93);
  const StateVector x = random_state(rng, 3.0);
  for (const auto& d : frame_kinematics()) {
    if (d.name.starts_with("angjac_") || d.name.starts_with("omega_world")) continue;
    SCOPED_TRACE(d.name);
    const V r = eval(d.name, x);
    for (int k = 1; k <= 44; ++k) {
      StateVector moved = x, bad = x;
      moved[static_cast<std::size_t>(k - 1)] += 0.25;
      bad[static_cast<std::size_t>(k - 1)] = std::nan("");
      const V m = eval(d.name, moved), b = eval(d.name, bad);
      bool reads = false, reached = false;
      for (std::size_t e = 0; e < r.size(); ++e) {
        if (m[e] != r[e]) {
          reads = true;
          EXPECT_TRUE(std::isnan(b[e])) << "x(" << k << ") element " << e + 1;
        }
        reached = reached || std::isnan(b[e]);
      }
      if (!reads) EXPECT_FALSE(reached) << "x(" << k << ") is not read but reaches the result";
    }
  }
}

}  // namespace
}  // namespace bipedkin::testing
