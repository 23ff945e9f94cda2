// The vectorized kernels of the C library's fast mode: every row of the one
// list instantiated for a pack of W doubles, one translation unit per
// instruction set (avx512.cpp, avx2.cpp, sse2.cpp, each compiled with its
// own target flags), and the choice among them at run time by what the
// processor supports.
#pragma once

#include <cstddef>
#include <span>

namespace bipedkin::fast {

// kernel(out, x): the W states at x (44 doubles each, one after the other)
// into their W results at out (rows x cols doubles each, one after the
// other), writing exactly the elements a single state's kernel writes.
using Kernel = void (*)(double* out, const double* x);

struct Path {
  const char* name;  // "avx512", "avx2" or "sse2", as BIPEDKIN_SIMD names it
  int width;         // W, states per pack
  const Kernel* kernels;  // one per row of the list, in its order
  bool (*supported)();    // whether this processor runs it
};

// The paths this build has, widest first: none where the target is not
// x86-64 or SLEEF was not found, and the fast mode is the exact path.
std::span<const Path> paths();

// The path the fast mode takes: the widest the processor supports, or the
// narrower one the environment variable BIPEDKIN_SIMD names (avx512, avx2,
// sse2; scalar for the exact path, which is null here). Chosen once.
const Path* chosen();

}  // namespace bipedkin::fast
