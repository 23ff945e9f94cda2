// Many states at once through the C library, exact and fast:
//
//   batch_exact/NAME    bipedkin_eval_batch on N = 1024 states, one thread,
//                       the exact path;
//   fast_<path>/NAME    the same states through the fast kernel of one
//                       vector path (avx512, avx2, sse2: every path this
//                       processor runs), a pack of W states a call, as the
//                       library's fast batch calls it;
//   batch_fast/NAME     bipedkin_eval_batch with BIPEDKIN_FAST on the same
//                       states, one thread (the widest path), for the
//                       quantities of the KDL comparison;
//   throughput_{exact,fast}/NAME  10^6 states in one call on every core
//                       (real time; states per second as a counter).
//
// Every benchmark of N states reports the counter "states", by which the
// summary divides its time. Before anything is timed the setup checks that
// every path's results are within the fast mode's bound of the exact ones,
// and that the library's fast batch is its path's kernels bit for bit.
#include "batch.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bipedkin.h"
#include "gateway/rows.hpp"
#include "lib/fast/bound.hpp"
#include "lib/fast/fast.hpp"

namespace bipedkin::bench {
namespace {

constexpr std::size_t state_size = model::state_size;
constexpr std::size_t batch_states = 1024;
constexpr std::size_t throughput_states = 1000000;

// The quantities timed at 10^6 states and through the library's fast batch.
const char* const contact_quantities[] = {"pos_toe_sole_l", "rot_toe_sole_l", "jac_toe_sole_l", "jacdot_toe_sole_l"};

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "benchmark setup: %s\n", what.c_str());
  std::exit(1);
}

// States one after the other: base position and rates in [-1, 1), angles
// in [-pi, pi), as the kernel benchmarks' pool.
std::vector<double> random_states(std::size_t n, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::vector<double> x(n * state_size);
  for (std::size_t s = 0; s < n; ++s)
    for (std::size_t k = 0; k < state_size; ++k) x[s * state_size + k] = (k >= 3 && k < 22 ? M_PI : 1.0) * unit(rng);
  return x;
}

const std::vector<double>& batch_pool() {
  static const std::vector<double> x = random_states(batch_states, 0x62617463);
  return x;
}

const bipedkin_evaluator* evaluator(std::size_t row) {
  const bipedkin_evaluator* e = bipedkin_at(row);
  if (e == nullptr) fail(bipedkin_last_error());
  return e;
}

void run_batch(benchmark::State& st, std::size_t row, unsigned flags) {
  const bipedkin_evaluator* e = evaluator(row);
  std::vector<double> out(batch_states * gateway::evaluators[row].size());
  benchmark::DoNotOptimize(out.data());
  for (auto _ : st) {
    bipedkin_eval_batch(e, batch_pool().data(), batch_states, out.data(), flags, 1);
    benchmark::ClobberMemory();
  }
  st.counters["states"] = batch_states;
}

void run_path(benchmark::State& st, const fast::Path* path, std::size_t row) {
  const fast::Kernel kernel = path->kernels[row];
  const std::size_t size = static_cast<std::size_t>(gateway::evaluators[row].size());
  const std::size_t width = static_cast<std::size_t>(path->width);
  std::vector<double> out(batch_states * size);
  benchmark::DoNotOptimize(out.data());
  const double* x = batch_pool().data();
  for (auto _ : st) {
    for (std::size_t k = 0; k < batch_states; k += width) kernel(out.data() + k * size, x + k * state_size);
    benchmark::ClobberMemory();
  }
  st.counters["states"] = batch_states;
}

void run_throughput(benchmark::State& st, std::size_t row, unsigned flags) {
  static const std::vector<double> x = random_states(throughput_states, 0x6d696c6c);
  const bipedkin_evaluator* e = evaluator(row);
  std::vector<double> out(throughput_states * gateway::evaluators[row].size());
  benchmark::DoNotOptimize(out.data());
  for (auto _ : st) {
    bipedkin_eval_batch(e, x.data(), throughput_states, out.data(), flags, 0);
    benchmark::ClobberMemory();
  }
  st.counters["states"] = throughput_states;
  st.counters["states_per_second"] =
      benchmark::Counter(static_cast<double>(throughput_states), benchmark::Counter::kIsIterationInvariantRate);
}

void check(std::size_t row) {
  const gateway::Evaluator& row_of = gateway::evaluators[row];
  const std::size_t size = static_cast<std::size_t>(row_of.size());
  const double* x = batch_pool().data();
  std::vector<double> exact(batch_states * size), library(batch_states * size);
  bipedkin_eval_batch(evaluator(row), x, batch_states, exact.data(), BIPEDKIN_ZERO_FILL, 1);
  bipedkin_eval_batch(evaluator(row), x, batch_states, library.data(), BIPEDKIN_ZERO_FILL | BIPEDKIN_FAST, 1);
  for (const fast::Path& path : fast::paths()) {
    if (!path.supported()) continue;
    std::vector<double> packs(batch_states * size, 0.0);
    for (std::size_t k = 0; k < batch_states; k += static_cast<std::size_t>(path.width)) {
      path.kernels[row](packs.data() + k * size, x + k * state_size);
    }
    for (std::size_t s = 0; s < batch_states; ++s) {
      const double d = fast::normwise_difference(packs.data() + s * size, exact.data() + s * size, size);
      if (!(d <= fast::bound)) fail(std::string(row_of.name) + ": " + path.name + " differs by " + std::to_string(d));
    }
    if (&path == fast::chosen() && packs != library) {
      fail(std::string(row_of.name) + ": the library's fast batch is not its path's kernels");
    }
  }
}

}  // namespace

void register_batch_benchmarks() {
  for (std::size_t row = 0; row < gateway::count; ++row) {
    const gateway::Evaluator& e = gateway::evaluators[row];
    if (!e.reads_state) continue;
    check(row);
    const std::string name = e.name;
    benchmark::RegisterBenchmark(("batch_exact/" + name).c_str(), run_batch, row, 0u);
    for (const fast::Path& path : fast::paths()) {
      if (!path.supported()) continue;
      benchmark::RegisterBenchmark(("fast_" + std::string(path.name) + "/" + name).c_str(), run_path, &path, row);
    }
  }
  for (const char* name : contact_quantities) {
    const gateway::Evaluator* e = gateway::find(name);
    if (e == nullptr) fail(std::string("no evaluator ") + name);
    const std::size_t row = static_cast<std::size_t>(e - gateway::evaluators.data());
    benchmark::RegisterBenchmark((std::string("batch_fast/") + name).c_str(), run_batch, row, unsigned{BIPEDKIN_FAST});
    benchmark::RegisterBenchmark((std::string("throughput_exact/") + name).c_str(), run_throughput, row, 0u)
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("throughput_fast/") + name).c_str(), run_throughput, row,
                                 unsigned{BIPEDKIN_FAST})
        ->UseRealTime()
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::AddCustomContext("fast_path", bipedkin_fast_path());
  benchmark::AddCustomContext("batch_states", std::to_string(batch_states));
  benchmark::AddCustomContext("throughput_states", std::to_string(throughput_states));
}

}  // namespace bipedkin::bench
