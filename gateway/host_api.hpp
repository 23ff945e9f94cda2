// The host's MEX and matrix interface, whichever host the deliverables are
// built for: the built-in host's headers, GNU Octave's or MATLAB's.
#pragma once

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
