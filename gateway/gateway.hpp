// The one entry point of every generated deliverable.
//
// A call is checked in a fixed order (input count, output count, the input's
// class, complexity and shape), each refusal raised through the host's error
// call, which does not return. Only when every check has passed does the
// gateway create the one output matrix (the host fills it with 0.0), store it
// in the first output slot and hand the kernel the output's elements and the
// input's. The kernel writes only the elements its quantity defines.
#pragma once

#include <cstddef>

#include "evaluators/kernel.hpp"
#include "gateway/host_api.hpp"
#include "model/state.hpp"

namespace bipedkin::gateway {

using evaluators::Input;

struct Messages {
  const char* count;
  const char* input;
};

template <Input Form>
inline constexpr Messages messages = Form == Input::state
                                         ? Messages{"One input(s) required (x).", "x is wrong."}
                                         : Messages{"One input(s) required (var).", "var is wrong."};

template <Input Form>
constexpr bool accepted_shape(std::size_t m, std::size_t n) {
  if constexpr (Form == Input::state) {
    return (m == model::state_size && n == 1) || (m == 1 && n == model::state_size);
  } else {
    return m == 1 && n == 1;
  }
}

// Runs one call: checks, output, then write(out, x) for the output's and the
// input's elements.
template <Input Form, int Rows, int Cols, class Write>
inline void run(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[], Write write) {
  if (nrhs != 1) mexErrMsgIdAndTxt("MATLAB:Tarnel:invalidNumInputs", messages<Form>.count);
  if (nlhs > 1) mexErrMsgIdAndTxt("MATLAB:Tarnel:maxlhs", "Too many output arguments.");

  const mxArray* in = prhs[0];
  const std::size_t m = mxGetM(in);
  const std::size_t n = mxGetN(in);
  if (!mxIsDouble(in) || mxIsComplex(in) || !accepted_shape<Form>(m, n)) {
    mexErrMsgIdAndTxt("MATLAB:Tarnel:inputNotRealVector", messages<Form>.input);
  }

  // A sparse state is handed to the kernel as a dense copy: the kernel reads
  // 44 consecutive doubles.
  const double* x = mxGetPr(in);
  double dense[model::state_size];
  if constexpr (Form == Input::state) {
    if (mxIsSparse(in)) {
      copy_dense(in, dense, model::state_size);
      x = dense;
    }
  }

  mxArray* out = mxCreateDoubleMatrix_700(Rows, Cols, mxREAL);
  plhs[0] = out;
  write(mxGetPr(out), x);
}

}  // namespace bipedkin::gateway
