// emlrtNameCaptureMxArrayR2016a: rebuilds a host array from its stored form,
// hexadecimal text of a zlib stream that inflates to MAT-file level 5 data
// (bipedkin/mat5.hpp): the 8-byte prefix and one miMATRIX element.
//
// The data may come from anywhere, so the reader trusts nothing: every count
// is checked against the bytes that hold it before anything is allocated,
// nesting is bounded, and a malformed stream is refused with an error through
// the host, after everything built so far has been released.

#include <zlib.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "bipedkin/mat5.hpp"
#include "emlrt.h"
#include "emlrt_internal.hpp"
#include "mex.h"

using namespace bipedkin::emlrt::detail;
using namespace bipedkin::mat5;

namespace {

constexpr int max_depth = 16;
constexpr std::size_t max_dims = 32;
constexpr std::uint32_t max_length = 256u << 20;  // inflated bytes
constexpr std::size_t max_field_name = 4096;

// Why a stream is refused, and where.
struct Malformed {
  std::string what;
  std::size_t offset;
};

struct DestroyArray {
  void operator()(mxArray* a) const noexcept { mxDestroyArray(a); }
};
using Owned = std::unique_ptr<mxArray, DestroyArray>;

// A run of bytes and its offset in the inflated data.
struct Span {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t offset;
};

struct Element {
  std::uint32_t type;
  Span body;
};

// Reads the elements of one container in order.
class Elements {
 public:
  explicit Elements(Span b) : b_(b) {}

  bool done() const { return pos_ >= b_.size; }
  std::size_t offset() const { return b_.offset + pos_; }
  std::size_t left() const { return b_.size - pos_; }

  Element next(const char* what) {
    if (left() < 8) fail(std::string("missing or truncated ") + what);
    const std::uint8_t* p = b_.data + pos_;
    const std::uint32_t first = le32(p);
    Element e;
    if (first >> 16 != 0) {
      e.type = first & 0xffff;
      const std::size_t n = first >> 16;
      if (n > 4) fail(std::string("small-form ") + what + " claims more than four bytes");
      e.body = {p + 4, n, b_.offset + pos_ + 4};
      pos_ += 8;
    } else {
      e.type = first;
      const std::size_t n = le32(p + 4);
      if (n > left() - 8) fail(std::string(what) + " is longer than the data that holds it");
      e.body = {p + 8, n, b_.offset + pos_ + 8};
      const std::size_t padded = (n + 7) / 8 * 8;
      pos_ += 8 + (padded <= left() - 8 ? padded : left() - 8);
    }
    return e;
  }

  [[noreturn]] void fail(const std::string& what) const { throw Malformed{what, offset()}; }

