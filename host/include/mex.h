/* The MEX library of the built-in host (libmex): the entry point a
 * deliverable exports, error reporting and the unload hook. Written for this
 * project from the documented behaviour of the MEX API.
 */
#ifndef BIPEDKIN_HOST_MEX_H
#define BIPEDKIN_HOST_MEX_H

#include "matrix.h"

/* The host's functions are exported from its libraries, and mexFunction
 * from each deliverable. */
#pragma GCC visibility push(default)

#ifdef __cplusplus
extern "C" {
#endif

/* The entry point every deliverable exports. plhs has room for at least one
 * output even when nlhs is 0. */
void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

/* Report an error to the caller and end the call: these never return. The
 * message is a printf format for the arguments that follow. */
#ifdef __cplusplus
[[noreturn]]
#endif
void mexErrMsgIdAndTxt(const char* identifier, const char* format, ...);
#ifdef __cplusplus
[[noreturn]]
#endif
void mexErrMsgTxt(const char* message);

void mexWarnMsgIdAndTxt(const char* identifier, const char* format, ...);
int mexPrintf(const char* format, ...);

/* Register the function the host runs once when it unloads the calling
 * deliverable; a later registration replaces an earlier one. */
int mexAtExit(void (*exit_function)(void));

#ifdef __cplusplus
}
#endif

#pragma GCC visibility pop

#endif
