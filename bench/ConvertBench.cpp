// Speed of the picture conversions, which the import window runs when an
// option changes: resizing a full-HD picture plus the Floyd-Steinberg
// reduction (hires and multicolour), the resize of 64-megapixel pictures
// of the extreme shapes the import accepts, PETSCII matching in colour
// with reversed characters, an option change of the import window on a
// 64-megapixel picture, and a bitmap of 1000 distinct cells turned into a
// charset with merging.
#include "app/ConvertRules.h"
#include "convert/CharsetConverter.h"
#include "convert/ColorReducer.h"
#include "convert/PetsciiConverter.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

uint32_t xorshift(uint32_t& s) {
  s ^= s << 13;
  s ^= s >> 17;
  s ^= s << 5;
  return s;
}

// Photograph-like: smooth colour gradients, a few soft shapes and grain.
std::vector<uint32_t> photo(int w, int h) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  uint32_t s = 0x2468ACE1u;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double u = double(x) / w, v = double(y) / h;
      const double ring = std::sin(20 * std::hypot(u - 0.4, v - 0.5));
      const int grain = static_cast<int>(xorshift(s) % 24) - 12;
      auto ch = [&](double c) { return std::clamp(static_cast<int>(c) + grain, 0, 255); };
      const int r = ch(255 * u * (0.6 + 0.4 * ring)), g = ch(200 * v + 40 * ring), b = ch(255 * (1 - u) * v);
      px[static_cast<size_t>(y) * w + x] = static_cast<uint32_t>(r | g << 8 | b << 16) | 0xFF000000u;
    }
  return px;
}

std::vector<uint8_t> paletteBytes() {
  Palette p;
  std::vector<uint8_t> out;
  for (const auto& c : p.rgb) out.insert(out.end(), c.begin(), c.end());
  return out;
}

void BM_ResizeAndReduce(benchmark::State& state) {
  const int outW = static_cast<int>(state.range(0));
  static const std::vector<uint32_t> src = photo(1920, 1080);
  const std::vector<uint8_t> pal = paletteBytes();
  ColorReducer cr;
  cr.SetPalette(pal.data());
  for (auto _ : state) {
    const std::vector<uint32_t> resized = ColorReducer::Resize(src.data(), 1920, 1080, outW, true, true);
    cr.Reduce(resized, outW, ImportColors::Color, DitherMethod::FloydSteinberg, -1);
    benchmark::DoNotOptimize(cr.index.data());
  }
}
BENCHMARK(BM_ResizeAndReduce)->Arg(320)->Arg(160)->Unit(benchmark::kMillisecond);

// The two halves of the chain apart.
void BM_Resize(benchmark::State& state) {
  static const std::vector<uint32_t> src = photo(1920, 1080);
  for (auto _ : state) {
    const std::vector<uint32_t> resized = ColorReducer::Resize(src.data(), 1920, 1080, 320, true, true);
    benchmark::DoNotOptimize(resized.data());
  }
}
BENCHMARK(BM_Resize)->Unit(benchmark::kMillisecond);

// 8192 x 8192 photograph-like pixels, made once (it takes seconds): the
// most the import accepts, also read as 16777216 x 4 or 4 x 16777216.
constexpr int kBigSide = 8192;
const std::vector<uint32_t>& bigPhoto() {
  static const std::vector<uint32_t> px = photo(kBigSide, kBigSide);
  return px;
}

// The same with every other pixel half transparent, so that every chunk
// of the resize takes the blending path.
const std::vector<uint32_t>& bigTranslucentPhoto() {
  static const std::vector<uint32_t> px = [] {
    std::vector<uint32_t> p = bigPhoto();
    for (size_t i = 0; i < p.size(); i += 2) p[i] = (p[i] & 0x00FFFFFFu) | 0x80000000u;
    return p;
  }();
  return px;
}

// The resize of 64 megapixels by shape (0: 16777216 x 4, 1: 4 x 16777216,
// 2: 8192 x 8192, 3: 8192 x 8192 half transparent), output width (320 or
// 160) and "Keep aspect ratio" (0 or 1), zoomed to fit.
void BM_ResizeLarge(benchmark::State& state) {
  const int shape = static_cast<int>(state.range(0));
  const int outW = static_cast<int>(state.range(1));
  const bool keepAspect = state.range(2) != 0;
  const std::vector<uint32_t>& src = shape == 3 ? bigTranslucentPhoto() : bigPhoto();
  constexpr int kLong = kBigSide * kBigSide / 4;
  const int w = shape == 0 ? kLong : shape == 1 ? 4 : kBigSide;
  const int h = shape == 0 ? 4 : shape == 1 ? kLong : kBigSide;
  for (auto _ : state) {
    const std::vector<uint32_t> resized = ColorReducer::Resize(src.data(), w, h, outW, true, keepAspect);
    benchmark::DoNotOptimize(resized.data());
  }
  state.SetLabel(std::to_string(w) + "x" + std::to_string(h) + (shape == 3 ? " translucent" : ""));
}
BENCHMARK(BM_ResizeLarge)
    ->ArgsProduct({{0, 1, 2, 3}, {320, 160}, {0, 1}})
    ->ArgNames({"shape", "outW", "aspect"})
    ->Unit(benchmark::kMillisecond);

