#include "lib/fast/fast.hpp"

#include <cstdlib>
#include <string_view>

#if defined(BIPEDKIN_HAVE_FAST)
extern "C" const bipedkin::fast::Kernel bipedkin_fast_avx512_kernels[];
extern "C" const bipedkin::fast::Kernel bipedkin_fast_avx2_kernels[];
extern "C" const bipedkin::fast::Kernel bipedkin_fast_sse2_kernels[];
#endif

namespace bipedkin::fast {
namespace {

#if defined(BIPEDKIN_HAVE_FAST)
bool has_avx512() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f");
}
bool has_avx2() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
bool has_sse2() { return true; }

const Path all[] = {
    {"avx512", 8, bipedkin_fast_avx512_kernels, has_avx512},
    {"avx2", 4, bipedkin_fast_avx2_kernels, has_avx2},
    {"sse2", 2, bipedkin_fast_sse2_kernels, has_sse2},
};
#endif

const Path* choose() {
  const Path* widest = nullptr;
  for (const Path& p : paths()) {
    if (p.supported()) {
      widest = &p;
      break;
    }
  }
  const char* wanted = std::getenv("BIPEDKIN_SIMD");
  if (wanted == nullptr || *wanted == '\0') return widest;
  if (std::string_view(wanted) == "scalar") return nullptr;
  // A narrower path than the widest is taken as asked; a wider one than the
  // processor has cannot be, nor an unknown name: those leave the widest.
  for (const Path& p : paths()) {
    if (std::string_view(wanted) == p.name && p.supported()) return &p;
  }
  return widest;
}

}  // namespace

std::span<const Path> paths() {
#if defined(BIPEDKIN_HAVE_FAST)
  return all;
#else
  return {};
#endif
}

const Path* chosen() {
  static const Path* const path = choose();
  return path;
}

}  // namespace bipedkin::fast
