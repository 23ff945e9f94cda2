// Quoting a caller's text back in a message.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bipedkin::gateway {

// At most a line's worth of a caller's text: a refusal that names what it
// refused stays readable whatever it was given.
inline constexpr std::size_t quoted_length = 64;

inline std::string quoted(std::string_view text) {
  if (text.size() <= quoted_length) return std::string(text);
  return std::string(text.substr(0, quoted_length - 3)) + "...";
}

// The edit distance of two texts: insertions, deletions and substitutions.
inline std::size_t edit_distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Up to `count` of the names closest to text, nearest first, as
// "a, b, c" (ties in the order of names).
template <class Names>
std::string closest(std::string_view text, const Names& names, std::size_t count = 3) {
  std::vector<std::pair<std::size_t, std::string_view>> ranked;
  const std::string_view probe = text.substr(0, quoted_length);
  for (const auto& name : names) ranked.emplace_back(edit_distance(probe, name), name);
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::string out;
  for (std::size_t i = 0; i < std::min(count, ranked.size()); ++i) {
    if (i > 0) out += ", ";
    out += ranked[i].second;
  }
  return out;
}

}  // namespace bipedkin::gateway
