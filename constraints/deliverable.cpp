// The source of every deliverable built on the run time (libemlrt): the row
// of evaluators.def named by BIPEDKIN_DELIVERABLE_NAME, whose entry point is
// BIPEDKIN_CONSTRAINT_ENTRY (the name without "_mex"); the entry point, the per-call set-up and tear-down around it, the gateway
// mexFunction, and the build-properties query.
//
// A call runs: mexAtExit(_atexit), _initialize (root, interrupt flag,
// run-time stack), the input and output counts, the input copy with break
// checks, the output block, three aliases of the input and the run time's
// type check of the last, the kernel, the output array, its return, and
// _terminate (run-time stack, root). Every refusal is raised by the run time
// and ends the call there; the run time keeps nothing a failed call would
// have to release, and the host reclaims the call's mxMalloc block.
//
// The root handle and the interrupt flag's address are per thread, so calls
// on several threads at once each have their own.

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "emlrt.h"
#include "gateway/rows.hpp"
#include "mex.h"
#include "resolved_functions.inc"

#if !defined(BIPEDKIN_DELIVERABLE_NAME) || !defined(BIPEDKIN_CONSTRAINT_ENTRY)
#error "define BIPEDKIN_DELIVERABLE_NAME as a run-time row of evaluators.def and BIPEDKIN_CONSTRAINT_ENTRY as its entry point"
#endif

#define BIPEDKIN_JOIN2(a, b) a##b
#define BIPEDKIN_JOIN(a, b) BIPEDKIN_JOIN2(a, b)
#define ENTRY_POINT BIPEDKIN_CONSTRAINT_ENTRY
#define ENTRY_INITIALIZE BIPEDKIN_JOIN(BIPEDKIN_CONSTRAINT_ENTRY, _initialize)
#define ENTRY_TERMINATE BIPEDKIN_JOIN(BIPEDKIN_CONSTRAINT_ENTRY, _terminate)
#define ENTRY_ATEXIT BIPEDKIN_JOIN(BIPEDKIN_CONSTRAINT_ENTRY, _atexit)
#define EXPORT extern "C" [[gnu::visibility("default")]]
#define BIPEDKIN_STRING2(a) #a
#define BIPEDKIN_STRING(a) BIPEDKIN_STRING2(a)

namespace {

using Row = bipedkin::gateway::RowNamed<bipedkin::gateway::Id::BIPEDKIN_DELIVERABLE_NAME>;
using K = Row::kernel;
static_assert(Row::kind == bipedkin::gateway::Kind::runtime, "a gateway row is built from gateway/entry.cpp");

constexpr const char* entry_name = BIPEDKIN_STRING(BIPEDKIN_CONSTRAINT_ENTRY);
constexpr auto name_length = static_cast<std::int32_t>(std::string_view(entry_name).size());
constexpr int rows = K::rows;
constexpr int columns = K::cols;
constexpr int state_size = bipedkin::model::state_size;

thread_local emlrtCTX root = nullptr;
thread_local volatile unsigned char* break_flag = nullptr;

// What the run time learns about this deliverable when a root is created.
emlrtContext context = {
    true,                // first time
    false,               // initialized
    131434U,             // version information (0x2016A)
    nullptr,             // error function
    entry_name,          // function name
    nullptr,             // run-time call stack
    false,               // debug mode
    {2045744189U, 2170104910U, 2743257031U, 4284093946U},  // signature
    nullptr,             // signature memory
};

void create_root() { emlrtCreateRootTLS(&root, &context, nullptr, 1); }

}  // namespace

EXPORT void ENTRY_POINT(const double in1[state_size], double out[]) { K::evaluate(out, bipedkin::model::State{in1}); }

EXPORT void ENTRY_INITIALIZE(void) {
  emlrtStack st = {nullptr, nullptr, nullptr};
  create_root();
  break_flag = emlrtGetBreakCheckFlagAddressR2012b();
  st.root = root;
  emlrtClearAllocCountR2012b(&st, false, 0U, 0);
  emlrtEnterRtStackR2012b(&st);
  emlrtFirstTimeR2012b(root);
}

EXPORT void ENTRY_TERMINATE(void) {
  emlrtStack st = {nullptr, nullptr, nullptr};
  st.root = root;
  emlrtLeaveRtStackR2012b(&st);
  emlrtDestroyRootTLS(&root);
}

