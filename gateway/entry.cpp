// The source of every deliverable behind the MEX gateway: the row named by
// BIPEDKIN_DELIVERABLE_NAME, its kernel and its entry point.
#include "gateway/rows.hpp"
#include "gateway/gateway.hpp"
#include "gateway/flatten.hpp"

#ifndef BIPEDKIN_DELIVERABLE_NAME
#error "define BIPEDKIN_DELIVERABLE_NAME as the row of evaluators.def to build"
#endif

namespace {
using Row = bipedkin::gateway::RowNamed<bipedkin::gateway::Id::BIPEDKIN_DELIVERABLE_NAME>;
using K = Row::kernel;
static_assert(Row::kind == bipedkin::gateway::Kind::gateway, "a run-time row is built from constraints/deliverable.cpp");
}  // namespace

// The kernel, a function of its own so that its object code can be
// inspected (a local symbol: nothing outside calls it); everything it calls
// but the sines and cosines is inlined. A row whose gateway writes the
// output itself has no kernel: it is never called, so never emitted.
extern "C" {
BIPEDKIN_OWN_FUNCTION [[gnu::flatten, maybe_unused]] static void bipedkin_kernel(double* out, const double* x) {
  K::evaluate(out, bipedkin::model::State{x});
}
}

extern "C" [[gnu::visibility("default")]] void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                                           const mxArray* prhs[]) {
  if constexpr (K::written_by_gateway) {
    bipedkin::gateway::run<K::input, K::rows, K::cols>(
        nlhs, plhs, nrhs, prhs, [](double* out, const double* x) { K::evaluate(out, bipedkin::model::State{x}); });
  } else {
    bipedkin::gateway::run<K::input, K::rows, K::cols>(nlhs, plhs, nrhs, prhs, bipedkin_kernel);
  }
}
