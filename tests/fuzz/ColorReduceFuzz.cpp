// The bitmap import on random pictures, palettes and options: Resize, then
// Reduce in hires or multicolour, then Store into a random document. Every
// colour comes from the mode's candidates, Store writes only the bitmap,
// the video matrix, the graphics-mode bits and (multicolour) colour memory
// and $D021, and where those areas lie apart the document shows exactly
// the reduced picture.
#include "convert/ColorReducer.h"
#include "core/PixelOps.h"
#include "tests/fuzz/ConvertFuzzUtil.h"

namespace {

// Larger than the frame in both directions, small enough to stay quick.
constexpr int kMaxPictureWidth = 720;
constexpr int kMaxPictureHeight = 450;
constexpr size_t kMaxMemoryPattern = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t flags = in.byte();
  const int outW = flags & 1 ? kMultiWidth : kHiresWidth;
  const bool zoomToFit = flags & 2, keepAspect = flags & 4;
  const int colors = in.byte() % 4;           // 3: an unknown value, taken as Color
  const int dither = in.byte() % 5;           // 4: an unknown method, no diffusion
  const int background = in.byte() % 18 - 2;  // automatic, a colour, or a colour the set lacks
  const int w = 1 + in.word() % kMaxPictureWidth, h = 1 + in.word() % kMaxPictureHeight;
  std::vector<uint8_t> palette = in.bytes(48);
  palette.resize(48);
  Machine m = fuzz::document(in, kMaxMemoryPattern);
  const std::vector<uint32_t> pixels = fuzz::picture(in.rest(), w, h);

  const std::vector<uint32_t> resized = ColorReducer::Resize(pixels.data(), w, h, outW, zoomToFit, keepAspect);
  fuzz::check(resized.size() == static_cast<size_t>(outW) * kReduceHeight, "the frame is filled");
  ColorReducer cr;
  cr.SetPalette(palette.data());
  cr.Reduce(resized, outW, colors, dither, background);
  fuzz::check(cr.width == outW && cr.index.size() == resized.size(), "one colour per pixel");
  for (const uint8_t c : cr.index) fuzz::check(fuzz::candidate(colors, c), "pixels take candidate colours");
  for (const auto& column : cr.cells)
    for (const auto& cell : column)
      for (const uint8_t c : cell) fuzz::check(fuzz::candidate(colors, c), "cells take candidate colours");
  const bool multi = outW == kMultiWidth;
  fuzz::check(!multi || fuzz::candidate(colors, cr.background), "the background is a candidate");

  const Machine before = m;
  cr.Store(m);
  fuzz::check(m.gfxMode() == (multi ? kModeMultiBitmap : kModeHires), "Store sets the bitmap mode");
  const uint32_t bitmap = m.bitmapAddr(), matrix = m.screenAddr();
  if (multi)
    fuzz::checkOnlyWritten(before, m, {{bitmap, kBitmapSize}, {matrix, kScreenCells}, {kColorRam, kScreenCells}},
                           {kRegCtrl1, kRegCtrl2, kRegMemPtr, kRegBg0}, false, "multicolour Store stays in its areas");
  else
    fuzz::checkOnlyWritten(before, m, {{bitmap, kBitmapSize}, {matrix, kScreenCells}},
                           {kRegCtrl1, kRegCtrl2, kRegMemPtr}, false, "hires Store stays in its areas");
  fuzz::check((m.vicRegs[kRegMemPtr] & ~8) == (before.vicRegs[kRegMemPtr] & ~8), "only the bitmap bit of $D018 moves");

  if (fuzz::apart(bitmap, kBitmapSize, matrix, kScreenCells) &&
      (!multi || (fuzz::apart(bitmap, kBitmapSize, kColorRam, kScreenCells) &&
                  fuzz::apart(matrix, kScreenCells, kColorRam, kScreenCells)))) {
    const PixelOperator ops(m);
    for (int y = 0; y < kReduceHeight; ++y)
      for (int x = 0; x < outW; ++x)
        fuzz::check(ops.GetPixel(x, y) == cr.index[static_cast<size_t>(y) * outW + x], "the document shows the result");
  }
  return 0;
}
