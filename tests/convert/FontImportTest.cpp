// Font import: glyph shapes of the Liberation fonts by their properties,
// the rasteriser against stb_truetype's own rendering of the same glyphs,
// the bounded loading against FreeType's unbounded one on real fonts and
// on fonts made to reach or pass each budget, glyph programs that never
// run, the character groups, the session (Cancel restores, a charset
// changed underneath is never overwritten, edits elsewhere keep it) and
// damaged font files.
#include "convert/FontImport.h"
#include "core/UndoBuffer.h"
#include "tests/TestFonts.h"

#include <stb_truetype.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <utility>

namespace {

namespace tf = testfonts;
using Glyph = std::array<uint8_t, 8>;

const std::string kSans = std::string(TILVOX_TEST_ASSET_DIR) + "/fonts/LiberationSans-Regular.ttf";
const std::string kMono = std::string(TILVOX_TEST_ASSET_DIR) + "/fonts/LiberationMono-Regular.ttf";

std::vector<uint8_t> readFont(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void loadPath(ImportFontState& s, const std::string& path) { loadFont(s, path, readFont(path)); }

Glyph render(ImportFontState& s, int codepoint, GlyphWork* work = nullptr) {
  Glyph g{};
  renderGlyph(s, g.data(), codepoint, work);
  return g;
}

int pixels(const Glyph& g) {
  int n = 0;
  for (uint8_t row : g) n += __builtin_popcount(row);
  return n;
}

// The glyph rendered the way the import describes it, with stb_truetype's
// own rasteriser: the whole coverage bitmap, then placed into the cell.
Glyph stbReference(const std::vector<uint8_t>& font, int size, int threshold, int codepoint) {
  stbtt_fontinfo info;
  EXPECT_TRUE(stbtt_InitFont(&info, font.data(), stbtt_GetFontOffsetForIndex(font.data(), 0)));
  int ascent = 0, descent = 0, gap = 0;
  stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
  const float scale = stbtt_ScaleForPixelHeight(&info, static_cast<float>(size));
  const int glyph = stbtt_FindGlyphIndex(&info, codepoint);
  int w = 0, h = 0, bx = 0, by = 0, advance = 0, lsb = 0;
  unsigned char* bitmap = stbtt_GetGlyphBitmap(&info, scale, scale, glyph, &w, &h, &bx, &by);
  stbtt_GetGlyphHMetrics(&info, glyph, &advance, &lsb);
  const int x0 = (8 - static_cast<int>(advance * scale + 0.5f)) / 2;
  const int baseline = std::min(static_cast<int>(ascent * scale + 0.5f), 7);
  Glyph g{};
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col) {
      const int x = x0 + bx + col, y = baseline + by + row;
      if (bitmap[row * w + col] >= threshold && x >= 0 && x < 8 && y >= 0 && y < 8) g[y] |= 0x80 >> x;
    }
  stbtt_FreeBitmap(bitmap, nullptr);
  return g;
}

// The glyph as FreeType loads and rasterises it with no budget at all, the
// way the import rendered before it counted: the independent reference for
// the bounded path on fonts within the budgets.
Glyph plainRender(ImportFontState& s, int codepoint) {
  Glyph g{};
  FT_Face face = static_cast<FT_Face>(s.fontInfo.face);
  const double scale = s.size / static_cast<double>(s.fontInfo.ascender - s.fontInfo.descender);
  if (FT_Load_Glyph(face, FT_Get_Char_Index(face, static_cast<FT_ULong>(codepoint)), FT_LOAD_NO_SCALE) != 0) return g;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_points == 0) return g;
  const int x0 = (8 - static_cast<int>(slot->metrics.horiAdvance * scale + 0.5)) / 2;
  const int baseline = std::min(static_cast<int>(s.fontInfo.ascender * scale + 0.5), 7);
  const FT_Fixed fixed = static_cast<FT_Fixed>(std::lround(scale * 64.0 * 65536.0));
  FT_Matrix matrix{fixed, 0, 0, fixed};
  FT_Outline_Transform(&slot->outline, &matrix);
  FT_Outline_Translate(&slot->outline, (x0 + s.xOffset) * 64, (8 - baseline - s.yOffset) * 64);
  unsigned char coverage[64] = {};
  FT_Bitmap bitmap{8, 8, 8, coverage, 256, FT_PIXEL_MODE_GRAY, 0, nullptr};  // top row first
  if (FT_Outline_Get_Bitmap(slot->library, &slot->outline, &bitmap) != 0) return g;
  for (int i = 0; i < 64; ++i)
    if (coverage[i] >= s.threshold) g[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
  return g;
}

}  // namespace

