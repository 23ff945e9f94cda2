// The build properties of the constraint deliverables: the structure
// emlrtMexFcnProperties returns, row by row against the table of resolved
// functions written out here, and the stored form behind it, read back by a
// second reader (Debian's libmatio).
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bipedkin/emlrt_record.hpp"
#include "support/constraints_expected.hpp"
#include "support/harness.hpp"

#ifdef BIPEDKIN_HAVE_MATIO
#include <matio.h>
#endif

// The stored form each deliverable was built with, as the build generated it.
namespace stored_jac_rigid {
#include "constraint_jac_rigid_mex/resolved_functions.inc"
}
namespace stored_jacdot_rigid {
#include "constraint_jacdot_rigid_mex/resolved_functions.inc"
}
namespace stored_jac_linkage {
#include "constraint_jac_linkage_mex/resolved_functions.inc"
}
namespace stored_jacdot_linkage {
#include "constraint_jacdot_linkage_mex/resolved_functions.inc"
}

namespace bipedkin::testing {
namespace {

using host::Array;

struct Stored {
  std::string entry;
  const char* const* pieces;
  std::uint32_t length;
};

const std::vector<Stored>& stored() {
  static const std::vector<Stored> all = {
      {"constraint_jac_rigid", stored_jac_rigid::resolved_functions, stored_jac_rigid::resolved_functions_length},
      {"constraint_jacdot_rigid", stored_jacdot_rigid::resolved_functions,
       stored_jacdot_rigid::resolved_functions_length},
      {"constraint_jac_linkage", stored_jac_linkage::resolved_functions,
       stored_jac_linkage::resolved_functions_length},
      {"constraint_jacdot_linkage", stored_jacdot_linkage::resolved_functions,
       stored_jacdot_linkage::resolved_functions_length},
  };
  return all;
}

// One resolved function: the calling file (marker, file name, subfunction
// or empty), the called name, the dominant type, the file found, its time.
struct Row {
  const char* context_marker;
  const char* context_file;  // "" for the entry point's own source
  const char* subfunction;
  const char* name;
  const char* dominant_type;
  const char* resolved_file;
  double file_time_lo;
};

constexpr const char* E = "[E]";
constexpr const char* T = "[ILXE]";
constexpr const char* helper = "eml_int_forloop_overflow_check_helper";

const Row rows[28] = {
    {E, "", "", "reshape", "double", "reshape.m", 1432749738},
    {T, "reshape.m", "", "coder.internal.narginchk", "", "narginchk.m", 1363732558},
    {T, "narginchk.m", "", "floor", "double", "floor.m", 1419335428},
    {T, "floor.m", "", "coder.internal.isBuiltInNumeric", "double", "isBuiltInNumeric.m", 1395949856},
    {T, "floor.m", "", "coder.internal.scalar.floor", "", "floor.m", 1415929514},
    {T, "floor.m", "", "coder.internal.applyScalarFunctionInPlace", "function_handle", "applyScalarFunctionInPlace.m",
     1422905800},
    {T, "applyScalarFunctionInPlace.m", "", "coder.internal.scalar.floor", "double", "floor.m", 1415929514},
    {T, "reshape.m", "reshape_varargin_to_size", "coder.internal.assertValidSizeArg", "double",
     "assertValidSizeArg.m", 1427227022},
    {T, "assertValidSizeArg.m", "", "coder.internal.isBuiltInNumeric", "double", "isBuiltInNumeric.m", 1395949856},
    {T, "assertValidSizeArg.m", "isintegral", "isinf", "double", "isinf.m", 1415929532},
    {T, "isinf.m", "", "coder.internal.isBuiltInNumeric", "double", "isBuiltInNumeric.m", 1395949856},
    {T, "assertValidSizeArg.m", "isinbounds", "coder.internal.isIntegerClass", "char", "isIntegerClass.m", 1415929514},
    {T, "assertValidSizeArg.m", "isinbounds", "intmax", "char", "intmax.m", 1415929532},
    {T, "assertValidSizeArg.m", "isinbounds", "intmin", "char", "intmin.m", 1415929532},
    {T, "assertValidSizeArg.m", "isinbounds", "coder.internal.indexIntRelop", "", "indexIntRelop.m", 1438193574},
    {T, "indexIntRelop.m", "float_class_contains_indexIntClass", "coder.internal.floatModel", "char", "floatModel.m",
     1415929514},
    {T, "indexIntRelop.m", "is_signed_indexIntClass", "intmin", "char", "intmin.m", 1415929532},
    {T, "assertValidSizeArg.m", "", "intmin", "char", "intmin.m", 1415929532},
    {T, "assertValidSizeArg.m", "", "intmax", "char", "intmax.m", 1415929532},
    {T, "reshape.m", "", "coder.internal.scalarEg", "double", "scalarEg.m", 1430238368},
    {T, "scalarEg.m", "", "isnumerictype", "double", "isnumerictype.m", 1415929524},
    {T, "scalarEg.m", "", "isfimath", "double", "isfimath.m", 1415929524},
    {T, "scalarEg.m", "firstfi", "isfi", "double", "isfi.m", 1415929524},
    {T, "isfi.m", "", "isnumerictype", "char", "isnumerictype.m", 1415929524},
    {T, "reshape.m", "", "eml_int_forloop_overflow_check", "", "eml_int_forloop_overflow_check.m", 1415929534},
    {T, "eml_int_forloop_overflow_check.m", helper, "isfi", "coder.internal.indexInt", "isfi.m", 1415929524},
    {T, "eml_int_forloop_overflow_check.m", helper, "intmax", "char", "intmax.m", 1415929532},
    {T, "eml_int_forloop_overflow_check.m", helper, "intmin", "char", "intmin.m", 1415929532},
};

const std::vector<std::string> resolved_fields = {"context",    "name",        "dominantType", "resolved",
                                                  "fileTimeLo", "fileTimeHi",  "mFileTimeLo",  "mFileTimeHi",
                                                  "rhs",        "lhs"};

// The fixed, machine-independent prefix of every stored path.
constexpr const char* prefix = "/opt/bipedkin/";

// A stored "marker + absolute path [+ !subfunction]" taken apart.
struct Place {
  std::string marker, path, file, subfunction;
};

Place split(const std::string& s) {
  Place p;
  const auto close = s.find(']');
  if (s.empty() || s[0] != '[' || close == std::string::npos) return p;
  p.marker = s.substr(0, close + 1);
  std::string rest = s.substr(close + 1);
  if (const auto bang = rest.find('!'); bang != std::string::npos) {
    p.subfunction = rest.substr(bang + 1);
    rest = rest.substr(0, bang);
  }
  p.path = rest;
  p.file = rest.substr(rest.rfind('/') + 1);
  return p;
}

thread_local mxArray* (*properties_function)() = nullptr;

// The deliverable's build properties, asked for inside a call boundary.
host::CallResult properties(const std::string& deliverable) {
  properties_function =
      reinterpret_cast<mxArray* (*)()>(library(deliverable).symbol("emlrtMexFcnProperties"));
  if (properties_function == nullptr) throw std::runtime_error(deliverable + " exports no emlrtMexFcnProperties");
  return host::call_entry([](int, mxArray* plhs[], int, const mxArray*[]) { plhs[0] = properties_function(); }, 1, {});
}

std::vector<std::string> field_names(const mxArray* s) {
  std::vector<std::string> out;
  for (int f = 0; f < mxGetNumberOfFields(s); ++f) out.push_back(mxGetFieldNameByNumber(s, f));
  return out;
}

std::string dims(const mxArray* a) {
  if (a == nullptr) return "null";
  std::string s;
  for (mwSize i = 0; i < mxGetNumberOfDimensions(a); ++i) {
    if (i > 0) s += 'x';
    s += std::to_string(mxGetDimensions(a)[i]);
  }
  return s;
}

// A 1xN text, or a 0x0 one when empty.
::testing::AssertionResult is_text(const mxArray* a, const std::string& expected) {
  if (a == nullptr || !mxIsChar(a)) return ::testing::AssertionFailure() << "not a char array";
  const std::string shape = expected.empty() ? "0x0" : "1x" + std::to_string(expected.size());
  if (dims(a) != shape) return ::testing::AssertionFailure() << "size " << dims(a) << ", expected " << shape;
  if (host::text(a) != expected) return ::testing::AssertionFailure() << "'" << host::text(a) << "' vs '" << expected << "'";
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult is_scalar(const mxArray* a, double expected) {
  if (a == nullptr || !mxIsDouble(a) || mxIsComplex(a) || dims(a) != "1x1") {
    return ::testing::AssertionFailure() << "not a real 1x1 double: " << dims(a);
  }
  if (mxGetScalar(a) != expected) return ::testing::AssertionFailure() << mxGetScalar(a) << " vs " << expected;
  return ::testing::AssertionSuccess();
}

class Properties : public ::testing::TestWithParam<ExpectedConstraint> {};

TEST_P(Properties, DescribeTheBuildAndTheEntryPoint) {
  const ExpectedConstraint& c = GetParam();
  const std::size_t before = host::live_allocations();
  {
    const host::CallResult r = properties(c.deliverable());
    ASSERT_FALSE(r.error) << r.error->what();
    const mxArray* p = r.outputs.at(0).get();
    ASSERT_TRUE(mxIsStruct(p));
    EXPECT_EQ(dims(p), "1x1");
    EXPECT_EQ(field_names(p), (std::vector<std::string>{"Version", "ResolvedFunctions", "EntryPoints", "CoverageInfo"}));
    EXPECT_TRUE(is_text(mxGetField(p, 0, "Version"), "9.0.0.341360 (R2016a)"));
    const mxArray* coverage = mxGetField(p, 0, "CoverageInfo");
    EXPECT_TRUE(coverage == nullptr || mxIsEmpty(coverage));

    const mxArray* e = mxGetField(p, 0, "EntryPoints");
    ASSERT_TRUE(e != nullptr && mxIsStruct(e));
    EXPECT_EQ(dims(e), "1x1");
    EXPECT_EQ(field_names(e),
              (std::vector<std::string>{"Name", "NumberOfInputs", "NumberOfOutputs", "ConstantInputs"}));
    EXPECT_TRUE(is_text(mxGetField(e, 0, "Name"), c.entry));
    EXPECT_TRUE(is_scalar(mxGetField(e, 0, "NumberOfInputs"), 1.0));
    EXPECT_TRUE(is_scalar(mxGetField(e, 0, "NumberOfOutputs"), 1.0));
    const mxArray* constant = mxGetField(e, 0, "ConstantInputs");
    ASSERT_TRUE(constant != nullptr && mxIsLogical(constant));
    EXPECT_EQ(dims(constant), "1x1");
    EXPECT_FALSE(mxGetLogicals(constant)[0]);
  }
  EXPECT_EQ(host::live_allocations(), before);
}

TEST_P(Properties, ListTheTwentyEightResolvedFunctionsRowByRow) {
  const ExpectedConstraint& c = GetParam();
  const host::CallResult r = properties(c.deliverable());
  ASSERT_FALSE(r.error) << r.error->what();
  const mxArray* f = mxGetField(r.outputs.at(0).get(), 0, "ResolvedFunctions");
  ASSERT_TRUE(f != nullptr && mxIsStruct(f));
  ASSERT_EQ(dims(f), "1x28");
  ASSERT_EQ(field_names(f), resolved_fields);
  for (std::size_t i = 0; i < 28; ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i + 1);
    const Row& w = rows[i];
    const mxArray* context = mxGetField(f, i, "context");
    const mxArray* resolved = mxGetField(f, i, "resolved");
    ASSERT_TRUE(context != nullptr && mxIsChar(context) && resolved != nullptr && mxIsChar(resolved));
    EXPECT_TRUE(is_text(context, host::text(context)));  // 1xN
    EXPECT_TRUE(is_text(resolved, host::text(resolved)));
    const Place from = split(host::text(context));
    const Place to = split(host::text(resolved));
    EXPECT_EQ(from.marker, w.context_marker);
    EXPECT_EQ(from.file, *w.context_file ? w.context_file : c.entry + ".m");
    EXPECT_EQ(from.subfunction, w.subfunction);
    EXPECT_EQ(from.path.rfind(prefix, 0), 0u) << from.path;
    EXPECT_TRUE(is_text(mxGetField(f, i, "name"), w.name));
    EXPECT_TRUE(is_text(mxGetField(f, i, "dominantType"), w.dominant_type));
    EXPECT_EQ(to.marker, "[ILXE]");
    EXPECT_EQ(to.file, w.resolved_file);
    EXPECT_EQ(to.subfunction, "");
    EXPECT_EQ(to.path.rfind(prefix, 0), 0u) << to.path;
    EXPECT_TRUE(is_scalar(mxGetField(f, i, "fileTimeLo"), w.file_time_lo));
    for (const char* zero : {"fileTimeHi", "mFileTimeLo", "mFileTimeHi"}) {
      EXPECT_TRUE(is_scalar(mxGetField(f, i, zero), 0.0)) << zero;
    }
    for (const char* empty : {"rhs", "lhs"}) {
      const mxArray* cell = mxGetField(f, i, empty);
      ASSERT_TRUE(cell != nullptr && mxIsCell(cell)) << empty;
      EXPECT_EQ(dims(cell), "1x0") << empty;
    }
  }
  // A trace of resolution: every toolbox file that calls is one an earlier
  // row resolved, and the general floor (row 3) and the scalar one (row 5)
  // are two files.
  for (std::size_t i = 1; i < 28; ++i) {
    const std::string caller = split(host::text(mxGetField(f, i, "context"))).path;
    bool found = false;
    for (std::size_t k = 0; k < i; ++k) found |= split(host::text(mxGetField(f, k, "resolved"))).path == caller;
    EXPECT_TRUE(found) << "row " << i + 1 << ": " << caller;
  }
  EXPECT_NE(host::text(mxGetField(f, 2, "resolved")), host::text(mxGetField(f, 4, "resolved")));
}

// The arrays are the same in all four deliverables but for the entry point's
// own source file in the first row's context.
TEST(PropertiesAcrossDeliverables, DifferOnlyInTheFirstContext) {
  std::deque<host::CallResult> results;
  for (const ExpectedConstraint& c : expected_constraints()) results.push_back(properties(c.deliverable()));
  const mxArray* first = mxGetField(results[0].outputs.at(0).get(), 0, "ResolvedFunctions");
  for (std::size_t d = 1; d < results.size(); ++d) {
    const mxArray* other = mxGetField(results[d].outputs.at(0).get(), 0, "ResolvedFunctions");
    for (std::size_t i = 0; i < 28; ++i) {
      for (const std::string& field : resolved_fields) {
        const mxArray* a = mxGetField(first, i, field.c_str());
        const mxArray* b = mxGetField(other, i, field.c_str());
        const bool same = mxGetClassID(a) == mxGetClassID(b) && dims(a) == dims(b) &&
                          (mxIsChar(a) ? host::text(a) == host::text(b) : host::values(a) == host::values(b));
        if (i == 0 && field == "context") {
          EXPECT_FALSE(same);
          EXPECT_EQ(split(host::text(a)).path.substr(0, split(host::text(a)).path.rfind('/')),
                    split(host::text(b)).path.substr(0, split(host::text(b)).path.rfind('/')));
        } else {
          EXPECT_TRUE(same) << expected_constraints()[d].entry << " row " << i + 1 << " " << field;
        }
      }
    }
  }
}

std::vector<std::uint8_t> inflate_stored(const Stored& s) {
  std::string hex;
  for (std::size_t k = 0; s.pieces[k][0] != '\0'; ++k) hex += s.pieces[k];
  std::vector<std::uint8_t> compressed(hex.size() / 2);
  for (std::size_t i = 0; i < compressed.size(); ++i) {
    compressed[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  }
  std::vector<std::uint8_t> out(s.length + 64);
  uLongf n = out.size();
  if (uncompress(out.data(), &n, compressed.data(), compressed.size()) != Z_OK) return {};
  out.resize(n);
  return out;
}

TEST(StoredProperties, AreHexadecimalPiecesOfADefaultZlibStreamOfTheDeclaredLength) {
  for (const Stored& s : stored()) {
    SCOPED_TRACE(s.entry);
    std::size_t n = 0;
    while (s.pieces[n][0] != '\0') ++n;
    ASSERT_GE(n, 1u);
    for (std::size_t k = 0; k < n; ++k) {
      const std::string piece = s.pieces[k];
      if (k + 1 < n) {
        EXPECT_EQ(piece.size(), 256u) << "piece " << k + 1;
      } else {
        EXPECT_LE(piece.size(), 256u);
      }
      EXPECT_EQ(piece.find_first_not_of("0123456789abcdef"), std::string::npos) << "piece " << k + 1;
    }
    EXPECT_EQ(std::string(s.pieces[0]).substr(0, 4), "789c");  // zlib, default compression
    const std::vector<std::uint8_t> data = inflate_stored(s);
    ASSERT_EQ(data.size(), s.length);
    const std::uint8_t prefix_bytes[8] = {0x00, 0x01, 'I', 'M', 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(data.data(), prefix_bytes, 8));

    // The deliverable hands the run time these pieces and this length.
    emlrt::record_calls(true);
    ASSERT_FALSE(properties(s.entry + "_mex").error);
    bool seen = false;
    for (const auto& call : emlrt::recorded_calls()) {
      if (call.function != "emlrtNameCaptureMxArrayR2016a") continue;
      seen = true;
      EXPECT_EQ(call.args, (std::vector<std::string>{std::to_string(n) + " pieces", std::to_string(s.length)}));
    }
    emlrt::record_calls(false);
    EXPECT_TRUE(seen);
  }
}

#ifndef BIPEDKIN_HAVE_MATIO
TEST(StoredProperties, RoundTripThroughASecondReader) {
  FAIL() << "built without libmatio, the second reader: run scripts/install-deps test and configure again";
}
#else
// libmatio reads a MAT file: a 128-byte header (text, subsystem offset,
// version and byte-order mark) and the elements. The stored prefix is the
// header's last four bytes and four zero bytes.
TEST(StoredProperties, RoundTripThroughASecondReader) {
  for (const Stored& s : stored()) {
    SCOPED_TRACE(s.entry);
    const std::vector<std::uint8_t> data = inflate_stored(s);
    ASSERT_EQ(data.size(), s.length);
    const auto file = std::filesystem::temp_directory_path() /
                      ("bipedkin_properties_" + std::to_string(getpid()) + "_" + s.entry + ".mat");
    {
      std::string header(116, ' ');
      const std::string text = "MATLAB 5.0 MAT-file, bipedkin build properties";
      header.replace(0, text.size(), text);
      header.append(8, '\0');
      std::ofstream out(file, std::ios::binary);
      out.write(header.data(), static_cast<std::streamsize>(header.size()));
      out.write(reinterpret_cast<const char*>(data.data()), 4);
      out.write(reinterpret_cast<const char*>(data.data()) + 8, static_cast<std::streamsize>(data.size() - 8));
    }
    mat_t* mat = Mat_Open(file.c_str(), MAT_ACC_RDONLY);
    ASSERT_NE(mat, nullptr);
    matvar_t* v = Mat_VarReadNext(mat);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->class_type, MAT_C_STRUCT);
    ASSERT_EQ(v->rank, 2);
    EXPECT_EQ(v->dims[0], 1u);
    ASSERT_EQ(v->dims[1], 28u);
    ASSERT_EQ(Mat_VarGetNumberOfFields(v), 10u);
    char* const* names = Mat_VarGetStructFieldnames(v);
    for (std::size_t f = 0; f < 10; ++f) EXPECT_EQ(names[f], resolved_fields[f]);

    auto text = [&](std::size_t i, const char* field) -> std::string {
      matvar_t* t = Mat_VarGetStructFieldByName(v, field, i);
      if (t == nullptr || t->class_type != MAT_C_CHAR) return "<not char>";
      return std::string(static_cast<const char*>(t->data), t->nbytes);
    };
    auto number = [&](std::size_t i, const char* field) -> double {
      matvar_t* t = Mat_VarGetStructFieldByName(v, field, i);
      if (t == nullptr || t->class_type != MAT_C_DOUBLE || t->dims[0] * t->dims[1] != 1) return -1;
      return *static_cast<const double*>(t->data);
    };
    for (std::size_t i = 0; i < 28; ++i) {
      SCOPED_TRACE(::testing::Message() << "row " << i + 1);
      const Row& w = rows[i];
      const Place from = split(text(i, "context"));
      EXPECT_EQ(from.marker, w.context_marker);
      EXPECT_EQ(from.file, *w.context_file ? w.context_file : s.entry + ".m");
      EXPECT_EQ(from.subfunction, w.subfunction);
      EXPECT_EQ(text(i, "name"), w.name);
      EXPECT_EQ(text(i, "dominantType"), w.dominant_type);
      EXPECT_EQ(split(text(i, "resolved")).file, w.resolved_file);
      EXPECT_EQ(number(i, "fileTimeLo"), w.file_time_lo);
      EXPECT_EQ(number(i, "fileTimeHi"), 0.0);
      EXPECT_EQ(number(i, "mFileTimeLo"), 0.0);
      EXPECT_EQ(number(i, "mFileTimeHi"), 0.0);
      for (const char* empty : {"rhs", "lhs"}) {
        matvar_t* cell = Mat_VarGetStructFieldByName(v, empty, i);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->class_type, MAT_C_CELL);
        EXPECT_EQ(cell->dims[0] * 10 + cell->dims[1], 10u) << "1x0";
      }
    }
    EXPECT_EQ(Mat_VarReadNextInfo(mat), nullptr) << "one array only";
    Mat_VarFree(v);
    Mat_Close(mat);
    std::filesystem::remove(file);
  }
}
#endif

INSTANTIATE_TEST_SUITE_P(AllConstraints, Properties, ::testing::ValuesIn(expected_constraints()),
                         [](const auto& info) { return info.param.entry; });

}  // namespace
}  // namespace bipedkin::testing
