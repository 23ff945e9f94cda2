// Running the command-line tool and capturing what it prints.
#pragma once

#include <string>

namespace bipedkin::testing {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

// Runs the built tool with the given argument string (shell words).
ToolRun run_tool(const std::string& args);

}  // namespace bipedkin::testing