// Most shapes are checked against stb_truetype below; here what that
// comparison's tolerance could let through.
TEST(FontImport, GlyphShapes) {
  ImportFontState s, mono;
  loadPath(s, kSans);
  ASSERT_TRUE(s.valid);
  s.size = 12;
  const auto inked = [](uint8_t r) { return r != 0; };
  const Glyph bar = render(s, 'I');  // one vertical stroke
  const int rows = static_cast<int>(std::count_if(bar.begin(), bar.end(), inked));
  EXPECT_EQ(__builtin_popcount(std::accumulate(bar.begin(), bar.end(), 0, std::bit_or<>())), 1);
  EXPECT_GE(rows, 5);
  EXPECT_EQ(pixels(bar), rows);
  EXPECT_EQ(pixels(render(s, ' ')), 0);
  // A code point the font lacks shows the missing-glyph shape (a box in
  // these fonts), not nothing.
  s.size = 16;
  EXPECT_GE(pixels(render(s, 0xE123)), 6);
  // Liberation Mono's "I" has serifs: wider at the top than in the middle.
  loadPath(mono, kMono);
  mono.size = 10;
  const Glyph mi = render(mono, 'I');
  const int top = static_cast<int>(std::find_if(mi.begin(), mi.end(), inked) - mi.begin());
  const int bottom = 7 - static_cast<int>(std::find_if(mi.rbegin(), mi.rend(), inked) - mi.rbegin());
  EXPECT_GE(__builtin_popcount(mi[top]), 3);
  EXPECT_EQ(__builtin_popcount(mi[(top + bottom) / 2]), 1);
}

// FreeType and stb_truetype rasterise independently; at the cell's
// threshold they may disagree only on pixels whose coverage lies right at
// the threshold.
TEST(FontImport, MatchesStbTruetype) {
  for (const std::string& path : {kSans, kMono}) {
    const std::vector<uint8_t> font = readFont(path);
    ImportFontState s;
    loadFont(s, path, font);
    ASSERT_TRUE(s.valid);
    for (int size : {6, 8, 11, 16}) {
      s.size = size;
      int set = 0, differ = 0;
      for (int cp = 33; cp < 127; ++cp) {
        const Glyph mine = render(s, cp), ref = stbReference(font, s.size, s.threshold, cp);
        for (int y = 0; y < 8; ++y) set += __builtin_popcount(ref[y]), differ += __builtin_popcount(mine[y] ^ ref[y]);
      }
      EXPECT_GT(set, 250);
      EXPECT_LE(differ * 20, set) << path << " size " << s.size << ": " << differ << " of " << set;
    }
  }
}

TEST(FontImport, OffsetsAndThreshold) {
  ImportFontState s;
  loadPath(s, kSans);
  s.size = 8;
  // The glyph with one setting changed from the defaults.
  auto with = [&s](int ImportFontState::*setting, int value, int cp) {
    const int old = std::exchange(s.*setting, value);
    const Glyph g = render(s, cp);
    s.*setting = old;
    return g;
  };
  for (int cp : {'I', '-', 'o', 'T'}) {
    const Glyph base = render(s, cp), right = with(&ImportFontState::xOffset, 4, cp),
                down = with(&ImportFontState::yOffset, 2, cp), full = with(&ImportFontState::threshold, 255, cp),
                any = with(&ImportFontState::threshold, 1, cp);
    for (int y = 0; y < 8; ++y) {
      EXPECT_EQ(right[y], base[y] >> 4) << char(cp);  // the right half leaves the cell
      EXPECT_EQ(down[y], y >= 2 ? base[y - 2] : 0) << char(cp);
      EXPECT_EQ(full[y] & ~base[y], 0);  // fully covered pixels are a subset
      EXPECT_EQ(base[y] & ~any[y], 0);
    }
  }
}

