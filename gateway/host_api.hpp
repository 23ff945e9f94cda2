// The host's MEX and matrix interface, whichever host the deliverables are
// built for: the built-in host's headers, or GNU Octave's.
#pragma once

#include "mex.h"

#if defined(HAVE_OCTAVE)
// Octave has no constructor with 32-bit counts; a small library of ours
// provides it next to the Octave MEX files.
extern "C" mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity flag);
#endif
