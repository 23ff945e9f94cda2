/* A kernel that calls a function other than the sines and cosines: the
   straight-line check must reject it. */
#include <math.h>

__attribute__((visibility("hidden"), noinline)) void bipedkin_kernel(double* out, const double* x) {
  out[0] = exp(x[0]) + 1.0;
}

void planted_entry(double* out, const double* x) { bipedkin_kernel(out, x); }
