// The fast mode's kernels for AVX2: four states a pack (compiled with -mavx2;
// SLEEF's function uses FMA, which every processor with AVX2 has).
#define BIPEDKIN_FAST_NAME avx2
#define BIPEDKIN_FAST_WIDTH 4
#define BIPEDKIN_FAST_SINCOS Sleef_sincosd4_u10avx2
#include "lib/fast/width.inc"
