// Every deliverable's kernel (the local symbol bipedkin_kernel, or a
// run-time row's entry point) compiled to straight-line code: no loop, no division or square root, no
// call but to the sines and cosines; and it calls sincos exactly as often as
// the kernel takes a sine and cosine. Planted libraries show that the check
// rejects each kind of fault.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <random>
#include <string>
#include <vector>

#include "bench/recording/recording.hpp"
#include "straight_line.hpp"

namespace {

namespace sl = bipedkin::straight_line;
namespace rec = bipedkin::recording;

const std::filesystem::path deliverable_dir = BIPEDKIN_MEX_DIR;
const std::filesystem::path planted_dir = BIPEDKIN_PLANTED_DIR;
const std::string objdump = BIPEDKIN_OBJDUMP;

sl::Report check(const std::filesystem::path& library, const std::string& symbol = "bipedkin_kernel",
                 const std::vector<std::string>& allowed = sl::allowed_callees) {
  return sl::check(objdump, library, symbol, allowed);
}

bool has_finding(const sl::Report& r, const std::string& reason) {
  for (const auto& f : r.findings) {
    if (f.reason.find(reason) != std::string::npos) return true;
  }
  return false;
}

TEST(StraightLine, EveryDeliverableKernelIsStraightLine) {
  ASSERT_GT(rec::kernel_count(), 0u);
  std::mt19937_64 rng(8);
  std::uniform_real_distribution<double> uniform(-3.0, 3.0);
  std::vector<double> x(44);
  for (double& v : x) v = uniform(rng);

  for (std::size_t i = 0; i < rec::kernel_count(); ++i) {
    const std::string name(rec::kernel_name(i));
    SCOPED_TRACE(name);
    const std::string symbol = rec::kernel_symbol(i);
    if (symbol.empty()) {
      // The gateway writes this row's output itself: its deliverable has no
      // kernel to check, and must not have one.
      EXPECT_FALSE(check(deliverable_dir / (name + ".so")).found) << name << " has a kernel its gateway never calls";
      continue;
    }
    const sl::Report r = check(deliverable_dir / (name + ".so"), symbol);
    ASSERT_TRUE(r.found) << r.error;
    EXPECT_GT(r.instructions, 0u);
    EXPECT_TRUE(r.findings.empty()) << sl::describe(r);

    // Each sine and cosine is one sincos call, executed once: the compiled
    // kernel has as many call sites as the kernel takes angles.
    std::vector<double> out(static_cast<std::size_t>(rec::output_rows(i) * rec::output_cols(i)), 0.0);
    const std::size_t angles = rec::run(i, out.data(), x.data()).size();
    const auto count = [&](const char* callee) { return r.calls.contains(callee) ? r.calls.at(callee) : 0; };
    EXPECT_EQ(count("sincos"), static_cast<int>(angles));
    EXPECT_EQ(count("sin") + count("cos"), 0) << "a sine or cosine taken on its own";
  }
}

// Each planted library breaks the rule once, and the check must say how
// (and not mistake it for something else).
TEST(StraightLine, RejectsEachPlantedFault) {
  struct Planted {
    const char* file;
    const char* finding;
    const char* not_finding;  // or null
  };
  const Planted planted[] = {
      {"planted_loop.so", "backward branch", nullptr},
      {"planted_division.so", "division", "backward branch"},
      {"planted_root.so", "square root", nullptr},
      {"planted_call.so", "call to exp", nullptr},
  };
  for (const Planted& p : planted) {
    SCOPED_TRACE(p.file);
    const sl::Report r = check(planted_dir / p.file);
    ASSERT_TRUE(r.found) << r.error;
    EXPECT_TRUE(has_finding(r, p.finding)) << sl::describe(r);
    if (p.not_finding != nullptr) {
      EXPECT_FALSE(has_finding(r, p.not_finding)) << sl::describe(r);
    }
  }
}

TEST(StraightLine, AcceptsSincosCallsAndATailCall) {
  const sl::Report r = check(planted_dir / "planted_clean.so");
  ASSERT_TRUE(r.found) << r.error;
  EXPECT_TRUE(r.findings.empty()) << sl::describe(r);
  ASSERT_TRUE(r.calls.contains("sincos"));
  EXPECT_EQ(r.calls.at("sincos"), 2);
}

// A jump back out of a block placed at the end closes no cycle: no loop.
TEST(StraightLine, AcceptsAJumpBackThatClosesNoLoop) {
  const sl::Report r = check(planted_dir / "planted_cold.so");
  ASSERT_TRUE(r.found) << r.error;
  EXPECT_TRUE(r.findings.empty()) << sl::describe(r);
  EXPECT_EQ(r.forward_branches, 2u);
}

TEST(StraightLine, AMissingKernelIsNotAPass) {
  // The host library has no kernel: a stripped or wrong file must not pass
  // as a clean one.
  const sl::Report r = check(deliverable_dir / "libmx.so");
  EXPECT_FALSE(r.found);
  EXPECT_FALSE(check(deliverable_dir / "no_such_deliverable.so").found);
}

}  // namespace

