// Byte writing shared by the test file makers (fonts, pictures): big-endian
// numbers, as SFNT, JPEG and PNG store them, and joined pieces.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testbytes {

using Bytes = std::vector<uint8_t>;

// `bytes` big-endian bytes of v; beyond four, leading zeros.
inline void put(Bytes& b, uint32_t v, int bytes) {
  const size_t at = b.size();
  b.resize(at + static_cast<size_t>(bytes));
  for (int i = 0; i < bytes && i < 4; ++i) b[at + static_cast<size_t>(bytes - 1 - i)] = static_cast<uint8_t>(v >> (8 * i));
}
template <typename... T> void put16(Bytes& b, T... v) { (put(b, static_cast<uint32_t>(v), 2), ...); }
template <typename... T> void put32(Bytes& b, T... v) { (put(b, static_cast<uint32_t>(v), 4), ...); }

inline void append(Bytes& b, const Bytes& tail) { b.insert(b.end(), tail.begin(), tail.end()); }

inline Bytes join(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) append(b, p);
  return b;
}

}  // namespace testbytes
