// Bitmap to charset: a plain reference (pixel by pixel, a stable sort of
// all pairs, a simple union-find) against the engine on random hires and
// multicolour bitmaps around the 256-character limit; the slot rules and
// messages; identical and too many cells in bytes; the ranking of the
// multicolour shared colours.
#include "convert/CharsetConverter.h"

#include "ConvertTestUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <tuple>

namespace {

// ---- Reference, written out plainly from the rules ----

CharsetConvertResult refConvert(Machine& m, const Palette& pal, int slot, bool merge) {
  CharsetConvertResult res;
  if (!(m.vicRegs[0x11] & 0x20)) return res.error = "The screen has to be in a bitmap mode.", res;
  const int S = (m.bank * 8 + slot) * 2048, M = (m.bank * 16 + (m.vicRegs[0x18] >> 4)) * 1024;
  std::string why = slot < 0 || slot > 7                                    ? "Invalid charset position"
                  : (slot == 2 || slot == 3) && (m.bank == 0 || m.bank == 2) ? "The VIC sees the character ROM there"
                  : M + 999 >= S && S + 2047 >= M                           ? "It overlaps the video matrix"
                  : 0xDBE7 >= S && S + 2047 >= 0xD800                       ? "It overlaps the color memory"
                                                                            : "";
  if (!why.empty()) return res.error = "Can't put the charset there: " + why + ".", res;

  const bool multi = m.vicRegs[0x16] & 0x10;
  const int B = (m.bank * 2 + ((m.vicRegs[0x18] >> 3) & 1)) * 8192;
  std::vector<std::vector<uint8_t>> pat(1000, std::vector<uint8_t>(8));
  std::vector<int> colour(1000);
  for (int i = 0; i < 1000; ++i)
    for (int k = 0; k < 8; ++k) pat[i][k] = m.ram[B + i * 8 + k];
  auto vm = [&](int i) { return (int)m.ram[(M + i) & 0xFFFF]; };
  int bg = 0, d2 = 0, d3 = 0;
  if (!multi) {
    int count[16] = {};
    for (int i = 0; i < 1000; ++i)
      for (int p = 0; p < 64; ++p) count[vm(i) & 15] += !((pat[i][p / 8] >> (7 - p % 8)) & 1);
    for (int c = 1; c < 16; ++c)
      if (count[c] > count[bg]) bg = c;
    for (int i = 0; i < 1000; ++i) {
      const int lo = vm(i) & 15, hi = vm(i) >> 4;
      const bool full = std::count(pat[i].begin(), pat[i].end(), 0xFF) == 8;
      const bool empty = std::count(pat[i].begin(), pat[i].end(), 0) == 8;
      if (lo == bg || full) colour[i] = hi;
      else if (hi == bg || empty) colour[i] = lo, std::for_each(pat[i].begin(), pat[i].end(), [](uint8_t& b) { b = ~b; });
      else colour[i] = hi, ++res.misfitCells;
    }
  } else {
    bg = m.vicRegs[0x21] & 15;
    auto shows = [&](int i, int q) { return q == 0 ? bg : q == 1 ? vm(i) >> 4 : q == 2 ? vm(i) & 15 : m.ram[0xD800 + i] & 15; };
    int count[16] = {};
    for (int i = 0; i < 1000; ++i)
      for (int p = 0; p < 32; ++p) ++count[shows(i, (pat[i][p / 4] >> (6 - 2 * (p % 4))) & 3)];
    count[bg] = -1;
    std::vector<int> rank(16);
    for (int c = 0; c < 16; ++c) rank[c] = c;
    std::stable_sort(rank.begin(), rank.end(), [&](int a, int b) { return count[a] * (a >= 8 ? 4 : 1) > count[b] * (b >= 8 ? 4 : 1); });
    d2 = rank[0], d3 = rank[1];
    for (int i = 0; i < 1000; ++i) {
      int map[4], own = -1;
      bool misfit = false;
      for (int q = 0; q < 4; ++q) {
        bool occurs = false;
        for (int p = 0; p < 32; ++p) occurs = occurs || ((pat[i][p / 4] >> (6 - 2 * (p % 4))) & 3) == q;
        const int c = shows(i, q);
        if (!occurs || c == bg) map[q] = 0;
        else if (c == d2) map[q] = 1;
        else if (c == d3) map[q] = 2;
        else if (c < 8 && (own < 0 || own == c)) own = c, map[q] = 3;
        else {
          std::vector<int> near = {bg, d2, d3};
          if (own >= 0) near.push_back(own);
          int best = 0, bestD = INT32_MAX;
          for (size_t k = 0; k < near.size(); ++k) {
            int d = 0;
            for (int ch = 0; ch < 3; ++ch) d += (pal.rgb[c][ch] - pal.rgb[near[k]][ch]) * (pal.rgb[c][ch] - pal.rgb[near[k]][ch]);
            if (d < bestD) bestD = d, best = (int)k;
          }
          map[q] = best, misfit = true;
        }
      }
      for (int k = 0; k < 8; ++k) {
        int b = 0;
        for (int j = 0; j < 4; ++j) b |= map[(pat[i][k] >> (6 - 2 * j)) & 3] << (6 - 2 * j);
        pat[i][k] = (uint8_t)b;
      }
      colour[i] = (own < 0 ? 0 : own) | 8;
      res.misfitCells += misfit;
    }
  }

  std::vector<std::vector<uint8_t>> patterns;
  std::vector<int> of(1000), cells;
  for (int i = 0; i < 1000; ++i) {
    auto it = std::find(patterns.begin(), patterns.end(), pat[i]);
    of[i] = (int)(it - patterns.begin());
    if (it == patterns.end()) patterns.push_back(pat[i]), cells.push_back(0);
    ++cells[of[i]];
  }
  const int n = (int)patterns.size();
  res.differentCells = n;
  if (n > 256 && !merge) return res.error = "The picture has " + std::to_string(n) + " different character cells, a charset holds 256.\nEnable merging of similar characters to convert anyway.", res;

  std::vector<int> parent(n);
  for (int i = 0; i < n; ++i) parent[i] = i;
  std::function<int(int)> find = [&](int x) { return parent[x] == x ? x : parent[x] = find(parent[x]); };
  if (n > 256) {
    struct P { int d, a, b; };
    std::vector<P> pairs;
    for (int a = 0; a < n; ++a)
      for (int b = a + 1; b < n; ++b) {
        int d = 0;
        for (int p = 0; p < 64; p += multi ? 2 : 1) {
          const int shift = 7 - p % 8, mask = multi ? 3 : 1, s = multi ? shift - 1 : shift;
          d += ((patterns[a][p / 8] >> s) & mask) != ((patterns[b][p / 8] >> s) & mask) ? (multi ? 2 : 1) : 0;
        }
        pairs.push_back({d, a, b});
      }
    std::stable_sort(pairs.begin(), pairs.end(), [](const P& x, const P& y) { return x.d < y.d; });
    int groups = n;
    for (const P& pr : pairs) {
      if (groups == 256) break;
      int ra = find(pr.a), rb = find(pr.b);
      if (ra == rb) continue;
      if (cells[ra] < cells[rb]) std::swap(ra, rb);  // ra keeps the group; on a tie rb goes under ra
      parent[rb] = ra, cells[ra] += cells[rb], --groups;
    }
  }
  std::map<int, int> charOfRoot;
  std::vector<std::vector<uint8_t>> chars;
  for (int p = 0; p < n; ++p)
    if (!charOfRoot.count(find(p))) charOfRoot[find(p)] = (int)chars.size(), chars.push_back(patterns[find(p)]);
  for (int i = 0; i < 1000; ++i) res.similarCells += find(of[i]) != of[i];
  res.charsUsed = (int)chars.size();
  for (int a = 0; a < 2048; ++a) m.ram[S + a] = a / 8 < (int)chars.size() ? chars[a / 8][a % 8] : 0;
  for (int i = 0; i < 1000; ++i) m.ram[(M + i) & 0xFFFF] = (uint8_t)charOfRoot[find(of[i])], m.ram[0xD800 + i] = (uint8_t)colour[i];
  m.setGfxMode(multi ? 1 : 0);
  m.vicRegs[0x18] = (uint8_t)((m.vicRegs[0x18] & ~0x0E) | slot * 2);
  if (multi) m.vicRegs[0x22] = (uint8_t)d2, m.vicRegs[0x23] = (uint8_t)d3;
  else m.vicRegs[0x21] = (uint8_t)bg;
  res.ok = true;
  return res;
}

auto outcome(const CharsetConvertResult& r) {
  return std::tuple(r.ok, r.error, r.differentCells, r.charsUsed, r.similarCells, r.misfitCells);
}

// A bitmap of `kinds` random cell patterns (some all set or all clear) in
// random colours drawn from a few.
Machine randomBitmap(Rng& rng, bool multi, int kinds) {
  Machine m;
  m.reset();
  m.bank = (uint16_t)rng.below(4);
  m.vicRegs[kRegMemPtr] = (uint8_t)(rng.next() & 0xF1);
  m.setGfxMode(multi ? kModeMultiBitmap : kModeHires);
  m.vicRegs[kRegBg0] = (uint8_t)(rng.below(3) * 5 + 0xF0);
  std::vector<std::array<uint8_t, 8>> pool(kinds);
  for (auto& p : pool) {
    const int style = rng.below(8);
    for (uint8_t& b : p) b = style == 0 ? 0 : style == 1 ? 0xFF : (uint8_t)rng.next();
  }
  for (int i = 0; i < 1000; ++i) {
    const auto& p = pool[rng.below(kinds)];
    std::copy(p.begin(), p.end(), m.ram.begin() + m.bitmapAddr() + i * 8);
    m.ram[m.screenAddr() + i] = (uint8_t)(rng.below(4) * 0x35 + rng.below(3));
    m.ram[kColorRam + i] = (uint8_t)(rng.below(3) * 6 + 0x70);
  }
  return m;
}

// ---- Tests ----

TEST(CharsetConverter, MatchesPlainReferenceOnRandomBitmaps) {
  Rng rng(4711);
  const Palette pal;
  const int kinds[] = {1, 40, 250, 300, 600, 1000};
  int converted = 0, merged = 0, misfits = 0;
  for (int round = 0; round < 48; ++round) {
    SCOPED_TRACE(round);
    Machine m = randomBitmap(rng, round % 2, kinds[rng.below(6)]);
    Machine expected = m;
    const int slot = rng.below(10) - 1;
    const bool merge = rng.below(4) != 0;
    const CharsetConvertResult want = refConvert(expected, pal, slot, merge);
    EXPECT_EQ(outcome(ConvertBitmapToCharset(m, pal, slot, merge)), outcome(want));
    converted += want.ok;
    merged += want.ok && want.differentCells > 256;
    misfits += want.misfitCells > 0;
    ASSERT_TRUE(m.ram == expected.ram);
    ASSERT_TRUE(m.vicRegs == expected.vicRegs);
    ASSERT_EQ(m.bank, expected.bank);
  }
  EXPECT_GT(converted, 15);
  EXPECT_GT(merged, 5);
  EXPECT_GT(misfits, 15);
}

TEST(CharsetConverter, SlotRules) {
  struct Case {
    int bank, d018, slot;
    const char* problem;
  } cases[] = {
      {0, 0x14, 8, "Invalid charset position"},
      {1, 0x14, -1, "Invalid charset position"},
      {0, 0x14, 2, "The VIC sees the character ROM there"},
      {2, 0x14, 3, "The VIC sees the character ROM there"},
      {0, 0x14, 0, "It overlaps the video matrix"},
      {1, 0x14, 3, ""},
      {3, 0x04, 3, "It overlaps the color memory"},  // $D800-$DFFF
      {3, 0x04, 2, ""},                              // $D000-$D7FF stays clear of it
      {3, 0x04, 0, "It overlaps the video matrix"},
  };
  for (const Case& c : cases) {
    Machine m;
    m.reset();
    m.bank = (uint16_t)c.bank;
    m.vicRegs[kRegMemPtr] = (uint8_t)c.d018;
    EXPECT_EQ(CharsetSlotProblem(m, c.slot), c.problem) << c.bank << "/" << c.slot;
    m.setGfxMode(kModeHires);
    const Machine before = m;
    const CharsetConvertResult r = ConvertBitmapToCharset(m, Palette{}, c.slot, true);
    EXPECT_EQ(r.error, *c.problem ? std::string("Can't put the charset there: ") + c.problem + "." : "");
    EXPECT_TRUE(r.ok || (m.ram == before.ram && m.vicRegs == before.vicRegs));
  }
  Machine text;
  text.reset();
  const Machine before = text;
  EXPECT_EQ(ConvertBitmapToCharset(text, Palette{}, 1, true).error, "The screen has to be in a bitmap mode.");
  EXPECT_TRUE(text.ram == before.ram && text.vicRegs == before.vicRegs);
}

// Misfits and merging are the reference's; here two whole cases in bytes.
TEST(CharsetConverter, IdenticalAndTooManyCells) {
  Machine m;
  m.reset();
  m.setGfxMode(kModeHires);
  std::fill_n(m.ram.begin() + 0x0800, 2048, uint8_t{0x77});
  for (int i = 0; i < 8000; ++i) m.ram[m.bitmapAddr() + i] = (uint8_t)(i % 8 == 3 ? 0x81 : 0);
  std::fill_n(m.ram.begin() + m.screenAddr(), 1000, uint8_t{0x16});
  CharsetConvertResult r = ConvertBitmapToCharset(m, Palette{}, 1, false);
  EXPECT_TRUE(r.ok && r.differentCells == 1 && r.charsUsed == 1);
  EXPECT_EQ(std::count(m.ram.begin() + 0x0400, m.ram.begin() + 0x0400 + 1000, 0), 1000);
  EXPECT_EQ(std::count(m.ram.begin() + 0x0808, m.ram.begin() + 0x1000, 0), 2040);
  EXPECT_EQ(m.ram[0x0803], 0x81);
  EXPECT_EQ(m.vicRegs[kRegMemPtr], 0x12);
  EXPECT_EQ(m.vicRegs[kRegBg0], 6);  // the 0 pixels' colour

  m.reset();
  m.setGfxMode(kModeHires);
  for (int i = 0; i < 1000; ++i) m.ram[m.bitmapAddr() + i * 8] = (uint8_t)(i % 300), m.ram[m.bitmapAddr() + i * 8 + 1] = (uint8_t)((i % 300) >> 8);
  r = ConvertBitmapToCharset(m, Palette{}, 1, false);
  EXPECT_EQ(r.error, "The picture has 300 different character cells, a charset holds 256.\n"
                     "Enable merging of similar characters to convert anyway.");
  r = ConvertBitmapToCharset(m, Palette{}, 1, true);
  EXPECT_TRUE(r.ok && r.charsUsed == 256);
  EXPECT_GE(r.similarCells, 44);
}

TEST(CharsetConverter, MulticolourSharedColoursCountHighColoursFourTimes) {
  struct Case {
    int pairsOf3, pairsOf9;
    int d022, d023;
  } cases[] = {
      {400, 100, 3, 9},  // equal keys: the lower colour first
      {400, 101, 9, 3},
      {404, 100, 3, 9},
  };
  for (const Case& c : cases) {
    Machine m;
    m.reset();
    m.setGfxMode(kModeMultiBitmap);
    m.vicRegs[kRegBg0] = 0;
    // Colour 3 through bit pair 01, colour 9 through 10; one pair per cell row.
    std::fill_n(m.ram.begin() + m.screenAddr(), 1000, uint8_t{0x39});
    for (int k = 0; k < c.pairsOf3; ++k) m.ram[m.bitmapAddr() + k] = 0x40;
    for (int k = 0; k < c.pairsOf9; ++k) m.ram[m.bitmapAddr() + 4000 + k] = 0x80;
    ASSERT_TRUE(ConvertBitmapToCharset(m, Palette{}, 1, true).ok);
    EXPECT_EQ(m.vicRegs[kRegBg1], c.d022) << c.pairsOf3 << "/" << c.pairsOf9;
    EXPECT_EQ(m.vicRegs[kRegBg2], c.d023);
    EXPECT_EQ(m.gfxMode(), kModeMultiText);
  }
}

}  // namespace
