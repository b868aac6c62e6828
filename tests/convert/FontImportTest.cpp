// Font import: glyph shapes of the Liberation fonts by their properties,
// the rasteriser against stb_truetype's own rendering of the same glyphs,
// the character groups, the session (Cancel restores, a document changed
// underneath is never overwritten) and damaged font files.
#include "convert/FontImport.h"

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

#include <gtest/gtest.h>

#include <algorithm>
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
void startSession(Machine& m, UndoBuffer& undo, ImportFontState& s) {
  loadPath(s, kSans);
  ASSERT_EQ(beginImport(m, s), "");
  undo.TakeUndoRange(s.charsetAddr, kCharsetSize, "import charset");
  markHistory(s, undo);
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
    EXPECT_EQ(finishImport(m, undo, s, cancel), cancel);
    EXPECT_FALSE(s.active);
    EXPECT_EQ(m.ram, cancel ? before : rendered);
  }
  Machine rom;
  rom.vicRegs[kRegMemPtr] = 0x14;  // bank 0, slot 2: the ROM
  ImportFontState s;
  EXPECT_EQ(beginImport(rom, s), "I'm sorry, i cannot import to ROM. Please select a RAM bank.");
  EXPECT_FALSE(s.active);
}

// Whatever replaces or moves the document while the window is open, Cancel
// must not write the old charset into it.
TEST(FontImport, DocumentChangedUnderneath) {
  struct Case {
    const char* what;
    void (*change)(Machine&, UndoBuffer&);
  } cases[] = {
      {"undo", [](Machine&, UndoBuffer& u) { u.MakeUndo(); }},
      {"new", [](Machine& m, UndoBuffer& u) { m.reset(); u.Clear(); }},
      {"bank", [](Machine& m, UndoBuffer&) { m.bank = 3; }},
      {"slot", [](Machine& m, UndoBuffer& u) { u.TakeUndo(UndoKind::Registers, "charset change"); m.vicRegs[kRegMemPtr] = 0x1C; }},
      {"edit", [](Machine& m, UndoBuffer& u) { u.TakeUndoRange(0x6800, 8, "edit character"); m.ram[0x6800] = 0x55; }},
  };
  for (const Case& c : cases) {
    Machine m;
    UndoBuffer undo(m);
    m.bank = 1;
    m.vicRegs[kRegMemPtr] = 0x1A;  // $6800
    ImportFontState s;
    startSession(m, undo, s);
    doImport(m, s);
    EXPECT_TRUE(sessionCurrent(m, undo, s));
    c.change(m, undo);
    const auto after = m.ram;
    EXPECT_FALSE(sessionCurrent(m, undo, s)) << c.what;
    EXPECT_FALSE(finishImport(m, undo, s, true)) << c.what;
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
    beginImport(m, s);
    loadFont(s, "damaged.ttf", files[i]);
    EXPECT_TRUE(i >= 6 || !s.valid) << i;
    if (s.valid) doImport(m, s);
    else EXPECT_EQ(render(s, 'A'), Glyph{});
  }
}