TEST(FontImport, CharacterGroups) {
  struct Case {
    bool capitals, small, numbers, symbols;
    std::vector<std::pair<int, int>> expectSome;
    size_t count;
  } cases[] = {
      {true, false, false, false, {{1, 'A'}, {26, 'Z'}}, 26},
      {true, true, false, false, {{65, 'A'}, {90, 'Z'}, {1, 'a'}, {26, 'z'}}, 52},
      {false, false, true, false, {{48, '0'}, {57, '9'}}, 10},
      {false, false, false, true, {{0, '@'}, {28, 0xA3}, {30, 0x2191}, {31, 0x2190}, {32, ' '}, {33, '!'}, {63, '?'}}, 28},
  };
  for (const Case& c : cases) {
    ImportFontState s;
    s.capitals = c.capitals, s.small = c.small, s.numbers = c.numbers, s.symbols = c.symbols;
    const auto glyphs = importGlyphs(s);
    EXPECT_EQ(glyphs.size(), c.count);
    for (const auto& p : c.expectSome) EXPECT_NE(std::find(glyphs.begin(), glyphs.end(), p), glyphs.end()) << p.first;
  }
  const auto glyphs = importGlyphs(ImportFontState{});
  EXPECT_EQ(glyphs.front(), std::make_pair(65, int('A')));       // capitals first
  EXPECT_EQ(glyphs[7 + 52 + 10], std::make_pair(33, int('!')));  // after the symbol table
}

