// Shared pieces of the conversion tests: a fixed pseudo-random source,
// palettes to convert against and the colour sets of the colour modes.
#pragma once

#include "core/Palette.h"

#include <cstdint>
#include <vector>

// xorshift32: the same sequence on every run.
struct Rng {
  uint32_t s;
  explicit Rng(uint32_t seed) : s(seed ? seed : 1) {}
  uint32_t next() { return s ^= s << 13, s ^= s >> 17, s ^= s << 5; }
  int below(int n) { return static_cast<int>(next() % static_cast<uint32_t>(n)); }
};

inline uint32_t rgba(int r, int g, int b, int a = 255) {
  return static_cast<uint32_t>(r | (g << 8) | (b << 16)) | (static_cast<uint32_t>(a) << 24);
}

// 48 bytes R, G, B of a preset.
inline std::vector<uint8_t> presetBytes(int preset = 0) {
  Palette p;
  p.set(preset);
  std::vector<uint8_t> out;
  for (const auto& c : p.rgb) out.insert(out.end(), c.begin(), c.end());
  return out;
}

inline uint32_t palRgba(const std::vector<uint8_t>& pal, int c) { return rgba(pal[c * 3], pal[c * 3 + 1], pal[c * 3 + 2]); }

// Random colours; every fourth palette repeats colours to force ties.
inline std::vector<uint8_t> randomPaletteBytes(Rng& rng) {
  std::vector<uint8_t> out(48);
  const bool ties = rng.below(4) == 0;
  for (int i = 0; i < 48; ++i) out[i] = ties && i >= 24 ? out[i - 24] : static_cast<uint8_t>(rng.next());
  return out;
}

// The colours Mono (0), Grayscale (1) and Color (2 and up) choose from, in order.
inline std::vector<int> candidates(int colors) {
  if (colors == 0) return {0, 1};
  if (colors == 1) return {0, 11, 12, 15, 1};
  return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
}

// Index into a 320 x 200 picture of pixel p (0-63) of character cell `cell`.
inline int cellPixel(int cell, int p) { return ((cell / 40) * 8 + p / 8) * 320 + (cell % 40) * 8 + p % 8; }
