// The C library: every evaluator by name, single and batch evaluation, bit
// for bit what the MEX deliverables return.
#include <gtest/gtest.h>

#include <bipedkin.h>

#include <cmath>
#include <cstring>
#include <random>

#include "support/clibrary.hpp"
#include "support/compare.hpp"
#include "support/expected.hpp"
#include "support/harness.hpp"

namespace bipedkin::testing {
namespace {

std::vector<double> host_call(const ExpectedDeliverable& d, const StateVector& x, const host::CallOptions& o = {}) {
  if (d.form == Form::state) return eval(d.name, x, o);
  const host::Array in = host::make_double({1, 1}, std::vector<double>{0.0});
  const mxArray* inputs[] = {in.get()};
  return host::values(library(d.name).call(1, inputs, o).outputs.at(0).get());
}

TEST(CLibrary, KnowsEveryEvaluatorWithItsShape) {
  const auto expected = expected_evaluators();
  EXPECT_EQ(bipedkin_count(), expected.size());
  for (const auto& d : expected) {
    SCOPED_TRACE(d.name);
    const bipedkin_evaluator* e = find(d.name);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(bipedkin_name(e), d.name.c_str());
    EXPECT_EQ(bipedkin_rows(e), static_cast<std::size_t>(d.rows));
    EXPECT_EQ(bipedkin_cols(e), static_cast<std::size_t>(d.cols));
    EXPECT_EQ(bipedkin_input_form(e), d.form == Form::state ? BIPEDKIN_INPUT_STATE : BIPEDKIN_INPUT_SCALAR);
  }
  for (std::size_t i = 0; i < bipedkin_count(); ++i) EXPECT_NE(bipedkin_at(i), nullptr);
  EXPECT_EQ(bipedkin_at(bipedkin_count()), nullptr);
}

TEST(CLibrary, RefusesWithAReturnCodeAndAMessage) {
  const bipedkin_evaluator* e = reinterpret_cast<const bipedkin_evaluator*>(1);
  EXPECT_EQ(bipedkin_find("rot_nose_l", &e), BIPEDKIN_UNKNOWN_NAME);
  EXPECT_EQ(e, nullptr);
  EXPECT_STREQ(bipedkin_last_error(),
               "no evaluator named 'rot_nose_l' (the closest are rot_knee_l, rot_ankle_l, pos_toe_l)");
  // A caller's text is quoted back a line's worth at most.
  const std::string long_name = "rot_" + std::string(100000, 'x');
  EXPECT_EQ(bipedkin_find(long_name.c_str(), &e), BIPEDKIN_UNKNOWN_NAME);
  EXPECT_EQ(std::string(bipedkin_last_error()).rfind("no evaluator named 'rot_" + std::string(57, 'x') + "...' (", 0), 0u)
      << bipedkin_last_error();
  EXPECT_EQ(bipedkin_find(nullptr, &e), BIPEDKIN_INVALID_ARGUMENT);
  double x[44] = {}, out[9];
  EXPECT_EQ(bipedkin_eval(nullptr, x, out, 0), BIPEDKIN_INVALID_ARGUMENT);
  EXPECT_EQ(bipedkin_eval(find("rot_knee_l"), nullptr, out, 0), BIPEDKIN_INVALID_ARGUMENT);
  EXPECT_EQ(bipedkin_eval(find("rot_knee_l"), x, nullptr, 0), BIPEDKIN_INVALID_ARGUMENT);
  EXPECT_EQ(bipedkin_eval_batch(find("rot_knee_l"), x, SIZE_MAX / 8, out, 0, 1), BIPEDKIN_INVALID_ARGUMENT);
  EXPECT_EQ(bipedkin_eval(find("rot_knee_l"), x, out, 0), BIPEDKIN_OK);
  EXPECT_STREQ(bipedkin_last_error(), "");
  // A scalar-input evaluator reads nothing: no input is needed.
  double p[80];
  EXPECT_EQ(bipedkin_eval(find("dyn_sparsity_9"), nullptr, p, 0), BIPEDKIN_OK);
}

// Single calls equal host calls; without zero fill, exactly the elements the
// deliverable writes are touched.
TEST(CLibrary, EvaluatesAsTheDeliverablesDo) {
  std::mt19937_64 rng(81);
  const StateVector x = random_state(rng, 3.0);
  for (const auto& d : expected_evaluators()) {
    SCOPED_TRACE(d.name);
    const std::size_t size = static_cast<std::size_t>(d.rows * d.cols);
    std::vector<double> zero(size, 1.0), untouched(size, std::nan(""));
    ASSERT_EQ(bipedkin_eval(find(d.name), x.data(), zero.data(), BIPEDKIN_ZERO_FILL), BIPEDKIN_OK);
    ASSERT_EQ(bipedkin_eval(find(d.name), x.data(), untouched.data(), 0), BIPEDKIN_OK);
    EXPECT_TRUE(identical(zero, host_call(d, x)));
    EXPECT_TRUE(identical(untouched, host_call(d, x, {.fill = std::nan("")})));
  }
}

TEST(CLibrary, ABatchIsBitForBitItsSingleCallsOnAnyNumberOfThreads) {
  std::mt19937_64 rng(82);
  const std::size_t n = 1000;
  std::vector<double> states(44 * n);
  for (std::size_t k = 0; k < n; ++k) {
    const StateVector x = random_state(rng, 3.0);
    std::copy(x.begin(), x.end(), states.begin() + static_cast<std::ptrdiff_t>(44 * k));
  }
  states[44 * 7 + 5] = std::nan("");
  for (const auto& d : expected_evaluators()) {
    SCOPED_TRACE(d.name);
    const bipedkin_evaluator* e = find(d.name);
    const std::size_t size = static_cast<std::size_t>(d.rows * d.cols);
    std::vector<double> single(size * n);
    for (std::size_t k = 0; k < n; ++k) {
      ASSERT_EQ(bipedkin_eval(e, states.data() + 44 * k, single.data() + size * k, BIPEDKIN_ZERO_FILL), BIPEDKIN_OK);
    }
    for (unsigned threads : {1u, 3u, 0u}) {
      std::vector<double> batch(size * n, 7.0);
      ASSERT_EQ(bipedkin_eval_batch(e, states.data(), n, batch.data(), BIPEDKIN_ZERO_FILL, threads), BIPEDKIN_OK);
      EXPECT_TRUE(identical(batch, single)) << threads << " threads";
    }
  }
  EXPECT_EQ(bipedkin_eval_batch(find("pos_knee_l"), nullptr, 0, nullptr, 0, 0), BIPEDKIN_OK);
}

}  // namespace
}  // namespace bipedkin::testing
