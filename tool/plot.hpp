// A picture of both legs at one state, drawn from the positions the pos_
// deliverables return through the host.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "state_arg.hpp"

namespace bipedkin::cli {

using Point = std::array<double, 3>;

// The chain of one leg: the base origin, then every site from the mount to
// the toe sole (ten points).
struct Legs {
  std::vector<Point> left;
  std::vector<Point> right;
};

Legs leg_points(const StateValues& x, const std::filesystem::path& deliverables);

// An SVG document with a front (y-z) and a side (x-z) view of both legs.
std::string pose_svg(const Legs& legs, const std::string& state_name);

}  // namespace bipedkin::cli
