// Benchmarks of every generated kernel, with what each is measured against:
//
//   kernel/NAME     the deliverable's kernel as shipped (bipedkin_kernel of
//                   NAME.so), on states drawn in turn from a pool;
//   floor/NAME      its trig floor: ::sincos on exactly the angles the
//                   kernel takes at the same states (recorded from a second
//                   build of the kernel), nothing else;
//   arith/NAME      the kernel's own arithmetic, its sincos calls replaced
//                   by an inline two-operation stand-in (arithmetic.cpp);
//   reference/NAME  the same quantity computed plainly (reference.hpp);
//   host/NAME       a whole call through the built-in host, Library::call:
//                   the call boundary, the gateway's checks, the zero-filled
//                   output, the kernel, and freeing the output; one
//                   deliverable a family;
//   entry/NAME      the same deliverable's mexFunction called directly,
//                   outside the call boundary, and its output destroyed;
//   capi/NAME       the same deliverable through the C library, one state
//                   per bipedkin_eval call;
//   capi_batch/NAME the whole pool in one bipedkin_eval_batch call on the
//                   calling thread (its time divided by the pool's size in
//                   the summary: the cost per state);
//   batch_exact/..., fast_<path>/..., batch_fast/..., throughput_*/...
//                   many states at once, exact and fast (batch.cpp);
//   kdl/...         Orocos KDL on the same quantities, where it is found;
//   ours/toe_sole_pose  pos_toe_sole_l and rot_toe_sole_l, the two calls
//                   that give what KDL's one pose call gives.
//
// Before anything is timed, the setup checks that every pair compared
// computes the same numbers, and stops if one does not.

#include <benchmark/benchmark.h>
#include <math.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bench/recording/recording.hpp"
#include "bipedkin.h"
#include "bipedkin/host.hpp"
#include "arithmetic.hpp"
#include "batch.hpp"
#include "kernels.hpp"
#include "reference.hpp"
#if BIPEDKIN_HAVE_KDL
#include "kdl_chain.hpp"
#endif

namespace {

namespace rec = bipedkin::recording;
namespace host = bipedkin::host;
using bipedkin::bench::KernelFunction;

constexpr std::size_t pool_size = 256;  // a power of two: the state index is i & (pool_size - 1)
constexpr std::size_t pool_mask = pool_size - 1;
constexpr int state_size = 44;
constexpr int max_output = 22 * 10;

// Random states: base position and every rate uniform in [-1, 1), every
// angle uniform in [-pi, pi).
std::vector<std::array<double, state_size>> make_pool() {
  std::mt19937_64 rng(0x6269706564);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::vector<std::array<double, state_size>> pool(pool_size);
  for (auto& x : pool) {
    for (int k = 0; k < state_size; ++k) x[k] = k >= 3 && k < 22 ? M_PI * unit(rng) : unit(rng);
  }
  return pool;
}

const auto pool = make_pool();

const double* state_at(std::size_t i) { return pool[i & pool_mask].data(); }

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "benchmark setup: %s\n", what.c_str());
  std::exit(1);
}

double max_difference(const double* a, const double* b, int n) {
  double d = 0.0;
  for (int i = 0; i < n; ++i) d = std::fmax(d, std::fabs(a[i] - b[i]));
  return d;
}

struct Kernel {
  std::string name;
  int size;  // output elements
  std::optional<bipedkin::bench::ShippedKernel> library;
  KernelFunction function = nullptr;
  KernelFunction arithmetic = nullptr;
  int angle_count = 0;
  std::vector<double> angles;  // angle_count per pool state, state by state
  std::vector<double> expected;  // the shipped kernel's output at every pool state
  bipedkin::bench::reference::Reference reference{};
};

std::vector<std::unique_ptr<Kernel>> kernels;

Kernel& kernel_named(const std::string& name) {
  for (auto& k : kernels) {
    if (k->name == name) return *k;
  }
  fail("no deliverable " + name);
}

