// libmx of the built-in host: arrays and host memory, and the matrix
// interface on them. What a call allocates is registered with the call
// (call.cpp), so that the call boundary frees what the call does not return.

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <numeric>

#include "internal.hpp"

namespace bipedkin::host {
namespace detail {
namespace {

// ---------------------------------------------------------------------------
// Blocks: every data block (an array's or an mxMalloc'd one) carries a
// header with its size, so that mxRealloc can copy and the host can fill.

struct alignas(16) BlockHeader {
  std::size_t size;
  std::uint64_t magic;
};
constexpr std::uint64_t block_magic = 0x6269706564626c6bULL;

BlockHeader* header_of(void* p) { return static_cast<BlockHeader*>(p) - 1; }

// glibc's calloc bypasses the per-thread cache of small blocks that malloc
// uses; a small zeroed block is cheaper taken with malloc and cleared.
constexpr std::size_t small_block = 4096;

void* block_alloc(std::size_t size, bool zero) {
  const std::size_t bytes = sizeof(BlockHeader) + size;
  const bool clear = zero && bytes <= small_block;
  void* raw = zero && !clear ? std::calloc(1, bytes) : std::malloc(bytes);
  if (raw == nullptr) throw std::bad_alloc();
  auto* h = static_cast<BlockHeader*>(raw);
  // Only the data is cleared (the header is written next): clearing the
  // whole block would let the compiler turn malloc and memset back into
  // calloc.
  if (clear) std::memset(h + 1, 0, size);
  h->size = size;
  h->magic = block_magic;
  count_live(1);
  return h + 1;
}

}  // namespace

void block_free(void* p) {
  if (p == nullptr) return;
  BlockHeader* h = header_of(p);
  h->magic = 0;
  std::free(h);
  count_live(-1);
}

namespace {

void fill_doubles(void* p, std::size_t bytes, double value) {
  unsigned char* bytes_p = static_cast<unsigned char*>(p);
  const std::size_t n = bytes / sizeof(double);
  for (std::size_t i = 0; i < n; ++i) std::memcpy(bytes_p + i * sizeof(double), &value, sizeof(double));
  std::memset(bytes_p + n * sizeof(double), 0xff, bytes - n * sizeof(double));
}

// A data block of count elements of class_id, zero-filled or filled with the
// call's fill value.
void* data_block(mxClassID class_id, std::size_t count, std::size_t element_size) {
  if (count == 0) return nullptr;
  const std::size_t bytes = count * element_size;
  const bool fill = current != nullptr && current->fill.has_value() &&
                    (class_id == mxDOUBLE_CLASS || class_id == mxSINGLE_CLASS);
  void* p = block_alloc(bytes, !fill);
  if (fill) {
    if (class_id == mxDOUBLE_CLASS) {
      fill_doubles(p, bytes, *current->fill);
    } else {
      const float f = static_cast<float>(*current->fill);
      for (std::size_t i = 0; i < count; ++i) std::memcpy(static_cast<char*>(p) + i * sizeof f, &f, sizeof f);
    }
  }
  return p;
}

// ---------------------------------------------------------------------------
// Arrays

std::size_t element_size(mxClassID c) {
  switch (c) {
    case mxDOUBLE_CLASS:
    case mxINT64_CLASS:
    case mxUINT64_CLASS: return 8;
    case mxSINGLE_CLASS:
    case mxINT32_CLASS:
    case mxUINT32_CLASS: return 4;
    case mxINT16_CLASS:
    case mxUINT16_CLASS:
    case mxCHAR_CLASS: return 2;
    case mxINT8_CLASS:
    case mxUINT8_CLASS:
    case mxLOGICAL_CLASS: return 1;
    case mxCELL_CLASS:
    case mxSTRUCT_CLASS: return sizeof(mxArray*);
    default: return 0;
  }
}

bool is_numeric_class(mxClassID c) { return c >= mxDOUBLE_CLASS && c <= mxUINT64_CLASS; }

std::size_t count_of(const Dimensions& dims) {
  return std::accumulate(dims.begin(), dims.end(), std::size_t{1}, std::multiplies<>());
}

// At least two dimensions (no dimension at all is 0x1, one is a column),
// and no trailing singleton beyond the second.
Dimensions normalized(mwSize ndim, const mwSize* dims) {
  if (ndim < 2) {
    const mwSize two[2] = {ndim == 0 ? 0 : dims[0], 1};
    return Dimensions(two, 2);
  }
  while (ndim > 2 && dims[ndim - 1] == 1) --ndim;
  return Dimensions(dims, ndim);
}

// Storage of destroyed array records, kept by the thread for its next ones:
// a call creates and destroys an array or two, and taking the storage from
// here costs less than malloc and free. The cache needs no construction;
// the first record put into it registers an owner that frees what is left
// when the thread ends.
struct RecordCache {
  static constexpr std::size_t capacity = 16;
  void* storage[capacity];
  std::size_t count;
  bool owned;
  bool closed;  // the thread is ending: records are freed, not kept
};
BIPEDKIN_STATIC_TLS thread_local RecordCache record_cache{};

struct RecordCacheOwner {
  ~RecordCacheOwner() {
    for (std::size_t i = 0; i < record_cache.count; ++i) ::operator delete(record_cache.storage[i]);
    record_cache.count = 0;
    record_cache.owned = false;
    record_cache.closed = true;
  }
};
[[gnu::noinline, gnu::cold]] void own_record_cache() {
  thread_local RecordCacheOwner owner;
  record_cache.owned = true;
}

void* record_storage() {
  RecordCache& c = record_cache;
  return c.count > 0 ? c.storage[--c.count] : ::operator new(sizeof(mxArray_tag));
}

void free_record(mxArray* a) {
  a->~mxArray_tag();
  RecordCache& c = record_cache;
  if (!c.owned) [[unlikely]] {
    if (c.closed) {
      ::operator delete(a);
      return;
    }
    own_record_cache();
  }
  if (c.count < RecordCache::capacity) {
    c.storage[c.count++] = a;
  } else {
    ::operator delete(a);
  }
}

// A new array record, owned by the running call if there is one.
mxArray* new_array(mxClassID class_id, const Dimensions& dims) {
  void* storage = record_storage();
  mxArray* a;
  try {
    a = new (storage) mxArray_tag{.class_id = class_id, .dims = dims, .field_names = {}, .elements = {}};
  } catch (...) {
    ::operator delete(storage);
    throw;
  }
  count_live(1);
  if (current != nullptr) {
    ++current->allocations;
    a->temporary = true;
    current->arrays.push_back(a);
  }
  return a;
}

mxArray* numeric_array(const Dimensions& dims, mxClassID class_id, mxComplexity flag) {
  mxArray* a = new_array(class_id, dims);
  const std::size_t n = count_of(a->dims);
  a->real = data_block(class_id, n, element_size(class_id));
  if (flag == mxCOMPLEX && is_numeric_class(class_id)) {
    a->complex = true;
    a->imag = data_block(class_id, n, element_size(class_id));
  }
  return a;
}

mxArray* container(mxClassID class_id, const Dimensions& dims, int nfields, const char** names) {
  mxArray* a = new_array(class_id, dims);
  for (int i = 0; i < nfields; ++i) a->field_names.emplace_back(names[i]);
  a->elements.assign(count_of(a->dims) * static_cast<std::size_t>(std::max(nfields, 1)), nullptr);
  if (class_id == mxSTRUCT_CLASS && nfields == 0) a->elements.clear();
  return a;
}

// A value placed into a container is owned by it from then on.
void adopt(mxArray* value) {
  if (value != nullptr && value->temporary) {
    value->temporary = false;
    if (current != nullptr) forget(current->arrays, value);
  }
}

// A value taken out of a container without being destroyed: the running call
// frees it unless something adopts it.
void release(mxArray* value) {
  if (value != nullptr && current != nullptr && !value->temporary) {
    value->temporary = true;
    current->arrays.push_back(value);
  }
}

}  // namespace

void destroy(mxArray* a) {
  if (a == nullptr) return;
  if (a->temporary && current != nullptr) forget(current->arrays, a);
  for (mxArray* e : a->elements) destroy(e);
  block_free(a->real);
  block_free(a->imag);
  block_free(a->ir);
  block_free(a->jc);
  free_record(a);
  count_live(-1);
}

namespace {

// UTF-8 to UTF-16 code units.
std::vector<mxChar> utf16(const char* s) {
  std::vector<mxChar> out;
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  while (*p != 0) {
    std::uint32_t cp = *p++;
    int more = 0;
    if (cp >= 0xf0) {
      cp &= 0x07;
      more = 3;
    } else if (cp >= 0xe0) {
      cp &= 0x0f;
      more = 2;
    } else if (cp >= 0xc0) {
      cp &= 0x1f;
      more = 1;
    }
    for (; more > 0 && (*p & 0xc0) == 0x80; --more) cp = (cp << 6) | (*p++ & 0x3f);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<mxChar>(0xd800 + (cp >> 10)));
      out.push_back(static_cast<mxChar>(0xdc00 + (cp & 0x3ff)));
    } else {
      out.push_back(static_cast<mxChar>(cp));
    }
  }
  return out;
}

std::string utf8(const mxChar* s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    std::uint32_t cp = s[i];
    if (cp >= 0xd800 && cp < 0xdc00 && i + 1 < n && s[i + 1] >= 0xdc00 && s[i + 1] < 0xe000) {
      cp = 0x10000 + ((cp - 0xd800) << 10) + (s[++i] - 0xdc00);
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xc0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3f));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xe0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (cp & 0x3f));
    } else {
      out += static_cast<char>(0xf0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
      out += static_cast<char>(0x80 | (cp & 0x3f));
    }
  }
  return out;
}

}  // namespace
}  // namespace detail

