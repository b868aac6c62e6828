// Character operations: transforms checked against the rendered glyph, the
// byte examples users rely on, refusal on a ROM charset, the slot menu's
// labels, the overview's hit test and the editor's colour clicks.
#include "core/CharOps.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Slot 2 of a bank: RAM at $5000 in bank 1, the ROM at $1000 in bank 0.
Machine charsetIn(int bank) {
  Machine m;
  m.bank = static_cast<uint16_t>(bank);
  CharOps::setSlot(m, 2);
  return m;
}

std::vector<uint32_t> picture(const Machine& m, int code, bool multi) {
  const uint32_t colors[kCellColors] = {1, 2, 3, 4};
  std::vector<uint32_t> px(64);
  Vic::renderCharData(m.charData(static_cast<uint8_t>(code)), multi, colors, px.data(), 8);
  return px;
}

}  // namespace

TEST(CharOps, TransformsMatchTheRenderedGlyph) {
  std::mt19937 rng(3);
  for (bool multi : {false, true}) {
    Machine m = charsetIn(1);
    const int code = 77;
    for (int i = 0; i < kCharBytes; ++i) m.ram[CharOps::charAddress(m, code) + i] = static_cast<uint8_t>(rng());
    const std::vector<uint32_t> before = picture(m, code, multi);
    ASSERT_TRUE(CharOps::mirror(m, code, multi));
    std::vector<uint32_t> after = picture(m, code, multi);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(after[i], before[i ^ 7]) << multi;  // x to 7 - x
    ASSERT_TRUE(CharOps::mirror(m, code, multi));
    ASSERT_TRUE(CharOps::flip(m, code));
    after = picture(m, code, multi);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(after[i], before[i ^ 56]);  // y to 7 - y
  }
}

TEST(CharOps, ByteExamples) {
  struct Case {
    uint8_t row;
    bool multi;
    uint8_t mirrored;
  } cases[] = {{0xC0, false, 0x03}, {0xC0, true, 0x03}, {0x80, false, 0x01}, {0x80, true, 0x02}};
  for (const Case& c : cases) {
    Machine m = charsetIn(1);
    m.ram[CharOps::charAddress(m, 1)] = c.row;
    CharOps::mirror(m, 1, c.multi);
    EXPECT_EQ(m.ram[CharOps::charAddress(m, 1)], c.mirrored) << int(c.row) << c.multi;
  }
  Machine m = charsetIn(1);
  const uint32_t a = CharOps::charAddress(m, 5);
  EXPECT_EQ(a, 0x5000u + 5 * 8);
  for (int i = 0; i < 8; ++i) m.ram[a + i] = static_cast<uint8_t>(i + 1);
  CharOps::flip(m, 5);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(m.ram[a + i], 8 - i);
  CharOps::invert(m, 5);
  EXPECT_EQ(m.ram[a], 0xF7);
}

TEST(CharOps, RomCharsetIsNeverWritten) {
  Machine m = charsetIn(0);
  for (int i = 0; i < 4096; ++i) m.charRom[i] = static_cast<uint8_t>(i * 7);
  const auto ram = m.ram;
  CharClip clip{};
  const CharClip ones{1, 1, 1, 1, 1, 1, 1, 1};
  EXPECT_FALSE(CharOps::paste(m, 3, ones));
  EXPECT_FALSE(CharOps::clear(m, 3));
  EXPECT_FALSE(CharOps::copyFromRom(m, 3, 1));
  EXPECT_FALSE(CharOps::invert(m, 3));
  EXPECT_FALSE(CharOps::flip(m, 3));
  EXPECT_FALSE(CharOps::mirror(m, 3, true));
  EXPECT_FALSE(CharOps::paintPixel(m, 3, 0, 0, false, false, 3));
  EXPECT_FALSE(CharOps::clearCharset(m));
  EXPECT_FALSE(CharOps::loadRomCharset(m, 0));
  CharOps::cut(m, 3, clip);  // only copies
  EXPECT_EQ(m.ram, ram);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(clip[i], m.charRom[3 * 8 + i]);
}

