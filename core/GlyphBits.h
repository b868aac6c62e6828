// Pixel bits of one row byte of a character or sprite, shared by the
// character and sprite editors: the bit of a pixel column, mirroring a row
// byte in hires or multicolour, and painting one pixel with the pen rules.
// In multicolour a byte holds four double-wide pixels as bit pairs (bits
// 7-6 leftmost), so both bits of a pair are always changed together.
#pragma once

#include "core/PixelOps.h"  // sptab: the bit of pixel column x, bit 7 leftmost

#include <cstdint>

// Multicolour pens: the bit pattern each one paints.
constexpr int kPenColor1 = 1;  // pattern 01
constexpr int kPenColor2 = 2;  // pattern 10
constexpr int kPenColor3 = 3;  // pattern 11

// The row byte seen in a mirror: the 8 bits reversed in hires, the four
// bit pairs reversed in multicolour (each pair keeps its own bit order).
inline uint8_t mirrorByte(uint8_t b, bool multicolor) {
  uint8_t r = 0;
  if (multicolor) {
    for (int i = 0; i < 4; ++i) r |= static_cast<uint8_t>(((b >> (2 * i)) & 3) << (6 - 2 * i));
  } else {
    for (int i = 0; i < 8; ++i) r |= static_cast<uint8_t>(((b >> i) & 1) << (7 - i));
  }
  return r;
}

// The row byte after painting pixel column x (0-7). Hires: the bit is set,
// or cleared when erasing. Multicolour: the pair of x is cleared and, unless
// erasing, pen 1 paints 01, pen 2 paints 10 and pen 3 paints 11.
inline uint8_t paintBits(uint8_t b, int x, bool erase, bool multicolor, int pen) {
  if (!multicolor) {
    return erase ? static_cast<uint8_t>(b & ~sptab[x & 7]) : static_cast<uint8_t>(b | sptab[x & 7]);
  }
  const int p = x & 6;
  b = static_cast<uint8_t>(b & ~(sptab[p] | sptab[p + 1]));
  if (erase) return b;
  if (pen == kPenColor1) b |= sptab[p + 1];
  else if (pen == kPenColor2) b |= sptab[p];
  else if (pen == kPenColor3) b |= sptab[p] | sptab[p + 1];
  return b;
}
