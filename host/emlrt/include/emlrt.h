/* The run-time library of the built-in host (libemlrt): the per-call root,
 * the run-time stack, argument errors, the input type check, array aliasing,
 * creation and return, and the build-properties helpers that the
 * run-time-built deliverables (the constraint Jacobians) call. Written for
 * this project from what those deliverables need, on top of the host's mx and
 * mex interface only, so that it builds against any host that provides one.
 *
 * Every error is raised through the host's mexErrMsgIdAndTxt and does not
 * return.
 */
#ifndef BIPEDKIN_HOST_EMLRT_H
#define BIPEDKIN_HOST_EMLRT_H

#include <stdbool.h>
#include <stdint.h>

#include "mex.h"

#pragma GCC visibility push(default)

#ifdef __cplusplus
extern "C" {
#endif

/* The run time's state for one call on one thread, opaque to deliverables. */
typedef struct emlrtRootRecord* emlrtCTX;

/* What a deliverable tells the run time about itself when it creates a root.
 * The run time only reads it. */
typedef struct emlrtContext {
  bool firstTime;
  bool initialized;
  uint32_t versionInfo;
  void (*errorFunction)(void);
  const char* functionName;
  void* callStack;
  bool debugMode;
  uint32_t signature[4];
  void* signatureMemory;
} emlrtContext;

/* A frame of the run-time stack: only the root is used. */
typedef struct emlrtStack {
  const void* location;
  emlrtCTX root;
  const struct emlrtStack* caller;
} emlrtStack;

/* The name of a checked argument: identifier, the argument it is part of
 * (or null), and whether that one is a cell array. */
typedef struct emlrtMsgIdentifier {
  const char* identifier;
  const struct emlrtMsgIdentifier* parent;
  bool parentIsCell;
} emlrtMsgIdentifier;

/* Roots. A root lives from its creation to its destruction on one thread; a
 * call that fails before destroying its root leaves nothing to free, and the
 * next creation on the thread starts afresh. */
void emlrtCreateRootTLS(emlrtCTX* root, emlrtContext* context, void* reserved, int32_t threads);
void emlrtDestroyRootTLS(emlrtCTX* root);
bool emlrtFirstTimeR2012b(emlrtCTX root);

/* The host's interrupt flag for the calling thread: nonzero when the user
 * has asked to interrupt. */
volatile unsigned char* emlrtGetBreakCheckFlagAddressR2012b(void);
/* Ends the call with an interrupt error when the flag is set. */
void emlrtBreakCheckR2012b(const emlrtStack* sp);

void emlrtClearAllocCountR2012b(const emlrtStack* sp, bool reset, uint32_t count, int32_t limit);
void emlrtEnterRtStackR2012b(const emlrtStack* sp);
void emlrtLeaveRtStackR2012b(const emlrtStack* sp);

/* Raises identifier with a message that shows the arguments. count is the
 * number of values that follow; they come as (class code, value) pairs, a
 * text as (mxCHAR_CLASS, length, characters), an integer as (mxINT32_CLASS,
 * int), a number as (mxDOUBLE_CLASS, double). */
#ifdef __cplusplus
[[noreturn]]
#endif
void emlrtErrMsgIdAndTxt(const emlrtStack* sp, const char* identifier, int32_t count, ...);

/* Refuses the argument unless it is of class className, of the given
 * complexity, and of the size given by the dims list (trailing 1s ignored, so
 * {44} is a 44x1 column). Sparse arrays are refused. */
void emlrtCheckBuiltInR2012b(const emlrtStack* sp, const emlrtMsgIdentifier* id, const mxArray* array,
                             const char* className, bool isComplex, uint32_t ndims, const int32_t* dims);

/* Arrays. An alias is another reference to the same array; destroying it
 * drops the reference, and the array goes when its last reference does. */
const mxArray* emlrtAlias(const mxArray* array);
void emlrtDestroyArray(const mxArray** array);
mxArray* emlrtCreateNumericArray(int32_t ndims, const int32_t* dims, mxClassID classId, mxComplexity complexity);
void emlrtSetDimensions(mxArray* array, const int32_t* dims, int32_t ndims);
/* Stores source in *target, dropping what the slot held. */
void emlrtAssign(const mxArray** target, const mxArray* source);
/* Hands the first count outputs to the host's output slots. */
void emlrtReturnArrays(int32_t count, mxArray* plhs[], const mxArray* const outputs[]);
mxArray* emlrtCreateStructMatrix(int32_t m, int32_t n, int32_t nfields, const char** fieldNames);
mxArray* emlrtCreateLogicalMatrix(int32_t m, int32_t n);
void emlrtSetField(mxArray* structArray, int32_t index, const char* fieldName, mxArray* value);

/* Rebuilds a host array from its stored form: pieces of lowercase
 * hexadecimal text, ended by an empty string, that together spell a zlib
 * stream; inflated, it is length bytes of MAT-file level 5 data (an 8-byte
 * prefix and one miMATRIX element). */
void emlrtNameCaptureMxArrayR2016a(const char* const pieces[], uint32_t length, const mxArray** result);

#ifdef __cplusplus
}
#endif

#pragma GCC visibility pop

#endif
