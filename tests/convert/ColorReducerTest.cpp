// Colour reduction: a plain per-pixel reference of resizing, mapping,
// diffusion and cell-colour choice against the engine on random pictures
// and palettes (the diffusion kernels at the frame edges included), and of
// the resize on pictures of every shape; frame placement, unscaled
// pictures against a plain copy, and ties; saturated
// areas that must not spill; the bitmap written by Store read back through
// the document's own pixel access; and the error of the free
// Floyd-Steinberg pass against ImageMagick's on a photograph.
#include "convert/ColorReducer.h"

#include "ConvertTestUtil.h"
#include "core/PixelOps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// ---- Reference, written out plainly from the rules ----

std::vector<uint32_t> refResize(const uint32_t* px, int w, int h, int outW, bool fit, bool aspect) {
  std::vector<uint32_t> out(outW * 200, 0xFF000000u);
  if (!px || w < 1 || h < 1) return out;
  const int step = 320 / outW;
  double dW = 320, dH = 200, oX = 0, oY = 0;
  if (fit && aspect) {
    double s = 320.0 / w > 200.0 / h ? 200.0 / h : 320.0 / w;
    dW = w * s, dH = h * s, oX = (320 - dW) / 2, oY = (200 - dH) / 2;
  } else if (!fit) {
    // Whole output pixels: multicolour offsets are even frame columns.
    dW = w, dH = h, oX = step * std::floor((320.0 - w) / (2 * step)), oY = std::floor((200.0 - h) / 2);
  }
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < outW; ++x) {
      double sy0 = (y - oY) * h / dH, sy1 = (y + 1 - oY) * h / dH;
      double sx0 = (x * step - oX) * w / dW, sx1 = ((x + 1) * step - oX) * w / dW;
      if (sy1 <= 0 || sy0 >= h || sx1 <= 0 || sx0 >= w) continue;
      int y0 = std::max((int)sy0, 0), y1 = std::min(std::max((int)std::ceil(sy1), y0 + 1), h);
      int x0 = std::max((int)sx0, 0), x1 = std::min(std::max((int)std::ceil(sx1), x0 + 1), w);
      uint64_t r = 0, g = 0, b = 0, n = 0;
      for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx, ++n) {
          uint32_t p = px[yy * w + xx], a = p >> 24;
          r += (p & 255) * a / 255, g += ((p >> 8) & 255) * a / 255, b += ((p >> 16) & 255) * a / 255;
        }
      out[y * outW + x] = rgba((int)(r / n), (int)(g / n), (int)(b / n));
    }
  return out;
}

struct RefResult {
  std::vector<uint8_t> index;
  std::vector<float> errors;
  int cells[40][25][3] = {};
  int background = 0;
};

struct Tap {
  int dx, dy, w;
};
const std::vector<Tap> kTaps[4] = {
    {},
    {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}},
    {{1, 0, 7}, {2, 0, 5}, {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5}, {2, 1, 3}, {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5}, {1, 2, 3}, {2, 2, 1}},
    {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}, {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4}, {1, 2, 2}, {2, 2, 1}},
};
const float kDivisor[4] = {1, 16, 48, 42};

int refLuma(int r, int g, int b) { return (222 * r + 707 * g + 71 * b) / 1000; }

