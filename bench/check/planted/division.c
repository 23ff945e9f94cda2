/* A kernel that divides: the straight-line check must reject it. */
__attribute__((visibility("hidden"), noinline)) void bipedkin_kernel(double* out, const double* x) {
  out[0] = x[0] / x[1];
}

void planted_entry(double* out, const double* x) { bipedkin_kernel(out, x); }