namespace {

// Every angular kernel takes the sine and cosine of every angle of its
// site's chain, the site's own joint included, once each: the base angles
// and the leg's joints up to the site's, coaxial (mount and hip abduction)
// and parallel (hip flexion on) joints as the sum of their angles.
TEST(Angles, EveryAngularKernelTakesEveryAngleOfItsChainOnce) {
  std::vector<double> x(44, 0.0);
  for (int k = 4; k <= 22; ++k) x[static_cast<std::size_t>(k - 1)] = 0.001 * k * k;  // sums stay distinct
  // The groups of angles each frame's chain takes, in the order of the
  // frames: the base angles, the mount and hip abduction's sum, the hip
  // rotation, and the sum of the sagittal joints up to the frame's own (the
  // toe sole's frame rides on the toe).
  const char* const sites[] = {"mount", "hip_abduction", "hip_rotation", "hip_flexion",
                               "knee",  "shin",          "ankle",        "toe_sole"};
  auto chain = [](std::size_t frame) {
    std::vector<std::vector<int>> groups = {{4}, {5}, {6}, frame == 0 ? std::vector<int>{7} : std::vector<int>{7, 8}};
    if (frame >= 2) groups.push_back({9});
    if (frame >= 3) {
      std::vector<int> sagittal;
      for (int k = 10; k <= 10 + static_cast<int>(frame) - 3; ++k) sagittal.push_back(k);
      groups.push_back(sagittal);
    }
    return groups;
  };
  std::size_t checked = 0;
  for (std::size_t i = 0; i < rec::kernel_count(); ++i) {
    const std::string name(rec::kernel_name(i));
    if (!name.starts_with("omega_") && !name.starts_with("angjac_")) continue;
    const char side = name.back();
    // omega_world_<site>_<side>, angjac_body_<site>_<side>, ...
    const std::size_t first = name.find('_', name.find('_') + 1) + 1;
    const std::string site = name.substr(first, name.size() - 2 - first);
    const auto at = std::find(std::begin(sites), std::end(sites), site);
    ASSERT_NE(at, std::end(sites)) << name;
    std::vector<double> expected;
    for (const auto& group : chain(static_cast<std::size_t>(at - std::begin(sites)))) {
      double sum = 0.0;
      for (int k : group) sum += x[static_cast<std::size_t>((k <= 6 || side == 'l' ? k : k + 8) - 1)];
      expected.push_back(sum);
    }
    std::vector<double> out(66, 0.0);
    std::vector<double> taken = rec::run(i, out.data(), x.data());
    std::sort(taken.begin(), taken.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(taken, expected) << name;
    ++checked;
  }
  EXPECT_EQ(checked, 64u);  // every frame's four kernels, both legs
}

}  // namespace

namespace {

// The fast mode's paths this build has, and the SLEEF function each calls
// for its sines and cosines.
struct VectorPath {
  std::string name;
  std::string sincos;
};
std::vector<VectorPath> vector_paths() {
  const std::map<std::string, std::string> sleef = {{"avx512", "Sleef_sincosd8_u10avx512f"},
                                                    {"avx2", "Sleef_sincosd4_u10avx2"},
                                                    {"sse2", "Sleef_sincosd2_u10sse2"}};
  std::vector<VectorPath> out;
  std::istringstream names(BIPEDKIN_FAST_PATHS);
  for (std::string name; names >> name;) out.push_back({name, sleef.at(name)});
  return out;
}

const std::filesystem::path c_library = deliverable_dir / "libbipedkin.so";

// Every row's kernel on a pack (bipedkin_fast_<path>_<row> in the C
// library), in every width: straight-line code whose only calls are its
// path's SLEEF sine and cosine, two call sites per angle the exact kernel
// takes (the second taken only for a pack with a huge or NaN angle: see
// lib/fast/width.inc).
TEST(StraightLine, EveryVectorKernelOfEveryWidthIsStraightLine) {
  const auto paths = vector_paths();
  if (paths.empty()) GTEST_SKIP() << "this build has no vector kernels";
  std::vector<double> x(44);
  std::mt19937_64 rng(9);
  std::uniform_real_distribution<double> uniform(-3.0, 3.0);
  for (double& v : x) v = uniform(rng);
  for (const VectorPath& path : paths) {
    for (std::size_t i = 0; i < rec::kernel_count(); ++i) {
      const std::string symbol = "bipedkin_fast_" + path.name + "_" + std::string(rec::kernel_name(i));
      SCOPED_TRACE(symbol);
      const sl::Report r = check(c_library, symbol, {path.sincos});
      ASSERT_TRUE(r.found) << r.error;
      EXPECT_TRUE(r.findings.empty()) << sl::describe(r);
      std::vector<double> out(static_cast<std::size_t>(rec::output_rows(i) * rec::output_cols(i)), 0.0);
      const int angles = static_cast<int>(rec::run(i, out.data(), x.data()).size());
      EXPECT_EQ(r.calls.contains(path.sincos) ? r.calls.at(path.sincos) : 0, 2 * angles);
    }
  }
}

// The AVX2 and AVX-512 code stays in their own kernels: no function of the
// C library outside them uses a register those instruction sets add, so
// that the library runs on any x86-64 (a function of the model compiled
// for AVX-512 and merged into the plain build would not).
TEST(StraightLine, NoWiderInstructionSetOutsideItsOwnKernels) {
  if (vector_paths().empty()) GTEST_SKIP() << "this build has no vector kernels";
  const std::vector<std::string> wide = sl::wide_vector_functions(
      objdump, c_library, {"bipedkin_fast_avx512", "bipedkin_fast_avx2", "Sleef_"});
  EXPECT_TRUE(wide.empty()) << wide.size() << " functions, the first " << wide.front();
}

}  // namespace