void refPass(RefResult& R, const std::vector<uint32_t>& px, int width, int colors, int dither, bool within,
             const uint8_t* pal) {
  std::vector<float>& err = R.errors;
  err.assign(width * 200 * 3, 0.0f);
  R.index.assign(width * 200, 0);
  const std::vector<int> cand = candidates(colors);
  const int method = dither >= 1 && dither <= 3 ? dither : 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t p = px[y * width + x];
      int r = p & 255, g = (p >> 8) & 255, b = (p >> 16) & 255;
      float v[3] = {(float)r, (float)g, (float)b};
      if (colors == 0 || colors == 1) v[0] = v[1] = v[2] = (float)refLuma(r, g, b);
      for (int k = 0; k < 3; ++k) v[k] = std::clamp(v[k] + err[(y * width + x) * 3 + k], 0.0f, 255.0f);
      std::vector<int> choice = cand;
      if (within && width == 160) choice = {R.background, R.cells[x / 4][y / 8][0], R.cells[x / 4][y / 8][1], R.cells[x / 4][y / 8][2]};
      if (within && width == 320) choice = {R.cells[x / 8][y / 8][0], R.cells[x / 8][y / 8][1]};
      // The first choice stands until a later one is strictly nearer.
      float best = 1e30f, bt[3] = {};
      int pick = choice[0];
      for (size_t i = 0; i < choice.size(); ++i) {
        const uint8_t* e = pal + choice[i] * 3;
        float t[3] = {(float)e[0], (float)e[1], (float)e[2]};
        if (colors == 0) t[0] = t[1] = t[2] = choice[i] == 1 ? 255.0f : 0.0f;
        if (colors == 1) t[0] = t[1] = t[2] = (float)refLuma(e[0], e[1], e[2]);
        float d = (v[0] - t[0]) * (v[0] - t[0]) + (v[1] - t[1]) * (v[1] - t[1]) + (v[2] - t[2]) * (v[2] - t[2]);
        if (i == 0 || d < best) pick = choice[i], bt[0] = t[0], bt[1] = t[1], bt[2] = t[2];
        if (d < best) best = d;
      }
      R.index[y * width + x] = (uint8_t)pick;
      for (const Tap& t : kTaps[method]) {
        int tx = x + t.dx, ty = y + t.dy;
        if (tx < 0 || tx >= width || ty > 199) continue;
        for (int k = 0; k < 3; ++k) err[(ty * width + tx) * 3 + k] += (v[k] - bt[k]) * t.w / kDivisor[method];
      }
    }
}

// Highest count above zero, ties to the lowest colour; -1 when none.
int refMost(const int* n) {
  int best = -1;
  for (int c = 0; c < 16; ++c)
    if (n[c] > 0 && (best < 0 || n[c] > n[best])) best = c;
  return best;
}

bool refCalc(RefResult& R, int width, int bg) {
  bool fits = true;
  if (width == 160) {
    if (bg < 0) {
      int n[16] = {};
      for (uint8_t c : R.index) ++n[c & 15];
      bg = std::max(refMost(n), 0);
    }
    R.background = bg;
  }
  const int cw = width == 160 ? 4 : 8;
  for (int cy = 0; cy < 25; ++cy)
    for (int cx = 0; cx < 40; ++cx) {
      int n[16] = {};
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < cw; ++x) ++n[R.index[(cy * 8 + y) * width + cx * cw + x]];
      if (width == 160) {
        n[bg] = 0;
        for (int k = 0; k < 3; ++k) {
          int c = refMost(n);
          R.cells[cx][cy][k] = c < 0 ? bg : c;
          if (c >= 0) n[c] = 0;
        }
      } else {
        int c0 = refMost(n);
        n[c0] = 0;
        int c1 = refMost(n);
        if (c1 >= 0) n[c1] = 0;
        R.cells[cx][cy][0] = c0, R.cells[cx][cy][1] = c1 < 0 ? c0 : c1, R.cells[cx][cy][2] = 0;
      }
      if (refMost(n) >= 0) fits = false;
    }
  return fits;
}

RefResult refReduce(const std::vector<uint32_t>& px, int width, int colors, int dither, int bg,
                    const uint8_t* pal, int lastBackground) {
  RefResult R;
  R.background = lastBackground;
  const std::vector<int> cand = candidates(colors);
  if (std::find(cand.begin(), cand.end(), bg) == cand.end()) bg = -1;  // outside the set: automatic
  refPass(R, px, width, colors, dither, false, pal);
  if (!refCalc(R, width, bg)) refPass(R, px, width, colors, dither, true, pal);
  return R;
}

// ---- Tests ----

