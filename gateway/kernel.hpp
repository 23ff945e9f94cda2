// What the table of deliverables says of each kernel, without the host.
#pragma once

namespace bipedkin::gateway {

// The input a deliverable takes: the 44-element state x, or a real scalar
// var whose value is never read.
enum class Input { state, scalar };

// kernel(out, x): writes the output's elements from the input's.
using Kernel = void (*)(double* out, const double* x);

}  // namespace bipedkin::gateway
