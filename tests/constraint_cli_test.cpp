// The command-line tool on the constraint deliverables: listing, evaluating,
// their refusals, and their build properties.
#include <gtest/gtest.h>

#include <sstream>

#include "support/constraints_expected.hpp"
#include "support/tool.hpp"

namespace bipedkin::testing {
namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

TEST(ConstraintTool, ListsAndEvaluatesTheConstraintDeliverables) {
  const ToolRun list = run_tool("list");
  ASSERT_EQ(list.status, 0) << list.err;
  for (const ExpectedConstraint& c : expected_constraints()) {
    SCOPED_TRACE(c.entry);
    const auto at = list.out.find(c.deliverable() + " ");
    ASSERT_NE(at, std::string::npos);
    const std::string line = list.out.substr(at, list.out.find('\n', at) - at);
    EXPECT_NE(line.find(std::to_string(c.rows) + "x22 double"), std::string::npos) << line;

    const ToolRun raw = run_tool("eval " + c.deliverable() + " random:3 --format raw");
    ASSERT_EQ(raw.status, 0) << raw.err;
    std::vector<double> values;
    for (const std::string& l : lines(raw.out)) values.push_back(std::stod(l));
    EXPECT_EQ(values, c.matrix());
  }
}

TEST(ConstraintTool, ShowsTheRunTimesRefusalsWithStatusTwo) {
  struct Case {
    const char* args;
    const char* err;
  };
  const Case cases[] = {
      {"eval constraint_jac_rigid_mex --nargin 2",
       "EMLRT:runTime:WrongNumberOfInputs: constraint_jac_rigid: expected 1 input(s).\n"},
      {"eval constraint_jac_linkage_mex --nargout 2",
       "EMLRT:runTime:TooManyOutputArguments: constraint_jac_linkage: too many output arguments.\n"},
      {"eval constraint_jacdot_rigid_mex --row",
       "EMLRT:runTime:InputTypeMismatch: in1 must be a real double array of size 44x1; it is a real double array of "
       "size 1x44.\n"},
  };
  for (const Case& c : cases) {
    const ToolRun r = run_tool(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
}

TEST(ConstraintTool, PrintsTheBuildPropertiesWithEveryFieldAndTheResolvedFunctionsAsATable) {
  const ToolRun r = run_tool("props constraint_jac_linkage_mex");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<std::string> out = lines(r.out);
  auto line_with = [&](const std::string& text) -> std::string {
    for (const std::string& l : out) {
      if (l.find(text) != std::string::npos) return l;
    }
    return "";
  };
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out[0], "constraint_jac_linkage_mex build properties:");
  EXPECT_NE(line_with("Version").find("9.0.0.341360 (R2016a)"), std::string::npos);
  EXPECT_NE(line_with("ResolvedFunctions").find("1x28 struct"), std::string::npos);
  EXPECT_NE(line_with("Name ").find("constraint_jac_linkage"), std::string::npos);
  EXPECT_NE(line_with("NumberOfInputs").find(" 1"), std::string::npos);
  EXPECT_NE(line_with("NumberOfOutputs").find(" 1"), std::string::npos);
  EXPECT_NE(line_with("ConstantInputs").find("false"), std::string::npos);
  EXPECT_NE(line_with("CoverageInfo").find("[]"), std::string::npos);

  // A header naming the ten fields, then one row per resolved function.
  const std::string header = line_with("dominantType");
  std::size_t previous = 0;
  for (const char* field : {"context", "name", "dominantType", "resolved", "fileTimeLo", "fileTimeHi", "mFileTimeLo",
                            "mFileTimeHi", "rhs", "lhs"}) {
    const std::size_t at = header.find(std::string(" ") + field);
    ASSERT_NE(at, std::string::npos) << field;
    EXPECT_GT(at, previous) << field;
    previous = at;
  }
  const std::string first = line_with("[E]/");
  EXPECT_NE(first.find("constraint_jac_linkage.m"), std::string::npos) << first;
  EXPECT_NE(first.find(" reshape "), std::string::npos) << first;
  EXPECT_NE(first.find(" 1432749738 "), std::string::npos) << first;
  const std::string last = line_with(" 28  ");
  EXPECT_NE(last.find("eml_int_forloop_overflow_check_helper"), std::string::npos) << last;
  EXPECT_NE(last.find(" intmin "), std::string::npos) << last;
}

TEST(ConstraintTool, RefusesPropsOfADeliverableWithoutThem) {
  const ToolRun r = run_tool("props rot_knee_l");
  EXPECT_EQ(r.status, 64);
  EXPECT_NE(r.err.find("rot_knee_l has no build properties"), std::string::npos) << r.err;
  EXPECT_EQ(run_tool("props").status, 64);
  EXPECT_EQ(run_tool("props constraint_jac_rigid_mex extra").status, 64);
}

}  // namespace
}  // namespace bipedkin::testing