// Opens every kernel, records its angles at every pool state, and checks the
// shipped kernel against the recording build and the plain reference.
void set_up_kernels() {
  for (std::size_t row = 0; row < rec::kernel_count(); ++row) {
    auto k = std::make_unique<Kernel>();
    k->name = rec::kernel_name(row);
    k->size = rec::output_rows(row) * rec::output_cols(row);
    // The shipped kernel of a gateway row. The row whose gateway writes its
    // output itself has none in its deliverable, and a run-time row's is its
    // entry point (in1, out): both are timed as this build's kernel.
    const std::string symbol = rec::kernel_symbol(row);
    if (symbol != "bipedkin_kernel") {
      k->function = rec::kernel(row);
    } else {
      try {
        k->library = bipedkin::bench::open_kernel(k->name, BIPEDKIN_MEX_DIR, symbol);
        k->function = k->library->kernel;
      } catch (const std::exception& e) {
        fail(e.what());
      }
    }
    k->reference = bipedkin::bench::reference::find(k->name);
    k->arithmetic = bipedkin::bench::arithmetic_kernel(row);
    if (k->arithmetic == nullptr) fail(k->name + ": no arithmetic build");
    k->expected.assign(pool_size * k->size, 0.0);
    for (std::size_t s = 0; s < pool_size; ++s) {
      double* shipped = k->expected.data() + s * k->size;
      k->function(shipped, state_at(s));
      std::array<double, max_output> recorded{};
      const std::vector<double> angles = rec::run(row, recorded.data(), state_at(s));
      if (s == 0) k->angle_count = static_cast<int>(angles.size());
      if (static_cast<int>(angles.size()) != k->angle_count) fail(k->name + ": the number of angles varies");
      k->angles.insert(k->angles.end(), angles.begin(), angles.end());
      if (max_difference(shipped, recorded.data(), k->size) != 0.0) {
        fail(k->name + ": the shipped kernel and the recording build disagree");
      }
      if (k->reference.compute != nullptr) {
        std::array<double, max_output> plain{};
        k->reference(plain.data(), state_at(s));
        const double d = max_difference(shipped, plain.data(), k->size);
        if (!(d <= 1e-12)) fail(k->name + ": the plain reference differs by " + std::to_string(d));
      }
    }
    kernels.push_back(std::move(k));
  }
}

// ---------------------------------------------------------------------------
// Benchmarks

void run_kernel(benchmark::State& st, KernelFunction kernel, int angles) {
  alignas(64) double out[max_output] = {};
  benchmark::DoNotOptimize(out);
  std::size_t i = 0;
  for (auto _ : st) {
    kernel(out, state_at(i++));
    benchmark::ClobberMemory();
  }
  st.counters["sincos"] = angles;
}

void run_floor(benchmark::State& st, const Kernel* k) {
  const int n = k->angle_count;
  const double* angles = k->angles.data();
  alignas(64) double s[16], c[16];
  benchmark::DoNotOptimize(s);
  benchmark::DoNotOptimize(c);
  std::size_t i = 0;
  for (auto _ : st) {
    const double* a = angles + (i++ & pool_mask) * n;
    for (int j = 0; j < n; ++j) ::sincos(a[j], &s[j], &c[j]);
    benchmark::ClobberMemory();
  }
  st.counters["sincos"] = n;
}

void run_reference(benchmark::State& st, const Kernel* k) {
  alignas(64) double out[max_output] = {};
  benchmark::DoNotOptimize(out);
  const auto reference = k->reference;
  std::size_t i = 0;
  for (auto _ : st) {
    reference(out, state_at(i++));
    benchmark::ClobberMemory();
  }
}

// Whole calls through the built-in host, on a pool of input arrays.
struct HostCase {
  host::Library library;
  std::vector<host::Array> inputs;
  host::EntryPoint entry = nullptr;
};

void run_host(benchmark::State& st, HostCase* hc) {
  std::size_t i = 0;
  for (auto _ : st) {
    const mxArray* in[1] = {hc->inputs[i++ & pool_mask].get()};
    host::CallResult r = hc->library.call(1, in);
    benchmark::DoNotOptimize(r);
  }
}

// The deliverable's own part of a call: mexFunction called directly, outside
// the host's call boundary (no call context, no result to build), and the
// output destroyed.
void run_entry(benchmark::State& st, HostCase* hc) {
  std::size_t i = 0;
  for (auto _ : st) {
    const mxArray* in[1] = {hc->inputs[i++ & pool_mask].get()};
    mxArray* out[1] = {nullptr};
    hc->entry(1, out, 1, in);
    mxDestroyArray(out[0]);
  }
}

std::vector<std::unique_ptr<HostCase>> host_cases;

