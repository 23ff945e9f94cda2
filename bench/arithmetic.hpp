// Each kernel's arithmetic alone, its sines and cosines replaced by a cheap
// inline stand-in (arithmetic.cpp).
#pragma once

#include <array>
#include <cstddef>

#include "kernels.hpp"

namespace bipedkin::bench {

// Row `row` of the table of deliverables, in its order; null past the end.
KernelFunction arithmetic_kernel(std::size_t row);

}  // namespace bipedkin::bench
