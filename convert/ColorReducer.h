// Colour reduction of a PC picture into C64 bitmap data. Resize scales any
// RGBA picture into the 320x200 frame; Reduce maps every pixel to a palette
// colour (with optional error diffusion), chooses the colours of every
// character cell under the limits of hires (two per 8x8 cell) or
// multicolour (shared background plus three per 4x8 cell), maps again
// inside those cell colours when the free mapping breaks the limits, and
// Store writes bitmap, video matrix, colour memory and background into the
// document. The picture import window owns one ColorReducer and calls it
// whenever an option changes.
#pragma once

#include "convert/ImportColors.h"
#include "core/Machine.h"

#include <cstdint>
#include <vector>

constexpr int kHiresWidth = kDisplayWidth;        // 320 pixels per row
constexpr int kMultiWidth = kDisplayWidth / 2;    // 160 double-wide pixels
constexpr int kReduceHeight = kDisplayHeight;     // 200 rows
constexpr int kCellColorSlots = 3;                // colours kept per cell

// Brightness of an RGB triple, 0-255, by integer weights in thousandths.
inline int luma(int r, int g, int b) {
  return static_cast<int>(static_cast<unsigned>(222 * r + 707 * g + 71 * b) / 1000u);
}

// One tap of an error-diffusion kernel: the neighbour at (dx, dy) receives
// error x weight / divisor.
struct DitherTap {
  int dx;
  int dy;
  float weight;
};

struct DitherKernel {
  const DitherTap* taps;
  int count;
  float divisor;
};

// The kernel of a DitherMethod value; count 0 for None and unknown values.
DitherKernel ditherKernel(int method);

class ColorReducer {
public:
  int background = 0;  // multicolour background chosen by the last calcPalette
  int width = kHiresWidth;  // 320 (hires) or 160 (multicolour)
  // Per cell (column first, then row): hires bit-0 colour, bit-1 colour, 0;
  // multicolour the colours of bit pairs 01, 10 and 11.
  uint8_t cells[kScreenCols][kScreenRows][kCellColorSlots]{};
  std::vector<uint8_t> index;       // width x 200 colour numbers, row by row
  uint8_t palette[16][3]{};         // R, G, B of the 16 colours
  int colorMode = ImportColors::Color;  // colours of the last Reduce
  std::vector<int> candidates;      // colours of the free mapping, tie order
  std::vector<float> errors;        // width x 200 x 3 diffused error

  // Copies 16 rows of R, G, B (48 bytes).
  void SetPalette(const uint8_t* rgb);

  // Scales w x h pixels into the 320x200 frame and returns outW x 200
  // opaque pixels (outW 160 halves the columns; any other value means 320).
  // Box averages over the source; transparency blends towards black.
  // Unscaled, the picture is centred on whole output pixels. Reads each
  // source pixel that falls in the frame once, so the time follows the
  // pixel count whatever the shape, in little memory besides the result.
  static std::vector<uint32_t> Resize(const uint32_t* pixels, int w, int h, int outW,
                                      bool zoomToFit, bool keepAspect);

  // Reduces a Resize result: width 160 multicolour, else hires; colors an
  // ImportColors value, dither a DitherMethod value, background -1 for
  // automatic or a colour 0-15 (multicolour only).
  void Reduce(const std::vector<uint32_t>& pixels, int width, int colors, int dither,
              int background);

  // One mapping pass over the picture, free or inside the cell colours.
  void quantize(const std::vector<uint32_t>& pixels, int dither, bool withinCells);
  // Adds the error of pixel (x, y) to its neighbours not yet visited.
  void distribute(int x, int y, const float* err, int method);

  // Choose the cell colours from `index`; true when every cell fits them.
  bool calcPalette(int background);
  bool calcPaletteHires();

  // width x 200 opaque pixels in the palette colours of `index`.
  std::vector<uint32_t> Preview() const;
  // Writes the result into the document in hires or multicolour bitmap mode.
  void Store(Machine& m) const;

private:
  // The R, G, B a choice is compared against under colorMode.
  void _targets(float* r, float* g, float* b) const;
};
