// Internals of the built-in host shared by libmx and libmex.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "bipedkin/host.hpp"

// An array's dimensions. Up to four are held in the record itself, so that
// creating the arrays a deliverable returns takes no allocation for them;
// more go to the heap.
class Dimensions {
 public:
  Dimensions() = default;  // 0x0
  Dimensions(mwSize m, mwSize n) : local_{m, n, 0, 0} {}
  Dimensions(const mwSize* d, std::size_t n) { assign(d, n); }
  Dimensions(const Dimensions& other) { assign(other.data(), other.size()); }
  Dimensions& operator=(const Dimensions& other) {
    if (this != &other) assign(other.data(), other.size());
    return *this;
  }

  std::size_t size() const { return n_; }
  const mwSize* data() const { return n_ > local_count ? heap_.data() : local_; }
  mwSize* data() { return n_ > local_count ? heap_.data() : local_; }
  const mwSize* begin() const { return data(); }
  const mwSize* end() const { return data() + n_; }
  mwSize operator[](std::size_t i) const { return data()[i]; }
  mwSize& operator[](std::size_t i) { return data()[i]; }

  // Keeps the first dimension and makes the array two-dimensional.
  void make_matrix() {
    const mwSize m = data()[0];
    heap_.clear();
    n_ = 2;
    local_[0] = m;
    local_[1] = 0;
  }

 private:
  static constexpr std::size_t local_count = 4;

  void assign(const mwSize* d, std::size_t n) {
    if (n > local_count) {
      heap_.assign(d, d + n);
    } else {
      std::copy(d, d + n, local_);
      heap_.clear();
    }
    n_ = n;
  }

  std::size_t n_ = 2;
  mwSize local_[local_count] = {0, 0, 0, 0};
  std::vector<mwSize> heap_;
};

// The array record behind the opaque mxArray.
struct mxArray_tag {
  mxClassID class_id = mxDOUBLE_CLASS;
  bool complex = false;
  bool sparse = false;
  Dimensions dims;
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

// What the host tracks while one call runs on this thread.
struct CallContext {
  std::optional<double> fill;
  unsigned char interrupt = 0;
  LoadedLibrary* library = nullptr;
  std::size_t allocations = 0;
  std::vector<mxArray*> arrays;  // temporaries: created, not returned, not in a container
  std::vector<void*> blocks;     // mxMalloc blocks not attached to an array
};

// libmx is loaded with the host program (or a deliverable), never on its own
// later, so its per-thread state can sit in the static TLS block: reached
// from the thread pointer directly instead of through __tls_get_addr, which
// a call through the host would otherwise pass a dozen times.
#define BIPEDKIN_STATIC_TLS [[gnu::tls_model("initial-exec")]]

// The call the thread is running, or null (call.cpp).
BIPEDKIN_STATIC_TLS extern thread_local CallContext* current;

// Counts arrays and blocks made (+1) and freed (-1) in this process (call.cpp).
void count_live(std::ptrdiff_t d);

// Removes p from a call's list of temporaries, the latest entry first.
void forget(std::vector<void*>& list, void* p);
void forget(std::vector<mxArray*>& list, mxArray* p);

// Frees an array with everything it holds, and a data block (mx.cpp).
void destroy(mxArray* a);
void block_free(void* p);

}  // namespace detail
}  // namespace bipedkin::host
