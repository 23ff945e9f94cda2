// BIPEDKIN_FLATTEN: the attribute that inlines everything a kernel calls
// but the sines and cosines into it, for the C library's tables of kernels
// (exact and vector). A sanitized build defines BIPEDKIN_NO_FLATTEN: the
// instrumented code of 149 flattened kernels in one unit takes GCC tens of
// minutes to compile, and the sanitizers check the same source either way
// (flattening changes no result: nothing is contracted or reassociated).
#pragma once

#if defined(BIPEDKIN_NO_FLATTEN)
#define BIPEDKIN_FLATTEN
#else
#define BIPEDKIN_FLATTEN [[gnu::flatten]]
#endif
