#include "support/tool.hpp"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace bipedkin::testing {
namespace {

std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

ToolRun run_tool(const std::string& args) {
  static int counter = 0;
  const auto dir = std::filesystem::temp_directory_path();
  const std::string stem = "bipedkin_tool_" + std::to_string(getpid()) + "_" + std::to_string(counter++);
  const auto out = dir / (stem + ".out");
  const auto err = dir / (stem + ".err");
  const std::string command = std::string(BIPEDKIN_TOOL) + " " + args + " >" + out.string() + " 2>" + err.string();
  const int raw = std::system(command.c_str());
  ToolRun r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(out), slurp(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return r;
}

}  // namespace bipedkin::testing
