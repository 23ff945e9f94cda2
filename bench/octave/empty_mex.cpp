// The baseline of the Octave per-call benchmark: a MEX file whose
// mexFunction returns at once, built exactly as the deliverables' Octave MEX
// files are, so that its cost is the host's cost of a call and nothing more.
#include "mex.h"

extern "C" [[gnu::visibility("default")]] void mexFunction(int, mxArray*[], int, const mxArray*[]) {}