TEST(ColorReducer, MatchesPlainReferenceOnRandomPicturesAndPalettes) {
  Rng rng(20240611);
  ColorReducer cr;
  for (int round = 0; round < 160; ++round) {
    SCOPED_TRACE(round);
    const int w = 1 + rng.below(48), h = 1 + rng.below(40);
    std::vector<uint32_t> src(w * h);
    // Few colours in blocks make cells that fit; noise makes cells that don't.
    const bool noise = rng.below(2);
    for (int i = 0; i < w * h; ++i)
      src[i] = noise || i == 0 ? rng.next() | (rng.below(3) ? 0xFF000000u : 0) : src[i - 1 - rng.below(std::min(i, 3))];
    const int outW = rng.below(2) ? 160 : 320;
    const bool fit = rng.below(3), aspect = rng.below(2);
    std::vector<uint32_t> resized = ColorReducer::Resize(src.data(), w, h, outW, fit, aspect);
    ASSERT_EQ(resized, refResize(src.data(), w, h, outW, fit, aspect));

    const std::vector<uint8_t> pal = randomPaletteBytes(rng);
    const int colors = rng.below(4), dither = rng.below(5), bg = rng.below(18) - 2;
    const int last = cr.background;
    cr.SetPalette(pal.data());
    cr.Reduce(resized, outW, colors, dither, bg);
    const RefResult R = refReduce(resized, outW, std::min(colors, 2), dither, bg, pal.data(), last);
    ASSERT_EQ(cr.index, R.index);
    ASSERT_TRUE(cr.errors == R.errors) << "diffused errors differ";
    ASSERT_EQ(cr.background, R.background);
    for (int cx = 0; cx < 40; ++cx)
      for (int cy = 0; cy < 25; ++cy)
        for (int k = 0; k < 3; ++k) ASSERT_EQ(cr.cells[cx][cy][k], R.cells[cx][cy][k]) << cx << "," << cy;
  }
}

TEST(ColorReducer, ResizePlacesThePictureInTheFrame) {
  const uint32_t red = rgba(255, 0, 0), black = rgba(0, 0, 0);
  auto out = ColorReducer::Resize(&red, 1, 1, 320, true, true);
  for (int x = 0; x < 320; ++x) EXPECT_EQ(out[100 * 320 + x], x >= 60 && x < 260 ? red : black) << x;
  out = ColorReducer::Resize(&red, 1, 1, 160, true, false);
  EXPECT_EQ(std::count(out.begin(), out.end(), red), 160 * 200);
  const uint32_t clear[4] = {rgba(255, 255, 255, 0), rgba(9, 9, 9, 0), 0, rgba(1, 2, 3, 0)};
  out = ColorReducer::Resize(clear, 2, 2, 320, true, false);
  EXPECT_EQ(std::count(out.begin(), out.end(), black), 320 * 200);
  out = ColorReducer::Resize(nullptr, 5, 5, 320, true, false);
  EXPECT_EQ(std::count(out.begin(), out.end(), black), 320 * 200);
  // More than 257 source rows per output row, some transparent: the sums need 64 bits.
  Rng rng(8);
  std::vector<uint32_t> tall(3 * 90000);
  for (uint32_t& p : tall) p = rng.next() | (rng.below(4) ? 0xFF000000u : 0);
  EXPECT_EQ(ColorReducer::Resize(tall.data(), 3, 90000, 160, true, false), refResize(tall.data(), 3, 90000, 160, true, false));
}

// The resize against the plain box average on pictures of every shape: a
// pixel, strips a few pixels across, ratios that cut source pixels, rows
// wider than the column sums take (summed segment by segment, some
// segments longer than a packed word holds), pictures larger than the
// frame unscaled; opaque, with transparent pixels here and there, and
// white, which fills the packed sums to their last bit.
TEST(ColorReducer, ResizeMatchesThePlainBoxAverageOnEveryShape) {
  const int shapes[][2] = {{1, 1},     {3, 2},      {4, 5000},   {5000, 4},   {1, 300},   {700, 1},  {2, 60000},
                           {333, 217}, {641, 199},  {97, 61},    {1000, 700}, {33000, 3}, {90001, 2}};
  const bool placements[][2] = {{true, false}, {true, true}, {false, false}};  // zoom to fit, keep aspect
  Rng rng(4102);
  for (const auto& [w, h] : shapes)
    for (const std::string pattern : {"noise", "noise with alpha", "white"}) {
      std::vector<uint32_t> src(static_cast<size_t>(w) * h, 0xFFFFFFFFu);
      if (pattern != "white")
        for (uint32_t& p : src) p = rng.next() | (pattern == "noise with alpha" && rng.below(8) == 0 ? 0 : 0xFF000000u);
      for (int outW : {320, 160})
        for (const auto& [fit, aspect] : placements)
          ASSERT_EQ(ColorReducer::Resize(src.data(), w, h, outW, fit, aspect), refResize(src.data(), w, h, outW, fit, aspect))
              << w << "x" << h << " " << pattern << " into " << outW << (fit ? " fit" : "") << (aspect ? " aspect" : "");
    }
}

