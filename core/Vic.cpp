// Video-chip rendering. Colours become pixel words once per screen (the 16
// palette words) and once per cell (its four colour words); the pixel loops
// only pick among those words. A single cell and the whole screen share one
// function that resolves a cell's glyph and colours, so both always agree.
#include "core/Vic.h"

#include "core/MemoryLayout.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// For each byte value, one all-ones or all-zero word per pixel (bit 7
// leftmost): a hires row is then c0 ^ ((c0 ^ c1) & mask), two vector
// operations per four pixels.
using RowMasks = std::array<std::array<uint32_t, 8>, 256>;
constexpr RowMasks makeRowMasks() {
  RowMasks t{};
  for (int b = 0; b < 256; ++b)
    for (int x = 0; x < 8; ++x) t[b][x] = (b & (0x80 >> x)) ? 0xFFFFFFFFu : 0u;
  return t;
}
constexpr RowMasks kRowMasks = makeRowMasks();

using PaletteWords = std::array<uint32_t, kPaletteColors>;

PaletteWords paletteWords(const Palette& pal) {
  PaletteWords w;
  for (int n = 0; n < kPaletteColors; ++n) w[n] = Vic::paletteWord(pal, n);
  return w;
}

// Four pixel words at once. The compiler cannot prove that the output does
// not overlap the mask table, so it would keep this loop scalar on its own.
typedef uint32_t Words4 __attribute__((vector_size(16)));

inline void hiresRows(const uint8_t* glyph, uint32_t c0, uint32_t c1, uint32_t* out, int stride) {
  const Words4 base = {c0, c0, c0, c0};
  const Words4 diff = base ^ Words4{c1, c1, c1, c1};
  for (int y = 0; y < kCellSize; ++y, out += stride) {
    const uint32_t* mask = kRowMasks[glyph[y]].data();
    Words4 left, right;
    std::memcpy(&left, mask, sizeof left);
    std::memcpy(&right, mask + 4, sizeof right);
    left = base ^ (diff & left);
    right = base ^ (diff & right);
    std::memcpy(out, &left, sizeof left);
    std::memcpy(out + 4, &right, sizeof right);
  }
}

inline void multiRows(const uint8_t* glyph, const uint32_t colors[kCellColors], uint32_t* out,
                      int stride) {
  for (int y = 0; y < kCellSize; ++y, out += stride) {
    const unsigned b = glyph[y];
    const uint32_t p0 = colors[b >> 6], p1 = colors[(b >> 4) & 3];
    const uint32_t p2 = colors[(b >> 2) & 3], p3 = colors[b & 3];
    const Words4 left = {p0, p0, p1, p1}, right = {p2, p2, p3, p3};
    std::memcpy(out, &left, sizeof left);
    std::memcpy(out + 4, &right, sizeof right);
  }
}

// Everything a cell needs that does not change from cell to cell: the
// areas the registers select and the palette words.
struct ScreenSource {
  const uint8_t* ram;
  const uint8_t* matrix;    // video matrix
  const uint8_t* colorRam;  // $D800
  const uint8_t* charBase;  // glyph of screen code 0; code c is at + c * 8
  uint32_t bitmapAddr;
  bool bitmap, multi, ecm;
  uint32_t bg[4];  // words of $D021-$D024
  PaletteWords words;
};

ScreenSource screenSource(const Machine& m, const Palette& pal) {
  ScreenSource s;
  s.ram = m.ram.data();
  s.matrix = m.ram.data() + m.screenAddr();
  s.colorRam = m.ram.data() + kColorRam;
  // Glyph addresses never wrap: the highest set ends at $FFFF (or at the
  // end of the ROM), so code c's glyph is always charData(0) + c * 8.
  s.charBase = m.charData(0);
  s.bitmapAddr = m.bitmapAddr();
  s.bitmap = m.isBitmap();
  s.multi = m.isMulticolor();
  s.ecm = m.isExtBg();
  s.words = paletteWords(pal);
  for (int i = 0; i < 4; ++i) s.bg[i] = s.words[m.vicRegs[kRegBg0 + i] & 15];
  return s;
}

