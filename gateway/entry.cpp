// The source of every generated deliverable: the row named by
// BIPEDKIN_DELIVERABLE_NAME, its kernel and its entry point.
#include "gateway/deliverables.hpp"
#include "gateway/gateway.hpp"

#ifndef BIPEDKIN_DELIVERABLE_NAME
#error "define BIPEDKIN_DELIVERABLE_NAME as the row of deliverables.def to build"
#endif

namespace {
constexpr const bipedkin::gateway::Deliverable& self =
    bipedkin::gateway::deliverable(bipedkin::gateway::Id::BIPEDKIN_DELIVERABLE_NAME);
// The kernel as a constant, so that bipedkin_kernel calls it directly from
// the start: read through the table's row, the call stays indirect until
// after early inlining, and flattening then leaves parts of some kernels
// out of line.
constexpr bipedkin::gateway::Kernel kernel = self.kernel;
}

// The kernel, a symbol of its own (not exported) so that its object code can
// be inspected; everything it calls but the sines and cosines is inlined.
extern "C" [[gnu::visibility("hidden"), gnu::flatten, gnu::noinline]] void bipedkin_kernel(double* out,
                                                                                         const double* x) {
  kernel(out, x);
}

extern "C" [[gnu::visibility("default")]] void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                                           const mxArray* prhs[]) {
  if constexpr (self.written_by_gateway) {
    bipedkin::gateway::run<self.input, self.rows, self.cols>(nlhs, plhs, nrhs, prhs,
                                                             [](double* out, const double* x) { self.kernel(out, x); });
  } else {
    bipedkin::gateway::run<self.input, self.rows, self.cols>(nlhs, plhs, nrhs, prhs, bipedkin_kernel);
  }
}