using namespace detail;

// ---------------------------------------------------------------------------
// Builders

Array make_double(std::vector<std::size_t> dims, std::span<const double> values) {
  Array a(mxCreateNumericArray(dims.size(), dims.data(), mxDOUBLE_CLASS, mxREAL));
  std::copy_n(values.begin(), std::min(values.size(), mxGetNumberOfElements(a.get())), mxGetPr(a.get()));
  return a;
}

Array make_numeric(std::vector<std::size_t> dims, mxClassID class_id, bool complex) {
  if (class_id == mxLOGICAL_CLASS) return Array(mxCreateLogicalArray(dims.size(), dims.data()));
  if (class_id == mxCHAR_CLASS) return Array(mxCreateCharArray(dims.size(), dims.data()));
  if (class_id == mxCELL_CLASS) return Array(mxCreateCellArray(dims.size(), dims.data()));
  if (class_id == mxSTRUCT_CLASS) return Array(mxCreateStructArray(dims.size(), dims.data(), 0, nullptr));
  return Array(mxCreateNumericArray(dims.size(), dims.data(), class_id, complex ? mxCOMPLEX : mxREAL));
}

Array make_sparse(std::size_t m, std::size_t n, std::span<const double> dense) {
  std::size_t nnz = 0;
  for (double v : dense) nnz += v != 0.0 ? 1 : 0;
  Array a(mxCreateSparse(m, n, nnz, mxREAL));
  mwIndex* ir = mxGetIr(a.get());
  mwIndex* jc = mxGetJc(a.get());
  double* pr = mxGetPr(a.get());
  std::size_t k = 0;
  for (std::size_t j = 0; j < n; ++j) {
    jc[j] = k;
    for (std::size_t i = 0; i < m; ++i) {
      const double v = i + j * m < dense.size() ? dense[i + j * m] : 0.0;
      if (v != 0.0) {
        ir[k] = i;
        pr[k++] = v;
      }
    }
  }
  jc[n] = k;
  return a;
}

