// Brush strokes, rectangles, ellipses, freehand cell strokes and the
// flood-fill region search, in any grid of drawing pixels: the caller
// hands over the function that sets one pixel (the screen editor its
// PixelOperator in the current mode's coordinates; a sprite or character
// editor its own grid) and, for the fill, the function that tells whether
// a pixel has the colour to replace.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

constexpr int kBrushCount = 4;  // brushes 1-4

// Draws with one brush through a pixel setter. Brush 1 is the pixel
// itself, 2 a 3x3 square, 3 a 13-point diamond, 4 a chequered spray; any
// other value draws the single pixel.
class ShapePen {
public:
  // Sets (erase false) or clears (erase true) one pixel; positions outside
  // the grid must be ignored there.
  using SetPixel = std::function<void(int x, int y, bool erase)>;

  ShapePen(int brush, bool erasing, SetPixel set) : brush_(brush), erasing_(erasing), set_(std::move(set)) {}

  // The brush at (x, y).
  void dot(int x, int y) const;
  // The brush at every point from (x0, y0) to (x1, y1), both ends included.
  void line(int x0, int y0, int x1, int y1) const;
  // Outline: four brush lines, top edge left to right, right edge down,
  // bottom edge right to left, left edge up. Filled: every pixel set, row by
  // row, without the brush.
  void rectangle(int x0, int y0, int x1, int y1, bool filled) const;
  // Integer midpoint ellipse around (cx, cy); filled ellipses are set row
  // span by row span without the brush. A zero radius gives a brush line
  // (or, with both zero, one dot).
  void ellipse(int cx, int cy, int rx, int ry, bool filled) const;

private:
  int brush_;
  bool erasing_;
  SetPixel set_;
};

// One cell of a grid.
struct GridPoint {
  int x = 0;
  int y = 0;
  bool operator==(const GridPoint&) const = default;
};

// A freehand stroke in a grid of w x h cells, as the sprite and character
// editors paint it from one mouse sample per frame. Each sample is clamped
// to the grid, so a drag outside paints the nearest edge cell; the first
// sample of a stroke paints its own cell, every further one the cells of
// the line from the sample before (ShapePen::line's rule, both ends
// included), so a quick drag leaves no gaps between the samples.
class CellStroke {
public:
  // Starts a new stroke: the next sample is its first.
  void begin() { joined_ = false; }
  // The cells sample (x, y) paints, in drawing order.
  std::vector<GridPoint> next(int x, int y, int w, int h);

private:
  bool joined_ = false;  // a sample was taken: the next one joins it
  GridPoint last_;
};

// Bound on the row spans one flood fill examines; a 320x200 region never
// comes near it.
constexpr int kFloodFillMaxSteps = 1000000;

// The region of a flood fill from (x, y) in a w x h grid: one byte per
// pixel, row by row, 1 where the pixel is joined to (x, y) through
// neighbours above, below, left or right for which isTarget holds. isTarget
// is asked at most once per pixel. Empty when (x, y) lies outside.
std::vector<uint8_t> floodFillRegion(int w, int h, int x, int y, const std::function<bool(int x, int y)>& isTarget);
