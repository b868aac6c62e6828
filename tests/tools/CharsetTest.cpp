// Checks the generated character set C64Chars.bin: the glyphs other code
// depends on (space, solid block, the quarter blocks the text-mode pixel
// editor composes cells from, the line pieces that must join) and the
// layout of the lower-case set.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr size_t kSetSize = 2048;
constexpr size_t kRomSize = 2 * kSetSize;

std::vector<uint8_t> loadCharset() {
  std::ifstream in(TILVOX_TEST_ASSET_DIR "/C64Chars.bin", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using Glyph = std::array<uint8_t, 8>;

Glyph glyph(const std::vector<uint8_t>& rom, int half, int code) {
  Glyph g{};
  for (int r = 0; r < 8; ++r) g[r] = rom[half * kSetSize + code * 8 + r];
  return g;
}

// The glyph made of the 4x4 quadrants in a mask: top-left 8, top-right 4,
// bottom-left 2, bottom-right 1.
Glyph quadrants(int mask) {
  Glyph g{};
  for (int r = 0; r < 8; ++r) {
    const int top = r < 4;
    if (mask & (top ? 8 : 2)) g[r] |= 0xF0;
    if (mask & (top ? 4 : 1)) g[r] |= 0x0F;
  }
  return g;
}

TEST(Charset, SpaceSolidBlockAndQuarterBlocks) {
  const auto rom = loadCharset();
  ASSERT_EQ(rom.size(), kRomSize);
  // 96 is the shifted space, blank like 32, so that the full cell the
  // text-mode pixel editor writes as 224 (all four quarters) is solid.
  for (int half = 0; half < 2; ++half) {
    EXPECT_EQ(glyph(rom, half, 32), Glyph{}) << "half " << half;
    EXPECT_EQ(glyph(rom, half, 160), quadrants(15)) << "half " << half;
    EXPECT_EQ(glyph(rom, half, 96), Glyph{}) << "half " << half;
    EXPECT_EQ(glyph(rom, half, 224), quadrants(15)) << "half " << half;
  }
  // Screen code of each quadrant combination as the text-mode pixel editor
  // writes it.
  constexpr std::array<int, 15> kQuarterCode = {0x20, 0x6C, 0x7B, 0x62, 0x7C, 0xE1, 0xFF, 0xFE,
                                                0x7E, 0x7F, 0x61, 0xFC, 0xE2, 0xFB, 0xEC};
  for (int mask = 0; mask < 15; ++mask)
    EXPECT_EQ(glyph(rom, 0, kQuarterCode[mask]), quadrants(mask)) << "mask " << mask;
}

TEST(Charset, LowerCaseSetHasSmallLettersAndRepeatsCapitals) {
  const auto rom = loadCharset();
  ASSERT_EQ(rom.size(), kRomSize);
  for (int code = 1; code <= 26; ++code) {
    EXPECT_NE(glyph(rom, 1, code), glyph(rom, 0, code)) << "letter " << char('a' + code - 1);
    EXPECT_EQ(glyph(rom, 1, code + 64), glyph(rom, 0, code)) << "letter " << char('A' + code - 1);
  }
  // 'A' as drawn; the digits and punctuation are shared by both sets.
  EXPECT_EQ(glyph(rom, 0, 1), (Glyph{0x18, 0x3C, 0x66, 0x66, 0x7E, 0x66, 0x66, 0x00}));
  for (int code = 27; code < 64; ++code) EXPECT_EQ(glyph(rom, 1, code), glyph(rom, 0, code)) << code;
}

// Box-drawing pieces meet their neighbours: a piece reaching an edge
// crosses it exactly where the centre lines (rows 3-4, columns 3-4) do,
// and a piece not reaching it leaves that edge clear.
TEST(Charset, LinePiecesJoinAtTheCellEdges) {
  const auto rom = loadCharset();
  ASSERT_EQ(rom.size(), kRomSize);
  enum { kUp = 1, kDown = 2, kLeft = 4, kRight = 8 };
  struct Piece {
    int code;
    int ends;
  };
  constexpr Piece kPieces[] = {
      {64, kLeft | kRight}, {66, kUp | kDown},   {73, kLeft | kDown},          {74, kUp | kRight},
      {75, kUp | kLeft},    {85, kRight | kDown}, {91, kUp | kDown | kLeft | kRight},
      {93, kUp | kDown},    {107, kUp | kDown | kRight}, {109, kUp | kRight}, {110, kLeft | kDown},
      {112, kRight | kDown}, {113, kLeft | kRight | kUp}, {114, kLeft | kRight | kDown},
      {115, kUp | kDown | kLeft}, {125, kUp | kLeft},
  };
  constexpr uint8_t kCentreColumns = 0x18;
  for (const Piece& p : kPieces) {
    const Glyph g = glyph(rom, 0, p.code);
    EXPECT_EQ(g[0], (p.ends & kUp) ? kCentreColumns : 0) << p.code;
    EXPECT_EQ(g[7], (p.ends & kDown) ? kCentreColumns : 0) << p.code;
    for (int r = 0; r < 8; ++r) {
      const bool centreRow = r == 3 || r == 4;
      EXPECT_EQ((g[r] & 0x80) != 0, centreRow && (p.ends & kLeft)) << p.code << " row " << r;
      EXPECT_EQ((g[r] & 0x01) != 0, centreRow && (p.ends & kRight)) << p.code << " row " << r;
    }
  }
}

}  // namespace
