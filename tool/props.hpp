// bipedkin props: a run-time-built deliverable's build properties.
#pragma once

#include <cstdio>
#include <string>

#include "bipedkin/host.hpp"

namespace bipedkin::cli {

// Calls the deliverable's emlrtMexFcnProperties inside a call boundary, so
// that the host reclaims what a failing query allocated; the structure is
// the first output. Throws UsageError when the deliverable has no build
// properties.
host::CallResult build_properties(const host::Library& library);

// Prints a structure readably: a 1x1 structure as one "field  value" line
// per field (nested structures indented), a structure array as a table with
// one row per element and one column per field.
void print_properties(std::FILE* out, const std::string& name, const mxArray* properties);

}  // namespace bipedkin::cli
