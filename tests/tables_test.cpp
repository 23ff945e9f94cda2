// actuation_matrix and dyn_sparsity_<N>: the constant tables.
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "support/compare.hpp"
#include "support/harness.hpp"

namespace bipedkin::testing {
namespace {

std::vector<double> call_scalar(const std::string& name, const host::Array& input,
                                const host::CallOptions& options = {}) {
  const mxArray* inputs[] = {input.get()};
  const host::CallResult r = library(name).call(1, inputs, options);
  if (r.error) throw std::runtime_error(r.error->what());
  return host::values(r.outputs.at(0).get());
}

std::vector<double> pattern(const std::string& name) {
  return call_scalar(name, host::make_double({1, 1}, std::vector<double>{0.0}));
}

// The ten patterns as ranges of decision-vector entries.
const std::map<int, std::vector<std::pair<int, int>>> patterns = {
    {8, {{4, 14}, {23, 36}, {45, 58}, {67, 67}}},
    {9, {{4, 14}, {23, 36}, {45, 58}, {68, 68}}},
    {10, {{4, 14}, {23, 36}, {45, 58}, {69, 69}}},
    {11, {{4, 14}, {23, 36}, {45, 58}, {70, 70}}},
    {14, {{4, 14}, {23, 35}, {45, 58}, {71, 71}}},
    {16, {{4, 6}, {15, 28}, {37, 50}, {59, 66}, {72, 72}}},
    {17, {{4, 6}, {15, 28}, {37, 50}, {59, 66}, {73, 73}}},
    {18, {{4, 6}, {15, 28}, {37, 50}, {59, 66}, {74, 74}}},
    {19, {{4, 6}, {15, 28}, {37, 50}, {59, 66}, {75, 75}}},
    {22, {{4, 6}, {15, 28}, {37, 43}, {45, 50}, {59, 66}, {76, 76}}},
};

TEST(SparsityPattern, EveryTableAsListed) {
  for (const auto& [n, ranges] : patterns) {
    SCOPED_TRACE(n);
    std::vector<double> columns;
    for (const auto& [a, b] : ranges)
      for (int c = a; c <= b; ++c) columns.push_back(c);
    std::vector<double> expected(columns.size(), 1.0);
    expected.insert(expected.end(), columns.begin(), columns.end());
    EXPECT_EQ(pattern("dyn_sparsity_" + std::to_string(n)), expected);
    EXPECT_EQ(columns.size(), (n == 14 || n == 22) ? 39u : 40u);
  }
}

TEST(SparsityPattern, TheValueOfTheScalarIsNeverRead) {
  for (const auto& [n, ranges] : patterns) {
    const std::string name = "dyn_sparsity_" + std::to_string(n);
    SCOPED_TRACE(name);
    const std::vector<double> reference = call_scalar(name, host::make_double({1, 1}, std::vector<double>{0.0}));
    for (double v : {-5.0, std::nan(""), double(INFINITY), -double(INFINITY), -0.0, 1e308}) {
      EXPECT_TRUE(identical(call_scalar(name, host::make_double({1, 1}, std::vector<double>{v})), reference)) << v;
    }
    EXPECT_TRUE(identical(call_scalar(name, host::make_sparse(1, 1, std::vector<double>{3.0})), reference));
    EXPECT_TRUE(identical(call_scalar(name, host::make_sparse(1, 1, std::vector<double>{0.0})), reference));
    // Every element is written.
    EXPECT_TRUE(identical(call_scalar(name, host::make_double({1, 1}, std::vector<double>{0.0}), {.fill = NAN}),
                          reference));
  }
}

TEST(ActuationMatrix, TenFactorsInTheirPlacesWhateverTheState) {
  const std::map<int, double> nonzero = {{8, 25},   {31, 25},  {54, 16},  {77, 16},  {102, 50},
                                         {126, 25}, {149, 25}, {172, 16}, {195, 16}, {220, 50}};
  std::vector<double> expected(220, 0.0);
  for (const auto& [linear, v] : nonzero) expected[static_cast<std::size_t>(linear - 1)] = v;
  std::mt19937_64 rng(61);
  StateVector odd;
  odd.fill(NAN);
  odd[3] = INFINITY;
  odd[7] = -INFINITY;
  for (const StateVector& x : {StateVector{}, random_state(rng, 100.0), odd}) {
    EXPECT_TRUE(identical(eval("actuation_matrix", x), expected));
  }
  EXPECT_EQ(std::accumulate(expected.begin(), expected.end(), 0.0), 264.0);
  // Exactly the ten elements are written; the rest are the host's.
  std::vector<std::size_t> written;
  for (const auto& [linear, v] : nonzero) written.push_back(static_cast<std::size_t>(linear - 1));
  EXPECT_EQ(written_elements("actuation_matrix", {}), written);
}

// The u column of each pattern is the actuator that drives its row.
TEST(ActuationMatrix, ItsColumnOrderIsTheActuatorOrderOfThePatterns) {
  const std::vector<double> B = eval("actuation_matrix", {});
  for (const auto& [n, ranges] : patterns) {
    const std::vector<double> p = pattern("dyn_sparsity_" + std::to_string(n));
    const double u_column = p.back();
    int driving = 0;
    for (int k = 1; k <= 10; ++k) {
      if (B[static_cast<std::size_t>((n - 1) + 22 * (k - 1))] != 0.0) driving = k;
    }
    EXPECT_EQ(u_column, 66 + driving) << n;
  }
}

}  // namespace
}  // namespace bipedkin::testing
