// Printing a result matrix.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace bipedkin::cli {

enum class Format { pretty, raw, json };

struct Matrix {
  std::size_t rows = 0;
  std::size_t cols = 0;
  std::vector<double> values;  // column-major
};

// pretty: a titled, aligned table; raw: every element column-major, one per
// line, %.17g; json: {"name", "state", "rows", "cols", "value": [[row], ...]}.
void print(std::FILE* out, Format format, const std::string& name, const std::string& state, const Matrix& m);

}  // namespace bipedkin::cli