// One deliverable of each family, the longest chain where there is a choice.
const char* const host_family_members[] = {"pos_toe_sole_l",
                                           "rot_toe_sole_l",
                                           "omega_world_hip_flexion_l",
                                           "omega_body_hip_flexion_l",
                                           "angjac_world_hip_rotation_l",
                                           "angjac_body_hip_rotation_l",
                                           "jac_hip_abduction_l",
                                           "jacdot_mount_l",
                                           "actuation_matrix",
                                           "dyn_sparsity_8"};

void set_up_host() {
  for (const char* name : host_family_members) {
    const Kernel& k = kernel_named(name);
    const bool scalar = std::string(name).starts_with("dyn_sparsity_");
    auto hc = std::make_unique<HostCase>(HostCase{host::Library::open(name, BIPEDKIN_MEX_DIR), {}});
    for (std::size_t s = 0; s < pool_size; ++s) {
      hc->inputs.push_back(scalar ? host::make_double({1, 1}, std::span<const double>(state_at(s), 1))
                                  : host::make_double({state_size, 1}, std::span<const double>(state_at(s), state_size)));
    }
    // The host's result is the kernel's, at every state.
    for (std::size_t s = 0; s < pool_size; ++s) {
      const mxArray* in[1] = {hc->inputs[s].get()};
      host::CallResult r = hc->library.call(1, in);
      if (r.error) fail(std::string(name) + ": the host call failed: " + r.error->what());
      const std::vector<double> got = host::values(r.outputs.at(0).get());
      if (static_cast<int>(got.size()) != k.size ||
          max_difference(got.data(), k.expected.data() + s * k.size, k.size) != 0.0) {
        fail(std::string(name) + ": the host call and the kernel disagree");
      }
    }
    hc->entry = reinterpret_cast<host::EntryPoint>(hc->library.symbol("mexFunction"));
    benchmark::RegisterBenchmark(("host/" + std::string(name)).c_str(), run_host, hc.get());
    benchmark::RegisterBenchmark(("entry/" + std::string(name)).c_str(), run_entry, hc.get());
    host_cases.push_back(std::move(hc));
  }
}

// The C library on the same deliverables: per state in single calls, and per
// state in one batch of the whole pool (stored column by column, as a caller
// of the library stores it).
std::vector<double> pool_columns;

void run_capi(benchmark::State& st, const bipedkin_evaluator* e) {
  alignas(64) double out[max_output] = {};
  benchmark::DoNotOptimize(out);
  std::size_t i = 0;
  for (auto _ : st) {
    bipedkin_eval(e, state_at(i++), out, 0);
    benchmark::ClobberMemory();
  }
}

void run_capi_batch(benchmark::State& st, const bipedkin_evaluator* e) {
  std::vector<double> out(pool_size * bipedkin_rows(e) * bipedkin_cols(e));
  benchmark::DoNotOptimize(out.data());
  for (auto _ : st) {
    bipedkin_eval_batch(e, pool_columns.data(), pool_size, out.data(), 0, 1);
    benchmark::ClobberMemory();
  }
  st.counters["states"] = pool_size;
}

void set_up_capi() {
  for (std::size_t s = 0; s < pool_size; ++s) pool_columns.insert(pool_columns.end(), state_at(s), state_at(s) + state_size);
  for (const char* name : host_family_members) {
    const Kernel& k = kernel_named(name);
    const bipedkin_evaluator* e = nullptr;
    if (bipedkin_find(name, &e) != BIPEDKIN_OK) fail(std::string(name) + ": " + bipedkin_last_error());
    // The library's results are the kernel's, single and batched.
    std::vector<double> batch(pool_size * k.size);
    if (bipedkin_eval_batch(e, pool_columns.data(), pool_size, batch.data(), BIPEDKIN_ZERO_FILL, 1) != BIPEDKIN_OK) {
      fail(std::string(name) + ": " + bipedkin_last_error());
    }
    for (std::size_t s = 0; s < pool_size; ++s) {
      std::array<double, max_output> one{};
      bipedkin_eval(e, state_at(s), one.data(), BIPEDKIN_ZERO_FILL);
      const double* expected = k.expected.data() + s * k.size;
      if (max_difference(one.data(), expected, k.size) != 0.0 ||
          max_difference(batch.data() + s * k.size, expected, k.size) != 0.0) {
        fail(std::string(name) + ": the C library and the kernel disagree");
      }
    }
    benchmark::RegisterBenchmark(("capi/" + std::string(name)).c_str(), run_capi, e);
    benchmark::RegisterBenchmark(("capi_batch/" + std::string(name)).c_str(), run_capi_batch, e);
  }
}