// An import session over a charset in RAM, as the window starts it, in two
// banks. OK keeps what was rendered and Cancel restores the charset. But
// whatever replaces, moves or changes the charset while the window is open,
// Cancel must not write the old charset into it; edits elsewhere in the
// document keep the session, and Cancel then restores the charset alone.
TEST(FontImport, CancelRestoresOnlyTheSessionsOwnCharset) {
  struct Doc {
    Machine m;
    UndoBuffer undo{m};
    int generation = 7, at = 0, screen = 0;
  };
  struct Case {
    const char* what;
    void (*change)(Doc&);
    bool keeps, cancel = true;
  } cases[] = {
      {"cancel", [](Doc&) {}, true},
      {"ok", [](Doc&) {}, true, false},
      {"undo", [](Doc& d) { d.undo.MakeUndo(); }, false},
      {"new", [](Doc& d) { d.m.reset(), d.undo.Clear(), ++d.generation; }, false},
      {"load", [](Doc& d) { d.undo.Clear(), ++d.generation; }, false},  // even with the same bytes
      {"bank", [](Doc& d) { d.m.bank = 3; }, false},
      {"slot", [](Doc& d) { d.undo.TakeUndo(UndoKind::Registers, "charset change"), d.m.vicRegs[kRegMemPtr] = 0x1C; }, false},
      {"edit", [](Doc& d) { d.undo.TakeUndoRange(d.at, 8, "edit character"), d.m.ram[d.at] ^= 0x55; }, false},
      {"last byte", [](Doc& d) { d.undo.TakeUndo(UndoKind::All, "fill"), d.m.ram[d.at + kCharsetSize - 1] ^= 1; }, false},
      {"redo over it", [](Doc& d) {
         d.undo.TakeUndoRange(d.at, kCharsetSize, "clear"), std::fill_n(d.m.ram.begin() + d.at, kCharsetSize, 0);
         d.undo.MakeUndo(), d.undo.MakeRedo();
       }, false},
      {"screen", [](Doc& d) { d.undo.TakeScreenUndo("drawing"), d.m.ram[d.screen] ^= 1; }, true},
      {"screen undone", [](Doc& d) {
         d.undo.TakeScreenUndo("drawing"), d.m.ram[d.screen] ^= 1, d.undo.MakeUndo(), d.undo.MakeRedo(), d.undo.MakeUndo();
       }, true},
      {"byte before", [](Doc& d) { d.undo.TakeUndoRange(d.at - 1, 1, "poke"), d.m.ram[d.at - 1] ^= 1; }, true},
      {"byte after", [](Doc& d) { d.undo.TakeUndoRange(d.at + kCharsetSize, 1, "poke"), d.m.ram[d.at + kCharsetSize] ^= 1; }, true},
  };
  // $D018 $1A: video matrix at $0400, charset at $2800 of the bank; random
  // RAM in bank 2, empty in bank 1.
  for (const auto& [bank, at, screen, noise] : {std::tuple{2, 0xA800, 0x8400, true}, {1, 0x6800, 0x4400, false}})
    for (const Case& c : cases) {
      Doc d;
      d.m.bank = static_cast<uint16_t>(bank), d.at = at, d.screen = screen;
      d.m.vicRegs[kRegMemPtr] = 0x1A;
      std::mt19937 rng(5);
      if (noise) std::generate(d.m.ram.begin(), d.m.ram.end(), [&rng] { return static_cast<uint8_t>(rng()); });
      const auto before = d.m.ram;
      ImportFontState s;
      loadPath(s, kSans);
      d.undo.TakeUndoRange(at, kCharsetSize, "import charset");
      ASSERT_EQ(beginImport(d.m, s, d.generation), "");
      for (int size : {6, 9, 12, 8}) s.size = size, doImport(d.m, s);
      EXPECT_NE(d.m.ram, before);
      EXPECT_TRUE(std::equal(d.m.ram.begin() + at + 128 * 8, d.m.ram.begin() + at + kCharsetSize,
                             before.begin() + at + 128 * 8));  // codes outside the groups kept
      EXPECT_TRUE(sessionCurrent(d.m, d.generation, s));
      c.change(d);
      auto after = d.m.ram;
      EXPECT_EQ(sessionCurrent(d.m, d.generation, s), c.keeps) << c.what;
      EXPECT_EQ(finishImport(d.m, d.generation, s, c.cancel), c.keeps && c.cancel) << c.what;
      EXPECT_FALSE(s.active);
      if (c.keeps && c.cancel) std::copy_n(before.begin() + at, kCharsetSize, after.begin() + at);
      EXPECT_EQ(d.m.ram, after) << c.what;
    }
  Machine rom;
  rom.vicRegs[kRegMemPtr] = 0x14;  // bank 0, slot 2: the ROM
  ImportFontState s;
  EXPECT_EQ(beginImport(rom, s, 0), "I'm sorry, i cannot import to ROM. Please select a RAM bank.");
  EXPECT_FALSE(s.active);
}

