// The fast mode's kernels for SSE2, which every x86-64 processor has: two
// states a pack.
#define BIPEDKIN_FAST_NAME sse2
#define BIPEDKIN_FAST_WIDTH 2
#define BIPEDKIN_FAST_SINCOS Sleef_sincosd2_u10sse2
#include "lib/fast/width.inc"