// Unscaled, a picture becomes ceil(w / step) x h output pixels, centred in
// the frame (a spare pixel to the right or below), each output pixel the
// average of its own step source columns: written here as a plain copy. A
// picture of 640 x 400 in hires is its middle, one source pixel an output
// pixel.
TEST(ColorReducer, UnscaledPicturesKeepWholeSourcePixels) {
  const int sizes[][2] = {{321, 200}, {319, 199}, {320, 201}, {318, 202}, {1, 1},   {2, 3},
                          {641, 403}, {322, 150}, {17, 400},  {640, 400}, {323, 7}, {157, 198}};
  Rng rng(321);
  for (const auto& size : sizes)
    for (int outW : {320, 160}) {
      const int w = size[0], h = size[1], step = 320 / outW;
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " into " + std::to_string(outW));
      std::vector<uint32_t> src(w * h);
      for (uint32_t& p : src) p = rng.next() | (rng.below(4) ? 0xFF000000u : 0);
      const int left = (int)std::floor((outW - (w + step - 1) / step) / 2.0), top = (int)std::floor((200 - h) / 2.0);
      std::vector<uint32_t> want(outW * 200, rgba(0, 0, 0));
      for (int y = 0; y < 200; ++y)
        for (int x = 0; x < outW; ++x) {
          const int sy = y - top, sx = (x - left) * step;
          if (sy < 0 || sy >= h || sx < 0 || sx >= w) continue;
          int sum[3] = {}, n = 0;
          for (int k = sx; k < sx + step && k < w; ++k, ++n) {
            const uint32_t p = src[sy * w + k];
            for (int c = 0; c < 3; ++c) sum[c] += int((p >> (8 * c)) & 255) * int(p >> 24) / 255;
          }
          want[y * outW + x] = rgba(sum[0] / n, sum[1] / n, sum[2] / n);
        }
      for (bool aspect : {false, true}) ASSERT_EQ(ColorReducer::Resize(src.data(), w, h, outW, false, aspect), want);
    }
  // Alternating black and white columns one pixel too wide stay black and white.
  std::vector<uint32_t> stripes(321 * 10);
  for (int i = 0; i < 321 * 10; ++i) stripes[i] = i % 321 % 2 ? rgba(255, 255, 255) : rgba(0, 0, 0);
  const auto out = ColorReducer::Resize(stripes.data(), 321, 10, 320, false, false);
  EXPECT_EQ(std::count(out.begin(), out.end(), rgba(255, 255, 255)), 160 * 10);
  EXPECT_EQ(std::count(out.begin(), out.end(), rgba(0, 0, 0)), 320 * 200 - 160 * 10);
}

// A colour beyond every palette entry leaves an error at each of its
// pixels; the error must not pile up and spill out of the area: a square of
// pure red or green on black leaves black everywhere two pixels away from
// it, with every kernel, in hires and multicolour.
TEST(ColorReducer, SaturatedAreasDoNotSpillIntoTheirSurroundings) {
  const std::vector<uint8_t> pal = presetBytes();
  const int x0 = 100, y0 = 60, side = 40;  // frame pixels
  for (uint32_t colour : {rgba(255, 0, 0), rgba(0, 255, 0)})
    for (int outW : {320, 160})
      for (int dither : {DitherMethod::FloydSteinberg, DitherMethod::Jarvis, DitherMethod::Stucki}) {
        SCOPED_TRACE(testing::Message() << std::hex << colour << std::dec << " width " << outW << " kernel " << dither);
        const int step = 320 / outW;
        std::vector<uint32_t> px(outW * 200, rgba(0, 0, 0));
        for (int y = y0; y < y0 + side; ++y)
          for (int x = x0 / step; x < (x0 + side) / step; ++x) px[y * outW + x] = colour;
        ColorReducer cr;
        cr.SetPalette(pal.data());
        cr.Reduce(px, outW, ImportColors::Color, dither, -1);
        int stray = 0;
        for (int y = 0; y < 200; ++y)
          for (int x = 0; x < outW; ++x) {
            const bool near = y >= y0 - 2 && y < y0 + side + 2 && x >= x0 / step - 2 && x < (x0 + side) / step + 2;
            stray += !near && cr.index[y * outW + x] != 0;
          }
        EXPECT_EQ(stray, 0);
      }
}

