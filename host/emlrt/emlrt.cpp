// libemlrt of the built-in host: the run-time calls of the run-time-built
// deliverables, on the host's mx/mex interface only.
//
// State. Everything the run time keeps is per thread: each thread has one
// root record in thread-local storage, which emlrtCreateRootTLS resets and
// hands out and emlrtDestroyRootTLS retires. Nothing is allocated for a root,
// so a call that fails before destroying its root (an error call unwinds past
// the deliverable's tear-down) leaves nothing behind, and the next creation
// on the thread simply starts afresh. The deliverable's context record is
// only read, never written, so calls on several threads share it safely.
//
// Errors. Messages are formatted into fixed buffers on the stack and raised
// through mexErrMsgIdAndTxt, which does not return; no heap object is alive
// across that call, so nothing leaks whether the host unwinds with an
// exception or jumps.

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "emlrt.h"
#include "emlrt_internal.hpp"
#include "mex.h"

// The built-in host exposes its per-thread interrupt flag through this
// function of its libmx. The reference is weak so that the run time also
// loads in a host without it, where the flag is a byte nobody sets.
namespace bipedkin::host {
[[gnu::weak, gnu::visibility("default")]] unsigned char* interrupt_flag();
}

using namespace bipedkin::emlrt::detail;

// The run time's state for one call on one thread.
struct emlrtRootRecord {
  const emlrtContext* context = nullptr;
  int32_t threads = 0;
  int32_t depth = 0;            // run-time stack frames entered and not left
  bool first_time_asked = false;
  bool live = false;
  // Outstanding aliases: each entry is one reference to an array that the
  // alias's taker must drop with emlrtDestroyArray.
  static constexpr int max_aliases = 32;
  const mxArray* aliases[max_aliases] = {};
  int alias_count = 0;
};

namespace {

thread_local emlrtRootRecord thread_root;

volatile unsigned char* host_interrupt_flag() {
  if (bipedkin::host::interrupt_flag != nullptr) return bipedkin::host::interrupt_flag();
  thread_local unsigned char never_set = 0;
  return &never_set;
}

[[noreturn]] void raise(const char* identifier, const char* message) {
  mexErrMsgIdAndTxt(identifier, "%s", message);
  // mexErrMsgIdAndTxt does not return; should a host's do so, end the
  // process rather than run on past a refusal.
  std::abort();
}

[[noreturn]] void bad_argument(const char* function, const char* what) {
  char message[256];
  std::snprintf(message, sizeof message, "%s: %s.", function, what);
  raise(bad_argument_id, message);
}

std::string dims_text(const int32_t* dims, int64_t n) {
  std::string s = "[";
  for (int64_t i = 0; i < n; ++i) {
    if (i > 0) s += ',';
    s += std::to_string(dims[i]);
  }
  s += ']';
  return s;
}

// A size list of 32-bit counts as host dimensions, at least two of them
// (missing ones are 1). False when the list is unusable.
constexpr int max_dims = 32;
bool host_dims(const int32_t* dims, int64_t n, mwSize (&out)[max_dims], mwSize& count) {
  if (n < 0 || n > max_dims || (n > 0 && dims == nullptr)) return false;
  count = n < 2 ? 2 : static_cast<mwSize>(n);
  for (mwSize i = 0; i < count; ++i) {
    if (static_cast<int64_t>(i) < n) {
      if (dims[i] < 0) return false;
      out[i] = static_cast<mwSize>(dims[i]);
    } else {
      out[i] = 1;
    }
  }
  return true;
}

// Dimensions with trailing 1s dropped (keeping at least two), as "AxBxC".
std::string shape_text(const mwSize* dims, mwSize n) {
  while (n > 2 && dims[n - 1] == 1) --n;
  std::string s;
  for (mwSize i = 0; i < n; ++i) {
    if (i > 0) s += 'x';
    s += std::to_string(dims[i]);
  }
  return s;
}

const char* function_name(const emlrtStack* sp) {
  if (sp != nullptr && sp->root == &thread_root && thread_root.live && thread_root.context != nullptr &&
      thread_root.context->functionName != nullptr) {
    return thread_root.context->functionName;
  }
  return "the running function";
}

// ---------------------------------------------------------------------------
// Messages of emlrtErrMsgIdAndTxt: the text for each identifier the run time
// knows, with %1, %2, ... standing for its arguments in order.

struct MessageTemplate {
  const char* identifier;
  const char* text;
};

constexpr MessageTemplate message_catalog[] = {
    {"EMLRT:runTime:WrongNumberOfInputs", "%2: expected %1 input(s)."},
    {"EMLRT:runTime:TooManyOutputArguments", "%1: too many output arguments."},
};

constexpr int max_message_args = 8;
constexpr std::size_t arg_size = 160;

// Writes the message for identifier with its arguments into out.
void compose(const char* identifier, const char (*args)[arg_size], int nargs, bool unreadable, char* out,
             std::size_t size) {
  const char* text = nullptr;
  for (const MessageTemplate& t : message_catalog) {
    if (std::strcmp(t.identifier, identifier) == 0) text = t.text;
  }
  std::size_t used = 0;
  auto append = [&](const char* s, std::size_t n) {
    const std::size_t room = size - 1 - used;
    if (n > room) n = room;
    std::memcpy(out + used, s, n);
    used += n;
  };
  if (text != nullptr) {
    for (const char* p = text; *p != '\0'; ++p) {
      if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
        const int k = p[1] - '1';
        const char* value = k < nargs ? args[k] : "?";
        append(value, std::strlen(value));
        ++p;
      } else {
        append(p, 1);
      }
    }
  } else {
    // An identifier the run time has no text for: show its arguments.
    const char* head = nargs > 0 ? "run-time error; arguments: " : "run-time error.";
    append(head, std::strlen(head));
    for (int k = 0; k < nargs; ++k) {
      if (k > 0) append(", ", 2);
      append(args[k], std::strlen(args[k]));
    }
  }
  if (unreadable) {
    const char* tail = " (some arguments could not be read)";
    append(tail, std::strlen(tail));
  }
  out[used] = '\0';
}

