// MAT-file level 5 data, as the run time stores and rebuilds host arrays:
// the element tags, the array classes and flags, the 8-byte prefix, and a
// writer of elements; and the form in which the data is kept in a
// deliverable: a zlib stream (default compression) spelt in lowercase
// hexadecimal, cut into pieces of 256 characters.
//
// Every element starts with a tag: its type and byte count in two 32-bit
// little-endian words, followed by the data padded to a multiple of eight
// bytes; or, for data of one to four bytes, the "small" form that packs the
// count into the upper half of the first word and the data into the second.
// An array is an miMATRIX element holding its flags (class and flag bits),
// its dimensions, its name and its data.
//
// Used by the generator of the stored build properties, by the run time's
// reader, and by the tests that feed the reader streams of their own.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace bipedkin::mat5 {

using Bytes = std::vector<std::uint8_t>;

// Data types of elements.
enum : std::uint32_t {
  miINT8 = 1,
  miUINT8 = 2,
  miINT16 = 3,
  miUINT16 = 4,
  miINT32 = 5,
  miUINT32 = 6,
  miSINGLE = 7,
  miDOUBLE = 9,
  miINT64 = 12,
  miUINT64 = 13,
  miMATRIX = 14,
  miUTF8 = 16,
  miUTF16 = 17,
};

// Array classes, in the low byte of an array's first flags word; the
// numeric classes run from double_class to uint64_class.
enum : std::uint32_t {
  cell_class = 1,
  struct_class = 2,
  char_class = 4,
  sparse_class = 5,
  double_class = 6,
  uint8_class = 9,
  int16_class = 10,
  uint64_class = 15,
};

// Flag bits, in the second byte of the first flags word.
enum : std::uint32_t { complex_flag = 0x08, logical_flag = 0x02 };

// The prefix of the stored data: version 0x0100 and the byte-order mark
// "IM" (little-endian), then four zero bytes. It is the last eight bytes of
// a MAT file's 128-byte header.
inline constexpr std::uint8_t prefix[8] = {0x00, 0x01, 'I', 'M', 0, 0, 0, 0};

// Characters of hexadecimal text in one stored piece (the last may be shorter).
inline constexpr std::size_t piece_length = 256;

inline std::uint32_t le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint64_t le64(const std::uint8_t* p) { return le32(p) | static_cast<std::uint64_t>(le32(p + 4)) << 32; }

inline void put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A data element: the small form for one to four bytes (unless small is
// false), else a full tag with the data padded to eight bytes.
inline Bytes element(std::uint32_t type, const void* data, std::size_t n, bool small = true) {
  Bytes out;
  const auto* p = static_cast<const std::uint8_t*>(data);
  if (small && n >= 1 && n <= 4) {
    put32(out, type | static_cast<std::uint32_t>(n) << 16);
    out.insert(out.end(), p, p + n);
    out.resize(8, 0);
    return out;
  }
  put32(out, type);
  put32(out, static_cast<std::uint32_t>(n));
  if (n > 0) out.insert(out.end(), p, p + n);
  out.resize(out.size() + (8 - n % 8) % 8, 0);
  return out;
}

template <class T>
Bytes element(std::uint32_t type, const std::vector<T>& values, bool small = true) {
  return element(type, values.data(), values.size() * sizeof(T), small);
}

inline Bytes text_element(std::uint32_t type, const std::string& s) { return element(type, s.data(), s.size()); }

// An array's flags, dimensions and name.
inline Bytes head(std::uint32_t array_class, std::uint32_t flags, const std::vector<std::int32_t>& dims,
                  const std::string& name = "") {
  const std::uint32_t words[2] = {array_class | flags << 8, 0};
  return cat({element(miUINT32, words, 8), element(miINT32, dims), text_element(miINT8, name)});
}

// The miMATRIX element around an array's head and data.
inline Bytes matrix(const Bytes& body) {
  Bytes out;
  put32(out, miMATRIX);
  put32(out, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// A structure's field names: the slot length, then each name padded with
// zeros to the slot.
inline Bytes field_names(const std::vector<std::string>& names, std::int32_t slot) {
  Bytes packed(names.size() * static_cast<std::size_t>(slot), 0);
  for (std::size_t f = 0; f < names.size(); ++f) {
    std::memcpy(&packed[f * static_cast<std::size_t>(slot)], names[f].data(), names[f].size());
  }
  return cat({element(miINT32, &slot, 4), element(miINT8, packed.data(), packed.size())});
}

// The stored data: the prefix and one element.
inline Bytes stream(const Bytes& element_bytes) {
  return cat({Bytes(std::begin(prefix), std::end(prefix)), element_bytes});
}

inline Bytes deflate(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
    throw std::runtime_error("zlib could not compress the data");
  }
  out.resize(size);
  return out;
}

inline std::string hex(const Bytes& data) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (std::uint8_t b : data) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

// Hexadecimal text cut into stored pieces.
inline std::vector<std::string> pieces(const std::string& hex_text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < hex_text.size(); at += piece_length) out.push_back(hex_text.substr(at, piece_length));
  return out;
}

// The value of one hexadecimal digit, or -1.
inline int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace bipedkin::mat5
