// Grabbing, stamping, clearing, inverting and flipping rectangles of
// character cells.
#include "core/CellBlock.h"

#include "core/GlyphBits.h"
#include "core/MemoryLayout.h"

#include <algorithm>

namespace {

uint64_t readCellBitmap(const Machine& m, int column, int row) {
  const uint32_t a = cellBitmapAddr(m, cellIndex(column, row));
  uint64_t v = 0;
  for (int i = 0; i < kBitmapCellBytes; ++i) v |= static_cast<uint64_t>(m.ram[a + i]) << (8 * i);
  return v;
}

void writeCellBitmap(Machine& m, int column, int row, uint64_t v) {
  const uint32_t a = cellBitmapAddr(m, cellIndex(column, row));
  for (int i = 0; i < kBitmapCellBytes; ++i) m.ram[a + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Rewrites every cell of the rectangle in place: in the bitmap modes its 8
// bitmap bytes (as one word) through `bitmapFn`, in the text modes its
// screen code through `textFn`.
template <class BitmapFn, class TextFn>
void rewriteCells(Machine& m, int l, int t, int r, int b, BitmapFn bitmapFn, TextFn textFn) {
  const bool bitmap = m.isBitmap();
  for (int cy = t; cy <= b; ++cy)
    for (int cx = l; cx <= r; ++cx) {
      if (bitmap)
        writeCellBitmap(m, cx, cy, bitmapFn(readCellBitmap(m, cx, cy)));
      else
        cellScreenByte(m, cx, cy) = textFn(cellScreenByte(m, cx, cy));
    }
}

// Every bitmap byte of a cell seen in a mirror (bit pairs kept whole in
// multicolour).
uint64_t mirrorCell(uint64_t cell, bool multicolor) {
  uint64_t out = 0;
  for (int i = 0; i < kBitmapCellBytes; ++i)
    out |= static_cast<uint64_t>(mirrorByte(static_cast<uint8_t>(cell >> (8 * i)), multicolor)) << (8 * i);
  return out;
}

uint64_t reverseByteOrder(uint64_t cell) {
  uint64_t out = 0;
  for (int i = 0; i < kBitmapCellBytes; ++i)
    out |= ((cell >> (8 * i)) & 0xFF) << (8 * (kBitmapCellBytes - 1 - i));
  return out;
}

}  // namespace

CellBlock grabBlock(const Machine& m, int left, int top, int right, int bottom) {
  CellBlock b;
  b.width = right - left + 1;
  b.height = bottom - top + 1;
  b.isBitmap = m.isBitmap();
  for (int cy = top; cy <= bottom; ++cy) {
    for (int cx = left; cx <= right; ++cx) {
      if (b.isBitmap) b.bitmap.push_back(readCellBitmap(m, cx, cy));
      b.screen.push_back(cellScreenByte(m, cx, cy));
      b.color.push_back(cellColorByte(m, cx, cy));
    }
  }
  return b;
}

void stampBlock(Machine& m, const CellBlock& b, int column, int row) {
  if (b.width < 1 || b.height < 1) return;
  const bool bitmap = b.isBitmap && m.isBitmap();
  for (int r = 0; r < b.height; ++r) {
    const int ty = row + r;
    if (ty < 0 || ty >= kScreenRows) continue;
    for (int c = 0; c < b.width; ++c) {
      const int tx = column + c;
      if (tx < 0 || tx >= kScreenCols) continue;
      const size_t i = static_cast<size_t>(r) * b.width + c;
      if (bitmap) writeCellBitmap(m, tx, ty, b.bitmap[i]);
      cellScreenByte(m, tx, ty) = b.screen[i];
      cellColorByte(m, tx, ty) = b.color[i];
    }
  }
}

void clearCells(Machine& m, int left, int top, int right, int bottom) {
  rewriteCells(m, left, top, right, bottom, [](uint64_t) { return uint64_t{0}; }, [](uint8_t) { return kSpaceCode; });
}

void invertCells(Machine& m, int left, int top, int right, int bottom) {
  rewriteCells(m, left, top, right, bottom, [](uint64_t bits) { return ~bits; },
               [](uint8_t code) { return static_cast<uint8_t>(code + kReverseBit); });
}

void flipBlockX(CellBlock& blk, bool multicolor) {
  for (int row = 0; row < blk.height; ++row) {
    const size_t first = static_cast<size_t>(row) * blk.width;
    std::reverse(blk.screen.begin() + first, blk.screen.begin() + first + blk.width);
    std::reverse(blk.color.begin() + first, blk.color.begin() + first + blk.width);
    if (blk.isBitmap) {
      std::reverse(blk.bitmap.begin() + first, blk.bitmap.begin() + first + blk.width);
      for (int c = 0; c < blk.width; ++c) blk.bitmap[first + c] = mirrorCell(blk.bitmap[first + c], multicolor);
    }
  }
}

void flipBlockY(CellBlock& blk) {
  for (int row = 0; row < blk.height / 2; ++row) {
    const size_t a = static_cast<size_t>(row) * blk.width;
    const size_t z = static_cast<size_t>(blk.height - 1 - row) * blk.width;
    std::swap_ranges(blk.screen.begin() + a, blk.screen.begin() + a + blk.width, blk.screen.begin() + z);
    std::swap_ranges(blk.color.begin() + a, blk.color.begin() + a + blk.width, blk.color.begin() + z);
    if (blk.isBitmap)
      std::swap_ranges(blk.bitmap.begin() + a, blk.bitmap.begin() + a + blk.width, blk.bitmap.begin() + z);
  }
  for (uint64_t& cell : blk.bitmap) cell = reverseByteOrder(cell);
}