// The name of a checked argument, with the arguments it is part of in front
// ("parent.in1", "parent{}.in1" when the parent is a cell).
void argument_name(const emlrtMsgIdentifier* id, char* out, std::size_t size) {
  const emlrtMsgIdentifier* chain[8];
  int n = 0;
  for (const emlrtMsgIdentifier* p = id; p != nullptr && n < 8; p = p->parent) chain[n++] = p;
  std::size_t used = 0;
  auto append = [&](const char* s) {
    for (; *s != '\0' && used + 1 < size; ++s) out[used++] = *s;
  };
  if (n == 0) append("the input");
  for (int k = n - 1; k >= 0; --k) {
    append(chain[k]->identifier != nullptr ? chain[k]->identifier : "?");
    if (k > 0) append(chain[k - 1]->parentIsCell ? "{}." : ".");
  }
  out[used] = '\0';
}

// "a real double array of size 44x1", "a cell array of size 1x1", or
// "missing": only numeric classes are real or complex.
void kind_text(const mxArray* a, char* out, std::size_t size) {
  if (a == nullptr) {
    std::snprintf(out, size, "%s", "missing");
    return;
  }
  const std::string shape = shape_text(mxGetDimensions(a), mxGetNumberOfDimensions(a));
  const char* complexity = !mxIsNumeric(a) ? "" : mxIsComplex(a) ? "complex " : "real ";
  std::snprintf(out, size, "a %s%s%s array of size %s", mxIsSparse(a) ? "sparse " : "", complexity,
                mxGetClassName(a), shape.c_str());
}

}  // namespace

std::string bipedkin::emlrt::detail::describe(emlrtCTX root) {
  if (root == nullptr) return "null";
  if (root == &thread_root) return thread_root.live ? "root" : "stale";
  return "other";
}

