/* A kernel with a loop: the straight-line check must reject it. */
__attribute__((visibility("hidden"), noinline)) void bipedkin_kernel(double* out, const double* x) {
  double sum = 0.0;
  const int n = (int)x[0];
  for (int i = 0; i < n; ++i) sum += x[i + 1] * x[i + 1];
  out[0] = sum;
}

void planted_entry(double* out, const double* x) { bipedkin_kernel(out, x); }
