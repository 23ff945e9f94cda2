// Opening a built deliverable for the tool.
#pragma once

#include <filesystem>
#include <string>

#include "bipedkin/host.hpp"
#include "state_arg.hpp"

namespace bipedkin::cli {

// A deliverable that is not where the tool looks is the caller's mistake
// (a wrong --dir or BIPEDKIN_MEX_DIR), reported as a usage error.
inline host::Library open_deliverable(const std::string& name, const std::filesystem::path& dir) {
  std::error_code ec;
  const std::filesystem::path file = dir / (name + ".so");
  if (!std::filesystem::is_regular_file(file, ec)) {
    throw UsageError("no built deliverable " + file.string() + " (point --dir or BIPEDKIN_MEX_DIR at the build's bin folder)");
  }
  return host::Library::open(name, dir);
}

}  // namespace bipedkin::cli