TEST(ColorReducer, GrayscaleTiesGoToTheEarlierCandidate) {
  // Greys of the candidates 0, 11, 12, 15, 1, the pixel's grey, the choice.
  const int cases[][7] = {{100, 100, 100, 100, 100, 50, 0}, {0, 60, 100, 140, 255, 30, 0}, {0, 60, 100, 140, 255, 80, 11},
                          {0, 60, 100, 140, 255, 120, 12}, {0, 60, 100, 140, 200, 170, 15}};
  for (const auto& c : cases) {
    std::vector<uint8_t> pal(48, 77);
    const int colour[] = {0, 11, 12, 15, 1};
    for (int k = 0; k < 5; ++k) std::fill_n(pal.begin() + colour[k] * 3, 3, (uint8_t)c[k]);
    ColorReducer cr;
    cr.SetPalette(pal.data());
    cr.Reduce(std::vector<uint32_t>(320 * 200, rgba(c[5], c[5], c[5])), 320, ImportColors::Grayscale, DitherMethod::None, -1);
    EXPECT_EQ(cr.index[12345], c[6]) << "pixel " << c[5];
  }
}

TEST(ColorReducer, CellLimitsDecideTheSecondPass) {
  // Multicolour cell (0,0) gets background plus three colours; a fifth
  // colour anywhere forces every pixel into its cell's colours.
  const std::vector<uint8_t> pal = presetBytes();
  std::vector<uint32_t> px(160 * 200, palRgba(pal, 6));
  px[0] = palRgba(pal, 2), px[1] = palRgba(pal, 3), px[2] = palRgba(pal, 4);
  ColorReducer cr;
  cr.SetPalette(pal.data());
  cr.width = 160;
  cr.quantize(px, DitherMethod::None, false);
  EXPECT_TRUE(cr.calcPalette(-1));
  EXPECT_EQ(cr.background, 6);
  px[160] = palRgba(pal, 5);
  cr.quantize(px, DitherMethod::None, false);
  EXPECT_FALSE(cr.calcPalette(-1));
  cr.Reduce(px, 160, ImportColors::Color, DitherMethod::None, -1);  // 2, 3, 4 win the tie over 5
  EXPECT_EQ(cr.index[0], 2);
  EXPECT_NE(cr.index[160], 5);
  EXPECT_TRUE(cr.calcPalette(6));
}

