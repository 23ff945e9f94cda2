/* bipedkin: the evaluators of the two-legged robot model as a C library.
 *
 * Every evaluator is found by its name (the name of its MEX deliverable, e.g.
 * "pos_toe_sole_l") and evaluated on one state or on many. A state is the 44
 * doubles x = [q; dq]; an evaluator whose input is a scalar reads nothing
 * (its input may be null). Outputs are rows x cols doubles, column-major.
 *
 * An evaluator writes only the elements its quantity defines; pass
 * BIPEDKIN_ZERO_FILL to have every other element set to 0.0 first, as the
 * MEX deliverables' host does. Results are bit for bit those of the MEX
 * deliverables, and those of a batch are bit for bit those of single calls,
 * however many threads evaluate it.
 *
 * BIPEDKIN_FAST evaluates on packs of states with vector instructions (8
 * states at once with AVX-512, 4 with AVX2, 2 with SSE2: the widest the
 * processor has, or a narrower one named by the environment variable
 * BIPEDKIN_SIMD=avx512|avx2|sse2|scalar, scalar being the exact path), its
 * sines and cosines from SLEEF. The arithmetic is the exact path's, lane by
 * lane, so a fast result differs from the exact one only through the sines
 * and cosines, and for every evaluator and state
 *     max |fast - exact| / max(1, max |exact|) <= 4e-15
 * over the elements of the result (measured on 10^6 random states with
 * angles and rates in [-3, 3] and with angles up to 1e4). NaN and
 * infinities reach exactly the elements they reach in the exact path, and
 * the same elements are written. A state's fast result depends on nothing
 * but the state: not on its place in the batch, the batch's size, the
 * number of threads or its neighbours. The AVX-512 and AVX2 paths give the
 * same bits; the SSE2 path's sines and cosines (without FMA) may differ
 * from theirs in the last place. Elsewhere than x86-64, or built without
 * SLEEF, the fast mode is the exact path.
 *
 * Functions report failure by their return value; bipedkin_last_error()
 * describes the calling thread's last failure. Nothing throws across this
 * interface, and nothing here allocates except a batch's worker threads.
 */
#ifndef BIPEDKIN_H
#define BIPEDKIN_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define BIPEDKIN_API
#else
#define BIPEDKIN_API __attribute__((visibility("default")))
#endif

/* A state: the 22 coordinates q, then their 22 rates dq. */
#define BIPEDKIN_COORDINATES 22
#define BIPEDKIN_STATE_SIZE (2 * BIPEDKIN_COORDINATES)

typedef struct bipedkin_evaluator bipedkin_evaluator;

typedef enum {
  BIPEDKIN_INPUT_STATE = 0, /* the 44-element state x */
  BIPEDKIN_INPUT_SCALAR = 1 /* one scalar, never read */
} bipedkin_input;

typedef enum {
  BIPEDKIN_OK = 0,
  BIPEDKIN_UNKNOWN_NAME = 1,
  BIPEDKIN_INVALID_ARGUMENT = 2
} bipedkin_status;

/* Evaluation flags. */
#define BIPEDKIN_ZERO_FILL 1u /* set every element to 0.0 before the evaluator writes its own */
#define BIPEDKIN_FAST 2u      /* evaluate on packs of states, within the bound above */

/* The evaluators: count, by position (0 .. count-1), by name. */
BIPEDKIN_API size_t bipedkin_count(void);
BIPEDKIN_API const bipedkin_evaluator* bipedkin_at(size_t index);
BIPEDKIN_API bipedkin_status bipedkin_find(const char* name, const bipedkin_evaluator** evaluator);

BIPEDKIN_API const char* bipedkin_name(const bipedkin_evaluator* evaluator);
BIPEDKIN_API bipedkin_input bipedkin_input_form(const bipedkin_evaluator* evaluator);
BIPEDKIN_API size_t bipedkin_rows(const bipedkin_evaluator* evaluator);
BIPEDKIN_API size_t bipedkin_cols(const bipedkin_evaluator* evaluator);

/* out receives rows x cols doubles from x. */
BIPEDKIN_API bipedkin_status bipedkin_eval(const bipedkin_evaluator* evaluator, const double* x, double* out,
                                           unsigned flags);

/* n states stored column by column (44 x n) into n outputs stored one after
 * the other (rows x cols x n). threads: 1 evaluates on the calling thread,
 * k > 1 on up to k threads, 0 lets the library choose (the environment
 * variable BIPEDKIN_THREADS if set, else one thread per core for batches
 * large enough to gain from it). */
BIPEDKIN_API bipedkin_status bipedkin_eval_batch(const bipedkin_evaluator* evaluator, const double* x, size_t n,
                                                 double* out, unsigned flags, unsigned threads);

/* The path BIPEDKIN_FAST takes in this process: "avx512", "avx2", "sse2",
 * or "exact" where the fast mode is the exact path. */
BIPEDKIN_API const char* bipedkin_fast_path(void);

/* The calling thread's last failure (at most 511 bytes), or "" after success. */
BIPEDKIN_API const char* bipedkin_last_error(void);

/* The library's version, "MAJOR.MINOR.PATCH". */
BIPEDKIN_API const char* bipedkin_version(void);

#ifdef __cplusplus
}
#endif

#endif
