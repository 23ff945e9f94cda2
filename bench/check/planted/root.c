/* A kernel that takes a square root: the straight-line check must reject it. */
#include <math.h>

__attribute__((visibility("hidden"), noinline)) void bipedkin_kernel(double* out, const double* x) {
  out[0] = sqrt(x[0] * x[0] + x[1] * x[1]);
}

void planted_entry(double* out, const double* x) { bipedkin_kernel(out, x); }
