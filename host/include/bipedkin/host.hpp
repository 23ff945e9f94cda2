// The built-in host: what a MATLAB-like program needs to load deliverables
// and call them, on top of our libmx and libmex.
//
// A call runs inside a call boundary. Everything the deliverable allocates
// through the host during the call (arrays, mxMalloc blocks) belongs to the
// call: when the call ends, what it returns in its output slots passes to the
// caller and everything else is freed; when it fails (an error call, which
// throws MexError), everything it allocated is freed, its outputs included.
//
// The host doubles as a test instrument: it counts the allocations of each
// call, can fill new numeric data with a chosen value instead of zero (NaN
// shows exactly which elements a kernel writes), can raise the interrupt
// flag, and keeps a count of every live allocation.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "mex.h"

#define BIPEDKIN_HOST_API __attribute__((visibility("default")))

namespace bipedkin::host {

// Owning handle of an array created outside a call or returned by one.
struct ArrayDeleter {
  void operator()(mxArray* array) const noexcept { mxDestroyArray(array); }
};
using Array = std::unique_ptr<mxArray, ArrayDeleter>;

// The error a deliverable raised through mexErrMsgIdAndTxt (or the run
// time's error call). It unwinds to the call boundary.
class BIPEDKIN_HOST_API MexError : public std::runtime_error {
 public:
  MexError(std::string identifier, std::string message);
  ~MexError() override;
  const std::string& identifier() const noexcept { return identifier_; }
  const std::string& message() const noexcept { return message_; }

 private:
  std::string identifier_;
  std::string message_;
};

struct CallOptions {
  // Value written into every element of new numeric data (arrays created by
  // the host and mxMalloc blocks) instead of zero.
  std::optional<double> fill = std::nullopt;
  // The host's interrupt flag as the deliverable finds it; a deliverable
  // that polls it (the constraint run time does) abandons the call.
  bool interrupt = false;
  // The input count the entry point is told, when it is to differ from the
  // number of inputs passed: only smaller, or negative (a host that misbehaves).
  std::optional<int> nrhs = std::nullopt;
};

struct CallResult {
  // One slot per requested output, and at least one: a call with nlhs = 0
  // may still return its first output, as the host's default answer.
  std::vector<Array> outputs;
  std::optional<MexError> error;
  // Allocations made through the host during the call: arrays created and
  // mxMalloc/mxCalloc/mxRealloc blocks.
  std::size_t allocations = 0;
};

// Number of arrays and mxMalloc blocks alive in this process.
BIPEDKIN_HOST_API std::size_t live_allocations();

// The interrupt flag of the calling thread, as a deliverable reads it.
BIPEDKIN_HOST_API unsigned char* interrupt_flag();

// Run fn inside a call boundary, as a MEX call. Used by Library::call and by
// tests that call entry points directly.
using EntryPoint = void (*)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
struct LoadedLibrary;
BIPEDKIN_HOST_API CallResult call_entry(EntryPoint entry, int nlhs, std::span<const mxArray* const> inputs,
                                        const CallOptions& options = {}, LoadedLibrary* library = nullptr);

// A deliverable opened by name: <dir>/<name><extension> (.so for the
// built-in host's own builds; a MEX file built for another host, such as
// NAME.mexa64 against the MATLAB stand-in, opens the same way).
class BIPEDKIN_HOST_API Library {
 public:
  static Library open(const std::string& name, const std::filesystem::path& dir, const std::string& extension = ".so");
  Library(Library&&) noexcept;
  Library& operator=(Library&&) noexcept;
  // Unloads the deliverable, running its unload hook (mexAtExit) first.
  ~Library();

  const std::string& name() const;
  CallResult call(int nlhs, std::span<const mxArray* const> inputs, const CallOptions& options = {}) const;
  // Address of another exported symbol, or null.
  void* symbol(const char* name) const;

 private:
  explicit Library(std::unique_ptr<LoadedLibrary> loaded);
  std::unique_ptr<LoadedLibrary> loaded_;
};

// Builders and readers for host arrays.
BIPEDKIN_HOST_API Array make_double(std::vector<std::size_t> dims, std::span<const double> values = {});
BIPEDKIN_HOST_API Array make_numeric(std::vector<std::size_t> dims, mxClassID class_id, bool complex = false);
BIPEDKIN_HOST_API Array make_sparse(std::size_t m, std::size_t n, std::span<const double> dense_values);
BIPEDKIN_HOST_API std::vector<double> values(const mxArray* array);  // full double data, column-major
BIPEDKIN_HOST_API std::string text(const mxArray* array);          // a char array as UTF-8

}  // namespace bipedkin::host
