// BIPEDKIN_FLATTEN: the attribute that inlines everything a vector kernel
// calls but the sines and cosines into it (lib/fast/width.inc). A sanitized
// build defines BIPEDKIN_NO_FLATTEN: the instrumented code of 149 flattened
// vector kernels in one unit takes GCC more than 15 minutes to compile, and
// the sanitizers check the same source either way. The exact kernels stay
// flattened in every build: only then is the sign of a NaN they produce the
// one the deliverables' flattened kernels produce, bit for bit.
//
// BIPEDKIN_OWN_FUNCTION: keeps a kernel a function of its own, with its own
// symbol and its signature unchanged, so that its object code can be
// inspected. GCC's noipa also stops interprocedural cloning and constant
// propagation into it; clang has no such attribute, and noinline is what it
// offers.
#pragma once

#if defined(BIPEDKIN_NO_FLATTEN)
#define BIPEDKIN_FLATTEN
#else
#define BIPEDKIN_FLATTEN [[gnu::flatten]]
#endif

#if defined(__clang__)
#define BIPEDKIN_OWN_FUNCTION [[gnu::noinline]]
#else
#define BIPEDKIN_OWN_FUNCTION [[gnu::noipa]]
#endif
