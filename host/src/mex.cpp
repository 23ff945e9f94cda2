// libmex of the built-in host: error reporting, the unload hook, and the
// loader that opens a deliverable and calls its entry point.

#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "internal.hpp"

namespace bipedkin::host {
namespace {

std::string format(const char* fmt, va_list args) {
  if (fmt == nullptr) return {};
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  return out;
}

}  // namespace

Library::Library(std::unique_ptr<LoadedLibrary> loaded) : loaded_(std::move(loaded)) {}
Library::Library(Library&&) noexcept = default;
Library& Library::operator=(Library&&) noexcept = default;

Library::~Library() {
  if (!loaded_) return;
  if (auto* exit_function = loaded_->exit_function.exchange(nullptr)) {
    // The unload hook runs as a call of its own, so what it allocates is
    // reclaimed and an error it raises stays inside the host.
    thread_local void (*hook)() = nullptr;
    hook = exit_function;
    const CallResult r = call_entry([](int, mxArray*[], int, const mxArray*[]) { hook(); }, 0, {}, {}, loaded_.get());
    if (r.error) std::fprintf(stderr, "%s: unload hook failed: %s\n", loaded_->name.c_str(), r.error->what());
  }
  dlclose(loaded_->handle);
}

Library Library::open(const std::string& name, const std::filesystem::path& dir, const std::string& extension) {
  const std::filesystem::path file = dir / (name + extension);
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    throw std::runtime_error("cannot load " + file.string() + ": " + (why != nullptr ? why : "unknown error"));
  }
  auto entry = reinterpret_cast<EntryPoint>(dlsym(handle, "mexFunction"));
  if (entry == nullptr) {
    dlclose(handle);
    throw std::runtime_error(file.string() + " exports no mexFunction");
  }
  auto loaded = std::make_unique<LoadedLibrary>();
  loaded->name = name;
  loaded->handle = handle;
  loaded->entry = entry;
  return Library(std::move(loaded));
}

const std::string& Library::name() const { return loaded_->name; }

CallResult Library::call(int nlhs, std::span<const mxArray* const> inputs, const CallOptions& options) const {
  return call_entry(loaded_->entry, nlhs, inputs, options, loaded_.get());
}

void* Library::symbol(const char* name) const { return dlsym(loaded_->handle, name); }

}  // namespace bipedkin::host

using namespace bipedkin::host;

extern "C" {

void mexErrMsgIdAndTxt(const char* identifier, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string message = format(fmt, args);
  va_end(args);
  throw MexError(identifier != nullptr ? identifier : "", std::move(message));
}

void mexErrMsgTxt(const char* message) { throw MexError("", message != nullptr ? message : ""); }

void mexWarnMsgIdAndTxt(const char* identifier, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string message = format(fmt, args);
  va_end(args);
  std::fprintf(stderr, "Warning: %s [%s]\n", message.c_str(), identifier != nullptr ? identifier : "");
}

int mexPrintf(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const int n = std::vprintf(fmt, args);
  va_end(args);
  return n;
}

int mexAtExit(void (*exit_function)(void)) {
  if (LoadedLibrary* library = detail::current_library()) library->exit_function.store(exit_function);
  return 0;
}

}  // extern "C"
