// The call record of our libemlrt (a test instrument) and the way roots,
// stacks and arrays are shown in it.

#include <string>
#include <vector>

#include "bipedkin/emlrt_record.hpp"
#include "emlrt_internal.hpp"

namespace bipedkin::emlrt {
namespace {

struct Record {
  bool on = false;
  std::vector<RecordedCall> calls;
};

thread_local Record thread_record;

}  // namespace

std::string RecordedCall::text() const {
  std::string s = function + "(";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) s += ", ";
    s += args[i];
  }
  s += ')';
  return s;
}

void record_calls(bool on) {
  thread_record.on = on;
  thread_record.calls.clear();
}

std::vector<RecordedCall> recorded_calls() { return thread_record.calls; }

namespace detail {

bool recording() { return thread_record.on; }

void record(const char* function, std::initializer_list<std::string> args) {
  thread_record.calls.push_back({function, std::vector<std::string>(args)});
}

std::string describe(const mxArray* array) {
  if (array == nullptr) return "null";
  std::string s;
  if (mxIsSparse(array)) s += "sparse ";
  if (mxIsComplex(array)) s += "complex ";
  s += mxGetClassName(array);
  s += ' ';
  const mwSize n = mxGetNumberOfDimensions(array);
  const mwSize* dims = mxGetDimensions(array);
  for (mwSize i = 0; i < n; ++i) {
    if (i > 0) s += 'x';
    s += std::to_string(dims[i]);
  }
  return s;
}

std::string describe(const emlrtStack* stack) {
  if (stack == nullptr) return "null";
  std::string s = "stack{";
  s += stack->location != nullptr ? "set" : "-";
  s += ',';
  s += stack->root != nullptr ? describe(stack->root) : "-";
  s += ',';
  s += stack->caller != nullptr ? "set" : "-";
  s += '}';
  return s;
}

}  // namespace detail
}  // namespace bipedkin::emlrt
