// The command-line tool: listing, evaluating, and its refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
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
    if (!s.empty()) s += ',';
    s += buf;
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
    // Whitespace of every kind between the numbers, and a comma or two.
    std::string list = as_list(x);
    std::replace(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(list.size() / 2), ',', ' ');
    const std::size_t cut = list.find(',', list.size() / 2);
    out << "  " << list.substr(0, cut) << "\n\t" << list.substr(cut) << "\n";
  }
  std::string at_file = "@";
  at_file += file.string();
  for (const std::string& state : {as_list(x), at_file}) {
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
  const std::string too_few = bad_number.substr(0, bad_number.size() - 3) + ",0";  // 43 numbers
  const auto huge = std::filesystem::temp_directory_path() / "bipedkin_huge_state.txt";
  {
    std::ofstream out(huge);
    for (int i = 0; i < 300000; ++i) out << "0.125, ";
  }
  const Case cases[] = {
      {"", "no command"},
      {"frobnicate", "unknown command"},
      {"eval", "needs a deliverable name"},
      {"eval rot_nose_l", "rot_knee_l"},
      {"eval rot_knee_l 1,2,3", "holds 3 numbers"},
      {bad_number + "1e", "not a number in state: '1e'"},
      {bad_number + "1e999", "out of range"},
      {bad_number + "0,0", "holds 45 numbers"},
      {too_few, "holds 43 numbers"},
      {"eval rot_knee_l @/dev/null", "holds 0 numbers"},
      {"eval rot_knee_l @" + huge.string(), "larger than 1 MiB"},
      {"eval rot_knee_l @" + std::filesystem::temp_directory_path().string(), "cannot read"},
      {"eval rot_knee_l --dir /nonexistent", "no built deliverable"},
      {"eval rot_knee_l -x", "unknown option"},
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
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line of message: " << r.err;
  }
  std::filesystem::remove(huge);
  // IEEE values written out are values, not errors.
  std::string special = "eval rot_knee_l nan,-inf,INF,-NaN";
  for (int k = 4; k < 44; ++k) special += ",-0";
  EXPECT_EQ(run_tool(special).status, 0);
}

// Tags of a document, checked for nesting: the names of the elements in
// document order, or an empty list when the document is not well formed.
std::vector<std::string> element_names(const std::string& doc) {
  std::vector<std::string> names, open;
  std::size_t i = 0;
  while ((i = doc.find('<', i)) != std::string::npos) {
    const std::size_t end = doc.find('>', i);
    if (end == std::string::npos) return {};
    std::string tag = doc.substr(i + 1, end - i - 1);
    i = end + 1;
    if (tag.empty() || tag[0] == '?' || tag[0] == '!') continue;
    if (tag[0] == '/') {
      if (open.empty() || open.back() != tag.substr(1)) return {};
      open.pop_back();
      continue;
    }
    const bool closed = tag.back() == '/';
    const std::string name = tag.substr(0, tag.find_first_of(" /\n"));
    names.push_back(name);
    if (!closed) open.push_back(name);
  }
  return open.empty() ? names : std::vector<std::string>{};
}

std::vector<std::string> polylines(const std::string& svg, const std::string& leg) {
  std::vector<std::string> out;
  const std::string marker = "<polyline class=\"leg " + leg + "\" points=\"";
  for (std::size_t i = svg.find(marker); i != std::string::npos; i = svg.find(marker, i + 1)) {
    const std::size_t start = i + marker.size();
    out.push_back(svg.substr(start, svg.find('"', start) - start));
  }
  return out;
}

TEST(Tool, PlotsBothLegsInTwoViews) {
  const auto file = std::filesystem::temp_directory_path() / "bipedkin_pose.svg";
  for (const char* state : {"home", "random:3"}) {
    SCOPED_TRACE(state);
    std::filesystem::remove(file);
    const ToolRun r = run_tool(std::string("plot ") + state + " -o " + file.string());
    ASSERT_EQ(r.status, 0) << r.err;
    std::ifstream in(file);
    const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto names = element_names(svg);
    ASSERT_FALSE(names.empty()) << "not well formed";
    EXPECT_EQ(names.front(), "svg");
    EXPECT_NE(svg.find(std::string("state: ") + state), std::string::npos);
    EXPECT_NE(svg.find("[model length unit]"), std::string::npos);
    for (const char* leg : {"left", "right"}) {
      const auto lines = polylines(svg, leg);
      ASSERT_EQ(lines.size(), 2u) << leg << ": one per view";
      for (const auto& points : lines) {
        // The base origin and the nine sites from the mount to the toe sole.
        EXPECT_EQ(std::count(points.begin(), points.end(), ',') , 10) << points;
      }
    }
  }
  std::filesystem::remove(file);
  EXPECT_EQ(run_tool("plot home").status, 64);
  EXPECT_EQ(run_tool("plot home -o /nonexistent/dir/pose.svg").status, 64);
}

TEST(Tool, EvaluatesAScalarInputDeliverable) {
  const ToolRun plain = run_tool("eval dyn_sparsity_9 --format raw");
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(parse_raw(plain.out).size(), 80u);
  for (const char* value : {"-5", "nan", "inf", "1e300"}) {
    EXPECT_EQ(run_tool(std::string("eval dyn_sparsity_9 ") + value + " --format raw").out, plain.out) << value;
  }
  EXPECT_EQ(run_tool("eval dyn_sparsity_9 --nargin 0").err, "MATLAB:Tarnel:invalidNumInputs: One input(s) required (var).\n");
  EXPECT_EQ(run_tool("eval dyn_sparsity_9 home").status, 64);
}

TEST(Tool, EvaluatesTheStatesOfAFileInOneBatch) {
  std::mt19937_64 rng(24);
  const auto file = std::filesystem::temp_directory_path() / "bipedkin_batch_states.txt";
  std::vector<StateVector> states;
  {
    std::ofstream out(file);
    for (int k = 0; k < 5; ++k) {
      states.push_back(random_state(rng, 3.0));
      out << as_list(states.back()) << "\n";
    }
  }
  const ToolRun r = run_tool("eval jac_hip_abduction_r @" + file.string() + " --batch --format raw");
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<double> expected;
  for (const StateVector& x : states) {
    const auto one = eval("jac_hip_abduction_r", x);
    expected.insert(expected.end(), one.begin(), one.end());
  }
  const auto got = parse_raw(r.out);
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << i;
  EXPECT_EQ(run_tool("eval jac_hip_abduction_r home --batch").status, 64);
  EXPECT_EQ(run_tool("eval jac_hip_abduction_r @/dev/null --batch").status, 64);

  // --fast: the fast mode, within its bound of the exact values.
  const ToolRun fast = run_tool("eval jac_hip_abduction_r @" + file.string() + " --batch --fast --format raw");
  ASSERT_EQ(fast.status, 0) << fast.err;
  const auto fast_values = parse_raw(fast.out);
  ASSERT_EQ(fast_values.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(fast_values[i], expected[i], 4e-15) << i;
  EXPECT_EQ(run_tool("eval jac_hip_abduction_r home --fast").status, 64);
  EXPECT_EQ(run_tool("list --fast").status, 64);
  std::filesystem::remove(file);
}

}  // namespace
}  // namespace bipedkin::testing
