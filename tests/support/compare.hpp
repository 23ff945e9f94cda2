// Comparisons of result vectors.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace bipedkin::testing {

// Every element within tol of the other, and the same length.
inline ::testing::AssertionResult near(const std::vector<double>& a, const std::vector<double>& b, double tol) {
  if (a.size() != b.size()) return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!(std::abs(a[i] - b[i]) <= tol)) {
      return ::testing::AssertionFailure() << "element " << i + 1 << ": " << a[i] << " vs " << b[i] << " (difference "
                                           << a[i] - b[i] << ", tolerance " << tol << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

// Identical bit patterns, NaN payloads and signed zeros included.
inline ::testing::AssertionResult identical(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return ::testing::AssertionFailure() << "sizes " << a.size() << " and " << b.size();
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0) {
      return ::testing::AssertionFailure() << "element " << i + 1 << ": " << a[i] << " vs " << b[i];
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace bipedkin::testing
