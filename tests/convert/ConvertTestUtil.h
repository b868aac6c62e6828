// Shared pieces of the conversion tests: a fixed pseudo-random source and
// palettes to convert against.
#pragma once

#include "core/Palette.h"

#include <cstdint>
#include <vector>

// xorshift32: the same sequence on every run.
struct Rng {
  uint32_t s;
  explicit Rng(uint32_t seed) : s(seed ? seed : 1) {}
  uint32_t next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

// 48 bytes R, G, B of the default preset.
inline std::vector<uint8_t> presetBytes(int preset = 0) {
  Palette p;
  p.set(preset);
  std::vector<uint8_t> out;
  for (const auto& c : p.rgb) out.insert(out.end(), c.begin(), c.end());
  return out;
}

// Random colours; every fourth palette repeats colours to force ties.
inline std::vector<uint8_t> randomPaletteBytes(Rng& rng) {
  std::vector<uint8_t> out(48);
  const bool ties = rng.below(4) == 0;
  for (int i = 0; i < 48; ++i) out[i] = ties && i >= 24 ? out[i - 24] : static_cast<uint8_t>(rng.next());
  return out;
}

inline uint32_t rgba(int r, int g, int b, int a = 255) {
  return static_cast<uint32_t>(r | (g << 8) | (b << 16)) | (static_cast<uint32_t>(a) << 24);
}
