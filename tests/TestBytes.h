// Byte writing shared by the test file makers (fonts, pictures): big-endian
// numbers, as SFNT, JPEG and PNG store them, and joined pieces; and the
// count of open file descriptors, which must be the same after a save or a
// read as before it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <iterator>
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

// The file descriptors this process holds (the listing's own counted alike in every call).
inline long openDescriptors() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

}  // namespace testbytes
