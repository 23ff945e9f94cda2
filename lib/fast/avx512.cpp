// The fast mode's kernels for AVX-512: eight states a pack (compiled with -mavx512f).
#define BIPEDKIN_FAST_NAME avx512
#define BIPEDKIN_FAST_WIDTH 8
#define BIPEDKIN_FAST_SINCOS Sleef_sincosd8_u10avx512f
#include "lib/fast/width.inc"
