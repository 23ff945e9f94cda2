// The built-in host as the deliverables and the tests rely on it: shapes,
// ownership across the call boundary, and its instruments.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "bipedkin/host.hpp"

namespace bipedkin::host {
namespace {

TEST(HostArrays, ShapeCountsEveryDimensionAfterTheFirstInN) {
  struct Case {
    std::vector<std::size_t> dims;
    std::size_t m, n, ndims;
  };
  const Case cases[] = {{{44, 1}, 44, 1, 2}, {{1, 4, 11}, 1, 44, 3}, {{2, 3, 4, 5}, 2, 60, 4},
                        {{1, 44, 1, 1}, 1, 44, 2}, {{0, 7}, 0, 7, 2}, {{3}, 3, 1, 2}};
  for (const Case& c : cases) {
    const Array a = make_double(c.dims);
    EXPECT_EQ(mxGetM(a.get()), c.m);
    EXPECT_EQ(mxGetN(a.get()), c.n);
    EXPECT_EQ(mxGetNumberOfDimensions(a.get()), c.ndims);
    EXPECT_EQ(mxGetNumberOfElements(a.get()), c.m * c.n);
  }
}

TEST(HostArrays, ClassesComplexityAndStorage) {
  EXPECT_TRUE(mxIsDouble(make_double({2, 2}).get()));
  EXPECT_FALSE(mxIsDouble(make_numeric({2, 2}, mxSINGLE_CLASS).get()));
  EXPECT_TRUE(mxIsComplex(make_numeric({2, 2}, mxDOUBLE_CLASS, true).get()));
  EXPECT_TRUE(mxIsLogical(make_numeric({2, 2}, mxLOGICAL_CLASS).get()));
  EXPECT_TRUE(mxIsChar(make_numeric({1, 2}, mxCHAR_CLASS).get()));
  EXPECT_STREQ(mxGetClassName(make_numeric({1, 1}, mxUINT16_CLASS).get()), "uint16");
  const double dense[] = {0, 2, 0, 4};
  const Array s = make_sparse(2, 2, dense);
  EXPECT_TRUE(mxIsSparse(s.get()));
  EXPECT_TRUE(mxIsDouble(s.get()));
  EXPECT_EQ(values(s.get()), (std::vector<double>{0, 2, 0, 4}));
}

TEST(HostArrays, TextRoundTripsThroughUtf16) {
  const std::string s = "in1 \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";
  const Array a(mxCreateString(s.c_str()));
  EXPECT_EQ(mxGetN(a.get()), 8u);  // 5 + 1 + 1 + a surrogate pair
  EXPECT_EQ(text(a.get()), s);
}

// A call that creates an output, a temporary, a loose block and a block it
// attaches to its output, then optionally fails.
void busy_entry(int, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  plhs[0] = mxCreateDoubleMatrix_700(2, 3, mxREAL);
  mxCreateDoubleMatrix_700(5, 5, mxREAL);
  mxMalloc(100);
  mxArray* with_block = mxCreateNumericMatrix(0, 0, mxDOUBLE_CLASS, mxREAL);
  mxSetData(with_block, mxMalloc(4 * sizeof(double)));
  mxSetM(with_block, 2);
  mxSetN(with_block, 2);
  const char* names[] = {"a"};
  mxArray* s = mxCreateStructMatrix(1, 1, 1, names);
  mxSetField(s, 0, "a", with_block);
  plhs[1] = s;
  if (nrhs > 0 && mxGetScalar(prhs[0]) != 0) mexErrMsgIdAndTxt("test:host:failed", "failed after %d arrays", 4);
}

TEST(HostCalls, ReturnedOutputsPassToTheCallerAndEverythingElseIsFreed) {
  const std::size_t before = live_allocations();
  {
    CallResult r = call_entry(busy_entry, 2, {});
    ASSERT_FALSE(r.error);
    EXPECT_EQ(r.allocations, 6u);
    EXPECT_EQ(mxGetM(r.outputs[0].get()), 2u);
    const mxArray* a = mxGetField(r.outputs[1].get(), 0, "a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(mxGetNumberOfElements(a), 4u);
    EXPECT_GT(live_allocations(), before);
  }
  EXPECT_EQ(live_allocations(), before);
}

TEST(HostCalls, AFailedCallFreesEverythingItAllocatedItsOutputsIncluded) {
  const std::size_t before = live_allocations();
  const Array fail(mxCreateDoubleScalar(1));
  const mxArray* inputs[] = {fail.get()};
  const std::size_t with_input = live_allocations();
  for (int i = 0; i < 1000; ++i) {
    const CallResult r = call_entry(busy_entry, 2, inputs);
    ASSERT_TRUE(r.error);
    EXPECT_EQ(r.error->identifier(), "test:host:failed");
    EXPECT_EQ(r.error->message(), "failed after 4 arrays");
    EXPECT_EQ(r.outputs[0], nullptr);
    EXPECT_EQ(r.outputs[1], nullptr);
  }
  EXPECT_EQ(live_allocations(), with_input);
  EXPECT_GT(with_input, before);
}

void fresh_matrix_and_block(int, mxArray* plhs[], int, const mxArray*[]) {
  plhs[0] = mxCreateDoubleMatrix_700(3, 2, mxREAL);
  auto* block = static_cast<double*>(mxMalloc(2 * sizeof(double)));
  double* pr = mxGetPr(plhs[0]);
  pr[5] = block[1];  // what the host put in a new block
}

TEST(HostCalls, NewDataIsZeroOrTheChosenFill) {
  const CallResult zero = call_entry(fresh_matrix_and_block, 1, {});
  EXPECT_EQ(values(zero.outputs[0].get()), std::vector<double>(6, 0.0));
  const CallResult filled = call_entry(fresh_matrix_and_block, 1, {}, {.fill = NAN});
  for (double v : values(filled.outputs[0].get())) EXPECT_TRUE(std::isnan(v));
}

TEST(HostCalls, TheInterruptFlagIsTheCallersChoice) {
  static unsigned char seen = 0;
  auto entry = [](int, mxArray*[], int, const mxArray*[]) { seen = *interrupt_flag(); };
  call_entry(entry, 0, {});
  EXPECT_EQ(seen, 0);
  call_entry(entry, 0, {}, {.interrupt = true});
  EXPECT_NE(seen, 0);
}

TEST(HostCalls, NlhsZeroStillOffersOneOutputSlot) {
  const CallResult r = call_entry(fresh_matrix_and_block, 0, {});
  ASSERT_EQ(r.outputs.size(), 1u);
  EXPECT_NE(r.outputs[0], nullptr);
}

}  // namespace
}  // namespace bipedkin::host
