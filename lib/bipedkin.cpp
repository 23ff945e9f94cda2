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
#include "lib/fast/fast.hpp"

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

constexpr std::size_t state_size = bipedkin::model::state_size;

// What one call evaluates: an evaluator on states x into out, exactly or on
// packs of `width` states with a fast kernel.
struct Job {
  const bipedkin::gateway::Evaluator& e;
  const double* x;
  double* out;
  bool zero_fill;
  bipedkin::gateway::Kernel exact;
  bipedkin::fast::Kernel fast = nullptr;
  std::size_t width = 1;

  // States [first, last).
  void run(std::size_t first, std::size_t last) const {
    const std::size_t size = size_of(e);
    if (zero_fill) std::fill(out + first * size, out + last * size, 0.0);
    if (fast == nullptr) {
      const std::size_t stride = e.input == Input::state ? state_size : 0;
      for (std::size_t k = first; k < last; ++k) exact(out + k * size, x != nullptr ? x + k * stride : nullptr);
      return;
    }
    std::size_t k = first;
    for (; k + width <= last; k += width) fast(out + k * size, x + k * state_size);
    if (k < last) tail(k, last);
  }

  // Fewer states than a pack: padded into a full one with copies of the
  // last, never sent down another path, so that a state's result does not
  // depend on where it falls. The results are written back over the
  // caller's elements, which the kernel leaves as they were.
  void tail(std::size_t first, std::size_t last) const {
    constexpr std::size_t most = 8;  // the widest pack
    const std::size_t size = size_of(e), n = last - first;
    alignas(64) double in[most * state_size];
    alignas(64) double result[most * bipedkin::gateway::largest_size];
    for (std::size_t lane = 0; lane < width; ++lane) {
      const std::size_t k = first + std::min(lane, n - 1);
      std::copy(x + k * state_size, x + (k + 1) * state_size, in + lane * state_size);
      if (lane < n) std::copy(out + k * size, out + (k + 1) * size, result + lane * size);
    }
    fast(result, in);
    std::copy(result, result + n * size, out + first * size);
  }
};

// The fast kernel of a row on this processor, or null where the row does
// not read the state (its result is a constant) or the fast mode is the
// exact path.
Job make_job(const bipedkin_evaluator* evaluator, const double* x, double* out, unsigned flags) {
  const auto row = static_cast<std::size_t>(evaluator - evaluators.data());
  Job job{evaluator->row, x, out, (flags & BIPEDKIN_ZERO_FILL) != 0, bipedkin::gateway::kernels[row]};
  if ((flags & BIPEDKIN_FAST) != 0 && evaluator->row.reads_state) {
    if (const bipedkin::fast::Path* path = bipedkin::fast::chosen()) {
      job.fast = path->kernels[row];
      job.width = static_cast<std::size_t>(path->width);
    }
  }
  return job;
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
  make_job(e, x, out, flags).run(0, 1);
  return ok();
}

bipedkin_status bipedkin_eval_batch(const bipedkin_evaluator* e, const double* x, size_t n, double* out,
                                    unsigned flags, unsigned threads) {
  if (const bipedkin_status s = check(e, x, n, out); s != BIPEDKIN_OK) return s;
  const Job job = make_job(e, x, out, flags);
  const std::size_t workers =
      std::min<std::size_t>(threads == 0 ? automatic_threads(n) : threads, std::max<std::size_t>(n, 1));
  // Contiguous chunks, one per worker, each a whole number of packs but the
  // last; the calling thread takes the first. A worker that cannot be
  // started leaves its chunk to the calling thread.
  const auto boundary = [&](std::size_t w) { return w == workers ? n : n * w / workers / job.width * job.width; };
  std::vector<std::thread> started;
  std::vector<std::pair<std::size_t, std::size_t>> leftover;
  for (std::size_t w = 1; w < workers; ++w) {
    const std::size_t first = boundary(w), last = boundary(w + 1);
    if (first == last) continue;
    try {
      started.emplace_back([&job, first, last] { job.run(first, last); });
    } catch (...) {
      leftover.emplace_back(first, last);
    }
  }
  job.run(0, boundary(1));
  for (const auto& [first, last] : leftover) job.run(first, last);
  for (std::thread& t : started) t.join();
  return ok();
}

const char* bipedkin_fast_path(void) {
  const bipedkin::fast::Path* path = bipedkin::fast::chosen();
  return path != nullptr ? path->name : "exact";
}

const char* bipedkin_last_error(void) { return last_error; }

const char* bipedkin_version(void) { return BIPEDKIN_VERSION; }

}  // extern "C"
