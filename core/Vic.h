// Renders the document the way the C64's video chip shows it: one 8x8
// character cell, the 320x200 screen, the full 384x264 frame with its
// border, and single sprites. Stateless functions; each writes 32-bit pixel
// words (red in bits 0-7, green 8-15, blue 16-23, alpha 24-31) into a
// buffer the caller owns and sizes. Nothing is clipped and nothing is
// allocated. The screen editor and the second view render the frame every
// displayed frame; the sprite, character-set and monitor windows render
// sprites and glyphs; the PNG export renders the screen.
#pragma once

#include "core/Machine.h"
#include "core/Palette.h"

#include <cstdint>

// The frame: the 320x200 display area inside a border of 32 pixels on the
// left, top and right and 32 pixels below (264 - 232).
constexpr int kFrameWidth = 384;
constexpr int kFrameHeight = 264;
constexpr int kFramePixels = kFrameWidth * kFrameHeight;
constexpr int kDisplayX = 32;  // left edge of the display area in the frame
constexpr int kDisplayY = 32;  // top edge of the display area in the frame
constexpr int kCellSize = 8;   // a character cell is 8x8 pixels
static_assert(kDisplayX + kDisplayWidth <= kFrameWidth);
static_assert(kDisplayY + kDisplayHeight <= kFrameHeight);

// A sprite: 21 rows of 3 bytes, 24 pixels a row.
constexpr int kSpriteWidth = 24;
constexpr int kSpriteHeight = 21;
constexpr int kSpriteRowBytes = 3;
constexpr int kSpriteDataBytes = kSpriteHeight * kSpriteRowBytes;  // 63

// The four colours of a cell: hires uses entries 0 (clear bit) and 1 (set
// bit), multicolour entries 0-3 by bit-pair value.
constexpr int kCellColors = 4;

namespace Vic {

// The opaque pixel word of an R, G, B triple.
inline uint32_t rgbWord(const uint8_t* c) {
  return c[0] | (uint32_t(c[1]) << 8) | (uint32_t(c[2]) << 16) | 0xFF000000u;
}

// The opaque pixel word of palette entry n & 15.
inline uint32_t paletteWord(const Palette& pal, int n) { return rgbWord(pal.rgb[n & 15].data()); }

// 8x8 pixels from 8 glyph bytes (top row first, bit 7 leftmost). Hires: a
// set bit gives colors[1], a clear bit colors[0]. Multicolour: each bit
// pair v (bits 7-6 leftmost) fills two pixels with colors[v].
void renderCharData(const uint8_t* glyph, bool multicolor, const uint32_t colors[kCellColors],
                    uint32_t* out, int stride);

// One cell (column 0-39, row 0-24) in the current graphics mode; out is the
// cell's top-left pixel. A cell outside the grid draws nothing.
void renderCell(const Machine& m, const Palette& pal, int column, int row, uint32_t* out,
                int stride);

// The 40x25 cells, 320x200 pixels.
void renderScreen(const Machine& m, const Palette& pal, uint32_t* out, int stride);

// The 384x264 frame (stride 384): the border colour $D020 around the
// screen, whose top-left cell sits at (kDisplayX, kDisplayY). Sprites are
// not part of the frame.
void renderFrame(const Machine& m, const Palette& pal, uint32_t* out);

// 24x21 pixels from 63 sprite bytes. Hires: a set bit gives `color`, a clear
// bit `background`. Multicolour bit pairs, two pixels each: 00 background,
// 01 mc0, 10 color, 11 mc1. A pixel whose word is 0 is left as it was, so
// 0 serves as a transparent colour.
void renderSpriteData(const uint8_t* data, bool multicolor, uint32_t color, uint32_t background,
                      uint32_t mc0, uint32_t mc1, uint32_t* out, int stride);

// Sprite block 0-255 of the current bank, in palette colours (the
// multicolours from $D025 and $D026); every pixel of the 24x21 area is
// written.
void renderSprite(const Machine& m, const Palette& pal, int block, int color, int background,
                  bool multicolor, uint32_t* out, int stride);

}  // namespace Vic
