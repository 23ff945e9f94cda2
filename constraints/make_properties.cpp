// bipedkin_make_properties TABLE ENTRY OUTPUT
//
// Writes, as C++ source, the stored form of the ResolvedFunctions array of
// one constraint deliverable's build properties, from the readable table
// TABLE (resolved_functions.txt) with @ENTRY@ replaced by the entry point
// ENTRY:
//
//   resolved_functions         pieces of lowercase hexadecimal text, 256
//                              characters each but the last, then "";
//   resolved_functions_length  the inflated length in bytes.
//
// The hexadecimal text spells a zlib stream (default compression) of
// MAT-file level 5 data: the 8-byte prefix (version 0x0100, "IM", four zero
// bytes) and one miMATRIX element holding a 1xN structure array with the
// fields context, name, dominantType, resolved, fileTimeLo, fileTimeHi,
// mFileTimeLo, mFileTimeHi, rhs and lhs. Text is 1xN char stored as miUTF8
// (an empty text is a 0x0 char with an empty miUTF8 element), the time
// stamps 1x1 double stored as miDOUBLE, rhs and lhs empty 1x0 cells. The
// output depends on nothing but the table and the entry point, so builds
// are reproducible byte for byte.


#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bipedkin/mat5.hpp"

namespace {

using namespace bipedkin::mat5;

struct Row {
  std::string context, name, dominant_type, resolved;
  double file_time_lo;
};

// An array's flags, dimensions and an empty name.
Bytes array_head(std::uint32_t array_class, std::vector<std::int32_t> dims) { return head(array_class, 0, dims); }

Bytes text(const std::string& s) {
  for (unsigned char c : s) {
    if (c < 0x20 || c > 0x7e) throw std::runtime_error("text outside printable ASCII: '" + s + "'");
  }
  const auto n = static_cast<std::int32_t>(s.size());
  return matrix(cat({array_head(char_class, {n == 0 ? 0 : 1, n}), text_element(miUTF8, s)}));
}

Bytes scalar(double v) { return matrix(cat({array_head(double_class, {1, 1}), element(miDOUBLE, &v, sizeof v)})); }

Bytes empty_cell_row() { return matrix(array_head(cell_class, {1, 0})); }

Bytes stored_data(const std::vector<Row>& rows) {
  static const char* const fields[] = {"context",     "name",        "dominantType", "resolved", "fileTimeLo",
                                       "fileTimeHi",  "mFileTimeLo", "mFileTimeHi",  "rhs",      "lhs"};
  std::size_t longest = 0;
  for (const char* f : fields) longest = std::max(longest, std::strlen(f));
  const auto slot = static_cast<std::int32_t>(longest + 1);

  Bytes body = cat({array_head(struct_class, {1, static_cast<std::int32_t>(rows.size())}),
                    field_names(std::vector<std::string>(std::begin(fields), std::end(fields)), slot)});
  for (const Row& r : rows) {
    for (const Bytes& value : {text(r.context), text(r.name), text(r.dominant_type), text(r.resolved),
                               scalar(r.file_time_lo), scalar(0), scalar(0), scalar(0), empty_cell_row(),
                               empty_cell_row()}) {
      body.insert(body.end(), value.begin(), value.end());
    }
  }
  return stream(matrix(body));
}

std::string trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) s.replace(at, from.size(), to);
  return s;
}

std::vector<Row> read_table(const char* path, const std::string& entry) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error(std::string("cannot read ") + path);
  std::vector<Row> rows;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string where = std::string(path) + ":" + std::to_string(number) + ": ";
    if (trim(line).empty() || trim(line)[0] == '#') continue;
    std::vector<std::string> cells;
    std::stringstream split(line);
    for (std::string cell; std::getline(split, cell, '|');) cells.push_back(trim(cell));
    if (cells.size() != 5) throw std::runtime_error(where + "expected 5 columns separated by '|'");
    char* end = nullptr;
    const double time = std::strtod(cells[4].c_str(), &end);
    if (cells[4].empty() || *end != '\0') throw std::runtime_error(where + "fileTimeLo is not a number");
    for (std::size_t k = 0; k < 4; ++k) {
      if (cells[k].empty()) throw std::runtime_error(where + "empty column (write '-' for an empty dominantType)");
    }
    rows.push_back({replaced(cells[0], "@ENTRY@", entry), cells[1], cells[2] == "-" ? "" : cells[2],
                    replaced(cells[3], "@ENTRY@", entry), time});
  }
  if (rows.empty()) throw std::runtime_error(std::string(path) + ": no rows");
  return rows;
}

std::string source(const std::string& entry, const Bytes& inflated, const Bytes& compressed) {
  std::string s = "// Generated by bipedkin_make_properties from constraints/resolved_functions.txt\n"
                  "// for " + entry + ": the stored ResolvedFunctions array. Do not edit.\n"
                  "inline constexpr const char* resolved_functions[] = {\n";
  for (const std::string& piece : pieces(hex(compressed))) s += "    \"" + piece + "\",\n";
  s += "    \"\"};\n";
  s += "inline constexpr std::uint32_t resolved_functions_length = " + std::to_string(inflated.size()) + "u;\n";
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s TABLE ENTRY OUTPUT\n", argv[0]);
    return 64;
  }
  try {
    const Bytes inflated = stored_data(read_table(argv[1], argv[2]));
    const std::string text = source(argv[2], inflated, deflate(inflated));
    // Written whole, then moved in place, so an interrupted build leaves no
    // half-written source behind.
    const std::string partial = std::string(argv[3]) + ".partial";
    {
      std::ofstream out(partial, std::ios::binary | std::ios::trunc);
      out << text;
      if (!out.flush()) throw std::runtime_error("cannot write " + partial);
    }
    if (std::rename(partial.c_str(), argv[3]) != 0) throw std::runtime_error(std::string("cannot write ") + argv[3]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bipedkin_make_properties: %s\n", e.what());
    return 1;
  }
  return 0;
}
