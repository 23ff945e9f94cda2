// Every deliverable called from several threads at once through the host
// gives, bit for bit, what serial calls give, and the host's bookkeeping
// stays balanced.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <thread>

#include "support/compare.hpp"
#include "support/expected.hpp"
#include "support/harness.hpp"

namespace bipedkin::testing {
namespace {

host::Array input_for(const ExpectedDeliverable& d, const StateVector& x) {
  return d.form == Form::state ? column(x) : host::make_double({1, 1}, std::vector<double>{x[0]});
}

std::vector<double> call(const ExpectedDeliverable& d, const mxArray* input) {
  const mxArray* inputs[] = {input};
  const host::CallResult r = library(d.name).call(1, inputs);
  return r.error ? std::vector<double>{} : host::values(r.outputs.at(0).get());
}

TEST(Concurrency, ParallelCallsMatchSerialCallsBitForBit) {
  const std::vector<ExpectedDeliverable> all = expected_deliverables();
  std::mt19937_64 rng(71);
  std::vector<StateVector> states(8);
  for (auto& x : states) x = random_state(rng, 3.0);
  states[1][5] = NAN;
  states[2][9] = -0.0;

  std::vector<host::Array> inputs;
  std::vector<std::vector<double>> serial;
  for (const auto& d : all) {
    for (const auto& x : states) {
      inputs.push_back(input_for(d, x));
      serial.push_back(call(d, inputs.back().get()));
      ASSERT_FALSE(serial.back().empty()) << d.name;
    }
  }

  const std::size_t live_before = host::live_allocations();
  constexpr int threads = 4, rounds = 3;
  std::vector<int> mismatches(threads, 0);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&, t] {
      std::vector<std::size_t> order(inputs.size());
      std::iota(order.begin(), order.end(), 0);
      std::mt19937_64 local(static_cast<std::uint64_t>(t));
      for (int round = 0; round < rounds; ++round) {
        std::shuffle(order.begin(), order.end(), local);
        for (std::size_t i : order) {
          const auto& d = all[i / states.size()];
          const std::vector<double> r = call(d, inputs[i].get());
          if (r.size() != serial[i].size() ||
              std::memcmp(r.data(), serial[i].data(), r.size() * sizeof(double)) != 0) {
            ++mismatches[static_cast<std::size_t>(t)];
          }
        }
      }
    });
  }
  for (auto& th : pool) th.join();
  for (int t = 0; t < threads; ++t) EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << "thread " << t;
  EXPECT_EQ(host::live_allocations(), live_before);
}

}  // namespace
}  // namespace bipedkin::testing
