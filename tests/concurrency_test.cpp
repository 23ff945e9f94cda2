// Every deliverable called from several threads at once through the host
// gives, bit for bit, what serial calls give, and the host's bookkeeping
// stays balanced.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <random>
#include <thread>

#include "support/constraints_expected.hpp"
#include "support/expected.hpp"
#include "support/harness.hpp"

namespace bipedkin::testing {
namespace {

struct Call {
  std::string deliverable;
  std::vector<host::Array> inputs;
  std::vector<double> serial;

  std::vector<double> run() const {
    std::vector<const mxArray*> in;
    for (const auto& a : inputs) in.push_back(a.get());
    const host::CallResult r = library(deliverable).call(1, in);
    return r.error ? std::vector<double>{} : host::values(r.outputs.at(0).get());
  }
};

std::vector<Call> every_call() {
  std::mt19937_64 rng(71);
  std::vector<StateVector> states(6);
  for (auto& x : states) x = random_state(rng, 3.0);
  states[1][5] = NAN;
  states[2][9] = -0.0;
  std::vector<double> many;
  for (const auto& x : states) many.insert(many.end(), x.begin(), x.end());

  std::vector<Call> calls;
  auto add = [&](std::string name, auto... inputs) {
    Call c{std::move(name), {}, {}};
    (c.inputs.push_back(std::move(inputs)), ...);
    calls.push_back(std::move(c));
  };
  for (const auto& d : expected_deliverables()) {
    for (const auto& x : states) {
      if (d.form == Form::state) {
        add(d.name, column(x));
      } else {
        add(d.name, host::make_double({1, 1}, std::vector<double>{x[0]}));
      }
    }
    add("bipedkin_batch", host::Array(mxCreateString(d.name.c_str())), host::make_double({44, states.size()}, many));
  }
  for (const auto& c : expected_constraints()) {
    for (const auto& x : states) add(c.deliverable(), column(x));
  }
  return calls;
}

TEST(Concurrency, ParallelCallsMatchSerialCallsBitForBit) {
  std::vector<Call> calls = every_call();
  for (Call& c : calls) {
    c.serial = c.run();
    ASSERT_FALSE(c.serial.empty()) << c.deliverable;
  }

  const std::size_t live_before = host::live_allocations();
  constexpr int threads = 4, rounds = 3;
  std::vector<int> mismatches(threads, 0);
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&, t] {
      std::vector<std::size_t> order(calls.size());
      std::iota(order.begin(), order.end(), 0);
      std::mt19937_64 local(static_cast<std::uint64_t>(t));
      for (int round = 0; round < rounds; ++round) {
        std::shuffle(order.begin(), order.end(), local);
        for (std::size_t i : order) {
          const std::vector<double> r = calls[i].run();
          const std::vector<double>& s = calls[i].serial;
          if (r.size() != s.size() || std::memcmp(r.data(), s.data(), r.size() * sizeof(double)) != 0) {
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
