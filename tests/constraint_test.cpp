// The constraint deliverables, called through the host as a user would: their
// constant matrices whatever the state, their refusals, and the run-time
// calls each call makes, from the run time's record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <set>
#include <thread>

#include "bipedkin/emlrt_record.hpp"
#include "support/compare.hpp"
#include "support/constraints_expected.hpp"
#include "support/harness.hpp"

namespace bipedkin::testing {
namespace {

using host::Array;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Call options set field by field, whatever other options the host has.
host::CallOptions with_interrupt() {
  host::CallOptions o;
  o.interrupt = true;
  return o;
}
host::CallOptions with_fill(double value) {
  host::CallOptions o;
  o.fill = value;
  return o;
}

// The host raises its interrupt flag for the call.
const host::CallOptions interrupted = with_interrupt();

std::vector<std::string> record_texts() {
  std::vector<std::string> out;
  for (const auto& c : emlrt::recorded_calls()) out.push_back(c.text());
  return out;
}

// The run-time calls of one call, from creating the root to entering the
// run-time stack.
std::vector<std::string> set_up(const std::string& entry) {
  return {"emlrtCreateRootTLS(root, context{first_time=1, initialized=0, version=131434, error_function=-, function=" +
              entry + ", call_stack=-, debug=0, signature=2045744189:2170104910:2743257031:4284093946, "
                      "signature_memory=-}, -, 1)",
          "emlrtGetBreakCheckFlagAddressR2012b()",
          "emlrtClearAllocCountR2012b(stack{-,root,-}, false, 0, 0)",
          "emlrtEnterRtStackR2012b(stack{-,root,-})",
          "emlrtFirstTimeR2012b(root)"};
}

std::vector<std::string> type_check(const std::string& input) {
  return {"emlrtAlias(" + input + ")", "emlrtAlias(" + input + ")", "emlrtAlias(" + input + ")",
          "emlrtCheckBuiltInR2012b(stack{-,root,-}, in1, " + input + ", double, false, 1, [44])"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Every run-time call of a successful call, in order.
std::vector<std::string> successful_call(const ExpectedConstraint& c) {
  const std::string out = "double " + std::to_string(c.rows) + "x22";
  return set_up(c.entry) + type_check("double 44x1") +
         std::vector<std::string>{"emlrtDestroyArray(alias of double 44x1)",
                                  "emlrtDestroyArray(alias of double 44x1)",
                                  "emlrtDestroyArray(alias of double 44x1)",
                                  "emlrtCreateNumericArray(2, [0,0], 6, 0)",
                                  "emlrtSetDimensions(double 0x0, [" + std::to_string(c.rows) + ",22], 2)",
                                  "emlrtAssign(empty slot, " + out + ")",
                                  "emlrtReturnArrays(1, " + out + ")",
                                  "emlrtLeaveRtStackR2012b(stack{-,root,-})",
                                  "emlrtDestroyRootTLS(root)"};
}

// The unload hook's calls.
std::vector<std::string> unload(const std::string& entry) {
  return {set_up(entry)[0], "emlrtEnterRtStackR2012b(stack{-,root,-})", "emlrtLeaveRtStackR2012b(stack{-,root,-})",
          "emlrtDestroyRootTLS(root)"};
}

struct Call {
  host::CallResult result;
  std::vector<std::string> record;
  std::size_t live_before;
  std::size_t live_after;  // with the outputs still alive
};

Call call(const std::string& name, int nlhs, const std::vector<InputSpec>& specs, host::CallOptions options = {}) {
  std::vector<Array> owned;
  std::vector<const mxArray*> inputs;
  for (const InputSpec& s : specs) {
    owned.push_back(make_input(s));
    inputs.push_back(owned.back().get());
  }
  const std::size_t before = host::live_allocations();
  emlrt::record_calls(true);
  host::CallResult r = library(name).call(nlhs, inputs, options);
  std::vector<std::string> record = record_texts();
  emlrt::record_calls(false);
  const std::size_t after = host::live_allocations();  // outputs included
  return {std::move(r), std::move(record), before, after};
}

class Constraint : public ::testing::TestWithParam<ExpectedConstraint> {};

TEST_P(Constraint, ReturnsItsConstantMatrixWhateverTheState) {
  const ExpectedConstraint& c = GetParam();
  std::mt19937_64 rng(5);
  StateVector nans, infs, negative_zeros;
  nans.fill(nan);
  for (std::size_t k = 0; k < 44; ++k) infs[k] = k % 2 ? inf : -inf;
  negative_zeros.fill(-0.0);
  const std::pair<const char*, StateVector> states[] = {
      {"home", StateVector{}}, {"NaN", nans}, {"infinities", infs}, {"-0", negative_zeros},
      {"random", random_state(rng)}};
  for (const auto& [what, x] : states) {
    // With NaN as the host's fill of new blocks, an element the kernel left
    // alone would show.
    for (const host::CallOptions& options : {host::CallOptions{}, with_fill(nan)}) {
      for (int nlhs : {1, 0}) {
        SCOPED_TRACE(::testing::Message() << what << ", nlhs " << nlhs << (options.fill ? ", NaN fill" : ""));
        const Array in = column(x);
        const mxArray* inputs[] = {in.get()};
        const host::CallResult r = library(c.deliverable()).call(nlhs, inputs, options);
        ASSERT_FALSE(r.error) << r.error->what();
        const mxArray* out = r.outputs.at(0).get();
        ASSERT_NE(out, nullptr);
        EXPECT_TRUE(mxIsDouble(out));
        EXPECT_FALSE(mxIsComplex(out));
        EXPECT_FALSE(mxIsSparse(out));
        EXPECT_EQ(mxGetNumberOfDimensions(out), 2u);
        EXPECT_EQ(mxGetM(out), static_cast<std::size_t>(c.rows));
        EXPECT_EQ(mxGetN(out), 22u);
        EXPECT_TRUE(identical(host::values(out), c.matrix()));
        // The output block and the array around it; the run time allocates
        // nothing of its own.
        EXPECT_EQ(r.allocations, 2u);
      }
    }
  }
}

TEST_P(Constraint, MapsRatesToTheConstrainedCombinations) {
  const ExpectedConstraint& c = GetParam();
  std::mt19937_64 rng(11);
  const StateVector x = random_state(rng);
  const std::vector<double> j = eval(c.deliverable(), x);
  const double* dq = x.data() + 22;
  std::vector<double> product(static_cast<std::size_t>(c.rows), 0.0);
  for (int i = 0; i < c.rows; ++i) {
    for (int k = 0; k < 22; ++k) product[static_cast<std::size_t>(i)] += j[static_cast<std::size_t>(i + c.rows * k)] * dq[k];
  }
  std::vector<double> expected(static_cast<std::size_t>(c.rows), 0.0);
  for (const auto& [i, k] : c.ones) expected[static_cast<std::size_t>(i - 1)] += dq[k - 1];
  EXPECT_TRUE(near(product, expected, 0.0));
}

TEST_P(Constraint, RefusesBadCallsThroughTheRunTimeAndKeepsNothing) {
  const ExpectedConstraint& c = GetParam();
  const std::string inputs_message = c.entry + ": expected 1 input(s).";
  const std::string outputs_message = c.entry + ": too many output arguments.";
  const InputSpec x{{44, 1}};
  struct Refusal {
    const char* what;
    int nlhs;
    std::vector<InputSpec> inputs;
    const char* identifier;
    std::string message;       // exact, or empty for the type check's (checked below)
    std::size_t allocations;  // the output block is allocated before the type check only
  };
  const char* inputs_id = "EMLRT:runTime:WrongNumberOfInputs";
  const char* outputs_id = "EMLRT:runTime:TooManyOutputArguments";
  const char* type_id = "EMLRT:runTime:InputTypeMismatch";
  const std::vector<Refusal> refusals = {
      {"no input", 1, {}, inputs_id, inputs_message, 0},
      {"no input, no output", 0, {}, inputs_id, inputs_message, 0},
      {"two inputs", 1, {x, x}, inputs_id, inputs_message, 0},
      {"no input, two outputs", 2, {}, inputs_id, inputs_message, 0},
      {"two outputs", 2, {x}, outputs_id, outputs_message, 0},
      {"two outputs and a wrong input", 2, {{{44, 1}, mxSINGLE_CLASS}}, outputs_id, outputs_message, 0},
      {"1x44", 1, {{{1, 44}}}, type_id, "in1 must be a real double array of size 44x1; it is a real double array of size 1x44.", 1},
      {"43x1", 1, {{{43, 1}}}, type_id, "in1 must be a real double array of size 44x1; it is a real double array of size 43x1.", 1},
      {"44x2", 1, {{{44, 2}}}, type_id, "in1 must be a real double array of size 44x1; it is a real double array of size 44x2.", 1},
      {"single", 1, {{{44, 1}, mxSINGLE_CLASS}}, type_id, "in1 must be a real double array of size 44x1; it is a real single array of size 44x1.", 1},
      {"int32", 1, {{{44, 1}, mxINT32_CLASS}}, type_id, "in1 must be a real double array of size 44x1; it is a real int32 array of size 44x1.", 1},
      {"complex", 1, {{{44, 1}, mxDOUBLE_CLASS, true}}, type_id, "in1 must be a real double array of size 44x1; it is a complex double array of size 44x1.", 1},
      {"char", 1, {{{44, 1}, mxCHAR_CLASS}}, type_id, "in1 must be a real double array of size 44x1; it is a char array of size 44x1.", 1},
      {"sparse", 1, {{{44, 1}, mxDOUBLE_CLASS, false, true}}, type_id, "in1 must be a real double array of size 44x1; it is a sparse real double array of size 44x1.", 1},
      {"45x1", 1, {{{45, 1}}}, type_id, "", 1},
      {"1x4x11", 1, {{{1, 4, 11}}}, type_id, "", 1},
      {"44x1x2", 1, {{{44, 1, 2}}}, type_id, "", 1},
      {"0x0", 1, {{{0, 0}}}, type_id, "", 1},
      {"logical", 1, {{{44, 1}, mxLOGICAL_CLASS}}, type_id, "in1 must be a real double array of size 44x1; it is a logical array of size 44x1.", 1},
      {"uint8", 1, {{{44, 1}, mxUINT8_CLASS}}, type_id, "", 1},
      {"cell", 1, {{{44, 1}, mxCELL_CLASS}}, type_id, "in1 must be a real double array of size 44x1; it is a cell array of size 44x1.", 1},
      {"struct", 1, {{{1, 1}, mxSTRUCT_CLASS}}, type_id, "in1 must be a real double array of size 44x1; it is a struct array of size 1x1.", 1},
  };
  for (const Refusal& f : refusals) {
    SCOPED_TRACE(f.what);
    const Call o = call(c.deliverable(), f.nlhs, f.inputs);
    ASSERT_TRUE(o.result.error.has_value());
    EXPECT_EQ(o.result.error->identifier(), f.identifier);
    if (!f.message.empty()) {
      EXPECT_EQ(o.result.error->message(), f.message);
    } else {
      EXPECT_EQ(o.result.error->message().rfind("in1 must be a real double array of size 44x1; it is ", 0), 0u)
          << o.result.error->message();
    }
    EXPECT_EQ(o.result.allocations, f.allocations);
    for (const auto& out : o.result.outputs) EXPECT_EQ(out, nullptr);
    EXPECT_EQ(o.live_after, o.live_before);
  }
}

// A 44x1x1 array is a 44x1 column: trailing singleton dimensions do not count.
TEST_P(Constraint, AcceptsAColumnWithTrailingSingletonDimensions) {
  const Call o = call(GetParam().deliverable(), 1, {{{44, 1, 1, 1}}});
  ASSERT_FALSE(o.result.error) << o.result.error->what();
  EXPECT_TRUE(identical(host::values(o.result.outputs[0].get()), GetParam().matrix()));
}

TEST_P(Constraint, MakesTheRunTimeCallsOfASuccessfulCallInOrder) {
  const ExpectedConstraint& c = GetParam();
  for (int nlhs : {1, 0}) {
    SCOPED_TRACE(::testing::Message() << "nlhs " << nlhs);
    const Call o = call(c.deliverable(), nlhs, {{{44, 1}}});
    ASSERT_FALSE(o.result.error) << o.result.error->what();
    EXPECT_EQ(o.record, successful_call(c));
  }
}

TEST_P(Constraint, ARefusedCallStopsAtItsCheckAndTheNextCallIsLikeTheFirst) {
  const ExpectedConstraint& c = GetParam();
  struct Case {
    const char* what;
    int nlhs;
    std::vector<InputSpec> inputs;
    host::CallOptions options;
    std::vector<std::string> record;
  };
  const InputSpec x{{44, 1}};
  const std::vector<Case> cases = {
      {"no input", 1, {}, {},
       set_up(c.entry) + std::vector<std::string>{"emlrtErrMsgIdAndTxt(stack{-,root,-}, "
                                                  "EMLRT:runTime:WrongNumberOfInputs, 5, 1, " + c.entry + ")"}},
      {"two outputs", 2, {x}, {},
       set_up(c.entry) + std::vector<std::string>{"emlrtErrMsgIdAndTxt(stack{-,root,-}, "
                                                  "EMLRT:runTime:TooManyOutputArguments, 3, " + c.entry + ")"}},
      {"1x44", 1, {{{1, 44}}}, {}, set_up(c.entry) + type_check("double 1x44")},
      {"interrupted", 1, {x}, interrupted,
       set_up(c.entry) + std::vector<std::string>{"emlrtBreakCheckR2012b(stack{-,root,-})"}},
      // The counts are checked before the inputs are copied, so before the
      // interrupt flag is looked at.
      {"interrupted, no input", 1, {}, interrupted,
       set_up(c.entry) + std::vector<std::string>{"emlrtErrMsgIdAndTxt(stack{-,root,-}, "
                                                  "EMLRT:runTime:WrongNumberOfInputs, 5, 1, " + c.entry + ")"}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const Call refused = call(c.deliverable(), k.nlhs, k.inputs, k.options);
    ASSERT_TRUE(refused.result.error.has_value());
    EXPECT_EQ(refused.record, k.record);
    const Call next = call(c.deliverable(), 1, {x});
    ASSERT_FALSE(next.result.error) << next.result.error->what();
    EXPECT_EQ(next.record, successful_call(c));
  }
}

TEST_P(Constraint, TheHostsInterruptEndsTheCallThroughTheBreakCheck) {
  const ExpectedConstraint& c = GetParam();
  const Call o = call(c.deliverable(), 1, {{{44, 1}}}, interrupted);
  ASSERT_TRUE(o.result.error.has_value());
  EXPECT_EQ(o.result.error->identifier(), "EMLRT:runTime:Interrupted");
  EXPECT_EQ(o.result.error->message(), c.entry + ": interrupted by the user.");
  EXPECT_EQ(o.result.allocations, 0u);
  EXPECT_EQ(o.live_after, o.live_before);
}

TEST_P(Constraint, RunsItsUnloadHookOnceWhenTheHostUnloadsIt) {
  const ExpectedConstraint& c = GetParam();
  const StateVector home{};
  const Array in = column(home);
  const mxArray* inputs[] = {in.get()};
  const std::size_t before = host::live_allocations();
  {
    // Never called: nothing registered the hook.
    const host::Library idle = host::Library::open(c.deliverable(), BIPEDKIN_MEX_DIR);
    emlrt::record_calls(true);
  }
  EXPECT_EQ(record_texts(), std::vector<std::string>{});
  {
    const host::Library lib = host::Library::open(c.deliverable(), BIPEDKIN_MEX_DIR);
    for (int i = 0; i < 3; ++i) ASSERT_FALSE(lib.call(1, inputs).error);
    ASSERT_TRUE(lib.call(1, {}).error);  // a refused call registers it too
    emlrt::record_calls(true);
  }
  EXPECT_EQ(record_texts(), unload(c.entry));
  emlrt::record_calls(false);
  EXPECT_EQ(host::live_allocations(), before);
}

TEST_P(Constraint, ThousandsOfRefusedCallsKeepNothing) {
  const ExpectedConstraint& c = GetParam();
  const StateVector home{};
  const Array good = column(home);
  const Array bad = row(home);
  const mxArray* one[] = {good.get()};
  const mxArray* two[] = {good.get(), good.get()};
  const mxArray* wrong[] = {bad.get()};
  const host::Library& lib = library(c.deliverable());
  const std::size_t before = host::live_allocations();
  for (int i = 0; i < 1000; ++i) {
    ASSERT_TRUE(lib.call(1, two).error);
    ASSERT_TRUE(lib.call(2, one).error);
    ASSERT_TRUE(lib.call(1, wrong).error);
    ASSERT_TRUE(lib.call(1, one, interrupted).error);
  }
  EXPECT_EQ(host::live_allocations(), before);
}

TEST_P(Constraint, ExportsExactlyItsEntryPointsAndTheBuildProperties) {
  const ExpectedConstraint& c = GetParam();
  const std::string file = std::string(BIPEDKIN_MEX_DIR) + "/" + c.deliverable() + ".so";
  std::FILE* nm = popen(("nm -D --defined-only " + file).c_str(), "r");
  ASSERT_NE(nm, nullptr);
  std::set<std::string> names;
  char line[512];
  while (std::fgets(line, sizeof line, nm) != nullptr) {
    char address[64], type[8], name[400];
    if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) names.insert(name);
  }
  ASSERT_EQ(pclose(nm), 0) << "nm failed on " << file;
  const std::set<std::string> expected = {"mexFunction",
                                          "emlrtMexFcnProperties",
                                          c.entry,
                                          c.entry + "_initialize",
                                          c.entry + "_terminate",
                                          c.entry + "_atexit"};
  EXPECT_EQ(names, expected);
}

INSTANTIATE_TEST_SUITE_P(AllConstraints, Constraint, ::testing::ValuesIn(expected_constraints()),
                         [](const auto& info) { return info.param.entry; });

// The exported entry point is the kernel: it writes every element of an
// uncleared block and never reads the state.
TEST(ConstraintEntryPoints, WriteEveryElementOfTheBlockWithoutReadingTheState) {
  for (const ExpectedConstraint& c : expected_constraints()) {
    SCOPED_TRACE(c.entry);
    using Kernel = void (*)(const double*, double*);
    const auto kernel = reinterpret_cast<Kernel>(library(c.deliverable()).symbol(c.entry.c_str()));
    ASSERT_NE(kernel, nullptr);
    std::vector<double> block(static_cast<std::size_t>(c.rows) * 22 + 1, nan);
    kernel(nullptr, block.data());
    EXPECT_TRUE(std::isnan(block.back())) << "wrote past the block";
    block.pop_back();
    EXPECT_TRUE(identical(block, c.matrix()));
  }
}

// Every thread has its own root: calls on several threads at once each make
// their whole sequence of run-time calls and get their own result.
TEST(ConstraintThreads, CallsOnSeveralThreadsAtOnceEachRunTheirOwnSequence) {
  for (const ExpectedConstraint& c : expected_constraints()) library(c.deliverable());
  const std::size_t before = host::live_allocations();
  std::vector<std::string> failures[4];
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      const StateVector home{};
      const Array good = column(home);
      const Array bad = row(home);
      for (int i = 0; i < 200; ++i) {
        const ExpectedConstraint& c = expected_constraints()[static_cast<std::size_t>((t + i) % 4)];
        const mxArray* inputs[] = {i % 3 == 0 ? bad.get() : good.get()};
        emlrt::record_calls(true);
        const host::CallResult r = library(c.deliverable()).call(1, inputs);
        const std::vector<std::string> record = record_texts();
        const bool refused = i % 3 == 0;
        const std::vector<std::string> expected =
            refused ? set_up(c.entry) + type_check("double 1x44") : successful_call(c);
        if (r.error.has_value() != refused) failures[t].push_back(c.entry + ": unexpected outcome");
        if (!refused && !r.error && host::values(r.outputs[0].get()) != c.matrix()) {
          failures[t].push_back(c.entry + ": wrong values");
        }
        if (record != expected) failures[t].push_back(c.entry + ": run-time calls differ");
      }
      emlrt::record_calls(false);
    });
  }
  for (std::thread& th : threads) th.join();
  for (const auto& f : failures) EXPECT_EQ(f, std::vector<std::string>{});
  EXPECT_EQ(host::live_allocations(), before);
}

}  // namespace
}  // namespace bipedkin::testing
