// bipedkin_batch(NAME, X): one MEX call that evaluates one or several
// evaluators on N states, so that a caller with many states pays the host's
// per-call cost once.
//
//   Y = bipedkin_batch('pos_toe_sole_l', X)     X: real double 44 x N
//   C = bipedkin_batch({'jac_mount_l', 'rot_knee_r'}, X)
//   Y = bipedkin_batch('pos_toe_sole_l', X, 'fast')
//
// With 'fast' the states are evaluated on packs with vector instructions,
// the C library's fast mode, within its bound (bipedkin.h).
// Y is rows x cols x N (rows x N when the evaluator returns a column), page
// k holding what the evaluator's own deliverable returns for column k of X;
// with a cell array of names, C is a cell array of the same size holding one
// such result per name. The sparsity patterns ignore X's values: its column
// count sets N. Every check comes before any output is created.

#include <cstring>
#include <string>
#include <vector>

#include "bipedkin.h"
#include "gateway/host_api.hpp"
#include "gateway/text.hpp"

namespace {

constexpr int state_size = BIPEDKIN_STATE_SIZE;

[[noreturn]] void refuse(const char* mnemonic, const std::string& message) {
  const std::string id = std::string("bipedkin:batch:") + mnemonic;
  mexErrMsgIdAndTxt(id.c_str(), "%s", message.c_str());
  __builtin_unreachable();
}

const bipedkin_evaluator* resolve(const mxArray* name) {
  if (name == nullptr || !mxIsChar(name) || mxGetM(name) > 1 || mxGetNumberOfDimensions(name) > 2) {
    refuse("invalidName", "NAME must be an evaluator's name (a char row) or a cell array of names.");
  }
  char* text = mxArrayToString(name);
  std::string s = text != nullptr ? text : "";
  mxFree(text);
  const bipedkin_evaluator* e = nullptr;
  if (bipedkin_find(s.c_str(), &e) != BIPEDKIN_OK) {
    refuse("unknownName", "No evaluator named '" + bipedkin::gateway::quoted(s) + "'.");
  }
  return e;
}

// The third input: 'fast', the only option.
unsigned option(const mxArray* o) {
  bool fast = false;
  if (mxIsChar(o) && mxGetM(o) == 1 && mxGetNumberOfDimensions(o) == 2 && mxGetN(o) == 4) {
    char* text = mxArrayToString(o);
    fast = text != nullptr && std::strcmp(text, "fast") == 0;
    mxFree(text);
  }
  if (!fast) refuse("invalidOption", "The third input must be 'fast'.");
  return BIPEDKIN_FAST;
}

// X's columns as 44 consecutive doubles each; a sparse X is copied to full
// storage first (into host memory the call frees).
const double* states(const mxArray* x) {
  if (!mxIsSparse(x)) return mxGetPr(x);
  const std::size_t size = state_size * mxGetN(x);
  auto* dense = static_cast<double*>(mxMalloc((size + 1) * sizeof(double)));
  copy_dense(x, dense, size);
  return dense;
}

mxArray* evaluate(const bipedkin_evaluator* e, const double* x, std::size_t n, unsigned flags) {
  const std::size_t rows = bipedkin_rows(e), cols = bipedkin_cols(e);
  const mwSize page[] = {static_cast<mwSize>(rows), static_cast<mwSize>(cols), static_cast<mwSize>(n)};
  const mwSize column[] = {static_cast<mwSize>(rows), static_cast<mwSize>(n)};
  mxArray* out = cols == 1 ? mxCreateNumericArray(2, column, mxDOUBLE_CLASS, mxREAL)
                           : mxCreateNumericArray(3, page, mxDOUBLE_CLASS, mxREAL);
  // The host has zero-filled the output, so the kernels write only their
  // elements, exactly as in a single call.
  if (n > 0 && bipedkin_eval_batch(e, x, n, mxGetPr(out), flags, 0) != BIPEDKIN_OK) {
    refuse("failed", bipedkin_last_error());
  }
  return out;
}

}  // namespace

extern "C" [[gnu::visibility("default")]] void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                                           const mxArray* prhs[]) {
  if (nrhs != 2 && nrhs != 3) refuse("invalidNumInputs", "Two or three inputs required (NAME, X, 'fast').");
  if (nlhs > 1) refuse("maxlhs", "Too many output arguments.");
  const mxArray* names = prhs[0];
  const mxArray* x = prhs[1];
  if (!mxIsDouble(x) || mxIsComplex(x) || mxGetNumberOfDimensions(x) != 2 || mxGetM(x) != state_size) {
    refuse("inputNotRealMatrix", "X must be a real double matrix with 44 rows.");
  }
  const unsigned flags = nrhs == 3 ? option(prhs[2]) : 0u;

  std::vector<const bipedkin_evaluator*> evaluators;
  if (mxIsCell(names)) {
    for (std::size_t i = 0; i < mxGetNumberOfElements(names); ++i) evaluators.push_back(resolve(mxGetCell(names, i)));
  } else {
    evaluators.push_back(resolve(names));
  }

  const std::size_t n = mxGetN(x);
  const double* xs = states(x);
  if (!mxIsCell(names)) {
    plhs[0] = evaluate(evaluators[0], xs, n, flags);
    return;
  }
  mxArray* results = mxCreateCellArray(mxGetNumberOfDimensions(names), mxGetDimensions(names));
  for (std::size_t i = 0; i < evaluators.size(); ++i) mxSetCell(results, i, evaluate(evaluators[i], xs, n, flags));
  plhs[0] = results;
}
