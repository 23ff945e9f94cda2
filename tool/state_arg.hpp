// The STATE argument of the command-line tool.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "model/state.hpp"

namespace bipedkin::cli {

using StateValues = std::array<double, model::state_size>;

// A malformed argument: the tool reports it and exits with status 64.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// home | random:SEED | 44 comma-separated numbers | @FILE (44 numbers
// separated by whitespace or commas). Numbers are C decimal or hexadecimal
// floating-point literals; nan and inf (any case, optionally signed) are
// accepted as the IEEE values.
StateValues parse_state(const std::string& arg);

// The states of a batch: @FILE holding 44 x N numbers, the states one after
// the other, separated by whitespace or commas (N >= 1).
std::vector<double> parse_states(const std::string& arg);

// The state random:SEED names: 44 values uniform in [-1, 1), from SplitMix64
// seeded with SEED.
StateValues random_state(std::uint64_t seed);

}  // namespace bipedkin::cli
