// Font import: glyph shapes of the Liberation fonts by their properties,
// the rasteriser against stb_truetype's own rendering of the same glyphs,
// the bounded loading against FreeType's unbounded one on real fonts, the
// budgets against fonts made to exhaust them, the character groups, the
// session (Cancel restores, a charset changed underneath is never
// overwritten, edits elsewhere keep it) and damaged font files.
#include "convert/FontImport.h"
#include "core/UndoBuffer.h"
#include "tests/TestFonts.h"

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

const std::string kSans = std::string(TILVOX_TEST_ASSET_DIR) + "/fonts/LiberationSans-Regular.ttf";
const std::string kMono = std::string(TILVOX_TEST_ASSET_DIR) + "/fonts/LiberationMono-Regular.ttf";

std::vector<uint8_t> readFont(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void loadPath(ImportFontState& s, const std::string& path) { loadFont(s, path, readFont(path)); }

using Glyph = std::array<uint8_t, 8>;

Glyph render(ImportFontState& s, int codepoint) {
  Glyph g{};
  renderGlyph(s, g.data(), codepoint);
  return g;
}

// Columns and rows that hold at least one set pixel, set pixels, top and
// bottom row.
struct Extent {
  int columns = 0, rows = 0, count = 0, top = 8, bottom = -1;
};
Extent extent(const Glyph& g) {
  Extent e;
  uint8_t any = 0;
  for (int y = 0; y < 8; ++y) {
    any |= g[y];
    e.count += __builtin_popcount(g[y]);
    if (g[y]) ++e.rows, e.top = std::min(e.top, y), e.bottom = y;
  }
  e.columns = __builtin_popcount(any);
  return e;
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

}  // namespace

// Most shapes are checked against stb_truetype below; here what that
// comparison's tolerance could let through.
TEST(FontImport, GlyphShapes) {
  ImportFontState s;
  loadPath(s, kSans);
  ASSERT_TRUE(s.valid);
  s.size = 12;
  const Extent bar = extent(render(s, 'I'));  // one vertical stroke
  EXPECT_EQ(bar.columns, 1);
  EXPECT_GE(bar.rows, 5);
  EXPECT_EQ(bar.count, bar.rows);
  EXPECT_EQ(extent(render(s, ' ')).count, 0);
  // A code point the font lacks shows the missing-glyph shape (a box in
  // these fonts), not nothing.
  s.size = 16;
  EXPECT_GE(extent(render(s, 0xE123)).count, 6);
  // Liberation Mono's "I" has serifs: wider at the top than in the middle.
  ImportFontState mono;
  loadPath(mono, kMono);
  mono.size = 10;
  const Glyph mi = render(mono, 'I');
  const Extent me = extent(mi);
  EXPECT_GE(extent(Glyph{mi[me.top]}).columns, 3);
  EXPECT_EQ(extent(Glyph{mi[(me.top + me.bottom) / 2]}).columns, 1);
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
        const Glyph mine = render(s, cp);
        const Glyph ref = stbReference(font, size, s.threshold, cp);
        for (int y = 0; y < 8; ++y) {
          set += __builtin_popcount(ref[y]);
          differ += __builtin_popcount(mine[y] ^ ref[y]);
        }
      }
      EXPECT_GT(set, 250);
      EXPECT_LE(differ * 20, set) << path << " size " << size << ": " << differ << " of " << set;
    }
  }
}

