// The MEX files built for MATLAB against the stand-in root, loaded into the
// built-in host (whose libmx, libmex and libemlrt the stand-in root holds):
// every deliverable answers as its built-in build does, bit for bit, and
// refuses as it does.
#include <gtest/gtest.h>

#include <random>

#include "support/compare.hpp"
#include "support/expected.hpp"
#include "support/harness.hpp"

namespace bipedkin::testing {
namespace {

const host::Library& matlab_build(const std::string& name) {
  static std::map<std::string, host::Library> opened;
  auto it = opened.find(name);
  if (it == opened.end()) it = opened.emplace(name, host::Library::open(name, BIPEDKIN_MATLAB_MEX_DIR, ".mexa64")).first;
  return it->second;
}

host::CallResult call(const host::Library& library, int nlhs, const std::vector<const mxArray*>& inputs) {
  return library.call(nlhs, inputs);
}

TEST(MatlabBuild, EveryDeliverableAnswersAsItsBuiltInBuild) {
  std::mt19937_64 rng(31);
  const StateVector x = random_state(rng, 3.0);
  const host::Array state = column(x);
  const host::Array scalar = host::make_double({1, 1}, std::vector<double>{0.0});
  for (const auto& d : expected_evaluators()) {
    SCOPED_TRACE(d.name);
    const std::vector<const mxArray*> in = {d.form == Form::state ? state.get() : scalar.get()};
    const host::CallResult ours = call(library(d.name), 1, in);
    const host::CallResult theirs = call(matlab_build(d.name), 1, in);
    ASSERT_FALSE(ours.error || theirs.error);
    EXPECT_TRUE(identical(host::values(theirs.outputs.at(0).get()), host::values(ours.outputs.at(0).get())));
    EXPECT_EQ(theirs.allocations, ours.allocations);

    const host::CallResult refused = call(matlab_build(d.name), 1, {in[0], in[0]});
    const host::CallResult refused_too = call(library(d.name), 1, {in[0], in[0]});
    ASSERT_TRUE(refused.error && refused_too.error);
    EXPECT_EQ(refused.error->identifier(), refused_too.error->identifier());
    EXPECT_EQ(refused.error->message(), refused_too.error->message());
  }
}

TEST(MatlabBuild, TheBatchDeliverableToo) {
  std::mt19937_64 rng(32);
  std::vector<double> states;
  for (int k = 0; k < 5; ++k) {
    const StateVector x = random_state(rng, 3.0);
    states.insert(states.end(), x.begin(), x.end());
  }
  const host::Array x = host::make_double({44, 5}, states);
  const host::Array name(mxCreateString("jacdot_mount_r"));
  const host::CallResult ours = call(library("bipedkin_batch"), 1, {name.get(), x.get()});
  const host::CallResult theirs = call(matlab_build("bipedkin_batch"), 1, {name.get(), x.get()});
  ASSERT_FALSE(ours.error || theirs.error);
  EXPECT_TRUE(identical(host::values(theirs.outputs.at(0).get()), host::values(ours.outputs.at(0).get())));
}

}  // namespace
}  // namespace bipedkin::testing
