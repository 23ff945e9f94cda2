#include "format.hpp"

#include <algorithm>
#include <cmath>

namespace bipedkin::cli {
namespace {

std::string number(const char* fmt, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

std::string pretty_number(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Inf" : "-Inf";
  if (v == 0.0) return "0";  // and -0
  return number("%.6g", v);
}

std::string json_number(double v) {
  if (std::isnan(v)) return "\"NaN\"";
  if (std::isinf(v)) return v > 0 ? "\"Inf\"" : "\"-Inf\"";
  return number("%.17g", v);
}

std::string json_string(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

void print(std::FILE* out, Format format, const std::string& name, const std::string& state, const Matrix& m) {
  auto at = [&](std::size_t i, std::size_t j) { return m.values[i + j * m.rows]; };
  switch (format) {
    case Format::raw:
      for (double v : m.values) std::fprintf(out, "%.17g\n", v);
      break;
    case Format::json: {
      std::string s = "{\"name\": " + json_string(name) + ", \"state\": " + json_string(state) +
                      ", \"rows\": " + std::to_string(m.rows) + ", \"cols\": " + std::to_string(m.cols) +
                      ", \"value\": [";
      for (std::size_t i = 0; i < m.rows; ++i) {
        s += i == 0 ? "[" : ", [";
        for (std::size_t j = 0; j < m.cols; ++j) s += (j == 0 ? "" : ", ") + json_number(at(i, j));
        s += "]";
      }
      std::fprintf(out, "%s]}\n", s.c_str());
      break;
    }
    case Format::pretty: {
      std::fprintf(out, "%s at %s: %zux%zu double\n", name.c_str(), state.c_str(), m.rows, m.cols);
      std::vector<std::string> cells(m.values.size());
      std::size_t width = 1;
      for (std::size_t k = 0; k < m.values.size(); ++k) {
        cells[k] = pretty_number(m.values[k]);
        width = std::max(width, cells[k].size());
      }
      for (std::size_t i = 0; i < m.rows; ++i) {
        std::string line;
        for (std::size_t j = 0; j < m.cols; ++j) {
          const std::string& c = cells[i + j * m.rows];
          line += std::string(width + 2 - c.size(), ' ') + c;
        }
        std::fprintf(out, "%s\n", line.c_str());
      }
      break;
    }
  }
}

}  // namespace bipedkin::cli
