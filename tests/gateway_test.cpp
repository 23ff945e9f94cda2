// Every generated deliverable, called through the host as a user would: the
// refusals with their exact identifiers and messages, and the accepted forms
// of the input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>

#include "support/expected.hpp"
#include "support/harness.hpp"

namespace bipedkin::testing {
namespace {

using host::Array;

InputSpec valid(Form form) { return {form == Form::state ? std::vector<std::size_t>{44, 1} : std::vector<std::size_t>{1, 1}}; }

struct Outcome {
  host::CallResult result;
  std::size_t live_before;
  std::size_t live_after;
};

Outcome call(const std::string& name, int nlhs, const std::vector<InputSpec>& specs) {
  std::vector<Array> owned;
  std::vector<const mxArray*> inputs;
  for (const auto& s : specs) {
    owned.push_back(make_input(s));
    inputs.push_back(owned.back().get());
  }
  const std::size_t before = host::live_allocations();
  host::CallResult r = library(name).call(nlhs, inputs);
  const std::size_t after = host::live_allocations();
  return {std::move(r), before, after};
}

struct Refusal {
  const char* what;
  int nlhs;
  std::vector<InputSpec> state_inputs;  // for the x form
  std::vector<InputSpec> scalar_inputs; // for the var form
  const char* identifier;
  const char* state_message;
  const char* scalar_message;
};

const char* count_x = "One input(s) required (x).";
const char* count_var = "One input(s) required (var).";
const char* lhs = "Too many output arguments.";
const char* wrong_x = "x is wrong.";
const char* wrong_var = "var is wrong.";
const char* num_inputs = "MATLAB:Tarnel:invalidNumInputs";
const char* maxlhs = "MATLAB:Tarnel:maxlhs";
const char* not_real = "MATLAB:Tarnel:inputNotRealVector";

std::vector<Refusal> refusals() {
  const InputSpec x{{44, 1}}, var{{1, 1}};
  auto both = [](InputSpec s) { return std::vector<InputSpec>{s}; };
  return {
      {"no input, two outputs", 2, {}, {}, num_inputs, count_x, count_var},
      {"two inputs, two outputs", 2, {x, x}, {var, var}, num_inputs, count_x, count_var},
      {"three inputs", 1, {x, x, x}, {var, var, var}, num_inputs, count_x, count_var},
      {"two outputs", 2, both(x), both(var), maxlhs, lhs, lhs},
      {"two outputs and a wrong input", 2, both({{44, 1}, mxSINGLE_CLASS}), both({{1, 2}}), maxlhs, lhs, lhs},
      {"44x2", 1, both({{44, 2}}), both({{44, 2}}), not_real, wrong_x, wrong_var},
      {"43x1 / 1x2", 1, both({{43, 1}}), both({{1, 2}}), not_real, wrong_x, wrong_var},
      {"1x45 / 2x1", 1, both({{1, 45}}), both({{2, 1}}), not_real, wrong_x, wrong_var},
      {"45x1 / 44x1", 1, both({{45, 1}}), both({{44, 1}}), not_real, wrong_x, wrong_var},
      {"1x1 / 1x44", 1, both({{1, 1}}), both({{1, 44}}), not_real, wrong_x, wrong_var},
      {"0x0", 1, both({{0, 0}}), both({{0, 0}}), not_real, wrong_x, wrong_var},
      {"1x0", 1, both({{1, 0}}), both({{1, 0}}), not_real, wrong_x, wrong_var},
      {"44x1x2", 1, both({{44, 1, 2}}), both({{1, 1, 2}}), not_real, wrong_x, wrong_var},
      {"single", 1, both({{44, 1}, mxSINGLE_CLASS}), both({{1, 1}, mxSINGLE_CLASS}), not_real, wrong_x, wrong_var},
      {"int32", 1, both({{44, 1}, mxINT32_CLASS}), both({{1, 1}, mxINT32_CLASS}), not_real, wrong_x, wrong_var},
      {"uint8", 1, both({{1, 44}, mxUINT8_CLASS}), both({{1, 1}, mxUINT8_CLASS}), not_real, wrong_x, wrong_var},
      {"logical", 1, both({{44, 1}, mxLOGICAL_CLASS}), both({{1, 1}, mxLOGICAL_CLASS}), not_real, wrong_x, wrong_var},
      {"char", 1, both({{1, 44}, mxCHAR_CLASS}), both({{1, 1}, mxCHAR_CLASS}), not_real, wrong_x, wrong_var},
      {"cell", 1, both({{44, 1}, mxCELL_CLASS}), both({{1, 1}, mxCELL_CLASS}), not_real, wrong_x, wrong_var},
      {"struct", 1, both({{1, 1}, mxSTRUCT_CLASS}), both({{1, 1}, mxSTRUCT_CLASS}), not_real, wrong_x, wrong_var},
      {"complex double", 1, both({{44, 1}, mxDOUBLE_CLASS, true}), both({{1, 1}, mxDOUBLE_CLASS, true}), not_real,
       wrong_x, wrong_var},
      {"sparse of a refused shape", 1, both({{44, 2}, mxDOUBLE_CLASS, false, true}),
       both({{1, 2}, mxDOUBLE_CLASS, false, true}), not_real, wrong_x, wrong_var},
  };
}

class Gateway : public ::testing::TestWithParam<ExpectedDeliverable> {};

TEST_P(Gateway, RefusesEveryBadCallWithItsIdentifierAndMessageAndAllocatesNothing) {
  const ExpectedDeliverable& d = GetParam();
  for (const Refusal& c : refusals()) {
    SCOPED_TRACE(c.what);
    const Outcome o = call(d.name, c.nlhs, d.form == Form::state ? c.state_inputs : c.scalar_inputs);
    ASSERT_TRUE(o.result.error.has_value());
    EXPECT_EQ(o.result.error->identifier(), c.identifier);
    EXPECT_EQ(o.result.error->message(), d.form == Form::state ? c.state_message : c.scalar_message);
    EXPECT_EQ(o.result.allocations, 0u);
    EXPECT_EQ(o.live_after, o.live_before);
    for (const auto& out : o.result.outputs) EXPECT_EQ(out, nullptr);
  }
}

TEST_P(Gateway, AcceptsEveryFormOfTheInputWithOneAllocationAndTheSameResult) {
  const ExpectedDeliverable& d = GetParam();
  std::vector<InputSpec> accepted;
  if (d.form == Form::state) {
    accepted = {{{44, 1}}, {{1, 44}}, {{1, 4, 11}}, {{1, 44, 1, 1}}, {{44, 1}, mxDOUBLE_CLASS, false, true},
                {{1, 44}, mxDOUBLE_CLASS, false, true}};
  } else {
    accepted = {{{1, 1}}, {{1, 1, 1}}, {{1, 1}, mxDOUBLE_CLASS, false, true}};
  }
  std::optional<std::vector<double>> first;
  for (const InputSpec& s : accepted) {
    for (int nlhs : {1, 0}) {
      SCOPED_TRACE(::testing::Message() << "input dims " << s.dims.size() << (s.sparse ? " sparse" : "")
                                        << ", nlhs " << nlhs);
      const Outcome o = call(d.name, nlhs, {s});
      ASSERT_FALSE(o.result.error.has_value()) << o.result.error->what();
      EXPECT_EQ(o.result.allocations, 1u);
      const mxArray* out = o.result.outputs.at(0).get();
      ASSERT_NE(out, nullptr);
      EXPECT_TRUE(mxIsDouble(out));
      EXPECT_FALSE(mxIsComplex(out));
      EXPECT_FALSE(mxIsSparse(out));
      EXPECT_EQ(mxGetNumberOfDimensions(out), 2u);
      EXPECT_EQ(mxGetM(out), static_cast<std::size_t>(d.rows));
      EXPECT_EQ(mxGetN(out), static_cast<std::size_t>(d.cols));
      const std::vector<double> v = host::values(out);
      if (!first) first = v;
      // Bit for bit, including NaN and signed zeros.
      EXPECT_EQ(0, std::memcmp(v.data(), first->data(), v.size() * sizeof(double)));
    }
  }
}

TEST_P(Gateway, LeavesItsInputUntouched) {
  const ExpectedDeliverable& d = GetParam();
  const Array in = make_input(valid(d.form));
  const std::vector<double> before = host::values(in.get());
  const mxArray* inputs[] = {in.get()};
  ASSERT_FALSE(library(d.name).call(1, inputs).error);
  const std::vector<double> after = host::values(in.get());
  EXPECT_EQ(0, std::memcmp(before.data(), after.data(), before.size() * sizeof(double)));
}

INSTANTIATE_TEST_SUITE_P(AllDeliverables, Gateway, ::testing::ValuesIn(expected_deliverables()),
                         [](const auto& info) { return info.param.name; });

// The sparse state's zeros are zeros of the state: a sparse all-zero state is
// the home configuration.
TEST(GatewaySparse, ASparseStateIsReadAsItsDenseValues) {
  std::mt19937_64 rng(7);
  StateVector x = random_state(rng);
  for (std::size_t k = 0; k < 44; k += 3) x[k] = 0.0;
  for (const auto& d : expected_deliverables()) {
    if (d.form != Form::state) continue;
    SCOPED_TRACE(d.name);
    const Array dense = column(x);
    const Array sparse = host::make_sparse(44, 1, x);
    const Array sparse_home = host::make_sparse(1, 44, StateVector{});
    const mxArray* a[] = {dense.get()};
    const mxArray* b[] = {sparse.get()};
    const mxArray* c[] = {sparse_home.get()};
    EXPECT_EQ(host::values(library(d.name).call(1, a).outputs[0].get()),
              host::values(library(d.name).call(1, b).outputs[0].get()));
    EXPECT_EQ(host::values(library(d.name).call(1, c).outputs[0].get()), eval(d.name, StateVector{}));
  }
}

}  // namespace
}  // namespace bipedkin::testing
