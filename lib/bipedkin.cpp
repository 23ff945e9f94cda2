// The C library: every evaluator of the one list behind a small C interface,
// for callers outside MATLAB and Octave. The run-time-built constraint
// Jacobians are plain evaluators here.

#include "bipedkin.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "gateway/evaluators.hpp"
#include "gateway/text.hpp"

// The opaque handle of the interface: a row of the one list.
struct bipedkin_evaluator {
  bipedkin::gateway::Evaluator row;
};

namespace {

using bipedkin::gateway::Input;
static_assert(BIPEDKIN_STATE_SIZE == bipedkin::model::state_size);
static_assert(BIPEDKIN_COORDINATES == bipedkin::model::num_coordinates);
static_assert(BIPEDKIN_INPUT_STATE == static_cast<int>(Input::state) &&
              BIPEDKIN_INPUT_SCALAR == static_cast<int>(Input::scalar));

constexpr std::size_t count = bipedkin::gateway::count;

constexpr auto evaluators = []<std::size_t... i>(std::index_sequence<i...>) {
  return std::array<bipedkin_evaluator, count>{bipedkin_evaluator{bipedkin::gateway::evaluators[i]}...};
}(std::make_index_sequence<count>{});

// The calling thread's last failure. A plain buffer, with no constructor or
// destructor to run on first use, keeps a successful call's bookkeeping to
// one store.
thread_local char last_error[512];

bipedkin_status fail(bipedkin_status status, std::string_view message) {
  const std::size_t n = std::min(message.size(), sizeof last_error - 1);
  std::memcpy(last_error, message.data(), n);
  last_error[n] = '\0';
  return status;
}

bipedkin_status ok() {
  last_error[0] = '\0';
  return BIPEDKIN_OK;
}

// Below this many states per thread, starting a thread costs more than it saves.
constexpr std::size_t states_per_thread = 4096;

unsigned automatic_threads(std::size_t n) {
  if (const char* env = std::getenv("BIPEDKIN_THREADS"); env != nullptr && *env != '\0') {
    char* end = nullptr;
    const unsigned long v = std::strtoul(env, &end, 10);
    if (*end == '\0' && v >= 1 && v <= 1024) return static_cast<unsigned>(v);
  }
  const std::size_t useful = n / states_per_thread;
  if (useful <= 1) return 1;
  // Asked once: glibc reads the count of cores from /sys on every call.
  static const unsigned cores = std::max(std::thread::hardware_concurrency(), 1u);
  return static_cast<unsigned>(std::min<std::size_t>(cores, useful));
}

std::size_t size_of(const bipedkin::gateway::Evaluator& e) { return static_cast<std::size_t>(e.size()); }

void evaluate_range(const bipedkin::gateway::Evaluator& e, const double* x, std::size_t first, std::size_t last,
                    double* out, bool zero_fill) {
  const std::size_t size = size_of(e);
  const std::size_t stride = e.input == Input::state ? bipedkin::model::state_size : 0;
  for (std::size_t k = first; k < last; ++k) {
    double* o = out + k * size;
    if (zero_fill) std::fill(o, o + size, 0.0);
    e.kernel(o, x != nullptr ? x + k * stride : nullptr);
  }
}

bipedkin_status check(const bipedkin_evaluator* evaluator, const double* x, std::size_t n, const double* out) {
  if (evaluator == nullptr) return fail(BIPEDKIN_INVALID_ARGUMENT, "no evaluator given");
  const bipedkin::gateway::Evaluator& e = evaluator->row;
  if (n > 0 && out == nullptr) return fail(BIPEDKIN_INVALID_ARGUMENT, std::string(e.name) + ": no output given");
  if (n > 0 && x == nullptr && e.input == Input::state) {
    return fail(BIPEDKIN_INVALID_ARGUMENT, std::string(e.name) + ": no state given");
  }
  // One state always fits; the division is left to batches.
  constexpr std::size_t most = std::numeric_limits<std::size_t>::max();
  if (n > 1 && (n > most / (size_of(e) * sizeof(double)) || n > most / (BIPEDKIN_STATE_SIZE * sizeof(double)))) {
    return fail(BIPEDKIN_INVALID_ARGUMENT, std::string(e.name) + ": too many states");
  }
  return BIPEDKIN_OK;
}

}  // namespace

