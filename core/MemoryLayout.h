// Where a character cell of the 40x25 screen keeps its bytes: its
// video-matrix byte, its colour-memory byte and its 8 bitmap bytes, and
// which bitmap byte holds a display pixel. Cells are numbered row by row
// (row x 40 + column); each area starts at the address the Machine derives
// from the bank and $D018. Pixel access, the editor, the renderer and the
// windows all locate cells through these, so the arithmetic lives here once.
#pragma once

#include "core/Machine.h"

#include <cstdint>

// Screen codes the editing operations write: the space, and the bit that
// shows a character reversed.
constexpr uint8_t kSpaceCode = 32;
constexpr uint8_t kReverseBit = 0x80;

constexpr int kBitmapCellBytes = 8;                              // bitmap bytes of one cell
constexpr int kBitmapRowBytes = kScreenCols * kBitmapCellBytes;  // 320: one row of cells

// Number of the cell in `column` 0-39 and `row` 0-24.
constexpr uint32_t cellIndex(int column, int row) {
  return static_cast<uint32_t>(row) * kScreenCols + static_cast<uint32_t>(column);
}

// Offset of a cell's 8 bitmap bytes from the start of the bitmap: the
// bitmap holds the cells in screen order, 8 bytes (rows top to bottom) each.
constexpr uint32_t cellBitmapOffset(uint32_t cell) { return cell * kBitmapCellBytes; }

inline uint32_t cellScreenAddr(const Machine& m, uint32_t cell) { return m.screenAddr() + cell; }
constexpr uint32_t cellColorAddr(uint32_t cell) { return kColorRam + cell; }
inline uint32_t cellBitmapAddr(const Machine& m, uint32_t cell) { return m.bitmapAddr() + cellBitmapOffset(cell); }

// The bitmap byte holding display pixel (x, y), x 0-319 and y 0-199: row
// y & 7 of the cell under it.
inline uint32_t pixelBitmapAddr(const Machine& m, int x, int y) {
  return cellBitmapAddr(m, cellIndex(x >> 3, y >> 3)) + static_cast<uint32_t>(y & 7);
}

// The video-matrix and colour-memory bytes of the cell in `column` 0-39 and
// `row` 0-24.
inline uint8_t& cellScreenByte(Machine& m, int column, int row) {
  return m.ram[cellScreenAddr(m, cellIndex(column, row))];
}
inline uint8_t& cellColorByte(Machine& m, int column, int row) { return m.ram[cellColorAddr(cellIndex(column, row))]; }
inline uint8_t cellScreenByte(const Machine& m, int column, int row) {
  return m.ram[cellScreenAddr(m, cellIndex(column, row))];
}
inline uint8_t cellColorByte(const Machine& m, int column, int row) {
  return m.ram[cellColorAddr(cellIndex(column, row))];
}

// First address of charset slot 0-7 (the value of bits 1-3 of $D018) in the
// current video bank.
inline uint32_t charsetSlotAddr(const Machine& m, int slot) {
  return ((m.bank & 3u) * 8u + static_cast<uint32_t>(slot & 7)) * kCharsetSize;
}
