// Internals of the built-in host shared by libmx and libmex.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "bipedkin/host.hpp"

// The array record behind the opaque mxArray.
struct mxArray_tag {
  mxClassID class_id = mxDOUBLE_CLASS;
  bool complex = false;
  bool sparse = false;
  std::vector<mwSize> dims{0, 0};
  void* real = nullptr;  // numeric, logical and char data; sparse nonzeros
  void* imag = nullptr;
  mwIndex* ir = nullptr;  // sparse row indices (nzmax)
  mwIndex* jc = nullptr;  // sparse column starts (n + 1)
  mwSize nzmax = 0;
  std::vector<std::string> field_names;  // struct
  std::vector<mxArray*> elements;        // struct (numel x fields) or cell (numel)
  // Created during a call and not yet returned or placed in a container.
  bool temporary = false;
};

namespace bipedkin::host {

// A deliverable loaded by the host.
struct LoadedLibrary {
  std::string name;
  void* handle = nullptr;
  EntryPoint entry = nullptr;
  std::atomic<void (*)()> exit_function{nullptr};
};

namespace detail {

// The library whose entry point the calling thread is running, if any.
BIPEDKIN_HOST_API LoadedLibrary* current_library();

}  // namespace detail
}  // namespace bipedkin::host