extern "C" {

size_t bipedkin_count(void) { return count; }

const bipedkin_evaluator* bipedkin_at(size_t index) {
  if (index >= count) {
    fail(BIPEDKIN_INVALID_ARGUMENT, "no evaluator at position " + std::to_string(index));
    return nullptr;
  }
  return &evaluators[index];
}

bipedkin_status bipedkin_find(const char* name, const bipedkin_evaluator** evaluator) {
  if (evaluator == nullptr) return fail(BIPEDKIN_INVALID_ARGUMENT, "nowhere to put the evaluator");
  *evaluator = nullptr;
  if (name == nullptr) return fail(BIPEDKIN_INVALID_ARGUMENT, "no name given");
  for (const bipedkin_evaluator& e : evaluators) {
    if (std::string_view(e.row.name) == name) {
      *evaluator = &e;
      return ok();
    }
  }
  std::vector<std::string_view> names;
  for (const bipedkin_evaluator& e : evaluators) names.emplace_back(e.row.name);
  return fail(BIPEDKIN_UNKNOWN_NAME, "no evaluator named '" + bipedkin::gateway::quoted(name) + "' (the closest are " +
                                         bipedkin::gateway::closest(name, names) + ")");
}

const char* bipedkin_name(const bipedkin_evaluator* e) { return e != nullptr ? e->row.name : ""; }
bipedkin_input bipedkin_input_form(const bipedkin_evaluator* e) {
  return e != nullptr ? static_cast<bipedkin_input>(e->row.input) : BIPEDKIN_INPUT_STATE;
}
size_t bipedkin_rows(const bipedkin_evaluator* e) { return e != nullptr ? static_cast<std::size_t>(e->row.rows) : 0; }
size_t bipedkin_cols(const bipedkin_evaluator* e) { return e != nullptr ? static_cast<std::size_t>(e->row.cols) : 0; }

bipedkin_status bipedkin_eval(const bipedkin_evaluator* e, const double* x, double* out, unsigned flags) {
  if (const bipedkin_status s = check(e, x, 1, out); s != BIPEDKIN_OK) return s;
  evaluate_range(e->row, x, 0, 1, out, (flags & BIPEDKIN_ZERO_FILL) != 0);
  return ok();
}

bipedkin_status bipedkin_eval_batch(const bipedkin_evaluator* e, const double* x, size_t n, double* out,
                                    unsigned flags, unsigned threads) {
  if (const bipedkin_status s = check(e, x, n, out); s != BIPEDKIN_OK) return s;
  const bool zero_fill = (flags & BIPEDKIN_ZERO_FILL) != 0;
  const std::size_t workers = std::min<std::size_t>(threads == 0 ? automatic_threads(n) : threads, std::max<std::size_t>(n, 1));
  // Contiguous chunks, one per worker; the calling thread takes the first.
  // A worker that cannot be started leaves its chunk to the calling thread.
  std::vector<std::thread> started;
  std::vector<std::pair<std::size_t, std::size_t>> leftover;
  for (std::size_t w = 1; w < workers; ++w) {
    const std::size_t first = n * w / workers, last = n * (w + 1) / workers;
    try {
      started.emplace_back(evaluate_range, std::cref(e->row), x, first, last, out, zero_fill);
    } catch (...) {
      leftover.emplace_back(first, last);
    }
  }
  evaluate_range(e->row, x, 0, n / workers, out, zero_fill);
  for (const auto& [first, last] : leftover) evaluate_range(e->row, x, first, last, out, zero_fill);
  for (std::thread& t : started) t.join();
  return ok();
}

const char* bipedkin_last_error(void) { return last_error; }

const char* bipedkin_version(void) { return BIPEDKIN_VERSION; }

}  // extern "C"
