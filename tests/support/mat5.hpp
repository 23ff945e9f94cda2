// Writing MAT-file level 5 data in tests, to feed the run time's reader
// streams our generator never writes: other data types, the small element
// form, nested and malformed arrays. Written from the file format's
// description, separately from the build's generator.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace bipedkin::testing::mat5 {

using Bytes = std::vector<std::uint8_t>;

enum : std::uint32_t {
  miINT8 = 1, miUINT8 = 2, miINT16 = 3, miUINT16 = 4, miINT32 = 5, miUINT32 = 6,
  miSINGLE = 7, miDOUBLE = 9, miINT64 = 12, miUINT64 = 13, miMATRIX = 14, miUTF8 = 16, miUTF16 = 17,
};
enum : std::uint32_t { cell = 1, structure = 2, character = 4, sparse = 5, dbl = 6, uint8 = 9, int16 = 10 };
enum : std::uint32_t { complex_flag = 0x08, logical_flag = 0x02 };

inline void put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A data element: small form for one to four bytes unless told otherwise,
// else a full tag with the data padded to eight bytes.
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
  out.insert(out.end(), p, p + n);
  out.resize(out.size() + (8 - n % 8) % 8, 0);
  return out;
}

template <class T>
Bytes element(std::uint32_t type, const std::vector<T>& values, bool small = true) {
  return element(type, values.data(), values.size() * sizeof(T), small);
}

inline Bytes text_element(std::uint32_t type, const std::string& s) { return element(type, s.data(), s.size()); }

// Flags, dimensions and name of an array.
inline Bytes head(std::uint32_t array_class, std::uint32_t flags, const std::vector<std::int32_t>& dims,
                  const std::string& name = "") {
  const std::uint32_t words[2] = {array_class | flags << 8, 0};
  return cat({element(miUINT32, words, 8), element(miINT32, dims), text_element(miINT8, name)});
}

inline Bytes matrix(const Bytes& body) {
  Bytes out;
  put32(out, miMATRIX);
  put32(out, static_cast<std::uint32_t>(body.size()));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

inline Bytes field_names(const std::vector<std::string>& names, std::int32_t slot) {
  Bytes packed(names.size() * static_cast<std::size_t>(slot), 0);
  for (std::size_t f = 0; f < names.size(); ++f) std::memcpy(&packed[f * static_cast<std::size_t>(slot)], names[f].data(), names[f].size());
  return cat({element(miINT32, &slot, 4), element(miINT8, packed.data(), packed.size())});
}

// The inflated form: prefix and one element.
inline Bytes stream(const Bytes& element_bytes) {
  static constexpr std::uint8_t prefix[8] = {0x00, 0x01, 'I', 'M', 0, 0, 0, 0};
  return cat({Bytes(prefix, prefix + 8), element_bytes});
}

inline Bytes deflate(const Bytes& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes out(size);
  if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
    throw std::runtime_error("compress2 failed");
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

// Hexadecimal text cut into pieces of 256 characters.
inline std::vector<std::string> pieces(const std::string& hex_text) {
  std::vector<std::string> out;
  for (std::size_t at = 0; at < hex_text.size(); at += 256) out.push_back(hex_text.substr(at, 256));
  return out;
}

}  // namespace bipedkin::testing::mat5
