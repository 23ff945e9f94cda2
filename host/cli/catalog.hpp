// Every deliverable the tool knows, with its input form and output shape.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bipedkin::cli {

enum class InputForm { state, scalar };

struct Entry {
  std::string name;
  InputForm input;
  int rows;
  int cols;
};

const std::vector<Entry>& catalog();
const Entry* find_entry(const std::string& name);

}  // namespace bipedkin::cli
