// The C library's fast mode against its exact path: the documented bound on
// many random states, NaN and infinities reaching the same elements, the
// same elements written, and a state's result independent of everything but
// the state. ctest runs these once per path the processor has
// (BIPEDKIN_SIMD=avx512, avx2, sse2; a path it lacks is skipped).
#include <gtest/gtest.h>

#include <bipedkin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "lib/fast/bound.hpp"
#include "support/clibrary.hpp"
#include "support/compare.hpp"
#include "support/expected.hpp"

namespace bipedkin::testing {
namespace {

// The evaluators whose result depends on the state: all but the constant
// tables and constraint Jacobians.
std::vector<ExpectedDeliverable> state_dependent() {
  std::vector<ExpectedDeliverable> out;
  for (const auto& d : expected_evaluators()) {
    if (d.form == Form::state && d.name != "actuation_matrix" && !d.name.starts_with("constraint_")) out.push_back(d);
  }
  return out;
}

// The path this process is asked to take, and whether it takes it.
const char* asked() {
  const char* s = std::getenv("BIPEDKIN_SIMD");
  return s != nullptr ? s : "";
}

bool processor_has(const std::string& path) {
  __builtin_cpu_init();
  if (path == "avx512") return __builtin_cpu_supports("avx512f");
  if (path == "avx2") return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  return true;
}

class FastMode : public ::testing::Test {
 protected:
  void SetUp() override {
    if (*asked() != '\0' && !processor_has(asked())) GTEST_SKIP() << "this processor has no " << asked();
  }
};

TEST_F(FastMode, TakesThePathAsked) {
  const std::string path = bipedkin_fast_path();
  if (std::string(asked()) == "scalar") {
    EXPECT_EQ(path, "exact");
  } else if (*asked() != '\0') {
    EXPECT_EQ(path, asked());
  } else {
    EXPECT_TRUE(path == "avx512" || path == "avx2" || path == "sse2") << path;
  }
}

// States in blocks: angles (q(4..22)) uniform in [-angles, angles], rates in
// [-3, 3], base position in [-1, 1].
std::vector<double> random_states(std::mt19937_64& rng, std::size_t n, double angles) {
  std::uniform_real_distribution<double> angle(-angles, angles), rate(-3.0, 3.0), unit(-1.0, 1.0);
  std::vector<double> x(44 * n);
  for (std::size_t k = 0; k < n; ++k) {
    for (std::size_t i = 0; i < 44; ++i) x[44 * k + i] = i < 3 ? unit(rng) : i < 22 ? angle(rng) : rate(rng);
  }
  return x;
}

// The documented bound, on 10^6 states of each set (fewer where
// BIPEDKIN_ACCURACY_STATES says so, as in the sanitizer build): for every
// state, max |fast - exact| / max(1, max |exact|) over its result.
TEST_F(FastMode, IsWithinItsBoundOfTheExactPathOnEveryEvaluator) {
  const char* env = std::getenv("BIPEDKIN_ACCURACY_STATES");
  std::size_t total = env != nullptr ? std::strtoul(env, nullptr, 10) : 1000000;
  // Asked for the exact path, the fast mode is it: bit for bit, which a few
  // states show as well as many.
  const bool exact_path = std::string(bipedkin_fast_path()) == "exact";
  if (exact_path) total = std::min<std::size_t>(total, 10000);
  constexpr std::size_t block = 8192;
  constexpr double bound = 4e-15;
  std::vector<const bipedkin_evaluator*> evaluators;
  for (const auto& d : state_dependent()) evaluators.push_back(find(d.name));
  std::vector<double> exact(block * 220), fast(block * 220);
  std::mt19937_64 rng(151);
  for (const double angles : {3.0, 1e4}) {
    std::vector<std::pair<std::string, double>> worst;
    for (const auto& d : state_dependent()) worst.emplace_back(d.name, 0.0);
    for (std::size_t done = 0; done < total; done += block) {
      const std::size_t n = std::min(block, total - done);
      const std::vector<double> x = random_states(rng, n, angles);
      for (std::size_t j = 0; j < worst.size(); ++j) {
        const bipedkin_evaluator* e = evaluators[j];
        const std::size_t size = bipedkin_rows(e) * bipedkin_cols(e);
        ASSERT_EQ(bipedkin_eval_batch(e, x.data(), n, exact.data(), BIPEDKIN_ZERO_FILL, 1), BIPEDKIN_OK);
        ASSERT_EQ(bipedkin_eval_batch(e, x.data(), n, fast.data(), BIPEDKIN_ZERO_FILL | BIPEDKIN_FAST, 1), BIPEDKIN_OK);
        if (exact_path) {
          ASSERT_EQ(std::memcmp(exact.data(), fast.data(), size * n * sizeof(double)), 0) << worst[j].first;
        }
        for (std::size_t k = 0; k < n; ++k) {
          worst[j].second =
              std::max(worst[j].second, bipedkin::fast::normwise_difference(fast.data() + k * size, exact.data() + k * size, size));
        }
      }
    }
    double overall = 0.0;
    for (const auto& [name, w] : worst) {
      EXPECT_LE(w, bound) << name << " with angles up to " << angles;
      overall = std::max(overall, w);
    }
    std::printf("%s path, %zu states, angles up to %g: the largest normwise difference is %.3g (%s)\n",
                bipedkin_fast_path(), total, angles, overall,
                std::max_element(worst.begin(), worst.end(), [](auto& a, auto& b) { return a.second < b.second; })
                    ->first.c_str());
  }
}

enum class Kind { nan, plus_inf, minus_inf, number };
Kind kind(double v) {
  return std::isnan(v) ? Kind::nan : v == INFINITY ? Kind::plus_inf : v == -INFINITY ? Kind::minus_inf : Kind::number;
}

// Non-finite elements anywhere in the state reach the same elements, as
// the same kind, in both modes; and with no zero fill exactly the same
// elements are written (the others keep a NaN of the caller's, bit for bit).
TEST_F(FastMode, ReachesAndWritesTheElementsTheExactPathDoes) {
  std::mt19937_64 rng(152);
  const std::size_t n = 300;
  std::vector<double> x = random_states(rng, n, 3.0);
  std::uniform_int_distribution<std::size_t> element(0, 43);
  const double specials[] = {std::nan(""), INFINITY, -INFINITY, 1e300, -0.0};
  for (std::size_t k = 1; k < n; ++k) {
    for (int j = 0; j < 1 + static_cast<int>(k % 3); ++j) x[44 * k + element(rng)] = specials[(k + j) % 5];
  }
  const std::uint64_t caller_bits = 0x7ff8dead0000beefULL;
  const double caller = std::bit_cast<double>(caller_bits);
  for (const auto& d : state_dependent()) {
    SCOPED_TRACE(d.name);
    const bipedkin_evaluator* e = find(d.name);
    const std::size_t size = bipedkin_rows(e) * bipedkin_cols(e);
    std::vector<double> exact(size * n, caller), fast(size * n, caller);
    ASSERT_EQ(bipedkin_eval_batch(e, x.data(), n, exact.data(), 0, 1), BIPEDKIN_OK);
    ASSERT_EQ(bipedkin_eval_batch(e, x.data(), n, fast.data(), BIPEDKIN_FAST, 1), BIPEDKIN_OK);
    for (std::size_t i = 0; i < exact.size(); ++i) {
      const bool exact_untouched = std::bit_cast<std::uint64_t>(exact[i]) == caller_bits;
      const bool fast_untouched = std::bit_cast<std::uint64_t>(fast[i]) == caller_bits;
      ASSERT_EQ(fast_untouched, exact_untouched) << "state " << i / size << ", element " << i % size + 1;
      ASSERT_EQ(kind(fast[i]), kind(exact[i])) << "state " << i / size << ", element " << i % size + 1 << ": "
                                               << exact[i] << " exactly, " << fast[i] << " fast";
    }
  }
}

// One state's fast result, bit for bit, wherever it is evaluated: alone, at
// every place of a pack in batches of every length around a pack's, with
// other neighbours (some of them with a huge, infinite or NaN angle, which
// send a whole pack down SLEEF's path for huge arguments), and on several
// threads.
TEST_F(FastMode, AStatesResultDependsOnNothingButTheState) {
  std::mt19937_64 rng(153);
  const std::vector<double> state = random_states(rng, 1, 3.0);
  for (const char* name : {"pos_toe_sole_l", "jacdot_mount_r", "angjac_body_hip_rotation_l", "rot_toe_sole_r"}) {
    SCOPED_TRACE(name);
    const bipedkin_evaluator* e = find(name);
    const std::size_t size = bipedkin_rows(e) * bipedkin_cols(e);
    std::vector<double> alone(size);
    ASSERT_EQ(bipedkin_eval(e, state.data(), alone.data(), BIPEDKIN_ZERO_FILL | BIPEDKIN_FAST), BIPEDKIN_OK);
    for (std::size_t n = 1; n <= 19; ++n) {
      for (std::size_t at = 0; at < n; ++at) {
        std::vector<double> x = random_states(rng, n, 3.0);
        const double odd[] = {1e14, -1e300, std::nan(""), std::numeric_limits<double>::infinity()};
        for (std::size_t k = 1; k < n; k += 2) x[44 * k + 3 + k % 19] = odd[k / 2 % 4];
        std::copy(state.begin(), state.end(), x.begin() + static_cast<std::ptrdiff_t>(44 * at));
        for (unsigned threads : {1u, 3u}) {
          std::vector<double> out(size * n);
          ASSERT_EQ(bipedkin_eval_batch(e, x.data(), n, out.data(), BIPEDKIN_ZERO_FILL | BIPEDKIN_FAST, threads),
                    BIPEDKIN_OK);
          const std::vector<double> got(out.begin() + static_cast<std::ptrdiff_t>(size * at),
                                        out.begin() + static_cast<std::ptrdiff_t>(size * (at + 1)));
          ASSERT_TRUE(identical(got, alone)) << "state " << at + 1 << " of " << n << " on " << threads << " threads";
        }
      }
    }
  }
}

// A large batch over every core gives the single-threaded batch's bits.
TEST_F(FastMode, ALargeBatchOnEveryCoreIsTheSameAsOnOne) {
  std::mt19937_64 rng(154);
  const std::size_t n = 40003;
  const std::vector<double> x = random_states(rng, n, 3.0);
  const bipedkin_evaluator* e = find("jac_hip_abduction_l");
  std::vector<double> one(66 * n), all(66 * n);
  ASSERT_EQ(bipedkin_eval_batch(e, x.data(), n, one.data(), BIPEDKIN_ZERO_FILL | BIPEDKIN_FAST, 1), BIPEDKIN_OK);
  ASSERT_EQ(bipedkin_eval_batch(e, x.data(), n, all.data(), BIPEDKIN_ZERO_FILL | BIPEDKIN_FAST, 0), BIPEDKIN_OK);
  EXPECT_TRUE(identical(all, one));
}

// What reads no state is the same in both modes.
TEST_F(FastMode, TheConstantTablesAreTheExactOnes) {
  const std::vector<double> x(44 * 9, 0.5);
  for (const auto& d : expected_evaluators()) {
    if (d.form == Form::state && d.name != "actuation_matrix" && !d.name.starts_with("constraint_")) continue;
    SCOPED_TRACE(d.name);
    const bipedkin_evaluator* e = find(d.name);
    const std::size_t size = bipedkin_rows(e) * bipedkin_cols(e);
    std::vector<double> exact(size * 9), fast(size * 9);
    ASSERT_EQ(bipedkin_eval_batch(e, x.data(), 9, exact.data(), BIPEDKIN_ZERO_FILL, 1), BIPEDKIN_OK);
    ASSERT_EQ(bipedkin_eval_batch(e, x.data(), 9, fast.data(), BIPEDKIN_ZERO_FILL | BIPEDKIN_FAST, 1), BIPEDKIN_OK);
    EXPECT_TRUE(identical(fast, exact));
  }
}

}  // namespace
}  // namespace bipedkin::testing
