/* A straight-line kernel with two sincos calls, the second one a tail call
   (a jump to sincos, backward in the address space but out of the
   function): the straight-line check must accept it and count both. */
#define _GNU_SOURCE
#include <math.h>

__attribute__((visibility("hidden"), noinline)) void bipedkin_kernel(double* out, const double* x) {
  double s, c;
  sincos(x[0], &s, &c);
  out[0] = s * x[2] + c;
  sincos(x[1] + x[0], out + 1, out + 2);
}

void planted_entry(double* out, const double* x) { bipedkin_kernel(out, x); }
