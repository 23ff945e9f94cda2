// Internals of our libemlrt shared by its sources: the call record and the
// way arguments are shown in it. Nothing here depends on a particular host:
// only the mx/mex interface is used.
#pragma once

#include <initializer_list>
#include <string>

#include "emlrt.h"

namespace bipedkin::emlrt::detail {

// Whether the calling thread records its run-time calls.
bool recording();

// Appends one call to the calling thread's record. Callers test recording()
// first, so that an unrecorded call builds no text.
void record(const char* function, std::initializer_list<std::string> args);

// An array as "<class> <dims>" ("complex " and "sparse " in front where they
// apply), or "null".
std::string describe(const mxArray* array);
// A root as "root" (the thread's live root), "stale" (a destroyed one),
// "null" or "other".
std::string describe(emlrtCTX root);
// A stack record as "stack{<location>,<root>,<caller>}", "-" for null.
std::string describe(const emlrtStack* stack);

// Identifiers of the errors the run time raises on its own.
inline constexpr const char* type_mismatch_id = "EMLRT:runTime:InputTypeMismatch";
inline constexpr const char* interrupted_id = "EMLRT:runTime:Interrupted";
inline constexpr const char* bad_argument_id = "EMLRT:runTime:BadArgument";
inline constexpr const char* malformed_capture_id = "EMLRT:runTime:MalformedNameCapture";

}  // namespace bipedkin::emlrt::detail