TEST(ColorReducer, StoreWritesTheBitmapTheDocumentShows) {
  const std::vector<uint8_t> pal = presetBytes();
  Rng rng(77);
  std::vector<uint32_t> px(320 * 200);
  for (int i = 0; i < 320 * 200; ++i) px[i] = rgba(i % 320 * 255 / 319, i / 320 * 255 / 199, rng.below(256));
  for (int width : {160, 320}) {
    SCOPED_TRACE(width);
    ColorReducer cr;
    cr.SetPalette(pal.data());
    cr.Reduce(width == 160 ? ColorReducer::Resize(px.data(), 320, 200, 160, true, false) : px, width,
              ImportColors::Color, DitherMethod::Stucki, -1);
    Machine m;
    m.bank = 1;
    for (int i = 0; i < kRamSize; ++i) m.ram[i] = (uint8_t)(i * 7 + 3);
    const Machine before = m;
    cr.Store(m);
    EXPECT_EQ(m.gfxMode(), width == 160 ? kModeMultiBitmap : kModeHires);
    PixelOperator ops(m);
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < width; ++x) ASSERT_EQ(ops.GetPixel(x, y), cr.index[y * width + x]) << x << "," << y;
    // Nothing but bitmap, video matrix and (multicolour) colour memory changes.
    const uint32_t bm = m.bitmapAddr(), vm = m.screenAddr();
    for (uint32_t a = 0; a < kRamSize; ++a)
      ASSERT_TRUE(a - bm < 8000 || a - vm < 1000 || (width == 160 && a - kColorRam < 1000u) || m.ram[a] == before.ram[a]) << a;
    for (int r = 0; r < kVicRegCount; ++r)
      EXPECT_TRUE(r == kRegCtrl1 || r == kRegCtrl2 || r == kRegMemPtr || r == kRegBg0 || m.vicRegs[r] == before.vicRegs[r]) << r;
    EXPECT_EQ(m.vicRegs[kRegBg0], width == 160 ? cr.background : before.vicRegs[kRegBg0]);
  }
  // Hires: a cell of one colour stores bit 0 only and the colour x 17.
  Machine m;
  ColorReducer cr;
  cr.SetPalette(pal.data());
  cr.Reduce(std::vector<uint32_t>(320 * 200, palRgba(pal, 9)), 320, ImportColors::Color, DitherMethod::None, -1);
  cr.Store(m);
  EXPECT_EQ(m.ram[m.screenAddr() + 17], 9 * 17);
  EXPECT_EQ(m.ram[m.bitmapAddr() + 17 * 8 + 3], 0);
}

// ImageMagick is the peer: its Floyd-Steinberg remap of a photograph to the
// same 16 colours leaves a mean squared error the free pass must come
// within a tenth of (both clamp each diffused value to 0-255 before the
// choice, so the saturated red of the rose stays where it is).
TEST(ColorReducer, FloydSteinbergErrorMatchesImageMagick) {
  if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick is not installed";
  const std::string dir = ::testing::TempDir();
  const std::string photo = dir + "tilvox_photo.ppm", palFile = dir + "tilvox_pal.ppm", remapped = dir + "tilvox_remap.ppm";
  // The built-in rose is a real photograph.
  ASSERT_EQ(std::system(("convert rose: -resize '320x200!' -depth 8 " + photo).c_str()), 0);
  const std::vector<uint8_t> pal = presetBytes();
  std::ofstream(palFile, std::ios::binary) << "P6\n16 1\n255\n" << std::string(pal.begin(), pal.end());
  ASSERT_EQ(std::system(("convert " + photo + " -dither FloydSteinberg -remap " + palFile + " -depth 8 " + remapped).c_str()), 0);
  auto readPpm = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::string head[4];
    f >> head[0] >> head[1] >> head[2] >> head[3];
    f.get();
    EXPECT_EQ(head[0] + head[1] + "x" + head[2], "P6320x200");
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
  };
  const std::vector<uint8_t> src = readPpm(photo), peer = readPpm(remapped);
  ASSERT_EQ(src.size(), 320u * 200 * 3);
  ASSERT_EQ(peer.size(), src.size());
  std::vector<uint32_t> px(320 * 200);
  for (int i = 0; i < 320 * 200; ++i) px[i] = rgba(src[i * 3], src[i * 3 + 1], src[i * 3 + 2]);

  ColorReducer cr;
  cr.SetPalette(pal.data());
  cr.width = 320;
  cr.colorMode = ImportColors::Color;
  cr.quantize(px, DitherMethod::FloydSteinberg, false);
  const std::vector<uint32_t> ours = cr.Preview();
  double oursErr = 0, peerErr = 0;
  for (int i = 0; i < 320 * 200 * 3; ++i) {
    const double d = double((ours[i / 3] >> (8 * (i % 3))) & 255) - src[i], e = double(peer[i]) - src[i];
    oursErr += d * d, peerErr += e * e;
  }
  EXPECT_GT(oursErr, peerErr * 0.90) << "ours " << oursErr << " ImageMagick " << peerErr;
  EXPECT_LT(oursErr, peerErr * 1.10) << "ours " << oursErr << " ImageMagick " << peerErr;
}

}  // namespace
