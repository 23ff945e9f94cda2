// The kernels as shipped: each deliverable's library opened through the
// built-in host, and its kernel (the local symbol bipedkin_kernel, which
// dlsym cannot see, or a run-time row's entry point) found from the
// library's symbol table.
#pragma once

#include <filesystem>
#include <string>

#include "bipedkin/host.hpp"

namespace bipedkin::bench {

using KernelFunction = void (*)(double* out, const double* x);

struct ShippedKernel {
  host::Library library;
  KernelFunction kernel;
};

// Opens <dir>/<name>.so and finds its function `symbol`; throws when the
// library or the symbol is missing (a stripped library has no symbol table).
ShippedKernel open_kernel(const std::string& name, const std::filesystem::path& dir, const std::string& symbol);

}  // namespace bipedkin::bench
