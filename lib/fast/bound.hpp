// The fast mode's accuracy contract, as its checks measure it (the tests,
// the benchmarks' setup and the fuzz target of the batch).
#pragma once

#include <cmath>
#include <cstddef>

namespace bipedkin::fast {

// The largest normwise difference of a fast result from the exact one.
inline constexpr double bound = 4e-15;

// max |fast - exact| / max(1, max |exact|) over one state's n elements.
inline double normwise_difference(const double* fast, const double* exact, std::size_t n) {
  double difference = 0.0, largest = 1.0;
  for (std::size_t i = 0; i < n; ++i) {
    difference = std::fmax(difference, std::fabs(fast[i] - exact[i]));
    largest = std::fmax(largest, std::fabs(exact[i]));
  }
  return difference / largest;
}

}  // namespace bipedkin::fast
