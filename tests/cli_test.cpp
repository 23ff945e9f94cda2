// The command-line tool: listing, evaluating, and its refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "support/expected.hpp"
#include "support/harness.hpp"
#include "support/tool.hpp"

namespace bipedkin::testing {
namespace {

std::vector<double> parse_raw(const std::string& out) {
  std::vector<double> v;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) v.push_back(std::strtod(line.c_str(), nullptr));
  return v;
}

std::string as_list(const StateVector& x) {
  std::string s;
  char buf[40];
  for (double v : x) {
    std::snprintf(buf, sizeof buf, "%.17g", v);
    s += (s.empty() ? "" : ",") + std::string(buf);
  }
  return s;
}

TEST(Tool, ListsEveryDeliverableWithItsInputAndShape) {
  const ToolRun r = run_tool("list");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const auto& d : expected_deliverables()) {
    const std::string shape = std::to_string(d.rows) + "x" + std::to_string(d.cols);
    const auto line_start = r.out.find(d.name + " ");
    ASSERT_NE(line_start, std::string::npos) << d.name;
    const std::string line = r.out.substr(line_start, r.out.find('\n', line_start) - line_start);
    EXPECT_NE(line.find(shape), std::string::npos) << line;
    EXPECT_NE(line.find(d.form == Form::state ? "x (44" : "var"), std::string::npos) << line;
  }
}

TEST(Tool, EvaluatesADeliverableAtHome) {
  const ToolRun pretty = run_tool("eval rot_knee_l");
  ASSERT_EQ(pretty.status, 0) << pretty.err;
  EXPECT_NE(pretty.out.find("rot_knee_l at home: 3x3 double"), std::string::npos) << pretty.out;
  EXPECT_NE(pretty.out.find("   0   1   0\n   0   0  -1\n  -1   0   0\n"), std::string::npos) << pretty.out;

  const ToolRun raw = run_tool("eval rot_knee_l --format raw");
  ASSERT_EQ(raw.status, 0) << raw.err;
  EXPECT_EQ(parse_raw(raw.out), (std::vector<double>{0, 0, -1, 1, 0, 0, 0, -1, 0}));

  const ToolRun json = run_tool("eval rot_knee_l home --format json");
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out.rfind("{\"name\": \"rot_knee_l\", \"state\": \"home\", \"rows\": 3, \"cols\": 3, \"value\": [[", 0), 0u)
      << json.out;
}

TEST(Tool, PassesTheGivenStateInEveryForm) {
  std::mt19937_64 rng(21);
  StateVector x = random_state(rng);
  x[10] = NAN;
  const auto expected = eval("rot_toe_sole_r", x);
  const auto file = std::filesystem::temp_directory_path() / "bipedkin_cli_state.txt";
  {
    std::ofstream out(file);
    for (std::size_t k = 0; k < 44; ++k) out << as_list({x[k]}).substr(0, as_list({x[k]}).find(',')) << (k % 5 ? " " : "\n");
  }
  for (const std::string& state : {as_list(x), "@" + file.string()}) {
    for (const char* row : {"", " --row"}) {
      const ToolRun r = run_tool("eval rot_toe_sole_r " + state + row + " --format raw");
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(parse_raw(r.out).size(), 9u);
      const auto got = parse_raw(r.out);
      for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(got[i], expected[i]);
    }
  }
  std::filesystem::remove(file);
  EXPECT_EQ(run_tool("eval rot_mount_l random:42 --format raw").out, run_tool("eval rot_mount_l random:42 --row --format raw").out);
}

TEST(Tool, ShowsTheDeliverablesRefusalAndExitsWithStatusTwo) {
  struct Case {
    const char* args;
    const char* err;
  };
  const Case cases[] = {
      {"eval rot_knee_l --nargin 2", "MATLAB:Tarnel:invalidNumInputs: One input(s) required (x).\n"},
      {"eval rot_knee_l --nargin 0 --nargout 2", "MATLAB:Tarnel:invalidNumInputs: One input(s) required (x).\n"},
      {"eval rot_knee_l --nargout 2", "MATLAB:Tarnel:maxlhs: Too many output arguments.\n"},
  };
  for (const Case& c : cases) {
    const ToolRun r = run_tool(c.args);
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.out, "") << c.args;
  }
  const ToolRun statement = run_tool("eval rot_knee_l --nargout 0 --format raw");
  EXPECT_EQ(statement.status, 0);
  EXPECT_EQ(parse_raw(statement.out).size(), 9u);
}

TEST(Tool, RefusesMalformedCommandLinesWithStatus64) {
  struct Case {
    std::string args;
    const char* err;
  };
  std::string bad_number = "eval rot_knee_l ";
  for (int k = 1; k < 44; ++k) bad_number += "0,";
  const Case cases[] = {
      {"", "no command"},
      {"frobnicate", "unknown command"},
      {"eval", "needs a deliverable name"},
      {"eval rot_nose_l", "rot_knee_l"},
      {"eval rot_knee_l 1,2,3", "holds 3 numbers"},
      {bad_number + "1e", "not a number in state: '1e'"},
      {bad_number + "1e999", "out of range"},
      {bad_number + "0,0", "holds 45 numbers"},
      {"eval rot_knee_l random:-1", "random:SEED"},
      {"eval rot_knee_l @/nonexistent/state", "cannot read"},
      {"eval rot_knee_l sideways", "unknown state"},
      {"eval rot_knee_l home home", "one state"},
      {"eval rot_knee_l --format xml", "--format"},
      {"eval rot_knee_l --nargin 5", "--nargin"},
      {"eval rot_knee_l --nargout", "needs a value"},
      {"eval rot_knee_l --verbose", "unknown option"},
      {"list extra", "no arguments"},
  };
  for (const Case& c : cases) {
    const ToolRun r = run_tool(c.args);
    EXPECT_EQ(r.status, 64) << c.args;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << ": " << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.find("\n(run")) << "one line of message: " << r.err;
  }
}

}  // namespace
}  // namespace bipedkin::testing
