// bipedkin_batch(NAME, X): N states in one call, bit for bit N single calls.
#include <gtest/gtest.h>

#include <bipedkin.h>

#include <random>

#include "support/compare.hpp"
#include "support/expected.hpp"
#include "support/harness.hpp"

namespace bipedkin::testing {
namespace {

host::Array states(std::size_t n, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<double> v(44 * n);
  for (std::size_t k = 0; k < n; ++k) {
    const StateVector x = random_state(rng, 3.0);
    std::copy(x.begin(), x.end(), v.begin() + static_cast<std::ptrdiff_t>(44 * k));
  }
  if (n > 3) v[44 * 3 + 9] = std::nan("");
  return host::make_double({44, n}, v);
}

host::Array text(const std::string& s) { return host::Array(mxCreateString(s.c_str())); }

host::CallResult batch(const mxArray* names, const mxArray* x, int nlhs = 1) {
  const mxArray* inputs[] = {names, x};
  return library("bipedkin_batch").call(nlhs, inputs);
}

host::CallResult batch3(const mxArray* names, const mxArray* x, const mxArray* option) {
  const mxArray* inputs[] = {names, x, option};
  return library("bipedkin_batch").call(1, inputs);
}

// What a single call of the deliverable returns for column k of X.
std::vector<double> single(const ExpectedDeliverable& d, const mxArray* x, std::size_t k) {
  const host::Array in = d.form == Form::state
                             ? host::make_double({44, 1}, std::span(mxGetPr(x) + 44 * k, 44))
                             : host::make_double({1, 1}, std::vector<double>{0.0});
  const mxArray* inputs[] = {in.get()};
  return host::values(library(d.name).call(1, inputs).outputs.at(0).get());
}

TEST(Batch, EveryEvaluatorEqualsItsSingleCallsBitForBit) {
  const std::size_t n = 25;
  const host::Array x = states(n, 91);
  for (const auto& d : expected_evaluators()) {
    SCOPED_TRACE(d.name);
    const host::CallResult r = batch(text(d.name).get(), x.get());
    ASSERT_FALSE(r.error) << r.error->what();
    const mxArray* y = r.outputs[0].get();
    if (d.cols == 1) {
      EXPECT_EQ(mxGetNumberOfDimensions(y), 2u);
      EXPECT_EQ(mxGetM(y), static_cast<std::size_t>(d.rows));
      EXPECT_EQ(mxGetN(y), n);
    } else {
      ASSERT_EQ(mxGetNumberOfDimensions(y), 3u);
      const mwSize* dims = mxGetDimensions(y);
      EXPECT_EQ(dims[0], static_cast<std::size_t>(d.rows));
      EXPECT_EQ(dims[1], static_cast<std::size_t>(d.cols));
      EXPECT_EQ(dims[2], n);
    }
    const std::vector<double> all = host::values(y);
    const std::size_t size = static_cast<std::size_t>(d.rows * d.cols);
    for (std::size_t k = 0; k < n; ++k) {
      EXPECT_TRUE(identical({all.begin() + static_cast<std::ptrdiff_t>(size * k),
                             all.begin() + static_cast<std::ptrdiff_t>(size * (k + 1))},
                            single(d, x.get(), k)))
          << "state " << k;
    }
  }
}

TEST(Batch, ACellArrayOfNamesGivesACellArrayOfResults) {
  const host::Array x = states(4, 92);
  const host::Array names(mxCreateCellMatrix(1, 3));
  const char* list[] = {"jac_mount_l", "pos_knee_r", "dyn_sparsity_14"};
  for (std::size_t i = 0; i < 3; ++i) mxSetCell(names.get(), i, mxCreateString(list[i]));
  const host::CallResult r = batch(names.get(), x.get());
  ASSERT_FALSE(r.error) << r.error->what();
  const mxArray* c = r.outputs[0].get();
  ASSERT_TRUE(mxIsCell(c));
  EXPECT_EQ(mxGetN(c), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const host::CallResult one = batch(text(list[i]).get(), x.get());
    EXPECT_TRUE(identical(host::values(mxGetCell(c, i)), host::values(one.outputs[0].get()))) << list[i];
  }
}

TEST(Batch, OneStateAndNoStates) {
  const host::Array one = states(1, 93);
  const host::CallResult r = batch(text("rot_ankle_l").get(), one.get());
  EXPECT_EQ(mxGetNumberOfDimensions(r.outputs[0].get()), 2u);  // 3 x 3 x 1 is 3 x 3
  EXPECT_EQ(host::values(r.outputs[0].get()), single({"rot_ankle_l", Form::state, 3, 3}, one.get(), 0));
  const host::Array none = host::make_double({44, 0});
  EXPECT_EQ(mxGetNumberOfElements(batch(text("rot_ankle_l").get(), none.get()).outputs[0].get()), 0u);
  EXPECT_EQ(mxGetN(batch(text("pos_ankle_l").get(), none.get()).outputs[0].get()), 0u);
}

TEST(Batch, RefusesBadCallsWithItsOwnIdentifiersAndAllocatesNothingThatSurvives) {
  const host::Array x = states(2, 94);
  const host::Array name = text("pos_toe_sole_l");
  const host::Array unknown = text("pos_nose_l");
  const host::Array row = host::make_double({1, 44});
  const host::Array single_x = host::make_numeric({44, 2}, mxSINGLE_CLASS);
  const host::Array complex_x = host::make_numeric({44, 2}, mxDOUBLE_CLASS, true);
  const host::Array three_d = host::make_double({44, 2, 2});
  const host::Array number = host::make_double({1, 1});
  const host::Array fast = text("fast");
  const host::Array slow = text("slow");
  const mwSize four_by_one[] = {4, 1};
  const host::Array fast_column(mxCreateCharArray(2, four_by_one));
  for (int i = 0; i < 4; ++i) mxGetChars(fast_column.get())[i] = static_cast<mxChar>("fast"[i]);
  const host::Array huge_name = text("pos_" + std::string(100000, 'x'));
  const std::string huge_message = "No evaluator named 'pos_" + std::string(57, 'x') + "...'.";
  const host::Array bad_cell(mxCreateCellMatrix(1, 2));
  mxSetCell(bad_cell.get(), 0, mxCreateString("pos_knee_l"));
  mxSetCell(bad_cell.get(), 1, mxCreateDoubleScalar(3));
  struct Case {
    const char* what;
    std::vector<const mxArray*> inputs;
    int nlhs;
    const char* id;
    const char* message;
  };
  const Case cases[] = {
      {"one input", {name.get()}, 1, "bipedkin:batch:invalidNumInputs", "Two or three inputs required (NAME, X, 'fast')."},
      {"four inputs", {name.get(), x.get(), fast.get(), fast.get()}, 1, "bipedkin:batch:invalidNumInputs",
       "Two or three inputs required (NAME, X, 'fast')."},
      {"a third input that is X", {name.get(), x.get(), x.get()}, 1, "bipedkin:batch:invalidOption",
       "The third input must be 'fast'."},
      {"a third input that is another word", {name.get(), x.get(), slow.get()}, 1, "bipedkin:batch:invalidOption",
       "The third input must be 'fast'."},
      {"'fast' as a column", {name.get(), x.get(), fast_column.get()}, 1, "bipedkin:batch:invalidOption",
       "The third input must be 'fast'."},
      {"'fast' and a bad X", {name.get(), row.get(), fast.get()}, 1, "bipedkin:batch:inputNotRealMatrix",
       "X must be a real double matrix with 44 rows."},
      {"two outputs", {name.get(), x.get()}, 2, "bipedkin:batch:maxlhs", "Too many output arguments."},
      {"1x44 X", {name.get(), row.get()}, 1, "bipedkin:batch:inputNotRealMatrix", "X must be a real double matrix with 44 rows."},
      {"single X", {name.get(), single_x.get()}, 1, "bipedkin:batch:inputNotRealMatrix", "X must be a real double matrix with 44 rows."},
      {"complex X", {name.get(), complex_x.get()}, 1, "bipedkin:batch:inputNotRealMatrix", "X must be a real double matrix with 44 rows."},
      {"44x2x2 X", {name.get(), three_d.get()}, 1, "bipedkin:batch:inputNotRealMatrix", "X must be a real double matrix with 44 rows."},
      {"unknown name", {unknown.get(), x.get()}, 1, "bipedkin:batch:unknownName", "No evaluator named 'pos_nose_l'."},
      {"a 100000-character name, quoted a line's worth", {huge_name.get(), x.get()}, 1, "bipedkin:batch:unknownName",
       huge_message.c_str()},
      {"number as name", {number.get(), x.get()}, 1, "bipedkin:batch:invalidName",
       "NAME must be an evaluator's name (a char row) or a cell array of names."},
      {"cell holding a number", {bad_cell.get(), x.get()}, 1, "bipedkin:batch:invalidName",
       "NAME must be an evaluator's name (a char row) or a cell array of names."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::size_t before = host::live_allocations();
    const host::CallResult r = library("bipedkin_batch").call(c.nlhs, c.inputs);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->identifier(), c.id);
    EXPECT_EQ(r.error->message(), c.message);
    EXPECT_EQ(host::live_allocations(), before);
  }
}

// bipedkin_batch(NAME, X, 'fast') is the C library's fast batch, bit for
// bit, for a name and for a cell array of names.
TEST(Batch, FastIsTheCLibrarysFastMode) {
  const std::size_t n = 37;
  const host::Array x = states(n, 93);
  const host::Array fast = text("fast");
  for (const char* name : {"pos_toe_sole_r", "angjac_world_hip_rotation_l", "dyn_sparsity_14"}) {
    SCOPED_TRACE(name);
    const host::CallResult r = batch3(text(name).get(), x.get(), fast.get());
    ASSERT_FALSE(r.error) << r.error->what();
    const bipedkin_evaluator* e = nullptr;
    ASSERT_EQ(bipedkin_find(name, &e), BIPEDKIN_OK);
    std::vector<double> expected(bipedkin_rows(e) * bipedkin_cols(e) * n);
    ASSERT_EQ(bipedkin_eval_batch(e, mxGetPr(x.get()), n, expected.data(), BIPEDKIN_ZERO_FILL | BIPEDKIN_FAST, 1),
              BIPEDKIN_OK);
    EXPECT_TRUE(identical(host::values(r.outputs[0].get()), expected));
  }
  const host::Array names(mxCreateCellMatrix(1, 2));
  mxSetCell(names.get(), 0, mxCreateString("jac_mount_l"));
  mxSetCell(names.get(), 1, mxCreateString("omega_body_hip_flexion_r"));
  const host::CallResult cells = batch3(names.get(), x.get(), fast.get());
  ASSERT_FALSE(cells.error) << cells.error->what();
  const host::CallResult one = batch3(text("omega_body_hip_flexion_r").get(), x.get(), fast.get());
  EXPECT_TRUE(identical(host::values(mxGetCell(cells.outputs[0].get(), 1)), host::values(one.outputs[0].get())));
}

TEST(Batch, ASparseXIsReadAsItsValues) {
  const host::Array x = states(3, 95);
  std::vector<double> v = host::values(x.get());
  for (std::size_t i = 0; i < v.size(); i += 4) v[i] = 0.0;
  const host::Array dense = host::make_double({44, 3}, v);
  const host::Array sparse = host::make_sparse(44, 3, v);
  EXPECT_TRUE(identical(host::values(batch(text("jacdot_mount_r").get(), sparse.get()).outputs[0].get()),
                        host::values(batch(text("jacdot_mount_r").get(), dense.get()).outputs[0].get())));
}

}  // namespace
}  // namespace bipedkin::testing
