// A second build of every kernel of the table whose sines and cosines are
// recorded: for one state it tells which angles (or angle sums) a kernel
// passes to sincos, in call order. The benchmarks take each kernel's trig
// floor from it, and the straight-line check counts the sincos calls of the
// compiled kernels against it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bipedkin::recording {

// Number of rows of the one list of evaluators, in its order.
std::size_t kernel_count();

std::string_view kernel_name(std::size_t index);

// Whether the row's result depends on the state.
bool reads_state(std::size_t index);

// The function in the row's built deliverable that is its kernel: the
// hidden bipedkin_kernel, or a run-time row's exported entry point; empty
// for the row whose gateway writes its output itself.
std::string kernel_symbol(std::size_t index);

// Output shape of the row.
int output_rows(std::size_t index);
int output_cols(std::size_t index);

// The row's kernel in this build (its sines and cosines recorded while run()
// runs it; taken plainly otherwise).
using Kernel = void (*)(double* out, const double* x);
Kernel kernel(std::size_t index);

// Runs the row's kernel on the 44 doubles at x into out (rows x cols
// doubles, which the caller zero-fills first), and returns the angles the
// kernel took the sine and cosine of, in call order.
std::vector<double> run(std::size_t index, double* out, const double* x);

}  // namespace bipedkin::recording