void BM_Reduce(benchmark::State& state) {
  const int outW = static_cast<int>(state.range(0));
  const int dither = static_cast<int>(state.range(1));
  const std::vector<uint32_t> resized = ColorReducer::Resize(photo(1920, 1080).data(), 1920, 1080, outW, true, true);
  const std::vector<uint8_t> pal = paletteBytes();
  ColorReducer cr;
  cr.SetPalette(pal.data());
  for (auto _ : state) {
    cr.Reduce(resized, outW, ImportColors::Color, dither, -1);
    benchmark::DoNotOptimize(cr.index.data());
  }
}
BENCHMARK(BM_Reduce)->Args({320, 1})->Args({160, 1})->Args({320, 3})->Unit(benchmark::kMillisecond);

void BM_PetsciiConvert(benchmark::State& state) {
  const std::vector<uint8_t> pal = paletteBytes();
  const std::vector<uint32_t> src = ColorReducer::Resize(photo(640, 400).data(), 640, 400, 320, true, false);
  // 256 distinct glyphs: no duplicates to drop, the most the search can meet.
  std::vector<uint8_t> glyphs(kCharsetSize);
  uint32_t s = 12345;
  for (uint8_t& b : glyphs) b = static_cast<uint8_t>(xorshift(s));
  PetsciiConverter pc;
  pc.SetPalette(pal.data());
  pc.SetCharset(glyphs.data());
  PetsciiOptions o;
  o.colors = ImportColors::Color;
  o.reversed = true;
  o.detail = static_cast<float>(state.range(0)) / 100;
  for (auto _ : state) {
    pc.Convert(src, o);
    benchmark::DoNotOptimize(pc.screen);
  }
}
BENCHMARK(BM_PetsciiConvert)->Arg(0)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

// One option change of the import window on a picture of 8192 x 8192
// pixels, in multicolour: the palette (argument 0), which only the steps
// after the resize depend on, or "Keep aspect ratio" (1), which resizes
// the whole picture again.
void BM_ImportOptionChange(benchmark::State& state) {
  const std::vector<uint32_t>& src = bigPhoto();
  const bool resizeOption = state.range(0) != 0;
  Machine m;
  m.reset();
  const Palette app;
  ImportPicture pic;
  pic.pixels = src;
  pic.width = pic.height = kBigSide;
  pic.paletteIndex = 0;
  ConvertImportPicture(pic, m, app);
  for (auto _ : state) {
    if (resizeOption)
      pic.keepAspect = !pic.keepAspect;
    else
      pic.paletteIndex = pic.paletteIndex == 0 ? 1 : 0;
    ConvertImportPicture(pic, m, app);
    benchmark::DoNotOptimize(pic.resultPreview.pixels.data());
  }
}
BENCHMARK(BM_ImportOptionChange)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// What the frame of a resize option change costs on the largest pictures
// the window still resizes within the frame, in its slowest shapes: 2048 x
// 2048 half transparent (argument 0) and 4 x 1048576 (1), in multicolour.
void BM_ImportAtFrameBound(benchmark::State& state) {
  const bool narrow = state.range(0) != 0;
  const int w = narrow ? 4 : 2048;
  const int h = static_cast<int>(kImportFrameResizePixels / w);
  Machine m;
  m.reset();
  const Palette app;
  ImportPicture pic;
  pic.pixels.assign(bigTranslucentPhoto().begin(), bigTranslucentPhoto().begin() + kImportFrameResizePixels);
  if (narrow)
    for (uint32_t& p : pic.pixels) p |= 0xFF000000u;
  pic.width = w;
  pic.height = h;
  pic.paletteIndex = 0;
  for (auto _ : state) {
    pic.keepAspect = !pic.keepAspect;
    ConvertImportPicture(pic, m, app);
    benchmark::DoNotOptimize(pic.resultPreview.pixels.data());
  }
  state.SetLabel(std::to_string(w) + "x" + std::to_string(h));
}
BENCHMARK(BM_ImportAtFrameBound)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BitmapToCharset(benchmark::State& state) {
  const bool multi = state.range(0) != 0;
  Machine base;
  base.reset();
  base.setGfxMode(multi ? kModeMultiBitmap : kModeHires);
  uint32_t s = 777;
  for (int i = 0; i < kBitmapSize; ++i) base.ram[base.bitmapAddr() + i] = static_cast<uint8_t>(xorshift(s));
  // Hires: random cell colours. Multicolour: the same three colours in
  // every cell, so every bit pair keeps its value and all cells differ.
  base.vicRegs[kRegBg0] = 0;
  for (int i = 0; i < kScreenCells; ++i) {
    base.ram[base.screenAddr() + i] = multi ? 0x12 : static_cast<uint8_t>(xorshift(s));
    base.ram[kColorRam + i] = multi ? 3 : static_cast<uint8_t>(xorshift(s) & 15);
  }
  const Palette pal;
  for (auto _ : state) {
    Machine m = base;
    const CharsetConvertResult r = ConvertBitmapToCharset(m, pal, 1, true);
    if (!r.ok || r.differentCells < 990) state.SkipWithError("the bitmap did not convert with merging");
    benchmark::DoNotOptimize(r.charsUsed);
  }
}
BENCHMARK(BM_BitmapToCharset)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
