#include "props.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "state_arg.hpp"

namespace bipedkin::cli {
namespace {

using PropertiesFunction = mxArray* (*)();
thread_local PropertiesFunction properties_function = nullptr;

std::string shape(const mxArray* a) {
  const mwSize n = mxGetNumberOfDimensions(a);
  const mwSize* dims = mxGetDimensions(a);
  std::string s;
  for (mwSize i = 0; i < n; ++i) {
    if (i > 0) s += 'x';
    s += std::to_string(dims[i]);
  }
  return s;
}

// One value on one line: text as itself, a numeric or logical scalar as its
// value, empties as [] '' {}, anything bigger as its size and class.
std::string inline_value(const mxArray* a) {
  if (a == nullptr) return "[]";
  if (mxIsChar(a)) return mxIsEmpty(a) ? "''" : host::text(a);
  if (mxIsEmpty(a) && !mxIsStruct(a)) return mxIsCell(a) ? "{}" : "[]";
  if (mxGetNumberOfElements(a) == 1 && !mxIsComplex(a) && !mxIsSparse(a)) {
    if (mxIsLogical(a)) return mxGetLogicals(a)[0] ? "true" : "false";
    if (mxIsNumeric(a)) {
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", mxGetScalar(a));
      return buf;
    }
  }
  std::string s = "<";
  s += shape(a);
  s += ' ';
  s += mxGetClassName(a);
  s += '>';
  return s;
}

void print_table(std::FILE* out, const mxArray* s, const std::string& indent) {
  const int nfields = mxGetNumberOfFields(s);
  const std::size_t n = mxGetNumberOfElements(s);
  std::vector<std::vector<std::string>> cells(n + 1);
  cells[0].push_back("#");
  for (int f = 0; f < nfields; ++f) cells[0].push_back(mxGetFieldNameByNumber(s, f));
  for (std::size_t i = 0; i < n; ++i) {
    cells[i + 1].push_back(std::to_string(i + 1));
    for (int f = 0; f < nfields; ++f) cells[i + 1].push_back(inline_value(mxGetFieldByNumber(s, i, f)));
  }
  std::vector<std::size_t> width(static_cast<std::size_t>(nfields) + 1, 0);
  for (const auto& row : cells) {
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
  }
  for (const auto& row : cells) {
    std::string line = indent;
    for (std::size_t c = 0; c < row.size(); ++c) {
      // The element number is right-aligned, the fields left-aligned.
      if (c == 0) {
        line.append(width[c] - row[c].size(), ' ');
        line += row[c];
      } else {
        line += "  ";
        line += row[c];
        if (c + 1 < row.size()) line.append(width[c] - row[c].size(), ' ');
      }
    }
    std::fprintf(out, "%s\n", line.c_str());
  }
}

void print_struct(std::FILE* out, const mxArray* s, const std::string& indent) {
  const int nfields = mxGetNumberOfFields(s);
  std::size_t width = 0;
  for (int f = 0; f < nfields; ++f) width = std::max(width, std::string(mxGetFieldNameByNumber(s, f)).size());
  for (int f = 0; f < nfields; ++f) {
    const std::string name = mxGetFieldNameByNumber(s, f);
    const mxArray* v = mxGetFieldByNumber(s, 0, f);
    std::string label = indent;
    label += name;
    label.append(width - name.size() + 2, ' ');
    if (v != nullptr && mxIsStruct(v) && mxGetNumberOfElements(v) == 1) {
      std::fprintf(out, "%s1x1 struct\n", label.c_str());
      print_struct(out, v, std::string(indent).append("  "));
    } else if (v != nullptr && mxIsStruct(v) && !mxIsEmpty(v)) {
      std::fprintf(out, "%s%s struct, one row per element:\n", label.c_str(), shape(v).c_str());
      print_table(out, v, std::string(indent).append("  "));
    } else {
      std::fprintf(out, "%s%s\n", label.c_str(), inline_value(v).c_str());
    }
  }
}

}  // namespace

host::CallResult build_properties(const host::Library& library) {
  auto function = reinterpret_cast<PropertiesFunction>(library.symbol("emlrtMexFcnProperties"));
  if (function == nullptr) {
    throw UsageError(library.name() + " has no build properties; only the constraint deliverables do");
  }
  properties_function = function;
  return host::call_entry([](int, mxArray* plhs[], int, const mxArray*[]) { plhs[0] = properties_function(); }, 1,
                          {});
}

void print_properties(std::FILE* out, const std::string& name, const mxArray* properties) {
  std::fprintf(out, "%s build properties:\n", name.c_str());
  if (properties == nullptr || !mxIsStruct(properties) || mxGetNumberOfElements(properties) != 1) {
    std::fprintf(out, "  %s\n", inline_value(properties).c_str());
    return;
  }
  print_struct(out, properties, "  ");
}

}  // namespace bipedkin::cli
