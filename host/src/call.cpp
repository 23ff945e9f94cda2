// libmx of the built-in host, its call boundary: what a call allocates
// belongs to the call, and what it does not return is freed when it ends;
// the count of every live allocation in the process.

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>

#include "internal.hpp"

namespace bipedkin::host {
namespace detail {

BIPEDKIN_STATIC_TLS thread_local CallContext* current = nullptr;

}  // namespace detail

using namespace detail;

namespace {

BIPEDKIN_STATIC_TLS thread_local unsigned char idle_interrupt = 0;

// Arrays and blocks alive, counted per thread so that an allocation costs
// no locked instruction; live_allocations() adds the threads' counts up. A
// thread's count may go negative (it freed what another allocated). The
// count itself needs no construction (so reaching it costs no guard); a
// thread registers it on its first allocation, and its registration folds
// it into `retired` when the thread ends (what the ending thread still
// allocates or frees goes there directly).
struct LiveRegistry {
  std::mutex mutex;
  std::vector<const std::atomic<std::ptrdiff_t>*> threads;
  std::ptrdiff_t retired = 0;
};
LiveRegistry& live_registry() {
  static auto* registry = new LiveRegistry;  // never destroyed: threads may end after static destruction
  return *registry;
}
enum class LiveState : unsigned char { unregistered, registered, retired };
BIPEDKIN_STATIC_TLS thread_local std::atomic<std::ptrdiff_t> live_count{0};
BIPEDKIN_STATIC_TLS thread_local LiveState live_state = LiveState::unregistered;
struct LiveRegistration {
  LiveRegistration() {
    LiveRegistry& r = live_registry();
    const std::lock_guard lock(r.mutex);
    r.threads.push_back(&live_count);
    live_state = LiveState::registered;
  }
  ~LiveRegistration() {
    LiveRegistry& r = live_registry();
    const std::lock_guard lock(r.mutex);
    r.retired += live_count.load();
    std::erase(r.threads, &live_count);
    live_state = LiveState::retired;
  }
};
// Only the owning thread writes its count.
void add_to_live_count(std::ptrdiff_t d) {
  live_count.store(live_count.load(std::memory_order_relaxed) + d, std::memory_order_relaxed);
}
[[gnu::noinline, gnu::cold]] void count_live_slowly(std::ptrdiff_t d) {
  if (live_state == LiveState::unregistered) {
    thread_local LiveRegistration registration;
    add_to_live_count(d);
  } else {
    LiveRegistry& r = live_registry();
    const std::lock_guard lock(r.mutex);
    r.retired += d;
  }
}

}  // namespace

namespace detail {

void count_live(std::ptrdiff_t d) {
  if (live_state != LiveState::registered) [[unlikely]] {
    count_live_slowly(d);
    return;
  }
  add_to_live_count(d);
}

void forget(std::vector<void*>& list, void* p) {
  const auto it = std::find(list.rbegin(), list.rend(), p);
  if (it != list.rend()) list.erase(std::next(it).base());
}
void forget(std::vector<mxArray*>& list, mxArray* p) {
  const auto it = std::find(list.rbegin(), list.rend(), p);
  if (it != list.rend()) list.erase(std::next(it).base());
}

}  // namespace detail

MexError::MexError(std::string identifier, std::string message)
    : std::runtime_error(identifier + ": " + message),
      identifier_(std::move(identifier)),
      message_(std::move(message)) {}
MexError::~MexError() = default;

std::size_t live_allocations() {
  LiveRegistry& r = live_registry();
  const std::lock_guard lock(r.mutex);
  std::ptrdiff_t n = r.retired;
  for (const auto* c : r.threads) n += c->load(std::memory_order_relaxed);
  return static_cast<std::size_t>(n);
}

unsigned char* interrupt_flag() { return current != nullptr ? &current->interrupt : &idle_interrupt; }

namespace detail {
LoadedLibrary* current_library() { return current != nullptr ? current->library : nullptr; }
}  // namespace detail

CallResult call_entry(EntryPoint entry, int nlhs, std::span<const mxArray* const> inputs,
                      const CallOptions& options, LoadedLibrary* library) {
  // The calling thread's context is reused from call to call, so that a call
  // costs no bookkeeping allocations once the lists have grown.
  BIPEDKIN_STATIC_TLS thread_local CallContext context;
  if (current != nullptr) throw std::logic_error("bipedkin host: nested MEX calls are not supported");
  context.fill = options.fill;
  context.interrupt = options.interrupt ? 1 : 0;
  context.library = library;
  context.allocations = 0;
  context.arrays.clear();
  context.blocks.clear();

  const std::size_t slots = static_cast<std::size_t>(std::max(nlhs, 1));
  // The output slots live on the stack for the usual few outputs.
  mxArray* few_slots[8] = {};
  std::vector<mxArray*> many_slots;
  if (slots > std::size(few_slots)) many_slots.assign(slots, nullptr);
  mxArray** plhs = many_slots.empty() ? few_slots : many_slots.data();
  CallResult result;
  current = &context;
  try {
    const int given = static_cast<int>(inputs.size());
    const int nrhs = options.nrhs && *options.nrhs < given ? *options.nrhs : given;
    entry(nlhs, plhs, nrhs, const_cast<const mxArray**>(inputs.data()));
  } catch (const MexError& e) {
    result.error = e;
  } catch (const std::bad_alloc&) {
    result.error = MexError("MATLAB:nomem", "Out of memory.");
  }
  current = nullptr;

  // Outputs pass to the caller; on failure they go with everything else.
  result.outputs.resize(slots);
  if (!result.error) {
    for (std::size_t i = 0; i < slots; ++i) {
      mxArray* out = plhs[i];
      if (out == nullptr) continue;
      if (out->temporary) {
        out->temporary = false;
        forget(context.arrays, out);
      }
      result.outputs[i].reset(out);
    }
  }
  for (mxArray* a : context.arrays) {
    a->temporary = false;
    destroy(a);
  }
  for (void* b : context.blocks) block_free(b);
  result.allocations = context.allocations;
  context.arrays.clear();
  context.blocks.clear();
  return result;
}

}  // namespace bipedkin::host
