// The batch benchmarks: exact and fast, per path, at N = 1024 states on one
// thread and at 10^6 states on every core (batch.cpp).
#pragma once

namespace bipedkin::bench {

// Checks every path against the exact one, then registers the benchmarks.
void register_batch_benchmarks();

}  // namespace bipedkin::bench