// Draws cell i (row x 40 + column) at out.
inline void drawCell(const ScreenSource& s, int i, uint32_t* out, int stride) {
  const unsigned code = s.matrix[i];
  const unsigned k = s.colorRam[i] & 15;
  if (s.bitmap) {
    const uint8_t* glyph = s.ram + s.bitmapAddr + cellBitmapOffset(i);
    if (s.multi) {
      // Pair 00 background, 01 upper nibble, 10 lower nibble, 11 colour RAM.
      const uint32_t colors[kCellColors] = {s.bg[0], s.words[code >> 4], s.words[code & 15],
                                            s.words[k]};
      multiRows(glyph, colors, out, stride);
    } else {
      // A set bit shows the upper nibble of the screen byte.
      hiresRows(glyph, s.words[code & 15], s.words[code >> 4], out, stride);
    }
    return;
  }
  // Multicolour is tested before extended background: a multicolour cell
  // ignores ECM; a hires cell under both takes the ECM background.
  if (s.multi && (k & 8)) {
    const uint32_t colors[kCellColors] = {s.bg[0], s.bg[1], s.bg[2], s.words[k & 7]};
    multiRows(s.charBase + code * 8, colors, out, stride);
  } else if (s.ecm) {
    hiresRows(s.charBase + (code & 63) * 8, s.bg[code >> 6], s.words[k], out, stride);
  } else {
    hiresRows(s.charBase + code * 8, s.bg[0], s.words[k], out, stride);
  }
}

void drawScreen(const ScreenSource& s, uint32_t* out, int stride) {
  int i = 0;
  for (int row = 0; row < kScreenRows; ++row, out += kCellSize * stride) {
    uint32_t* cell = out;
    for (int col = 0; col < kScreenCols; ++col, ++i, cell += kCellSize) drawCell(s, i, cell, stride);
  }
}

}  // namespace

namespace Vic {

void renderCharData(const uint8_t* glyph, bool multicolor, const uint32_t colors[kCellColors],
                    uint32_t* out, int stride) {
  if (multicolor)
    multiRows(glyph, colors, out, stride);
  else
    hiresRows(glyph, colors[0], colors[1], out, stride);
}

void renderCell(const Machine& m, const Palette& pal, int column, int row, uint32_t* out,
                int stride) {
  // A cell outside the 40x25 grid would read past the screen's areas.
  if (column < 0 || column >= kScreenCols || row < 0 || row >= kScreenRows) return;
  drawCell(screenSource(m, pal), cellIndex(column, row), out, stride);
}

void renderScreen(const Machine& m, const Palette& pal, uint32_t* out, int stride) {
  drawScreen(screenSource(m, pal), out, stride);
}

void renderFrame(const Machine& m, const Palette& pal, uint32_t* out) {
  const uint32_t border = paletteWord(pal, m.vicRegs[kRegBorder]);
  // Only the border is filled; the display area is drawn over completely.
  const int right = kFrameWidth - kDisplayX - kDisplayWidth;
  const int bottom = kDisplayY + kDisplayHeight;
  std::fill_n(out, kDisplayY * kFrameWidth, border);
  for (int y = kDisplayY; y < bottom; ++y) {
    uint32_t* line = out + y * kFrameWidth;
    std::fill_n(line, kDisplayX, border);
    std::fill_n(line + kDisplayX + kDisplayWidth, right, border);
  }
  std::fill_n(out + bottom * kFrameWidth, (kFrameHeight - bottom) * kFrameWidth, border);
  drawScreen(screenSource(m, pal), out + kDisplayY * kFrameWidth + kDisplayX, kFrameWidth);
}

void renderSpriteData(const uint8_t* data, bool multicolor, uint32_t color, uint32_t background,
                      uint32_t mc0, uint32_t mc1, uint32_t* out, int stride) {
  const uint32_t words[4] = {background, mc0, color, mc1};
  for (int y = 0; y < kSpriteHeight; ++y, out += stride, data += kSpriteRowBytes) {
    const uint32_t bits = (uint32_t(data[0]) << 16) | (uint32_t(data[1]) << 8) | data[2];
    if (multicolor) {
      for (int x = 0; x < kSpriteWidth; x += 2) {
        const uint32_t w = words[(bits >> (kSpriteWidth - 2 - x)) & 3];
        if (w) out[x] = out[x + 1] = w;
      }
    } else {
      for (int x = 0; x < kSpriteWidth; ++x) {
        const uint32_t w = ((bits >> (kSpriteWidth - 1 - x)) & 1) ? color : background;
        if (w) out[x] = w;
      }
    }
  }
}

void renderSprite(const Machine& m, const Palette& pal, int block, int color, int background,
                  bool multicolor, uint32_t* out, int stride) {
  // Block numbers are taken & 255 so the 64 bytes always lie in the bank.
  const uint8_t* data = m.ram.data() + m.spriteBlockAddr(static_cast<uint8_t>(block & 255));
  renderSpriteData(data, multicolor, paletteWord(pal, color), paletteWord(pal, background),
                   paletteWord(pal, m.vicRegs[kRegSpriteMc0]),
                   paletteWord(pal, m.vicRegs[kRegSpriteMc1]), out, stride);
}

}  // namespace Vic
