// Calling built deliverables through the built-in host, as a MATLAB user's
// script would, plus the states the tests use.
#pragma once

#include <array>
#include <cstdint>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "bipedkin/host.hpp"

namespace bipedkin::testing {

using StateVector = std::array<double, 44>;

inline constexpr double pi = std::numbers::pi;

// The deliverable, loaded once per process from the build's output folder.
const host::Library& library(const std::string& name);

host::Array column(const StateVector& x);
host::Array row(const StateVector& x);

// Calls name(x) with x as a 44x1 column and returns its output, column-major.
// A refused call fails the test.
std::vector<double> eval(const std::string& name, const StateVector& x, const host::CallOptions& options = {});

// The state with q(k) = value (1-based) and every other element zero.
StateVector with_q(std::initializer_list<std::pair<int, double>> entries);

// Angles and rates uniform in [-range, range]; base position in [-1, 1].
StateVector random_state(std::mt19937_64& rng, double range = 1.5);

// f(x) on `trials` states drawn by random_state(rng, range) from one
// generator seeded with `seed`.
template <class F>
void on_random_states(std::uint64_t seed, int trials, double range, F&& f) {
  std::mt19937_64 rng(seed);
  for (int trial = 0; trial < trials; ++trial) f(random_state(rng, range));
}

// f(site, side, x) for every site of `sites` and both legs ('l', 'r') on
// each of those states.
template <class F>
void on_sites_and_states(std::uint64_t seed, int trials, double range, const std::vector<std::string>& sites, F&& f) {
  on_random_states(seed, trials, range, [&](const StateVector& x) {
    for (char side : {'l', 'r'})
      for (const auto& site : sites) f(site, side, x);
  });
}

// Exchanges the blocks of the two legs in q and in dq.
StateVector swap_legs(const StateVector& x);

// The coordinate (1-based) of joint j (1 mount .. 8 toe) of leg 'l' or 'r'.
constexpr int coordinate(char side, int j) { return (side == 'l' ? 6 : 14) + j; }

// Directions of change of a state: q(k) alone, and q along the rates dq
// (the motion the rates describe).
StateVector along_q(int k);
StateVector along_rates(const StateVector& x);

// (name(x + h v) - name(x - h v)) / (2 h): the central difference of a
// deliverable's output along the direction v.
std::vector<double> central_difference(const std::string& name, const StateVector& x, const StateVector& v, double h);

// An input array of any class, complex or not, full or sparse: the double
// ones (and the sparse ones) hold sample values, some zeros and the rest
// distinct, so that every accepted form of an input carries the same
// elements.
struct InputSpec {
  std::vector<std::size_t> dims;
  mxClassID class_id = mxDOUBLE_CLASS;
  bool complex = false;
  bool sparse = false;
};
host::Array make_input(const InputSpec& s);

// The elements (linear positions, 0-based) a deliverable writes at x: those
// that no longer hold the host's NaN fill. x must be finite.
std::vector<std::size_t> written_elements(const std::string& name, const StateVector& x);

// Elements of a 3-row matrix given column by column: {column, "rows"}, e.g.
// {{1, "1"}, {4, "23"}, {5, "123"}} for (1,1), (2,4), (3,4) and column 5.
std::vector<std::size_t> elements(std::initializer_list<std::pair<int, const char*>> columns);

// Linear position (0-based) of element (i, j), 1-based, of an m-row matrix.
constexpr std::size_t at(int i, int j, int m) { return static_cast<std::size_t>((i - 1) + m * (j - 1)); }

}  // namespace bipedkin::testing