std::vector<double> values(const mxArray* a) {
  const std::size_t n = mxGetNumberOfElements(a);
  std::vector<double> out(n, 0.0);
  if (a->class_id != mxDOUBLE_CLASS) return out;
  const auto* pr = static_cast<const double*>(a->real);
  if (a->sparse) {
    const std::size_t m = a->dims[0];
    for (std::size_t j = 0; j < mxGetN(a); ++j) {
      for (mwIndex k = a->jc[j]; k < a->jc[j + 1]; ++k) out[a->ir[k] + j * m] = pr[k];
    }
  } else if (pr != nullptr) {
    std::copy_n(pr, n, out.begin());
  }
  return out;
}

std::string text(const mxArray* a) {
  if (a->class_id != mxCHAR_CLASS) return {};
  return utf8(static_cast<const mxChar*>(a->real), mxGetNumberOfElements(a));
}

}  // namespace bipedkin::host

// ---------------------------------------------------------------------------
// The C interface

using namespace bipedkin::host;
using namespace bipedkin::host::detail;

extern "C" {

void* mxMalloc(size_t n) {
  void* p = block_alloc(n, current == nullptr || !current->fill.has_value());
  if (current != nullptr) {
    ++current->allocations;
    if (current->fill) fill_doubles(p, n, *current->fill);
    current->blocks.push_back(p);
  }
  return p;
}

void* mxCalloc(size_t n, size_t size) {
  void* p = block_alloc(n * size, true);
  if (current != nullptr) {
    ++current->allocations;
    current->blocks.push_back(p);
  }
  return p;
}

void* mxRealloc(void* ptr, size_t size) {
  if (ptr == nullptr) return mxMalloc(size);
  void* p = block_alloc(size, true);
  std::memcpy(p, ptr, std::min(size, header_of(ptr)->size));
  if (current != nullptr) {
    ++current->allocations;
    forget(current->blocks, ptr);
    current->blocks.push_back(p);
  }
  block_free(ptr);
  return p;
}

void mxFree(void* ptr) {
  if (ptr == nullptr) return;
  if (current != nullptr) forget(current->blocks, ptr);
  block_free(ptr);
}

mxArray* mxCreateDoubleMatrix_700(int m, int n, mxComplexity flag) {
  return numeric_array({static_cast<mwSize>(std::max(m, 0)), static_cast<mwSize>(std::max(n, 0))}, mxDOUBLE_CLASS,
                       flag);
}

mxArray* mxCreateDoubleMatrix(mwSize m, mwSize n, mxComplexity flag) {
  return numeric_array({m, n}, mxDOUBLE_CLASS, flag);
}

mxArray* mxCreateDoubleScalar(double value) {
  mxArray* a = numeric_array({1, 1}, mxDOUBLE_CLASS, mxREAL);
  *static_cast<double*>(a->real) = value;
  return a;
}

mxArray* mxCreateNumericMatrix(mwSize m, mwSize n, mxClassID classid, mxComplexity flag) {
  return numeric_array({m, n}, classid, flag);
}

mxArray* mxCreateNumericArray(mwSize ndim, const mwSize* dims, mxClassID classid, mxComplexity flag) {
  return numeric_array(normalized(ndim, dims), classid, flag);
}

mxArray* mxCreateLogicalMatrix(mwSize m, mwSize n) { return numeric_array({m, n}, mxLOGICAL_CLASS, mxREAL); }

mxArray* mxCreateLogicalArray(mwSize ndim, const mwSize* dims) {
  return numeric_array(normalized(ndim, dims), mxLOGICAL_CLASS, mxREAL);
}

mxArray* mxCreateLogicalScalar(mxLogical value) {
  mxArray* a = mxCreateLogicalMatrix(1, 1);
  *static_cast<mxLogical*>(a->real) = value;
  return a;
}

mxArray* mxCreateCharArray(mwSize ndim, const mwSize* dims) {
  return numeric_array(normalized(ndim, dims), mxCHAR_CLASS, mxREAL);
}

mxArray* mxCreateString(const char* text) {
  const std::vector<mxChar> chars = utf16(text != nullptr ? text : "");
  mxArray* a = numeric_array({chars.empty() ? 0u : 1u, chars.size()}, mxCHAR_CLASS, mxREAL);
  if (!chars.empty()) std::memcpy(a->real, chars.data(), chars.size() * sizeof(mxChar));
  return a;
}

mxArray* mxCreateSparse(mwSize m, mwSize n, mwSize nzmax, mxComplexity flag) {
  mxArray* a = new_array(mxDOUBLE_CLASS, {m, n});
  a->sparse = true;
  a->nzmax = std::max<mwSize>(nzmax, 1);
  a->real = block_alloc(a->nzmax * sizeof(double), true);
  if (flag == mxCOMPLEX) {
    a->complex = true;
    a->imag = block_alloc(a->nzmax * sizeof(double), true);
  }
  a->ir = static_cast<mwIndex*>(block_alloc(a->nzmax * sizeof(mwIndex), true));
  a->jc = static_cast<mwIndex*>(block_alloc((n + 1) * sizeof(mwIndex), true));
  return a;
}

mxArray* mxCreateSparseLogicalMatrix(mwSize m, mwSize n, mwSize nzmax) {
  mxArray* a = mxCreateSparse(m, n, nzmax, mxREAL);
  block_free(a->real);
  a->class_id = mxLOGICAL_CLASS;
  a->real = block_alloc(a->nzmax * sizeof(mxLogical), true);
  return a;
}

mxArray* mxCreateStructMatrix(mwSize m, mwSize n, int nfields, const char** fieldnames) {
  return container(mxSTRUCT_CLASS, {m, n}, nfields, fieldnames);
}

mxArray* mxCreateStructArray(mwSize ndim, const mwSize* dims, int nfields, const char** fieldnames) {
  return container(mxSTRUCT_CLASS, normalized(ndim, dims), nfields, fieldnames);
}

mxArray* mxCreateCellMatrix(mwSize m, mwSize n) { return container(mxCELL_CLASS, {m, n}, 0, nullptr); }

mxArray* mxCreateCellArray(mwSize ndim, const mwSize* dims) {
  return container(mxCELL_CLASS, normalized(ndim, dims), 0, nullptr);
}

mxArray* mxDuplicateArray(const mxArray* in) {
  if (in == nullptr) return nullptr;
  mxArray* a = new_array(in->class_id, in->dims);
  a->complex = in->complex;
  a->sparse = in->sparse;
  a->nzmax = in->nzmax;
  a->field_names = in->field_names;
  auto copy = [](const void* p) -> void* {
    if (p == nullptr) return nullptr;
    const std::size_t size = header_of(const_cast<void*>(p))->size;
    void* q = block_alloc(size, false);
    std::memcpy(q, p, size);
    return q;
  };
  a->real = copy(in->real);
  a->imag = copy(in->imag);
  a->ir = static_cast<mwIndex*>(copy(in->ir));
  a->jc = static_cast<mwIndex*>(copy(in->jc));
  a->elements.reserve(in->elements.size());
  for (const mxArray* e : in->elements) {
    mxArray* d = e != nullptr ? mxDuplicateArray(e) : nullptr;
    adopt(d);
    a->elements.push_back(d);
  }
  return a;
}

void mxDestroyArray(mxArray* array) { destroy(array); }

mwSize mxGetM(const mxArray* a) { return a->dims[0]; }

mwSize mxGetN(const mxArray* a) {
  return std::accumulate(a->dims.begin() + 1, a->dims.end(), mwSize{1}, std::multiplies<>());
}

mwSize mxGetNumberOfDimensions(const mxArray* a) { return a->dims.size(); }
const mwSize* mxGetDimensions(const mxArray* a) { return a->dims.data(); }
size_t mxGetNumberOfElements(const mxArray* a) { return count_of(a->dims); }
size_t mxGetElementSize(const mxArray* a) { return element_size(a->class_id); }
bool mxIsEmpty(const mxArray* a) { return mxGetNumberOfElements(a) == 0; }

int mxSetDimensions(mxArray* a, const mwSize* dims, mwSize ndim) {
  a->dims = normalized(ndim, dims);
  return 0;
}

void mxSetM(mxArray* a, mwSize m) { a->dims[0] = m; }

void mxSetN(mxArray* a, mwSize n) {
  a->dims.make_matrix();
  a->dims[1] = n;
}

mxClassID mxGetClassID(const mxArray* a) { return a->class_id; }

const char* mxGetClassName(const mxArray* a) {
  switch (a->class_id) {
    case mxCELL_CLASS: return "cell";
    case mxSTRUCT_CLASS: return "struct";
    case mxLOGICAL_CLASS: return "logical";
    case mxCHAR_CLASS: return "char";
    case mxDOUBLE_CLASS: return "double";
    case mxSINGLE_CLASS: return "single";
    case mxINT8_CLASS: return "int8";
    case mxUINT8_CLASS: return "uint8";
    case mxINT16_CLASS: return "int16";
    case mxUINT16_CLASS: return "uint16";
    case mxINT32_CLASS: return "int32";
    case mxUINT32_CLASS: return "uint32";
    case mxINT64_CLASS: return "int64";
    case mxUINT64_CLASS: return "uint64";
    case mxFUNCTION_CLASS: return "function_handle";
    default: return "unknown";
  }
}

bool mxIsDouble(const mxArray* a) { return a->class_id == mxDOUBLE_CLASS; }
bool mxIsSingle(const mxArray* a) { return a->class_id == mxSINGLE_CLASS; }
bool mxIsNumeric(const mxArray* a) { return is_numeric_class(a->class_id); }
bool mxIsLogical(const mxArray* a) { return a->class_id == mxLOGICAL_CLASS; }
bool mxIsChar(const mxArray* a) { return a->class_id == mxCHAR_CLASS; }
bool mxIsStruct(const mxArray* a) { return a->class_id == mxSTRUCT_CLASS; }
bool mxIsCell(const mxArray* a) { return a->class_id == mxCELL_CLASS; }
bool mxIsInt8(const mxArray* a) { return a->class_id == mxINT8_CLASS; }
bool mxIsUint8(const mxArray* a) { return a->class_id == mxUINT8_CLASS; }
bool mxIsInt16(const mxArray* a) { return a->class_id == mxINT16_CLASS; }
bool mxIsUint16(const mxArray* a) { return a->class_id == mxUINT16_CLASS; }
bool mxIsInt32(const mxArray* a) { return a->class_id == mxINT32_CLASS; }
bool mxIsUint32(const mxArray* a) { return a->class_id == mxUINT32_CLASS; }
bool mxIsInt64(const mxArray* a) { return a->class_id == mxINT64_CLASS; }
bool mxIsUint64(const mxArray* a) { return a->class_id == mxUINT64_CLASS; }
bool mxIsComplex(const mxArray* a) { return a->complex; }
bool mxIsSparse(const mxArray* a) { return a->sparse; }

double* mxGetPr(const mxArray* a) { return a->class_id == mxDOUBLE_CLASS ? static_cast<double*>(a->real) : nullptr; }
double* mxGetPi(const mxArray* a) { return a->class_id == mxDOUBLE_CLASS ? static_cast<double*>(a->imag) : nullptr; }
void* mxGetData(const mxArray* a) { return a->real; }
void* mxGetImagData(const mxArray* a) { return a->imag; }

// The block passes to the array. The array's previous block is not freed
// here: like any unattached block it is freed with the running call, or by
// the caller through mxFree.
void mxSetData(mxArray* a, void* data) {
  if (a->real != nullptr && current != nullptr) current->blocks.push_back(a->real);
  if (data != nullptr && current != nullptr) forget(current->blocks, data);
  a->real = data;
}

mxLogical* mxGetLogicals(const mxArray* a) {
  return a->class_id == mxLOGICAL_CLASS ? static_cast<mxLogical*>(a->real) : nullptr;
}

mxChar* mxGetChars(const mxArray* a) { return a->class_id == mxCHAR_CLASS ? static_cast<mxChar*>(a->real) : nullptr; }

double mxGetScalar(const mxArray* a) {
  if (a->real == nullptr || mxGetNumberOfElements(a) == 0) return 0.0;
  switch (a->class_id) {
    case mxDOUBLE_CLASS: return *static_cast<const double*>(a->real);
    case mxSINGLE_CLASS: return *static_cast<const float*>(a->real);
    case mxINT8_CLASS: return *static_cast<const std::int8_t*>(a->real);
    case mxUINT8_CLASS: return *static_cast<const std::uint8_t*>(a->real);
    case mxINT16_CLASS: return *static_cast<const std::int16_t*>(a->real);
    case mxUINT16_CLASS: return *static_cast<const std::uint16_t*>(a->real);
    case mxINT32_CLASS: return *static_cast<const std::int32_t*>(a->real);
    case mxUINT32_CLASS: return *static_cast<const std::uint32_t*>(a->real);
    case mxINT64_CLASS: return static_cast<double>(*static_cast<const std::int64_t*>(a->real));
    case mxUINT64_CLASS: return static_cast<double>(*static_cast<const std::uint64_t*>(a->real));
    case mxLOGICAL_CLASS: return *static_cast<const mxLogical*>(a->real) ? 1.0 : 0.0;
    case mxCHAR_CLASS: return *static_cast<const mxChar*>(a->real);
    default: return 0.0;
  }
}

mwIndex* mxGetIr(const mxArray* a) { return a->ir; }
mwIndex* mxGetJc(const mxArray* a) { return a->jc; }
mwSize mxGetNzmax(const mxArray* a) { return a->nzmax; }

char* mxArrayToString(const mxArray* a) {
  if (a->class_id != mxCHAR_CLASS) return nullptr;
  const std::string s = text(a);
  auto* out = static_cast<char*>(mxMalloc(s.size() + 1));
  std::memcpy(out, s.c_str(), s.size() + 1);
  return out;
}

int mxGetNumberOfFields(const mxArray* a) { return static_cast<int>(a->field_names.size()); }

const char* mxGetFieldNameByNumber(const mxArray* a, int field) {
  if (field < 0 || field >= mxGetNumberOfFields(a)) return nullptr;
  return a->field_names[static_cast<std::size_t>(field)].c_str();
}

int mxGetFieldNumber(const mxArray* a, const char* name) {
  for (std::size_t i = 0; i < a->field_names.size(); ++i) {
    if (a->field_names[i] == name) return static_cast<int>(i);
  }
  return -1;
}

mxArray* mxGetFieldByNumber(const mxArray* a, mwIndex index, int field) {
  if (a->class_id != mxSTRUCT_CLASS || field < 0 || field >= mxGetNumberOfFields(a) ||
      index >= mxGetNumberOfElements(a)) {
    return nullptr;
  }
  return a->elements[index * a->field_names.size() + static_cast<std::size_t>(field)];
}

mxArray* mxGetField(const mxArray* a, mwIndex index, const char* name) {
  return mxGetFieldByNumber(a, index, mxGetFieldNumber(a, name));
}

void mxSetFieldByNumber(mxArray* a, mwIndex index, int field, mxArray* value) {
  if (a->class_id != mxSTRUCT_CLASS || field < 0 || field >= mxGetNumberOfFields(a) ||
      index >= mxGetNumberOfElements(a)) {
    return;
  }
  mxArray*& slot = a->elements[index * a->field_names.size() + static_cast<std::size_t>(field)];
  release(slot);
  adopt(value);
  slot = value;
}

void mxSetField(mxArray* a, mwIndex index, const char* name, mxArray* value) {
  mxSetFieldByNumber(a, index, mxGetFieldNumber(a, name), value);
}

mxArray* mxGetCell(const mxArray* a, mwIndex index) {
  if (a->class_id != mxCELL_CLASS || index >= a->elements.size()) return nullptr;
  return a->elements[index];
}

void mxSetCell(mxArray* a, mwIndex index, mxArray* value) {
  if (a->class_id != mxCELL_CLASS || index >= a->elements.size()) return;
  release(a->elements[index]);
  adopt(value);
  a->elements[index] = value;
}

}  // extern "C"