TEST(CharOps, RomCopiesAndPainting) {
  Machine m = charsetIn(1);
  for (int i = 0; i < 4096; ++i) m.charRom[i] = static_cast<uint8_t>(i * 13 + 1);
  CharOps::copyFromRom(m, 9, 1);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(m.ram[0x5000 + 72 + i], m.charRom[2048 + 72 + i]);
  CharOps::loadRomCharset(m, 0);
  for (int i = 0; i < kCharsetSize; ++i) ASSERT_EQ(m.ram[0x5000 + i], m.charRom[i]);
  CharOps::clearCharset(m);
  for (int i = 0; i < kCharsetSize; ++i) ASSERT_EQ(m.ram[0x5000 + i], 0);

  CharOps::paintPixel(m, 0, 9, -3, false, false, 3);  // clamped to (7, 0)
  EXPECT_EQ(m.ram[0x5000], 0x01);
  CharOps::paintPixel(m, 0, 2, 7, false, true, 1);
  EXPECT_EQ(m.ram[0x5007], 0x10);
  CharOps::paintPixel(m, 0, 3, 7, true, true, 1);
  EXPECT_EQ(m.ram[0x5007], 0x00);
}

TEST(CharOps, SlotsMulticolourAndLabels) {
  Machine m;
  m.vicRegs[kRegMemPtr] = 0xF1;
  CharOps::setSlot(m, 5);
  EXPECT_EQ(m.vicRegs[kRegMemPtr], 0xFB);
  EXPECT_EQ(CharOps::slot(m), 5);

  struct Case {
    int bank, slot;
    const char* label;
  } cases[] = {{0, 2, "3 ($1000-$17FF) ROM"}, {0, 3, "4 ($1800-$1FFF) ROM"}, {2, 2, "3 ($9000-$97FF) ROM"},
               {1, 2, "3 ($5000-$57FF)"},     {0, 0, "1 ($0000-$07FF)"},     {3, 7, "8 ($F800-$FFFF)"}};
  for (const Case& c : cases) {
    m.bank = static_cast<uint16_t>(c.bank);
    EXPECT_EQ(CharOps::slotLabel(m, c.slot), c.label);
  }

  m.pen = 14;
  CharOps::setMulticolor(m, true);
  EXPECT_TRUE(m.pen == 6 && CharOps::multicolor(m));
  CharOps::setMulticolor(m, false);
  EXPECT_FALSE(CharOps::multicolor(m));
}

TEST(CharOps, OverviewHitTest) {
  struct Case {
    int x, y, code;
  } cases[] = {{0, 0, 0}, {8, 8, 0}, {9, 0, 1}, {287, 71, 255}, {288, 5, -1}, {5, 72, -1}, {-1, 0, -1}, {100, 40, 139}};
  for (const Case& c : cases) EXPECT_EQ(CharOps::charAtCanvas(c.x, c.y), c.code) << c.x << "," << c.y;
}

TEST(CharOps, PaletteClicks) {
  struct Case {
    bool multi;
    int pen;
    bool right;
    int colour;
    bool refused;
    const char* label;
    int reg;  // -1 = the drawing colour
  } cases[] = {
      {false, 3, true, 5, false, "background color", kRegBg0},
      {false, 1, false, 12, false, nullptr, -1},
      {true, 1, false, 12, false, "char color", kRegBg1},
      {true, 2, false, 9, false, "char color", kRegBg2},
      {true, 3, false, 7, false, nullptr, -1},
      {true, 3, false, 8, true, nullptr, -1},
  };
  for (const Case& c : cases) {
    Machine m;
    m.pen = 2;
    EXPECT_EQ(CharOps::colorRefused(c.multi, c.pen, c.right, c.colour), c.refused);
    const char* label = CharOps::colorUndoLabel(c.multi, c.pen, c.right);
    EXPECT_EQ(label ? std::string(label) : "", c.label ? std::string(c.label) : "");
    CharOps::pickColor(m, c.multi, c.pen, c.right, c.colour);
    EXPECT_EQ(c.reg < 0 ? m.pen : m.vicRegs[c.reg], c.refused ? 2 : c.colour);
  }
}

TEST(CharOps, CharColorsUseThePen) {
  Machine m;
  Palette pal;
  m.pen = 13;
  m.vicRegs[kRegBg0] = 0x11, m.vicRegs[kRegBg1] = 2, m.vicRegs[kRegBg2] = 3;
  uint32_t c[kCellColors];
  const int hires[] = {1, 13}, multi[] = {1, 2, 3, 5};
  CharOps::charColors(m, pal, c, false);
  for (int k = 0; k < 2; ++k) EXPECT_EQ(c[k], Vic::paletteWord(pal, hires[k])) << k;
  CharOps::charColors(m, pal, c, true);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(c[k], Vic::paletteWord(pal, multi[k])) << k;
}