// Run by the host once, when it unloads the deliverable.
EXPORT void ENTRY_ATEXIT(void) {
  emlrtStack st = {nullptr, nullptr, nullptr};
  create_root();
  st.root = root;
  emlrtEnterRtStackR2012b(&st);
  emlrtLeaveRtStackR2012b(&st);
  emlrtDestroyRootTLS(&root);
}

namespace {

// Checks the input, runs the kernel and makes the output array.
void marshal_and_evaluate(const emlrtStack* sp, const mxArray* input, const mxArray** output) {
  auto* block = static_cast<double*>(mxMalloc(sizeof(double) * rows * columns));

  const mxArray* a1 = emlrtAlias(input);
  const mxArray* a2 = emlrtAlias(a1);
  const mxArray* a3 = emlrtAlias(a2);
  const emlrtMsgIdentifier id = {"in1", nullptr, false};
  static const std::int32_t input_size[1] = {state_size};
  emlrtCheckBuiltInR2012b(sp, &id, a3, "double", false, 1U, input_size);
  const auto* in1 = static_cast<const double*>(mxGetData(a3));
  emlrtDestroyArray(&a3);
  emlrtDestroyArray(&a2);
  emlrtDestroyArray(&a1);

  ENTRY_POINT(in1, block);

  static const std::int32_t no_size[2] = {0, 0};
  mxArray* y = emlrtCreateNumericArray(2, no_size, mxDOUBLE_CLASS, mxREAL);
  mxSetData(y, block);
  static const std::int32_t size[2] = {rows, columns};
  emlrtSetDimensions(y, size, 2);
  const mxArray* slot = nullptr;
  emlrtAssign(&slot, y);
  *output = slot;
}

}  // namespace

EXPORT void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
  mexAtExit(&ENTRY_ATEXIT);
  ENTRY_INITIALIZE();

  emlrtStack st = {nullptr, nullptr, nullptr};
  st.root = root;
  if (nrhs != 1) {
    emlrtErrMsgIdAndTxt(&st, "EMLRT:runTime:WrongNumberOfInputs", 5, 12, 1, 4, name_length, entry_name);
  }
  if (nlhs > 1) emlrtErrMsgIdAndTxt(&st, "EMLRT:runTime:TooManyOutputArguments", 3, 4, name_length, entry_name);

  const mxArray* inputs[1];
  for (int i = 0; i < nrhs; ++i) {
    inputs[i] = prhs[i];
    if (*break_flag != 0) emlrtBreakCheckR2012b(&st);
  }
  const mxArray* outputs[1] = {nullptr};
  marshal_and_evaluate(&st, inputs[0], &outputs[0]);
  emlrtReturnArrays(std::max(nlhs, 1), plhs, outputs);

  ENTRY_TERMINATE();
}

// The build properties: a new 1x1 structure the caller owns. Touches no
// state of the deliverable, so it may be called at any time.
EXPORT mxArray* emlrtMexFcnProperties(void) {
  const char* entry_fields[] = {"Name", "NumberOfInputs", "NumberOfOutputs", "ConstantInputs"};
  mxArray* entry_points = emlrtCreateStructMatrix(1, 1, 4, entry_fields);
  mxArray* constant_inputs = emlrtCreateLogicalMatrix(1, 1);
  emlrtSetField(entry_points, 0, "Name", mxCreateString(entry_name));
  emlrtSetField(entry_points, 0, "NumberOfInputs", mxCreateDoubleScalar(1.0));
  emlrtSetField(entry_points, 0, "NumberOfOutputs", mxCreateDoubleScalar(1.0));
  emlrtSetField(entry_points, 0, "ConstantInputs", constant_inputs);

  const char* fields[] = {"Version", "ResolvedFunctions", "EntryPoints", "CoverageInfo"};
  mxArray* properties = emlrtCreateStructMatrix(1, 1, 4, fields);
  emlrtSetField(properties, 0, "Version", mxCreateString("9.0.0.341360 (R2016a)"));
  const mxArray* resolved = nullptr;
  emlrtNameCaptureMxArrayR2016a(resolved_functions, resolved_functions_length, &resolved);
  emlrtSetField(properties, 0, "ResolvedFunctions", const_cast<mxArray*>(resolved));
  emlrtSetField(properties, 0, "EntryPoints", entry_points);
  return properties;
}
