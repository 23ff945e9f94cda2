// The source of every generated deliverable: the row named by
// BIPEDKIN_DELIVERABLE_NAME, its kernel and its entry point.
#include "gateway/deliverables.hpp"
#include "gateway/gateway.hpp"

#ifndef BIPEDKIN_DELIVERABLE_NAME
#error "define BIPEDKIN_DELIVERABLE_NAME as the row of deliverables.def to build"
#endif

namespace {
constexpr bipedkin::gateway::Id id = bipedkin::gateway::Id::BIPEDKIN_DELIVERABLE_NAME;
constexpr const bipedkin::gateway::Deliverable& self = bipedkin::gateway::deliverable(id);
}

// The kernel, a symbol of its own (not exported) so that its object code can
// be inspected; everything it calls but the sines and cosines is inlined.
extern "C" [[gnu::visibility("hidden"), gnu::flatten, gnu::noinline]] void bipedkin_kernel(double* out,
                                                                                         const double* x) {
  bipedkin::gateway::flattened_kernel<static_cast<std::size_t>(id)>(out, x);
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