// Files that are no font, cut short or scrambled: never a crash; the ones
// that do not parse are "not a font!" in the window and render nothing. A
// WOFF web font declares the size it unpacks to, and FreeType unpacks it
// whole on opening: it is refused before FreeType sees it, though FreeType
// would open it. The same font unpacked imports.
TEST(FontImport, DamagedAndWebFontsAreRefused) {
  const std::vector<uint8_t> font = readFont(kSans), square = tf::trueTypeFont({tf::squareGlyph()}, {});
  // WOFF 1 around the square's tables, stored uncompressed: a longer header
  // and directory before the same table data.
  const uint32_t n = square[4] << 8 | square[5], shift = (44 + 20 * n) - (12 + 16 * n);
  auto word = [&square](size_t at) {
    return uint32_t{square[at]} << 24 | square[at + 1] << 16 | square[at + 2] << 8 | square[at + 3];
  };
  tf::Bytes woff;
  tf::put32(woff, 0x774F4646, 0x10000, square.size() + shift), tf::put16(woff, n, 0), tf::put32(woff, square.size());
  tf::put(woff, 0, 24);
  for (size_t e = 12; e < 12 + 16 * n; e += 16) {
    woff.insert(woff.end(), square.begin() + e, square.begin() + e + 4);
    tf::put32(woff, word(e + 8) + shift, word(e + 12), word(e + 12), 0);
  }
  woff.insert(woff.end(), square.begin() + 12 + 16 * n, square.end());
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&lib), 0);
  EXPECT_EQ(FT_New_Memory_Face(lib, woff.data(), static_cast<FT_Long>(woff.size()), 0, &face), 0);
  FT_Done_FreeType(lib);  // closes the face too

  enum { kRefused, kOpens, kEither };
  std::vector<std::pair<tf::Bytes, int>> files = {
      {{}, kRefused}, {{'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'n', 't'}, kRefused}, {{0, 1, 0, 0}, kRefused},
      {{'O', 'T', 'T', 'O', 0, 9}, kRefused}, {{'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, 1}, kRefused},
      {woff, kRefused}, {square, kOpens}};
  for (size_t cut : {12u, 100u, 1000u, 5000u, 50000u})
    files.emplace_back(tf::Bytes(font.begin(), font.begin() + cut), cut == 12 ? kRefused : kEither);
  std::mt19937 rng(11);
  for (int i = 0; i < 60; ++i) {
    tf::Bytes f(font.begin(), font.begin() + std::min<size_t>(font.size(), 4096 + rng() % font.size()));
    for (int k = 0; k < 40; ++k) f[rng() % (k < 20 ? std::min<size_t>(f.size(), 2048) : f.size())] = static_cast<uint8_t>(rng());
    files.emplace_back(std::move(f), kEither);
  }
  Machine m;
  m.bank = 1;
  for (size_t i = 0; i < files.size(); ++i) {
    ImportFontState s;
    beginImport(m, s, 0);
    loadFont(s, "damaged.ttf", files[i].first);
    if (files[i].second != kEither) { EXPECT_EQ(s.valid, files[i].second == kOpens) << i; }
    if (s.valid) doImport(m, s);
    else EXPECT_EQ(render(s, 'A'), Glyph{});
  }
}

// Real fonts, TrueType and CFF, render exactly as FreeType renders them
// unbounded, at every size, and stay far below every budget.
TEST(FontImport, RealFontsRenderAsUnbounded) {
  for (const char* dir : {"/usr/share/fonts/truetype/liberation", "/usr/share/fonts/opentype/freefont",
                          "/usr/share/fonts/opentype/cantarell"}) {
    std::vector<std::string> paths;
    for (const auto& e : std::filesystem::directory_iterator(dir)) paths.push_back(e.path().string());
    std::sort(paths.begin(), paths.end());
    EXPECT_GE(paths.size(), 5u) << dir;
    for (const std::string& path : paths) {
      ImportFontState s;
      loadPath(s, path);
      ASSERT_TRUE(s.valid) << path;
      GlyphWork most;
      int blank = 0, inked = 0, differ = 0;
      for (s.size = kFontSizeMin; s.size <= kFontSizeMax; ++s.size)
        for (const auto& [code, point] : importGlyphs(s)) {
          GlyphWork w;
          const Glyph mine = render(s, point, &w);
          differ += mine != plainRender(s, point), blank += w.blank, inked += mine != Glyph{};
          most.parts = std::max(most.parts, w.parts), most.charstring = std::max(most.charstring, w.charstring);
          most.raster = std::max(most.raster, w.raster);
        }
      EXPECT_EQ(differ, 0) << path;
      EXPECT_EQ(blank, 0) << path;
      EXPECT_GT(inked, 20) << path;  // the thin weights leave little at threshold 110
      EXPECT_LE(most.parts, 4) << path;
      EXPECT_LE(most.charstring * 8, kCharstringBudget) << path;
      EXPECT_LE(most.raster * 8, kRasterBudget) << path;
    }
  }
}

// Fonts made to reach or pass each budget. Glyphs within the budgets render
// as FreeType renders them unbounded; deeper or larger composites, glyphs
// that contain themselves, outlines far outside the cell, subroutines
// calling subroutines a thousand times each, computed subroutine numbers
// and seac render blank, after counting no more than the budget.
TEST(FontImport, MadeGlyphsRenderAsUnboundedWithinBudgetsElseBlank) {
  using tf::cs;
  const tf::Bytes square = tf::squarePath(), end = cs({}, 14), ret = cs({}, 11);
  const tf::Bytes stems = cs({0, 20, 500, 20, 100, 20}, 18);  // three horizontal stems: one mask byte
  const std::vector<tf::Bytes> bomb = {tf::join({tf::calls(1, 1000), ret}), tf::join({tf::calls(2, 1000), ret}), ret};
  // With no code points mapped, every code point shows glyph 0.
  auto composite = [](int levels, int fanout) { return tf::trueTypeFont(tf::nested(levels, fanout), {}); };
  auto charstring = [&end](const tf::Bytes& glyph, const std::vector<tf::Bytes>& locals = {},
                           const std::vector<tf::Bytes>& globals = {}) {
    return tf::cffFont({end, glyph}, {locals}, globals, {{'A', 1}});
  };
  tf::Glyph self, zigzag;
  self.parts = {0, 0};
  // One part more than the budget, found only after the first part's own
  // parts: the count stops at the budget, the last part is never loaded.
  std::vector<tf::Glyph> wide(3);
  wide[0].parts = {1, 2};
  wide[1].parts.assign(kGlyphPartBudget - 2, 2);
  wide[2] = tf::squareGlyph();
  // The rasteriser walks an outline far outside the cell cell by cell: a
  // font whose ascender is one unit scales its glyphs up by the pixel size,
  // and a zigzag of thousands of points across the cell's rows would take
  // it seconds.
  zigzag.contours.resize(1);
  for (int i = 0; i < 2000; ++i) zigzag.contours[0].push_back({(i % 2) ? 30000 : -30000, (i % 4) < 2 ? -20000 : 20000});
  // CID-keyed: each glyph runs with the local subroutines of the font
  // dictionary FDSelect gives it. The square is in dictionary 1's
  // subroutine 0, the bomb in dictionary 0's: a walk that took the wrong
  // dictionary would pass the bomb or stop the square.
  const tf::Bytes callFirst = tf::join({tf::calls(0, 1), end});
  const tf::Bytes cid = tf::cffFont({end, callFirst, callFirst}, {bomb, {tf::join({square, ret})}}, {},
                                    {{'A', 1}, {'B', 2}}, {0, 1, 0});
  struct Case {
    std::string what;
    tf::Bytes font;
    bool blank;
    int codepoint = 0;  // 0: every code point of the import
  } cases[] = {
      {"4x50", composite(4, 50), true},  // 6.25 million loads for FreeType
      {"2x3", composite(2, 3), false},
      {"deepest", composite(kGlyphDepthBudget, 1), false},
      {"too deep", composite(kGlyphDepthBudget + 1, 1), true},
      {"most parts", composite(1, kGlyphPartBudget - 1), false},
      {"too many parts", composite(1, kGlyphPartBudget), true},
      {"3x7", composite(3, 7), true},  // 1 + 7 + 49 + 343 parts
      {"cycle", tf::trueTypeFont({self}, {}), true},
      {"wide", tf::trueTypeFont(wide, {}), true},
      {"far, ascender 1", tf::trueTypeFont({zigzag}, {}, 1, 0), true},
      {"far, ascender 800", tf::trueTypeFont({zigzag}, {}, 800, 0), true},
      // Charstrings drawn directly, through local and global subroutines,
      // with hint masks whose bytes read like operators (a walk that missed
      // their length would stop on them) and a hint mask FreeType skips
      // without its bytes.
      {"direct", charstring(tf::join({square, end})), false, 'A'},
      {"local", charstring(tf::join({cs({-107}, 10), end}), {tf::join({square, ret})}), false, 'A'},
      {"global", charstring(tf::join({cs({-106}, 29), end}), {}, {{}, tf::join({square, ret})}), false, 'A'},
      {"hintmask", charstring(tf::join({stems, cs({}, 19), {0x0B}, square, cs({}, 19), {0xE0}, end})), false, 'A'},
      {"skipped mask", charstring(tf::join({stems, cs({100, 0}, 21), cs({1, 2}, 19), cs({-107}, 10), end}),
                                  {tf::join({cs({400}, 6), cs({600}, 7), ret})}), false, 'A'},
      {"counter mask", charstring(tf::join({stems, cs({}, 20), {0x0A}, square, end})), false, 'A'},
      {"bomb", charstring(tf::join({square, tf::calls(0, 1000), end}), bomb), true, 'A'},
      {"computed", charstring(tf::join({cs({-108, 1}, 1210), cs({}, 10), square, end}), {ret}), true, 'A'},
      {"seac", charstring(cs({0, 0, 65, 65}, 14)), true, 'A'},
      {"return at top", charstring(tf::join({square, ret, end})), true, 'A'},
      {"CID glyph of the square's dictionary", cid, false, 'A'},
      {"CID glyph of the bomb's dictionary", cid, true, 'B'},
  };
  std::map<std::string, GlyphWork> work;  // of the last glyph at the largest size
  for (const Case& c : cases) {
    ImportFontState s;
    loadFont(s, "made", c.font);
    ASSERT_TRUE(s.valid) << c.what;
    for (s.size = kFontSizeMin; s.size <= kFontSizeMax; s.size += kFontSizeMax - kFontSizeMin)
      for (const auto& [code, point] : importGlyphs(s)) {
        if (c.codepoint && point != c.codepoint) continue;
        GlyphWork& w = work[c.what];
        const Glyph g = render(s, point, &w);
        EXPECT_EQ(w.blank, c.blank) << c.what;
        EXPECT_EQ(g == Glyph{}, c.blank) << c.what;
        if (!c.blank) { EXPECT_EQ(g, plainRender(s, point)) << c.what; }
        EXPECT_LE(w.parts, kGlyphPartBudget) << c.what;
        EXPECT_LE(w.depth, kGlyphDepthBudget + 1) << c.what;
        EXPECT_LE(w.charstring, kCharstringBudget) << c.what;
      }
  }
  EXPECT_EQ(work["cycle"].depth, kGlyphDepthBudget + 1);
  EXPECT_EQ(work["wide"].parts, kGlyphPartBudget);
  EXPECT_GT(work["far, ascender 1"].raster, kRasterBudget);
  EXPECT_GT(work["far, ascender 800"].raster, kRasterBudget);
}

// FreeType hints a font with a tricky family name even when loading it
// unscaled, and runs its programs: here a glyph program that moves the
// outline (also in the part of a composite, which the import loads a
// second time, whole), and a prep that never ends (FreeType stops it, then
// refuses the glyph). The import runs no program of any font: the tricky
// font renders as the same font under a plain name, which FreeType loads
// unhinted.
TEST(FontImport, GlyphProgramsNeverRun) {
  const std::tuple<tf::Bytes, tf::Bytes, bool> programs[] = {
      {tf::shiftRight(4, 400), {}, false}, {{}, tf::forever({}), false}, {tf::shiftRight(4, 400), {}, true}};
  for (const auto& [program, prep, composite] : programs) {
    ImportFontState tricky, plain;
    loadFont(tricky, "tricky", tf::hintedFont(tf::kTrickyFamily, 4, program, prep, composite));
    loadFont(plain, "plain", tf::hintedFont("Plain", 4, program, prep, composite));
    ASSERT_TRUE(tricky.valid && plain.valid);
    GlyphWork work;
    render(tricky, 'A', &work);
    EXPECT_EQ(work.parts, composite ? 2 : 1);
    int hinted = 0;  // sizes at which FreeType's own unscaled load of the tricky font differs
    for (tricky.size = plain.size = kFontSizeMin; tricky.size <= kFontSizeMax; ++tricky.size, ++plain.size) {
      const Glyph mine = render(tricky, 'A');
      EXPECT_NE(mine, Glyph{}) << tricky.size << composite;
      EXPECT_EQ(mine, render(plain, 'A')) << tricky.size << composite;
      EXPECT_EQ(mine, plainRender(plain, 'A')) << tricky.size << composite;
      hinted += mine != plainRender(tricky, 'A');
    }
    EXPECT_GT(hinted, 0) << composite;
  }
}