TEST(FontImport, OffsetsAndThreshold) {
  ImportFontState s;
  loadPath(s, kSans);
  s.size = 8;
  for (int cp : {'I', '-', 'o', 'T'}) {
    const Glyph base = render(s, cp);
    s.xOffset = 4;
    const Glyph right = render(s, cp);  // the right half leaves the cell
    s.xOffset = 0;
    s.yOffset = 2;
    const Glyph down = render(s, cp);
    s.yOffset = 0;
    for (int y = 0; y < 8; ++y) {
      EXPECT_EQ(right[y], base[y] >> 4) << char(cp);
      EXPECT_EQ(down[y], y >= 2 ? base[y - 2] : 0) << char(cp);
    }
    s.threshold = 255;
    const Glyph full = render(s, cp);
    s.threshold = 1;
    const Glyph any = render(s, cp);
    s.threshold = 110;
    for (int y = 0; y < 8; ++y) {
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
  ImportFontState all;
  const auto glyphs = importGlyphs(all);
  EXPECT_EQ(glyphs.front(), std::make_pair(65, int('A')));  // capitals first
  EXPECT_EQ(glyphs[7 + 52 + 10], std::make_pair(33, int('!')));  // after the symbol table
}

// An import session over a charset in RAM, as the window starts it.
void startSession(Machine& m, UndoBuffer& undo, ImportFontState& s, int generation = 0) {
  loadPath(s, kSans);
  undo.TakeUndoRange(static_cast<int>(m.charsetAddr()), kCharsetSize, "import charset");
  ASSERT_EQ(beginImport(m, s, generation), "");
}

TEST(FontImport, CancelRestoresAndOkKeeps) {
  for (bool cancel : {true, false}) {
    Machine m;
    UndoBuffer undo(m);
    m.bank = 2;
    m.vicRegs[kRegMemPtr] = 0x1A;  // slot 5: $A800
    std::mt19937 rng(5);
    for (auto& b : m.ram) b = static_cast<uint8_t>(rng());
    const auto before = m.ram;
    ImportFontState s;
    startSession(m, undo, s);
    for (int size : {6, 9, 12}) s.size = size, doImport(m, s);
    const auto rendered = m.ram;
    EXPECT_NE(rendered, before);
    EXPECT_TRUE(std::equal(m.ram.begin() + 0xA800 + 128 * 8, m.ram.begin() + 0xB000,
                           before.begin() + 0xA800 + 128 * 8));  // codes outside the groups kept
    EXPECT_EQ(finishImport(m, 0, s, cancel), cancel);
    EXPECT_FALSE(s.active);
    EXPECT_EQ(m.ram, cancel ? before : rendered);
  }
  Machine rom;
  rom.vicRegs[kRegMemPtr] = 0x14;  // bank 0, slot 2: the ROM
  ImportFontState s;
  EXPECT_EQ(beginImport(rom, s, 0), "I'm sorry, i cannot import to ROM. Please select a RAM bank.");
  EXPECT_FALSE(s.active);
}

// Whatever replaces, moves or changes the charset while the window is
// open, Cancel must not write the old charset into it; edits elsewhere in
// the document keep the session, and Cancel then restores the charset
// alone.
TEST(FontImport, DocumentChangedUnderneath) {
  constexpr int kScreen = 0x4400;  // bank 1, $D018 $1A: the video matrix
  struct Case {
    const char* what;
    void (*change)(Machine&, UndoBuffer&, int& generation);
    bool keeps;
  } cases[] = {
      {"undo", [](Machine&, UndoBuffer& u, int&) { u.MakeUndo(); }, false},
      {"new", [](Machine& m, UndoBuffer& u, int& g) { m.reset(); u.Clear(); ++g; }, false},
      {"load", [](Machine&, UndoBuffer& u, int& g) { u.Clear(); ++g; }, false},  // even with the same bytes
      {"bank", [](Machine& m, UndoBuffer&, int&) { m.bank = 3; }, false},
      {"slot", [](Machine& m, UndoBuffer& u, int&) { u.TakeUndo(UndoKind::Registers, "charset change"); m.vicRegs[kRegMemPtr] = 0x1C; }, false},
      {"edit", [](Machine& m, UndoBuffer& u, int&) { u.TakeUndoRange(0x6800, 8, "edit character"); m.ram[0x6800] ^= 0x55; }, false},
      {"last byte", [](Machine& m, UndoBuffer& u, int&) { u.TakeUndo(UndoKind::All, "fill"); m.ram[0x6FFF] ^= 1; }, false},
      {"redo over it", [](Machine& m, UndoBuffer& u, int&) {
         u.TakeUndoRange(0x6800, 2048, "clear"), std::fill_n(m.ram.begin() + 0x6800, 2048, 0);
         u.MakeUndo(), u.MakeRedo();
       }, false},
      {"screen", [](Machine& m, UndoBuffer& u, int&) { u.TakeScreenUndo("drawing"); m.ram[kScreen] ^= 1; }, true},
      {"screen undone", [](Machine& m, UndoBuffer& u, int&) {
         u.TakeScreenUndo("drawing"), m.ram[kScreen] ^= 1, u.MakeUndo(), u.MakeRedo(), u.MakeUndo();
       }, true},
      {"byte before", [](Machine& m, UndoBuffer& u, int&) { u.TakeUndoRange(0x67FF, 1, "poke"); m.ram[0x67FF] ^= 1; }, true},
      {"byte after", [](Machine& m, UndoBuffer& u, int&) { u.TakeUndoRange(0x7000, 1, "poke"); m.ram[0x7000] ^= 1; }, true},
  };
  for (const Case& c : cases) {
    Machine m;
    UndoBuffer undo(m);
    m.bank = 1;
    m.vicRegs[kRegMemPtr] = 0x1A;  // $6800
    const auto before = m.ram;
    int generation = 7;
    ImportFontState s;
    startSession(m, undo, s, generation);
    doImport(m, s);
    EXPECT_TRUE(sessionCurrent(m, generation, s));
    c.change(m, undo, generation);
    auto after = m.ram;
    EXPECT_EQ(sessionCurrent(m, generation, s), c.keeps) << c.what;
    EXPECT_EQ(finishImport(m, generation, s, true), c.keeps) << c.what;
    if (c.keeps) std::copy_n(before.begin() + 0x6800, kCharsetSize, after.begin() + 0x6800);
    EXPECT_EQ(m.ram, after) << c.what;
  }
}

// Files that are no font, cut short or scrambled: never a crash; the ones
// that do not parse are "not a font!" in the window and render nothing.
TEST(FontImport, DamagedFontFiles) {
  const std::vector<uint8_t> font = readFont(kSans);
  std::vector<std::vector<uint8_t>> files = {{}, {'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'n', 't'}, {0, 1, 0, 0},
                                             {'O', 'T', 'T', 'O', 0, 9}, {'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, 1}};
  for (size_t cut : {12u, 100u, 1000u, 5000u, 50000u}) files.emplace_back(font.begin(), font.begin() + cut);
  std::mt19937 rng(11);
  for (int i = 0; i < 60; ++i) {
    std::vector<uint8_t> f(font.begin(), font.begin() + std::min<size_t>(font.size(), 4096 + rng() % font.size()));
    for (int k = 0; k < 40; ++k) f[rng() % (k < 20 ? std::min<size_t>(f.size(), 2048) : f.size())] = static_cast<uint8_t>(rng());
    files.push_back(std::move(f));
  }
  Machine m;
  m.bank = 1;
  for (size_t i = 0; i < files.size(); ++i) {
    ImportFontState s;
    beginImport(m, s, 0);
    loadFont(s, "damaged.ttf", files[i]);
    EXPECT_TRUE(i >= 6 || !s.valid) << i;
    if (s.valid) doImport(m, s);
    else EXPECT_EQ(render(s, 'A'), Glyph{});
  }
}

namespace {

namespace tf = testfonts;

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
  FT_Bitmap bitmap{};
  bitmap.rows = bitmap.width = 8;
  bitmap.pitch = 8;
  bitmap.buffer = coverage;
  bitmap.num_grays = 256;
  bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
  if (FT_Outline_Get_Bitmap(slot->library, &slot->outline, &bitmap) != 0) return g;
  for (int i = 0; i < 64; ++i)
    if (coverage[i] >= s.threshold) g[i / 8] |= static_cast<uint8_t>(0x80 >> (i % 8));
  return g;
}

std::vector<std::string> fontsIn(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().string());
  std::sort(out.begin(), out.end());
  return out;
}

// Every import glyph at every size, bounded against plain; the largest
// work seen, and how many glyphs rendered blank.
struct Comparison {
  GlyphWork most;
  int blank = 0, inked = 0, differ = 0;
};

Comparison compareWithPlain(ImportFontState& s, int fromSize = kFontSizeMin, int toSize = kFontSizeMax) {
  Comparison c;
  for (s.size = fromSize; s.size <= toSize; ++s.size)
    for (const auto& [code, point] : importGlyphs(s)) {
      Glyph mine{};
      GlyphWork w;
      renderGlyph(s, mine.data(), point, &w);
      c.differ += mine != plainRender(s, point);
      c.blank += w.blank;
      c.inked += mine != Glyph{};
      c.most.parts = std::max(c.most.parts, w.parts);
      c.most.depth = std::max(c.most.depth, w.depth);
      c.most.charstring = std::max(c.most.charstring, w.charstring);
      c.most.raster = std::max(c.most.raster, w.raster);
    }
  return c;
}

}  // namespace

// Real fonts, TrueType and CFF, render exactly as FreeType renders them
// unbounded, at every size, and stay far below every budget.
TEST(FontImport, RealFontsRenderAsUnbounded) {
  for (const char* dir : {"/usr/share/fonts/truetype/liberation", "/usr/share/fonts/opentype/freefont",
                          "/usr/share/fonts/opentype/cantarell"}) {
    const auto paths = fontsIn(dir);
    EXPECT_GE(paths.size(), 5u) << dir;
    for (const std::string& path : paths) {
      ImportFontState s;
      loadPath(s, path);
      ASSERT_TRUE(s.valid) << path;
      const Comparison c = compareWithPlain(s);
      EXPECT_EQ(c.differ, 0) << path;
      EXPECT_EQ(c.blank, 0) << path;
      EXPECT_GT(c.inked, 20) << path;  // the thin weights leave little at threshold 110
      EXPECT_LE(c.most.parts, 4) << path;
      EXPECT_LE(c.most.charstring * 8, kCharstringBudget) << path;
      EXPECT_LE(c.most.raster * 8, kRasterBudget) << path;
    }
  }
}

// Composite glyphs within the budgets render as FreeType renders them;
// deeper or larger ones, and glyphs that contain themselves, render blank
// after counting no more than the budget. The first font is 50 parts of
// 50 parts of 50 parts of 50 parts: 6.25 million loads for FreeType.
TEST(FontImport, CompositesWithinBudgets) {
  struct Case {
    int levels, fanout;
    bool blank;
  } cases[] = {
      {4, 50, true},
      {2, 3, false},
      {kGlyphDepthBudget, 1, false},
      {kGlyphDepthBudget + 1, 1, true},
      {1, kGlyphPartBudget - 1, false},
      {1, kGlyphPartBudget, true},
      {3, 7, true},  // 1 + 7 + 49 + 343 parts
  };
  for (const Case& c : cases) {
    ImportFontState s;
    loadFont(s, "composite.ttf", tf::trueTypeFont(tf::nested(c.levels, c.fanout), {}));  // all code points on glyph 0
    ASSERT_TRUE(s.valid);
    if (!c.blank) {
      const Comparison cmp = compareWithPlain(s, 16, 16);
      EXPECT_EQ(cmp.differ, 0) << c.levels << "x" << c.fanout;
      EXPECT_EQ(cmp.inked, static_cast<int>(importGlyphs(s).size())) << c.levels << "x" << c.fanout;
    }
    for (int size : {kFontSizeMin, kFontSizeMax}) {
      s.size = size;
      Glyph g{};
      GlyphWork w;
      renderGlyph(s, g.data(), 'A', &w);
      EXPECT_EQ(w.blank, c.blank) << c.levels << "x" << c.fanout;
      EXPECT_EQ(g == Glyph{}, c.blank) << c.levels << "x" << c.fanout;
      EXPECT_LE(w.parts, kGlyphPartBudget);
      EXPECT_LE(w.depth, kGlyphDepthBudget + 1);
    }
  }
  tf::Glyph self;
  self.parts = {0, 0};
  ImportFontState s;
  loadFont(s, "cycle.ttf", tf::trueTypeFont({self}, {}));
  GlyphWork w;
  Glyph g{};
  renderGlyph(s, g.data(), 'A', &w);
  EXPECT_TRUE(w.blank);
  EXPECT_EQ(w.depth, kGlyphDepthBudget + 1);
  // One part more than the budget, found only after the first part's own
  // parts: the count stops at the budget, the last part is never loaded.
  std::vector<tf::Glyph> wide(3);
  wide[0].parts = {1, 2};
  wide[1].parts.assign(kGlyphPartBudget - 2, 2);
  wide[2] = tf::squareGlyph();
  loadFont(s, "wide.ttf", tf::trueTypeFont(wide, {}));
  renderGlyph(s, g.data(), 'A', &w);
  EXPECT_TRUE(w.blank);
  EXPECT_EQ(w.parts, kGlyphPartBudget);
}

// An outline far outside the cell is walked cell by cell by the
// rasteriser: a font whose ascender is one unit scales its glyphs up by
// the pixel size, and a zigzag of thousands of points across the cell's
// rows would take it seconds. It renders blank; the square beside it in a
// normal font renders.
TEST(FontImport, FarOutlinesRenderBlank) {
  tf::Glyph zigzag;
  zigzag.contours.resize(1);
  for (int i = 0; i < 2000; ++i) zigzag.contours[0].push_back({(i % 2) ? 30000 : -30000, (i % 4) < 2 ? -20000 : 20000});
  for (int ascender : {1, 800}) {
    ImportFontState s;
    loadFont(s, "far.ttf", tf::trueTypeFont({zigzag}, {}, ascender, 0));
    ASSERT_TRUE(s.valid);
    s.size = kFontSizeMax;
    GlyphWork w;
    Glyph g{};
    renderGlyph(s, g.data(), 'A', &w);
    EXPECT_TRUE(w.blank) << ascender;
    EXPECT_GT(w.raster, kRasterBudget) << ascender;
  }
}

// CFF charstrings: drawn directly, through local and global subroutines,
// with hint masks whose bytes read like operators (a walk that missed
// their length would stop on them) and a hint mask FreeType skips without
// its bytes; all render as FreeType renders them. Subroutines calling
// subroutines a thousand times each, computed subroutine numbers and seac
// render blank.
TEST(FontImport, CharstringsWithinBudgets) {
  using tf::cs;
  const tf::Bytes square = tf::squarePath(), end = cs({}, 14), ret = cs({}, 11);
  const tf::Bytes stems = cs({0, 20, 500, 20, 100, 20}, 18);  // three horizontal stems: one mask byte
  struct Case {
    const char* what;
    tf::Bytes glyph;
    std::vector<tf::Bytes> locals, globals;
    bool blank;
  } cases[] = {
      {"direct", tf::join({square, end}), {}, {}, false},
      {"local", tf::join({cs({-107}, 10), end}), {tf::join({square, ret})}, {}, false},
      {"global", tf::join({cs({-106}, 29), end}), {}, {{}, tf::join({square, ret})}, false},
      {"hintmask", tf::join({stems, cs({}, 19), {0x0B}, square, cs({}, 19), {0xE0}, end}), {}, {}, false},
      {"skipped mask", tf::join({stems, cs({100, 0}, 21), cs({1, 2}, 19), cs({-107}, 10), end}),
       {tf::join({cs({400}, 6), cs({600}, 7), ret})}, {}, false},
      {"counter mask", tf::join({stems, cs({}, 20), {0x0A}, square, end}), {}, {}, false},
      {"bomb", tf::join({square, tf::calls(0, 1000), end}),
       {tf::join({tf::calls(1, 1000), ret}), tf::join({tf::calls(2, 1000), ret}), ret}, {}, true},
      {"computed", tf::join({cs({-108, 1}, 1210), cs({}, 10), square, end}), {ret}, {}, true},
      {"seac", tf::join({cs({0, 0, 65, 65}, 14)}), {}, {}, true},
      {"return at top", tf::join({square, ret, end}), {}, {}, true},
  };
  for (const Case& c : cases) {
    ImportFontState s;
    loadFont(s, "glyph.otf", tf::cffFont({end, c.glyph}, {c.locals}, c.globals, {{'A', 1}}));
    ASSERT_TRUE(s.valid) << c.what;
    s.size = kFontSizeMax;
    Glyph g{};
    GlyphWork w;
    renderGlyph(s, g.data(), 'A', &w);
    EXPECT_EQ(w.blank, c.blank) << c.what;
    EXPECT_EQ(g == Glyph{}, c.blank) << c.what;
    EXPECT_LE(w.charstring, kCharstringBudget) << c.what;
    if (!c.blank) {
      EXPECT_EQ(g, plainRender(s, 'A')) << c.what;
    }
  }
}

// CID-keyed CFF: each glyph runs with the local subroutines of the font
// dictionary FDSelect gives it. The square is in dictionary 1's
// subroutine 0, a bomb in dictionary 0's: a walk that took the wrong
// dictionary would pass the bomb or stop the square.
TEST(FontImport, CidGlyphsUseTheirOwnSubroutines) {
  using tf::cs;
  const tf::Bytes ret = cs({}, 11), end = cs({}, 14);
  const tf::Bytes callFirst = tf::join({tf::calls(0, 1), end});
  const std::vector<std::vector<tf::Bytes>> locals = {
      {tf::join({tf::calls(1, 1000), ret}), tf::join({tf::calls(2, 1000), ret}), ret}, {tf::join({tf::squarePath(), ret})}};
  ImportFontState s;
  loadFont(s, "cid.otf", tf::cffFont({end, callFirst, callFirst}, locals, {}, {{'A', 1}, {'B', 2}}, {0, 1, 0}));
  ASSERT_TRUE(s.valid);
  s.size = kFontSizeMax;
  for (const auto& [point, blank] : {std::pair{'A', false}, std::pair{'B', true}}) {
    Glyph g{};
    GlyphWork w;
    renderGlyph(s, g.data(), point, &w);
    EXPECT_EQ(w.blank, blank) << point;
    EXPECT_EQ(g == Glyph{}, blank) << point;
    if (!blank) {
      EXPECT_EQ(g, plainRender(s, point));
    }
  }
}

// A WOFF web font declares the size it unpacks to, and FreeType unpacks it
// whole on opening: it is refused before FreeType sees it, though FreeType
// would open it. The same font unpacked imports.
TEST(FontImport, WebFontsAreRefused) {
  const tf::Bytes font = tf::trueTypeFont({tf::squareGlyph()}, {});
  // WOFF 1 around the same tables, stored uncompressed: a longer header
  // and directory before the same table data.
  const uint32_t n = font[4] << 8 | font[5], shift = (44 + 20 * n) - (12 + 16 * n);
  auto word = [&font](size_t at) { return uint32_t{font[at]} << 24 | font[at + 1] << 16 | font[at + 2] << 8 | font[at + 3]; };
  tf::Bytes woff;
  tf::put(woff, 0x774F4646, 4), tf::put(woff, 0x10000, 4), tf::put(woff, static_cast<uint32_t>(font.size()) + shift, 4);
  tf::put(woff, n, 2), tf::put(woff, 0, 2), tf::put(woff, static_cast<uint32_t>(font.size()), 4), tf::put(woff, 0, 24);
  for (size_t e = 12; e < 12 + 16 * n; e += 16) {
    woff.insert(woff.end(), font.begin() + e, font.begin() + e + 4);
    tf::put(woff, word(e + 8) + shift, 4), tf::put(woff, word(e + 12), 4), tf::put(woff, word(e + 12), 4), tf::put(woff, 0, 4);
  }
  woff.insert(woff.end(), font.begin() + 12 + 16 * n, font.end());
  FT_Library lib = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&lib), 0);
  FT_Face face = nullptr;
  EXPECT_EQ(FT_New_Memory_Face(lib, woff.data(), static_cast<FT_Long>(woff.size()), 0, &face), 0);
  if (face) FT_Done_Face(face);
  FT_Done_FreeType(lib);
  for (const auto& [bytes, valid] : {std::pair{woff, false}, std::pair{font, true}}) {
    ImportFontState s;
    loadFont(s, "web.woff", bytes);
    EXPECT_EQ(s.valid, valid);
  }
}
