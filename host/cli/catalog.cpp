#include "catalog.hpp"

#include "constraints/constraints.hpp"
#include "gateway/deliverables.hpp"

namespace bipedkin::cli {

const std::vector<Entry>& catalog() {
  static const std::vector<Entry> entries = [] {
    std::vector<Entry> out;
    for (const auto& d : gateway::deliverables) {
      out.push_back({d.name, d.input == gateway::Input::state ? InputForm::state : InputForm::scalar, d.rows, d.cols});
    }
    for (const auto& c : constraints::table) out.push_back({std::string(c.entry) + "_mex", InputForm::state, c.rows, 22});
    return out;
  }();
  return entries;
}

const Entry* find_entry(const std::string& name) {
  for (const Entry& e : catalog()) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

}  // namespace bipedkin::cli