 private:
  Span b_;
  std::size_t pos_ = 0;
};

std::size_t mi_size(std::uint32_t type) {
  switch (type) {
    case miINT8:
    case miUINT8: return 1;
    case miINT16:
    case miUINT16: return 2;
    case miINT32:
    case miUINT32:
    case miSINGLE: return 4;
    case miDOUBLE:
    case miINT64:
    case miUINT64: return 8;
    default: return 0;
  }
}

// Element i of numeric data of the given type, widened.
long double mi_value(std::uint32_t type, const std::uint8_t* p) {
  switch (type) {
    case miINT8: return static_cast<std::int8_t>(p[0]);
    case miUINT8: return p[0];
    case miINT16: return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
    case miUINT16: return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    case miINT32: return static_cast<std::int32_t>(le32(p));
    case miUINT32: return le32(p);
    case miSINGLE: {
      const std::uint32_t bits = le32(p);
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return f;
    }
    case miDOUBLE: {
      const std::uint64_t bits = le64(p);
      double d;
      std::memcpy(&d, &bits, sizeof d);
      return d;
    }
    case miINT64: return static_cast<std::int64_t>(le64(p));
    case miUINT64: return le64(p);
    default: return 0;
  }
}

// A value converted to the storage type of the array's class: integers
// saturate and take NaN as 0, as the host's conversions do.
template <class T>
T narrowed(long double v) {
  if constexpr (std::is_same_v<T, bool>) {
    return v != 0;
  } else if constexpr (std::is_floating_point_v<T>) {
    if (std::isfinite(v) && std::fabs(v) > static_cast<long double>(std::numeric_limits<T>::max())) {
      return v > 0 ? std::numeric_limits<T>::infinity() : -std::numeric_limits<T>::infinity();
    }
    return static_cast<T>(v);
  } else {
    if (std::isnan(v)) return 0;
    if (v <= static_cast<long double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (v >= static_cast<long double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return static_cast<T>(std::nearbyint(v));
  }
}

template <class T>
void store(void* out, const Element& e) {
  const std::size_t size = mi_size(e.type);
  T* dst = static_cast<T*>(out);
  for (std::size_t i = 0; i < e.body.size / size; ++i) dst[i] = narrowed<T>(mi_value(e.type, e.body.data + i * size));
}

// Copies numeric data into an array's block of the given class.
void store_numeric(mxClassID c, void* out, const Element& e) {
  switch (c) {
    case mxDOUBLE_CLASS: store<double>(out, e); break;
    case mxSINGLE_CLASS: store<float>(out, e); break;
    case mxINT8_CLASS: store<std::int8_t>(out, e); break;
    case mxUINT8_CLASS: store<std::uint8_t>(out, e); break;
    case mxINT16_CLASS: store<std::int16_t>(out, e); break;
    case mxUINT16_CLASS: store<std::uint16_t>(out, e); break;
    case mxINT32_CLASS: store<std::int32_t>(out, e); break;
    case mxUINT32_CLASS: store<std::uint32_t>(out, e); break;
    case mxINT64_CLASS: store<std::int64_t>(out, e); break;
    case mxUINT64_CLASS: store<std::uint64_t>(out, e); break;
    case mxLOGICAL_CLASS: store<mxLogical>(out, e); break;
    default: break;
  }
}

mxClassID host_class(std::uint32_t mat_class) {
  static constexpr mxClassID numeric[] = {mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS,  mxUINT8_CLASS,
                                          mxINT16_CLASS,  mxUINT16_CLASS, mxINT32_CLASS, mxUINT32_CLASS,
                                          mxINT64_CLASS,  mxUINT64_CLASS};
  return numeric[mat_class - double_class];
}

// Character data as UTF-16 code units.
std::vector<mxChar> characters(const Element& e, Elements& at) {
  std::vector<mxChar> out;
  const std::uint8_t* p = e.body.data;
  const std::size_t n = e.body.size;
  switch (e.type) {
    case miUTF8:
      for (std::size_t i = 0; i < n;) {
        const std::uint8_t lead = p[i];
        std::size_t more;
        std::uint32_t cp;
        if (lead < 0x80) {
          more = 0;
          cp = lead;
        } else if (lead >= 0xc2 && lead < 0xe0) {
          more = 1;
          cp = lead & 0x1f;
        } else if (lead >= 0xe0 && lead < 0xf0) {
          more = 2;
          cp = lead & 0x0f;
        } else if (lead >= 0xf0 && lead < 0xf5) {
          more = 3;
          cp = lead & 0x07;
        } else {
          at.fail("invalid UTF-8 in character data");
        }
        if (more > n - i - 1) at.fail("truncated UTF-8 in character data");
        for (std::size_t k = 1; k <= more; ++k) {
          if ((p[i + k] & 0xc0) != 0x80) at.fail("invalid UTF-8 in character data");
          cp = cp << 6 | (p[i + k] & 0x3f);
        }
        static constexpr std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[more] || cp > 0x10ffff || (cp >= 0xd800 && cp < 0xe000)) {
          at.fail("invalid UTF-8 in character data");
        }
        if (cp >= 0x10000) {
          out.push_back(static_cast<mxChar>(0xd800 + ((cp - 0x10000) >> 10)));
          out.push_back(static_cast<mxChar>(0xdc00 + ((cp - 0x10000) & 0x3ff)));
        } else {
          out.push_back(static_cast<mxChar>(cp));
        }
        i += 1 + more;
      }
      break;
    case miUTF16:
    case miUINT16:
      if (n % 2 != 0) at.fail("odd byte count in 16-bit character data");
      for (std::size_t i = 0; i < n; i += 2) out.push_back(static_cast<mxChar>(p[i] | p[i + 1] << 8));
      break;
    case miUINT8:
    case miINT8:
      for (std::size_t i = 0; i < n; ++i) out.push_back(p[i]);
      break;
    default: at.fail("character data of type " + std::to_string(e.type));
  }
  return out;
}

// The array an miMATRIX element holds; null for an empty element, which
// stands for an empty matrix.
mxArray* matrix(const Span& body, int depth) {
  Elements in(body);
  if (depth > max_depth) in.fail("arrays nested too deeply");
  if (body.size == 0) return nullptr;

  const Element flags = in.next("array flags");
  if (flags.type != miUINT32 || flags.body.size != 8) in.fail("array flags are not two 32-bit words");
  const std::uint32_t word = le32(flags.body.data);
  const std::uint32_t mat_class = word & 0xff;
  const bool complex = (word >> 8 & complex_flag) != 0;
  const bool logical = (word >> 8 & logical_flag) != 0;

  const Element dims_element = in.next("dimensions");
  const std::size_t ndims = dims_element.body.size / 4;
  if (dims_element.type != miINT32 || dims_element.body.size % 4 != 0 || ndims < 2 || ndims > max_dims) {
    in.fail("dimensions are not two to 32 32-bit counts");
  }
  mwSize dims[max_dims];
  std::size_t numel = 1;
  for (std::size_t i = 0; i < ndims; ++i) {
    const std::int32_t d = static_cast<std::int32_t>(le32(dims_element.body.data + 4 * i));
    if (d < 0) in.fail("negative dimension");
    dims[i] = static_cast<mwSize>(d);
    // Every element takes at least one byte of the data, so a count beyond
    // the data's size is refused before it can overflow or allocate.
    if (d != 0 && numel > body.size / static_cast<std::size_t>(d)) {
      numel = body.size + 1;
    } else {
      numel *= static_cast<std::size_t>(d);
    }
  }
  // Only a structure without fields has elements that take no data; no
  // stored array has more elements than bytes.
  if (numel > body.size) in.fail("more elements than the data can describe");
  const Element name = in.next("array name");
  if (name.type != miINT8) in.fail("array name is not 8-bit text");

  Owned made;
  if (mat_class == cell_class) {
    if (numel > in.left() / 8) in.fail("more cells than the data can hold");
    made.reset(mxCreateCellArray(ndims, dims));
    for (std::size_t i = 0; i < numel; ++i) {
      const Element e = in.next("cell");
      if (e.type != miMATRIX) in.fail("a cell that is not an array");
      mxSetCell(made.get(), i, matrix(e.body, depth + 1));
    }
  } else if (mat_class == struct_class) {
    const Element length_element = in.next("field name length");
    if (length_element.type != miINT32 || length_element.body.size != 4) in.fail("field name length is not one 32-bit count");
    const std::int32_t length = static_cast<std::int32_t>(le32(length_element.body.data));
    if (length < 1 || static_cast<std::size_t>(length) > max_field_name) in.fail("unusable field name length");
    const Element names = in.next("field names");
    if (names.type != miINT8 || names.body.size % static_cast<std::size_t>(length) != 0) {
      in.fail("field names do not fill whole slots of the field name length");
    }
    const std::size_t nfields = names.body.size / static_cast<std::size_t>(length);
    std::vector<std::string> field_names;
    for (std::size_t f = 0; f < nfields; ++f) {
      const char* slot = reinterpret_cast<const char*>(names.body.data) + f * static_cast<std::size_t>(length);
      const void* end = std::memchr(slot, '\0', static_cast<std::size_t>(length));
      if (end == nullptr || end == slot) in.fail("a field name that is empty or not terminated");
      field_names.emplace_back(slot, static_cast<const char*>(end));
    }
    if (nfields != 0 && numel > in.left() / 8 / nfields) in.fail("more fields than the data can hold");
    std::vector<const char*> pointers;
    for (const std::string& s : field_names) pointers.push_back(s.c_str());
    made.reset(mxCreateStructArray(ndims, dims, static_cast<int>(nfields), pointers.data()));
    for (std::size_t i = 0; i < numel; ++i) {
      for (std::size_t f = 0; f < nfields; ++f) {
        const Element e = in.next("field value");
        if (e.type != miMATRIX) in.fail("a field value that is not an array");
        mxSetFieldByNumber(made.get(), i, static_cast<int>(f), matrix(e.body, depth + 1));
      }
    }
  } else if (mat_class == char_class) {
    const Element data = in.next("character data");
    const std::vector<mxChar> chars = characters(data, in);
    if (chars.size() != numel) in.fail("character count differs from the dimensions");
    made.reset(mxCreateCharArray(ndims, dims));
    if (numel != 0) std::memcpy(mxGetChars(made.get()), chars.data(), numel * sizeof(mxChar));
  } else if (mat_class >= double_class && mat_class <= uint64_class) {
    const mxClassID c = logical ? mxLOGICAL_CLASS : host_class(mat_class);
    if (logical && complex) in.fail("a complex logical array");
    auto numeric_data = [&](const char* what) {
      const Element e = in.next(what);
      const std::size_t size = mi_size(e.type);
      if (size == 0) in.fail(std::string(what) + " of a non-numeric type");
      if (e.body.size % size != 0 || e.body.size / size != numel) in.fail(std::string(what) + " count differs from the dimensions");
      return e;
    };
    const Element re = numeric_data("real part");
    made.reset(c == mxLOGICAL_CLASS ? mxCreateLogicalArray(ndims, dims)
                                    : mxCreateNumericArray(ndims, dims, c, complex ? mxCOMPLEX : mxREAL));
    if (numel != 0) store_numeric(c, mxGetData(made.get()), re);
    if (complex) {
      const Element im = numeric_data("imaginary part");
      if (numel != 0) store_numeric(c, mxGetImagData(made.get()), im);
    }
  } else {
    in.fail("unsupported array class " + std::to_string(mat_class));
  }
  if (!in.done()) in.fail("more data than the array holds");
  return made.release();
}

// Builds the array; on failure writes why into message and returns false,
// having released everything. No object of this function outlives it, so the
// caller can raise the error safely.
bool capture(const char* const pieces[], std::uint32_t length, mxArray** result, char* message, std::size_t size) {
  try {
    // The pieces, up to the empty one, spell the compressed bytes in
    // hexadecimal.
    std::size_t piece_count = 0;
    while (pieces[piece_count] != nullptr && pieces[piece_count][0] != '\0') ++piece_count;
    if (recording()) {
      record("emlrtNameCaptureMxArrayR2016a", {std::to_string(piece_count) + " pieces", std::to_string(length)});
    }
    std::vector<std::uint8_t> compressed;
    int high = -1;
    for (std::size_t k = 0; k < piece_count; ++k) {
      for (const char* p = pieces[k]; *p != '\0'; ++p) {
        const int d = hex_digit(*p);
        if (d < 0) {
          throw Malformed{"a character that is not a hexadecimal digit in piece " + std::to_string(k + 1),
                          compressed.size()};
        }
        if (high < 0) {
          high = d;
        } else {
          compressed.push_back(static_cast<std::uint8_t>(high << 4 | d));
          high = -1;
        }
      }
    }
    if (high >= 0) throw Malformed{"an odd number of hexadecimal digits", compressed.size()};
    if (length < 8 || length > max_length) throw Malformed{"unusable inflated length " + std::to_string(length), 0};
    if (compressed.size() > std::numeric_limits<uInt>::max()) throw Malformed{"too much compressed data", 0};

    // Inflate into one byte more than expected, to see a longer stream.
    std::vector<std::uint8_t> data(static_cast<std::size_t>(length) + 1);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw Malformed{"cannot start inflating", 0};
    z.next_in = compressed.data();
    z.avail_in = static_cast<uInt>(compressed.size());
    z.next_out = data.data();
    z.avail_out = static_cast<uInt>(data.size());
    const int status = inflate(&z, Z_FINISH);
    const std::size_t produced = z.total_out;
    const std::size_t unused = z.avail_in;
    inflateEnd(&z);
    if (status != Z_STREAM_END) {
      throw Malformed{status == Z_DATA_ERROR ? "the compressed data is corrupt"
                      : produced > length    ? "the data inflates to more than " + std::to_string(length) + " bytes"
                                             : "the compressed data ends early",
                      produced};
    }
    if (unused != 0) throw Malformed{"data after the end of the compressed stream", produced};
    if (produced != length) {
      throw Malformed{"the data inflates to " + std::to_string(produced) + " bytes, not " + std::to_string(length), 0};
    }

    const std::uint8_t* p = data.data();
    if (std::memcmp(p, prefix, sizeof prefix) != 0) {
      throw Malformed{"the prefix is not version 0x0100, little-endian", 0};
    }
    Elements top({p + 8, length - 8u, 8});
    const Element e = top.next("array");
    if (e.type != miMATRIX) top.fail("the data holds no array");
    Owned array(matrix(e.body, 0));
    if (!top.done()) top.fail("more data after the array");
    if (!array) array.reset(mxCreateDoubleMatrix(0, 0, mxREAL));
    *result = array.release();
    return true;
  } catch (const Malformed& m) {
    std::snprintf(message, size, "cannot rebuild a stored array: %s (at byte %zu).", m.what.c_str(), m.offset);
    return false;
  }
}

}  // namespace

extern "C" void emlrtNameCaptureMxArrayR2016a(const char* const pieces[], std::uint32_t length,
                                              const mxArray** result) {
  if (pieces == nullptr || result == nullptr) {
    mexErrMsgIdAndTxt(bad_argument_id, "%s", "emlrtNameCaptureMxArrayR2016a: no pieces or no place for the result.");
  }
  char message[512];
  mxArray* built = nullptr;
  if (!capture(pieces, length, &built, message, sizeof message)) {
    mexErrMsgIdAndTxt(malformed_capture_id, "%s", message);
  }
  *result = built;
}
