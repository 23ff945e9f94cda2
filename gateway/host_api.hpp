// The host's MEX and matrix interface, whichever host the deliverables are
// built for: the built-in host's headers, GNU Octave's or MATLAB's.
#pragma once

#include <algorithm>
#include <cstddef>

#include "mex.h"

#if defined(HAVE_OCTAVE)
// Octave has no constructor with 32-bit counts; a small library of ours
// provides it next to the Octave MEX files (build_mex.m compiles it in).
extern "C" mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity flag);
#elif defined(MATLAB_MEX_FILE) && !defined(MX_COMPAT_32)
// MATLAB's libmx keeps the constructor with 32-bit counts for MEX files
// built with 32-bit array dimensions (MX_COMPAT_32); it is declared here for
// the default build. Untested: there is no MATLAB on the build machines.
extern "C" mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity flag);
#endif

// The elements of a sparse double array in full storage, column-major:
// out[0 .. capacity) is cleared and takes every nonzero whose linear position
// falls inside it.
inline void copy_dense(const mxArray* in, double* out, std::size_t capacity) {
  std::fill(out, out + capacity, 0.0);
  const auto* ir = mxGetIr(in);
  const auto* jc = mxGetJc(in);
  const double* pr = mxGetPr(in);
  const std::size_t m = mxGetM(in);
  const std::size_t n = mxGetN(in);
  for (std::size_t j = 0; j < n; ++j) {
    for (auto k = jc[j]; k < jc[j + 1]; ++k) {
      const std::size_t i = static_cast<std::size_t>(ir[k]) + j * m;
      if (i < capacity) out[i] = pr[k];
    }
  }
}
