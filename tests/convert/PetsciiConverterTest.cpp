// PETSCII matching: a plain reference that scores every glyph pixel by
// pixel (no tables, no early stop; only the six-foreground limit) against
// the engine on random pictures, charsets, palettes and options; the
// background totals that need 64 bits; the preview; Store's register
// rewrites for the ROM sets.
#include "convert/PetsciiConverter.h"

#include "ConvertTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

namespace {

// ---- Reference, written out plainly from the rules ----

struct RefResult {
  std::vector<uint8_t> screen, color;
  int background = 0;
  bool wrappedDiffers = false;  // 32-bit totals would choose another background
};

int64_t dist(uint32_t p, const uint8_t* c) {
  int64_t r = (int)(p & 255) - c[0], g = (int)((p >> 8) & 255) - c[1], b = (int)((p >> 16) & 255) - c[2];
  return 3 * r * r + 4 * g * g + 2 * b * b;
}

RefResult refConvert(const std::vector<uint32_t>& px, const PetsciiOptions& o, const uint8_t (*cs)[8],
                     const uint8_t* pal) {
  const std::vector<int> cand = candidates(o.colors);
  std::vector<int> glyphs;
  for (int code = 0; code < 256; ++code) {
    if (code > 127 && !o.reversed) continue;
    if (o.noLetters && (code & 127) != 32 && !(code & 64)) continue;
    bool dup = false;
    for (int g : glyphs) dup = dup || std::equal(cs[g], cs[g] + 8, cs[code]);
    if (!dup) glyphs.push_back(code);
  }
  if (glyphs.empty()) glyphs.push_back(32);

  // Cells of equal content get equal results: group them.
  std::map<std::vector<uint32_t>, std::vector<int>> groups;
  for (int cell = 0; cell < 1000; ++cell) {
    std::vector<uint32_t> c;
    for (int p = 0; p < 64; ++p) c.push_back(px[cellPixel(cell, p)]);
    groups[c].push_back(cell);
  }

  RefResult R;
  R.background = o.background;
  if (std::find(cand.begin(), cand.end(), o.background) == cand.end()) {
    std::vector<uint64_t> total(cand.size());
    std::vector<uint32_t> wrapped(cand.size());
    for (size_t i = 0; i < cand.size(); ++i)
      for (const auto& [c, cells] : groups) {
        uint64_t least = UINT64_MAX;
        for (int f : cand) {
          uint64_t s = 0;
          for (uint32_t p : c) s += std::min(dist(p, pal + cand[i] * 3), dist(p, pal + f * 3));
          least = std::min(least, s);
        }
        total[i] += least * cells.size();
        wrapped[i] += (uint32_t)(least * cells.size());
      }
    R.background = cand[std::min_element(total.begin(), total.end()) - total.begin()];
    R.wrappedDiffers = cand[std::min_element(wrapped.begin(), wrapped.end()) - wrapped.begin()] != R.background;
  }
  const int bg = R.background;
  const int w = o.detail < 0 ? 0 : o.detail > 1 ? 256 : (int)(o.detail * 256 + 0.5);
  std::vector<int> fgs;
  for (int c : cand)
    if (c != bg) fgs.push_back(c);
  if (fgs.empty()) fgs.push_back(bg);

  R.screen.resize(1000);
  R.color.resize(1000);
  for (const auto& [c, cells] : groups) {
    std::vector<std::pair<int64_t, int>> order;
    for (int f : fgs) {
      int64_t lb = 0;
      for (uint32_t p : c) lb += std::min(dist(p, pal + f * 3), dist(p, pal + bg * 3));
      order.push_back({lb, f});
    }
    std::sort(order.begin(), order.end());
    int64_t best = INT64_MAX;
    int code = glyphs[0], fg = order[0].second;
    for (size_t k = 0; k < order.size() && k < 6; ++k) {
      const int f = order[k].second;
      for (int g : glyphs) {
        int64_t pix = 0, tone = 0;
        for (int p = 0; p < 64; ++p) pix += dist(c[p], pal + ((cs[g][p / 8] >> (7 - p % 8)) & 1 ? f : bg) * 3);
        for (int by = 0; by < 8; by += 2)
          for (int bx = 0; bx < 8; bx += 2) {
            int64_t n = 0, sum[3] = {};
            for (int y = by; y < by + 2; ++y)
              for (int x = bx; x < bx + 2; ++x) {
                n += (cs[g][y] >> (7 - x)) & 1;
                for (int ch = 0; ch < 3; ++ch) sum[ch] += (c[y * 8 + x] >> (8 * ch)) & 255;
              }
            int64_t d[3];
            for (int ch = 0; ch < 3; ++ch) d[ch] = sum[ch] - ((4 - n) * pal[bg * 3 + ch] + n * pal[f * 3 + ch]);
            tone += (3 * d[0] * d[0] + 4 * d[1] * d[1] + 2 * d[2] * d[2]) >> 2;
          }
        const int64_t score = tone * (256 - w) + pix * w;
        if (score < best) best = score, code = g, fg = f;
      }
    }
    for (int cell : cells) R.screen[cell] = (uint8_t)code, R.color[cell] = (uint8_t)fg;
  }
  return R;
}

// A picture of a few distinct cells spread over the screen: saturated,
// palette-exact or noisy content.
std::vector<uint32_t> tiledPicture(Rng& rng, const std::vector<uint8_t>& pal) {
  const int kinds = 1 + rng.below(5);
  std::vector<std::vector<uint32_t>> cells(kinds, std::vector<uint32_t>(64));
  for (auto& c : cells) {
    const int style = rng.below(3);
    for (uint32_t& p : c) {
      const int k = rng.below(16);
      p = style == 0 ? palRgba(pal, k)
        : style == 1 ? rgba(rng.below(2) * 255, rng.below(2) * 255, rng.below(2) * 255)
                     : rng.next() | 0xFF000000u;
    }
  }
  std::vector<uint32_t> px(320 * 200);
  for (int cell = 0; cell < 1000; ++cell) {
    const auto& c = cells[rng.below(kinds)];
    for (int p = 0; p < 64; ++p) px[cellPixel(cell, p)] = c[p];
  }
  return px;
}

Machine romMachine() {
  Machine m;
  EXPECT_TRUE(m.loadAssets(TILVOX_TEST_ASSET_DIR));
  m.reset();
  return m;
}

// ---- Tests ----

TEST(PetsciiConverter, MatchesPlainReferenceOnRandomPictures) {
  Rng rng(99);
  const Machine rom = romMachine();
  const float details[] = {0.0f, 0.5f, 1.0f, -0.5f, 3.0f, 0.3f, 0.77f};
  for (int round = 0; round < 120; ++round) {
    SCOPED_TRACE(round);
    const std::vector<uint8_t> pal = rng.below(3) ? randomPaletteBytes(rng) : presetBytes(rng.below(10));
    PetsciiConverter pc;
    pc.SetPalette(pal.data());
    if (round % 25 == 0) {
      pc.SetCharset(rom, rng.below(2));
    } else {  // a small pool of random glyphs, so most codes repeat one
      std::vector<uint8_t> cs(2048), pool(8 * (1 + rng.below(30)));
      for (uint8_t& b : pool) b = (uint8_t)rng.next();
      for (int i = 0; i < 2048; i += 8) std::copy_n(pool.begin() + 8 * rng.below((int)pool.size() / 8), 8, cs.begin() + i);
      pc.SetCharset(cs.data());
    }
    PetsciiOptions o;
    o.colors = rng.below(4);
    o.background = rng.below(3) ? -1 : rng.below(16);
    o.detail = details[rng.below(7)];
    o.reversed = rng.below(2);
    o.noLetters = rng.below(3) == 0;
    const std::vector<uint32_t> px = tiledPicture(rng, pal);
    pc.Convert(px, o);
    const RefResult R = refConvert(px, o, pc.charset, pal.data());
    ASSERT_EQ(pc.background, R.background);
    ASSERT_EQ(std::vector<uint8_t>(pc.screen, pc.screen + 1000), R.screen);
    ASSERT_EQ(std::vector<uint8_t>(pc.colorRam, pc.colorRam + 1000), R.color);
  }
}

// Saturated pictures against the greys push the background totals past 32
// bits, where wrapped sums pick another background.
TEST(PetsciiConverter, BackgroundTotalsUseSixtyFourBits) {
  const std::vector<uint8_t> pal = presetBytes();
  const Machine rom = romMachine();
  PetsciiOptions o;
  o.colors = ImportColors::Grayscale;
  o.reversed = false;
  int found = 0;
  for (uint32_t seed = 1; seed < 400 && found < 3; ++seed) {
    Rng rng(seed);
    std::vector<uint32_t> px = tiledPicture(rng, pal);
    PetsciiConverter pc;
    pc.SetPalette(pal.data());
    pc.SetCharset(rom, PetsciiCharset::RomUpper);
    const RefResult R = refConvert(px, o, pc.charset, pal.data());
    if (!R.wrappedDiffers) continue;
    ++found;
    pc.Convert(px, o);
    EXPECT_EQ(pc.background, R.background) << "seed " << seed;
  }
  EXPECT_EQ(found, 3);
}

// Glyph lists, letters left out and fixed backgrounds outside the colour set
// are the reference's; here the tie of all-zero totals and the preview.
TEST(PetsciiConverter, EqualTotalsAndPreview) {
  const std::vector<uint8_t> pal = presetBytes();
  PetsciiConverter pc;
  pc.SetPalette(pal.data());
  pc.SetCharset(romMachine(), PetsciiCharset::RomUpper);
  // One palette colour everywhere: every total is 0, the first candidate wins.
  pc.Convert(std::vector<uint32_t>(320 * 200, palRgba(pal, 7)), PetsciiOptions{});
  EXPECT_EQ(pc.background, 0);
  // The preview draws the chosen glyphs in the chosen colours.
  Rng rng(3);
  std::vector<uint32_t> noise(320 * 200);
  for (uint32_t& p : noise) p = rng.next() | 0xFF000000u;
  pc.Convert(noise, PetsciiOptions{});
  const std::vector<uint32_t> view = pc.Preview();
  for (int cell : {0, 517, 999})
    for (int p = 0; p < 64; ++p)
      ASSERT_EQ(view[cellPixel(cell, p)],
                palRgba(pal, (pc.charset[pc.screen[cell]][p / 8] >> (7 - p % 8)) & 1 ? pc.colorRam[cell] : pc.background));
}

TEST(PetsciiConverter, StoreShowsTheCharsetItMatchedWith) {
  struct Case {
    int bank, d018, which;
    int bankAfter, d018After;
    uint32_t matrix;
  } cases[] = {
      {3, 0x18, PetsciiCharset::RomUpper, 2, 0x14, 0x8400},
      {3, 0x58, PetsciiCharset::RomUpper, 2, 0x14, 0x8400},
      {1, 0x35, PetsciiCharset::RomLower, 0, 0x37, 0x0C00},
      {0, 0x7A, 9, 0, 0x14, 0x0400},  // unknown values mean the upper-case ROM
      {1, 0x35, PetsciiCharset::Current, 1, 0x35, 0x4C00},
  };
  PetsciiConverter pc;
  for (int i = 0; i < 1000; ++i) pc.screen[i] = (uint8_t)(i * 3), pc.colorRam[i] = (uint8_t)(i % 16);
  pc.background = 11;
  for (const Case& c : cases) {
    Machine m;
    m.reset();
    m.setGfxMode(kModeMultiBitmap);
    m.bank = (uint16_t)c.bank;
    m.vicRegs[kRegMemPtr] = (uint8_t)c.d018;
    pc.Store(m, c.which);
    EXPECT_EQ(std::tuple(m.gfxMode(), (int)m.bank, (int)m.vicRegs[kRegMemPtr], m.screenAddr()),
              std::tuple(int(kModeText), c.bankAfter, c.d018After, c.matrix)) << std::hex << c.d018;
    EXPECT_TRUE(std::equal(pc.screen, pc.screen + 1000, m.ram.begin() + c.matrix));
    EXPECT_TRUE(std::equal(pc.colorRam, pc.colorRam + 1000, m.ram.begin() + kColorRam));
    EXPECT_EQ(m.vicRegs[kRegBg0], 11);
  }
}

}  // namespace
