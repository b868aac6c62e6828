// A rectangle of character cells lifted from the screen (the block
// clipboard, the paste preview, flips), and the block operations on the
// screen's cells: grab, stamp, clear, invert and the two flips. Cells are in
// the 40x25 grid at the addresses the Machine derives; in the bitmap modes a
// cell carries its 8 bitmap bytes besides its screen and colour bytes. The
// editor calls these for its selection; the character editors can use them
// on their own cells.
#pragma once

#include "core/Machine.h"

#include <cstdint>
#include <vector>

// Cells in row order, left to right.
struct CellBlock {
  int width = 0;   // cells; 0 = empty clipboard
  int height = 0;  // cells
  bool isBitmap = false;         // grabbed in a bitmap mode
  std::vector<uint64_t> bitmap;  // per cell its 8 bitmap bytes, byte i in bits 8i..8i+7
  std::vector<uint8_t> screen;   // per cell its video-matrix byte
  std::vector<uint8_t> color;    // per cell its colour-memory byte
};

// The cells of the rectangle (left, top)-(right, bottom), inclusive, inside
// the grid.
CellBlock grabBlock(const Machine& m, int left, int top, int right, int bottom);
// Writes the block with its top-left cell at (column, row); cells outside
// the grid are skipped. Bitmap bytes are written only for a bitmap block in
// a bitmap mode; screen and colour bytes always.
void stampBlock(Machine& m, const CellBlock& block, int column, int row);

// Text modes: every screen code of the rectangle becomes a space (colours
// stay). Bitmap modes: the cells' bitmap bytes become 0.
void clearCells(Machine& m, int left, int top, int right, int bottom);
// Text modes: reverse video (screen code + 128). Bitmap modes: every bitmap
// byte inverted.
void invertCells(Machine& m, int left, int top, int right, int bottom);

// Mirrors the block left to right: cells swap places within their rows and
// every bitmap byte is mirrored, by bit pairs when `multicolor`, else by bits.
void flipBlockX(CellBlock& block, bool multicolor);
// Mirrors the block top to bottom: rows swap places and every cell's 8
// bitmap bytes are reversed.
void flipBlockY(CellBlock& block);
