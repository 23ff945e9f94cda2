// mxCreateDoubleMatrix_700 for GNU Octave, which provides only the
// constructor with full-width counts. The deliverables call the constructor
// with 32-bit counts that MATLAB's libmx keeps for MEX files built with
// 32-bit array dimensions; this is that constructor on Octave's own.
//
// The CMake build makes it a small shared library next to the Octave MEX
// files (found through their $ORIGIN run path); build_mex.m compiles it into
// each MEX file instead.
#include "gateway/host_api.hpp"

// A negative count makes an empty dimension, as in the built-in host; the
// new matrix is zero-filled like every matrix Octave creates.
extern "C" [[gnu::visibility("default")]] mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity flag) {
  return mxCreateDoubleMatrix(m < 0 ? 0 : m, n < 0 ? 0 : n, flag);
}
