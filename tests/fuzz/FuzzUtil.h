// Shared pieces of the libFuzzer harnesses: a reader that takes numbers and
// byte runs off the front of an input, and the check that stops a run when
// a loader breaks one of its promises (not only when it crashes).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fuzz {

// Stops the run with a message; libFuzzer keeps the input as a crash.
[[noreturn]] inline void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

inline void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

// Whether the areas [a, a + aSize) and [b, b + bSize) do not overlap.
inline bool apart(uint32_t a, uint32_t aSize, uint32_t b, uint32_t bSize) { return a + aSize <= b || b + bSize <= a; }

// The names in a directory, sorted: what a harness compares before and
// after an operation that must leave no file behind.
inline std::vector<std::string> namesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class Input {
public:
  Input(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  size_t left() const { return static_cast<size_t>(end_ - p_); }
  uint8_t byte() { return p_ < end_ ? *p_++ : 0; }
  uint16_t word() {
    const uint8_t lo = byte();
    return static_cast<uint16_t>(lo | (byte() << 8));
  }
  std::vector<uint8_t> bytes(size_t n) {
    n = std::min(n, left());
    std::vector<uint8_t> out(p_, p_ + n);
    p_ += n;
    return out;
  }
  std::vector<uint8_t> rest() { return bytes(left()); }
  std::string text(size_t n) {
    const std::vector<uint8_t> b = bytes(n);
    return std::string(b.begin(), b.end());
  }

private:
  const uint8_t* p_;
  const uint8_t* end_;
};

}  // namespace fuzz