#if BIPEDKIN_HAVE_KDL
std::unique_ptr<bipedkin::bench::kdl::Comparison> kdl;

void set_up_kdl() {
  using bipedkin::bench::kdl::Quantity;
  std::vector<const double*> states;
  for (std::size_t s = 0; s < pool_size; ++s) states.push_back(state_at(s));
  kdl = std::make_unique<bipedkin::bench::kdl::Comparison>(states);

  // Each KDL quantity with the kernels that give it: KDL's columns are those
  // of the joints that move the site, the rest of the kernels' columns
  // belong to joints that do not.
  struct Case {
    Quantity quantity;
    const char* name;
    std::vector<const char*> ours;
  };
  static const Case cases[] = {
      {Quantity::toe_sole_pose, "toe_sole_pose", {"pos_toe_sole_l", "rot_toe_sole_l"}},
      {Quantity::hip_abduction_jacobian, "jac_hip_abduction_l", {"jac_hip_abduction_l"}},
      {Quantity::mount_jacobian_rate, "jacdot_mount_l", {"jacdot_mount_l"}},
      {Quantity::toe_sole_jacobian, "jac_toe_sole_l", {"jac_toe_sole_l"}},
      {Quantity::toe_sole_jacobian_rate, "jacdot_toe_sole_l", {"jacdot_toe_sole_l"}},
  };
  for (const Case& c : cases) {
    for (std::size_t s = 0; s < pool_size; ++s) {
      std::array<double, max_output> theirs{};
      kdl->values(c.quantity, s, theirs.data());
      int at = 0;
      for (const char* name : c.ours) {
        const Kernel& k = kernel_named(name);
        const double d = max_difference(theirs.data() + at, k.expected.data() + s * k.size, k.size);
        if (!(d <= 1e-12)) fail(std::string("KDL disagrees with ") + name + " by " + std::to_string(d));
        at += k.size;
      }
    }
    const Quantity q = c.quantity;
    benchmark::RegisterBenchmark((std::string("kdl/") + c.name).c_str(), [q](benchmark::State& st) {
      std::size_t i = 0;
      for (auto _ : st) kdl->time(q, i++ & pool_mask);
    });
  }
}
#endif

void register_ours_pose() {
  const KernelFunction pos = kernel_named("pos_toe_sole_l").function;
  const KernelFunction rot = kernel_named("rot_toe_sole_l").function;
  benchmark::RegisterBenchmark("ours/toe_sole_pose", [pos, rot](benchmark::State& st) {
    alignas(64) double p[3], r[9];
    benchmark::DoNotOptimize(p);
    benchmark::DoNotOptimize(r);
    std::size_t i = 0;
    for (auto _ : st) {
      const double* x = state_at(i++);
      pos(p, x);
      rot(r, x);
      benchmark::ClobberMemory();
    }
  });
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  set_up_kernels();
  for (const auto& k : kernels) {
    benchmark::RegisterBenchmark(("kernel/" + k->name).c_str(), run_kernel, k->function, k->angle_count);
    if (k->angle_count > 0) {
      benchmark::RegisterBenchmark(("floor/" + k->name).c_str(), run_floor, k.get());
      benchmark::RegisterBenchmark(("arith/" + k->name).c_str(), run_kernel, k->arithmetic, 0);
    }
    if (k->reference.compute != nullptr) {
      benchmark::RegisterBenchmark(("reference/" + k->name).c_str(), run_reference, k.get());
    }
  }
  set_up_host();
  set_up_capi();
  bipedkin::bench::register_batch_benchmarks();
  register_ours_pose();
#if BIPEDKIN_HAVE_KDL
  set_up_kdl();
  benchmark::AddCustomContext("kdl", "Orocos KDL " BIPEDKIN_KDL_VERSION);
#else
  std::fprintf(stderr, "Orocos KDL not found at build time: the KDL comparison is left out\n");
  benchmark::AddCustomContext("kdl", "absent");
#endif
  benchmark::AddCustomContext("compiler", "GCC " __VERSION__);
  benchmark::AddCustomContext("flags", BIPEDKIN_CXX_FLAGS);
  benchmark::AddCustomContext("pool_states", std::to_string(pool_size));

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
