// The kernels of the table compiled a second time, with the model's one
// sine-and-cosine point (BIPEDKIN_SINCOS) routed through a recorder.
//
// The whole model is compiled here under another namespace name, so this
// copy and the ordinary one (in the benchmark, in the deliverables) are
// different functions to the linker: their inline definitions differ and
// must not be merged.

#include <math.h>

#include <cstddef>
#include <string>
#include <vector>

namespace bipedkin_recording_sink {

thread_local std::vector<double>* angles = nullptr;

void sincos_recorded(double angle, double* s, double* c) {
  if (angles != nullptr) angles->push_back(angle);
  ::sincos(angle, s, c);
}

}  // namespace bipedkin_recording_sink

#define BIPEDKIN_SINCOS ::bipedkin_recording_sink::sincos_recorded
#define bipedkin bipedkin_recorded
#include "gateway/evaluators.hpp"
#undef bipedkin

#include "bench/recording/recording.hpp"

namespace bipedkin::recording {

namespace {
const auto& table = ::bipedkin_recorded::gateway::evaluators;
}

std::size_t kernel_count() { return std::size(table); }

std::string_view kernel_name(std::size_t index) { return table[index].name; }

bool reads_state(std::size_t index) { return table[index].reads_state; }

std::string kernel_symbol(std::size_t index) {
  const auto& row = table[index];
  if (row.written_by_gateway) return {};
  if (row.kind == ::bipedkin_recorded::gateway::Kind::runtime) {
    const std::string_view name = row.name;
    return std::string(name.substr(0, name.size() - std::string_view("_mex").size()));
  }
  return "bipedkin_kernel";
}

Kernel kernel(std::size_t index) { return ::bipedkin_recorded::gateway::kernels[index]; }

int output_rows(std::size_t index) { return table[index].rows; }
int output_cols(std::size_t index) { return table[index].cols; }

std::vector<double> run(std::size_t index, double* out, const double* x) {
  std::vector<double> angles;
  bipedkin_recording_sink::angles = &angles;
  ::bipedkin_recorded::gateway::kernels[index](out, x);
  bipedkin_recording_sink::angles = nullptr;
  return angles;
}

}  // namespace bipedkin::recording