extern "C" {

// ---------------------------------------------------------------------------
// Roots

void emlrtCreateRootTLS(emlrtCTX* root, emlrtContext* context, void* reserved, int32_t threads) {
  if (root == nullptr) bad_argument("emlrtCreateRootTLS", "no place for the root handle");
  // Whatever *root held belongs to an earlier call: it is never read here.
  thread_root = emlrtRootRecord{};
  thread_root.context = context;
  thread_root.threads = threads;
  thread_root.live = true;
  *root = &thread_root;
  if (recording()) {
    std::string c = "null";
    if (context != nullptr) {
      char buf[512];
      std::snprintf(buf, sizeof buf,
                    "context{first_time=%d, initialized=%d, version=%u, error_function=%s, function=%s, "
                    "call_stack=%s, debug=%d, signature=%u:%u:%u:%u, signature_memory=%s}",
                    context->firstTime ? 1 : 0, context->initialized ? 1 : 0, context->versionInfo,
                    context->errorFunction != nullptr ? "set" : "-",
                    context->functionName != nullptr ? context->functionName : "-",
                    context->callStack != nullptr ? "set" : "-", context->debugMode ? 1 : 0, context->signature[0],
                    context->signature[1], context->signature[2], context->signature[3],
                    context->signatureMemory != nullptr ? "set" : "-");
      c = buf;
    }
    record("emlrtCreateRootTLS", {describe(*root), c, reserved != nullptr ? "set" : "-", std::to_string(threads)});
  }
}

void emlrtDestroyRootTLS(emlrtCTX* root) {
  if (recording()) record("emlrtDestroyRootTLS", {root != nullptr ? describe(*root) : "null"});
  if (root == nullptr) return;
  if (*root == &thread_root) {
    thread_root.live = false;
    thread_root.alias_count = 0;
    thread_root.depth = 0;
  }
  *root = nullptr;
}

bool emlrtFirstTimeR2012b(emlrtCTX root) {
  if (recording()) record("emlrtFirstTimeR2012b", {describe(root)});
  if (root != &thread_root || !thread_root.live) return false;
  const bool first = !thread_root.first_time_asked;
  thread_root.first_time_asked = true;
  return first;
}

// ---------------------------------------------------------------------------
// Interrupts and the run-time stack

volatile unsigned char* emlrtGetBreakCheckFlagAddressR2012b(void) {
  if (recording()) record("emlrtGetBreakCheckFlagAddressR2012b", {});
  return host_interrupt_flag();
}

void emlrtBreakCheckR2012b(const emlrtStack* sp) {
  if (recording()) record("emlrtBreakCheckR2012b", {describe(sp)});
  volatile unsigned char* flag = host_interrupt_flag();
  if (*flag == 0) return;
  *flag = 0;  // the interrupt is answered once
  char message[256];
  std::snprintf(message, sizeof message, "%s: interrupted by the user.", function_name(sp));
  raise(interrupted_id, message);
}

void emlrtClearAllocCountR2012b(const emlrtStack* sp, bool reset, uint32_t count, int32_t limit) {
  if (recording()) {
    record("emlrtClearAllocCountR2012b",
           {describe(sp), reset ? "true" : "false", std::to_string(count), std::to_string(limit)});
  }
}

void emlrtEnterRtStackR2012b(const emlrtStack* sp) {
  if (recording()) record("emlrtEnterRtStackR2012b", {describe(sp)});
  if (sp != nullptr && sp->root == &thread_root && thread_root.live) ++thread_root.depth;
}

void emlrtLeaveRtStackR2012b(const emlrtStack* sp) {
  if (recording()) record("emlrtLeaveRtStackR2012b", {describe(sp)});
  if (sp != nullptr && sp->root == &thread_root && thread_root.live && thread_root.depth > 0) --thread_root.depth;
}

// ---------------------------------------------------------------------------
// Errors

void emlrtErrMsgIdAndTxt(const emlrtStack* sp, const char* identifier, int32_t count, ...) {
  if (identifier == nullptr) identifier = "EMLRT:runTime:UnknownError";
  // Decode the counted arguments; never read past count, and stop at a class
  // code whose value layout is unknown.
  char args[max_message_args][arg_size];
  int nargs = 0;
  bool unreadable = false;
  va_list ap;
  va_start(ap, count);
  int32_t left = count;
  while (left > 0) {
    const int code = va_arg(ap, int);
    --left;
    char value[arg_size];
    switch (code) {
      case mxCHAR_CLASS: {
        if (left < 2) {
          unreadable = true;
          left = 0;
          continue;
        }
        const int length = va_arg(ap, int);
        const char* chars = va_arg(ap, const char*);
        left -= 2;
        std::size_t n = 0;
        if (chars != nullptr && length > 0) n = static_cast<std::size_t>(length);
        if (n > arg_size - 1) n = arg_size - 1;
        if (n > 0) std::memcpy(value, chars, n);
        value[n] = '\0';
        break;
      }
      case mxDOUBLE_CLASS:
      case mxSINGLE_CLASS:
        if (left < 1) {
          unreadable = true;
          continue;
        }
        std::snprintf(value, sizeof value, "%.17g", va_arg(ap, double));
        --left;
        break;
      case mxLOGICAL_CLASS:
      case mxINT8_CLASS:
      case mxINT16_CLASS:
      case mxINT32_CLASS:
        if (left < 1) {
          unreadable = true;
          continue;
        }
        std::snprintf(value, sizeof value, "%d", va_arg(ap, int));
        --left;
        break;
      case mxUINT8_CLASS:
      case mxUINT16_CLASS:
      case mxUINT32_CLASS:
        if (left < 1) {
          unreadable = true;
          continue;
        }
        std::snprintf(value, sizeof value, "%u", va_arg(ap, unsigned));
        --left;
        break;
      case mxINT64_CLASS:
        if (left < 1) {
          unreadable = true;
          continue;
        }
        std::snprintf(value, sizeof value, "%lld", static_cast<long long>(va_arg(ap, int64_t)));
        --left;
        break;
      case mxUINT64_CLASS:
        if (left < 1) {
          unreadable = true;
          continue;
        }
        std::snprintf(value, sizeof value, "%llu", static_cast<unsigned long long>(va_arg(ap, uint64_t)));
        --left;
        break;
      default:
        unreadable = true;
        left = 0;
        continue;
    }
    if (nargs < max_message_args) std::memcpy(args[nargs++], value, arg_size);
  }
  va_end(ap);

  char message[1024];
  compose(identifier, args, nargs, unreadable, message, sizeof message);
  if (recording()) {
    std::string shown;
    for (int k = 0; k < nargs; ++k) {
      if (k > 0) shown += ", ";
      shown += args[k];
    }
    record("emlrtErrMsgIdAndTxt", {describe(sp), identifier, std::to_string(count), shown});
  }
  raise(identifier, message);
}

// ---------------------------------------------------------------------------
// The input type check

void emlrtCheckBuiltInR2012b(const emlrtStack* sp, const emlrtMsgIdentifier* id, const mxArray* array,
                             const char* className, bool isComplex, uint32_t ndims, const int32_t* dims) {
  if (recording()) {
    const std::string list =
        ndims <= static_cast<uint32_t>(max_dims) && dims != nullptr ? dims_text(dims, ndims) : "?";
    record("emlrtCheckBuiltInR2012b",
           {describe(sp), id != nullptr && id->identifier != nullptr ? id->identifier : "-", describe(array),
            className != nullptr ? className : "-", isComplex ? "true" : "false", std::to_string(ndims), list});
  }
  mwSize expected[max_dims];
  mwSize expected_count = 0;
  if (className == nullptr || !host_dims(dims, ndims, expected, expected_count)) {
    bad_argument("emlrtCheckBuiltInR2012b", "unusable class name or size list");
  }
  char message[512];
  {
    const std::string want = shape_text(expected, expected_count);
    bool ok = array != nullptr && !mxIsSparse(array) && std::strcmp(mxGetClassName(array), className) == 0 &&
              mxIsComplex(array) == isComplex;
    if (ok) ok = shape_text(mxGetDimensions(array), mxGetNumberOfDimensions(array)) == want;
    if (ok) return;

    char name[160];
    argument_name(id, name, sizeof name);
    char got[160];
    kind_text(array, got, sizeof got);
    std::snprintf(message, sizeof message, "%s must be a %s %s array of size %s; it is %s.", name,
                  isComplex ? "complex" : "real", className, want.c_str(), got);
  }
  raise(type_mismatch_id, message);
}

// ---------------------------------------------------------------------------
// Arrays

const mxArray* emlrtAlias(const mxArray* array) {
  if (recording()) record("emlrtAlias", {describe(array)});
  if (array == nullptr) return nullptr;
  if (thread_root.alias_count < emlrtRootRecord::max_aliases) {
    thread_root.aliases[thread_root.alias_count++] = array;
    return array;
  }
  // Out of room for references: a copy serves as well for reading.
  return mxDuplicateArray(array);
}

void emlrtDestroyArray(const mxArray** array) {
  if (array == nullptr || *array == nullptr) return;
  const mxArray* a = *array;
  *array = nullptr;
  for (int i = thread_root.alias_count - 1; i >= 0; --i) {
    if (thread_root.aliases[i] == a) {
      if (recording()) record("emlrtDestroyArray", {"alias of " + describe(a)});
      thread_root.aliases[i] = thread_root.aliases[--thread_root.alias_count];
      return;
    }
  }
  if (recording()) record("emlrtDestroyArray", {describe(a)});
  mxDestroyArray(const_cast<mxArray*>(a));
}

mxArray* emlrtCreateNumericArray(int32_t ndims, const int32_t* dims, mxClassID classId, mxComplexity complexity) {
  if (recording()) {
    record("emlrtCreateNumericArray",
           {std::to_string(ndims), ndims >= 0 && ndims <= max_dims && dims != nullptr ? dims_text(dims, ndims) : "?",
            std::to_string(static_cast<int>(classId)), std::to_string(static_cast<int>(complexity))});
  }
  mwSize d[max_dims];
  mwSize n = 0;
  if (!host_dims(dims, ndims, d, n)) bad_argument("emlrtCreateNumericArray", "unusable size list");
  mxArray* array = mxCreateNumericArray(n, d, classId, complexity);
  // An array without elements gets no data block: its taker attaches one
  // with mxSetData, which frees nothing, so a block a host makes even for no
  // elements (Octave does) would be lost on every call.
  if (array != nullptr && mxGetNumberOfElements(array) == 0) {
    void* block = mxGetData(array);
    mxSetData(array, nullptr);
    mxFree(block);
  }
  return array;
}

void emlrtSetDimensions(mxArray* array, const int32_t* dims, int32_t ndims) {
  if (recording()) {
    record("emlrtSetDimensions",
           {describe(array), ndims >= 0 && ndims <= max_dims && dims != nullptr ? dims_text(dims, ndims) : "?",
            std::to_string(ndims)});
  }
  mwSize d[max_dims];
  mwSize n = 0;
  if (array == nullptr || !host_dims(dims, ndims, d, n)) bad_argument("emlrtSetDimensions", "unusable size list");
  mxSetDimensions(array, d, n);
}

void emlrtAssign(const mxArray** target, const mxArray* source) {
  if (recording()) {
    record("emlrtAssign",
           {target == nullptr ? "null" : (*target == nullptr ? "empty slot" : "slot holding " + describe(*target)),
            describe(source)});
  }
  if (target == nullptr) bad_argument("emlrtAssign", "no slot");
  if (*target != source) emlrtDestroyArray(target);
  *target = source;
}

void emlrtReturnArrays(int32_t count, mxArray* plhs[], const mxArray* const outputs[]) {
  if (recording()) {
    std::string shown;
    for (int32_t i = 0; outputs != nullptr && i < count && i < 8; ++i) {
      if (i > 0) shown += ", ";
      shown += describe(outputs[i]);
    }
    record("emlrtReturnArrays", {std::to_string(count), shown});
  }
  if (count < 0 || (count > 0 && (plhs == nullptr || outputs == nullptr))) {
    bad_argument("emlrtReturnArrays", "unusable output lists");
  }
  for (int32_t i = 0; i < count; ++i) plhs[i] = const_cast<mxArray*>(outputs[i]);
}

mxArray* emlrtCreateStructMatrix(int32_t m, int32_t n, int32_t nfields, const char** fieldNames) {
  if (recording()) {
    std::string names = "[";
    for (int32_t i = 0; fieldNames != nullptr && i < nfields && i < 64; ++i) {
      if (i > 0) names += ',';
      names += fieldNames[i] != nullptr ? fieldNames[i] : "?";
    }
    record("emlrtCreateStructMatrix", {std::to_string(m), std::to_string(n), std::to_string(nfields), names + "]"});
  }
  if (m < 0 || n < 0 || nfields < 0 || (nfields > 0 && fieldNames == nullptr)) {
    bad_argument("emlrtCreateStructMatrix", "unusable size or field list");
  }
  for (int32_t i = 0; i < nfields; ++i) {
    if (fieldNames[i] == nullptr) bad_argument("emlrtCreateStructMatrix", "a field without a name");
  }
  return mxCreateStructMatrix(static_cast<mwSize>(m), static_cast<mwSize>(n), nfields, fieldNames);
}

mxArray* emlrtCreateLogicalMatrix(int32_t m, int32_t n) {
  if (recording()) record("emlrtCreateLogicalMatrix", {std::to_string(m), std::to_string(n)});
  if (m < 0 || n < 0) bad_argument("emlrtCreateLogicalMatrix", "negative size");
  return mxCreateLogicalMatrix(static_cast<mwSize>(m), static_cast<mwSize>(n));
}

void emlrtSetField(mxArray* structArray, int32_t index, const char* fieldName, mxArray* value) {
  if (recording()) {
    record("emlrtSetField", {describe(structArray), std::to_string(index), fieldName != nullptr ? fieldName : "-",
                             describe(value)});
  }
  // A value that cannot be placed would be lost: refuse instead.
  if (structArray == nullptr || !mxIsStruct(structArray) || index < 0 ||
      static_cast<std::size_t>(index) >= mxGetNumberOfElements(structArray) || fieldName == nullptr ||
      mxGetFieldNumber(structArray, fieldName) < 0) {
    bad_argument("emlrtSetField", "no such structure element or field");
  }
  mxSetField(structArray, static_cast<mwIndex>(index), fieldName, value);
}

}  // extern "C"
