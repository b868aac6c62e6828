// Pixel access per graphics mode: the exact screen, colour-memory and
// bitmap bytes each mode's writes change, quarter-block codes, multicolour
// slot allocation and clipping.
#include "core/PixelOps.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace {

constexpr uint32_t kScreen = 0x0400;  // $D018 = $14 / $18, bank 0
constexpr uint32_t kBitmap = 0x2000;  // $D018 bit 3 set, bank 0

// Power-on registers with an empty, space-filled text screen.
Machine textMachine() {
  Machine m;
  m.reset();
  for (int i = 0; i < kScreenCells; ++i) m.ram[kScreen + i] = 0x20;
  return m;
}

Machine bitmapMachine(bool multi) {
  Machine m;
  m.reset();
  m.setGfxMode(multi ? kModeMultiBitmap : kModeHires);
  return m;
}

// Cell bitmap bytes holding the given numbers of pairs 01, 10 and 11
// (the rest 00), filled pair by pair from the first byte.
std::vector<uint8_t> cellWithCounts(int c1, int c2, int c3) {
  std::vector<uint8_t> bytes(kBitmapCellBytes, 0);
  int pair = 0;
  for (int value : {1, 2, 3}) {
    int n = value == 1 ? c1 : value == 2 ? c2 : c3;
    for (int i = 0; i < n; ++i, ++pair)
      bytes[pair / 4] = static_cast<uint8_t>(bytes[pair / 4] | (value << mcshifttab[pair % 4]));
  }
  return bytes;
}

}  // namespace

TEST(PixelOps, TextQuarterBlocksWriteCodeAndDrawingColour) {
  Machine m = textMachine();
  PixelOperator pix(m);
  m.pen = 5;
  pix.SetPixel(0, 0, false);
  EXPECT_EQ(m.ram[kScreen], 0x7E);  // mask 8
  EXPECT_EQ(m.ram[kColorRam], 5);
  pix.SetPixel(1, 1, false);
  EXPECT_EQ(m.ram[kScreen], 0x7F);  // mask 9
  EXPECT_EQ(pix.GetPixel(0, 0), 5);
  EXPECT_EQ(pix.GetPixel(1, 1), 5);
  EXPECT_EQ(pix.GetPixel(1, 0), 6);  // background $D021
  EXPECT_EQ(pix.GetPixel(0, 1), 6);

  // Clearing takes the drawing colour for the whole cell too.
  m.pen = 7;
  pix.SetPixel(0, 0, true);
  pix.SetPixel(1, 1, true);
  pix.SetPixel(1, 0, true);
  pix.SetPixel(0, 1, true);
  EXPECT_EQ(m.ram[kScreen], 0x20);
  EXPECT_EQ(m.ram[kColorRam], 7);

  // Single quarters: top-right 4, bottom-left 2, bottom-right 1; all four 15.
  Machine t = textMachine();
  PixelOperator tp(t);
  tp.SetPixel(3, 0, false);
  EXPECT_EQ(t.ram[kScreen + 1], 0x7C);
  tp.SetPixel(4, 1, false);
  EXPECT_EQ(t.ram[kScreen + 2], 0x7B);
  tp.SetPixel(7, 1, false);
  EXPECT_EQ(t.ram[kScreen + 3], 0x6C);
  for (int y = 0; y < 2; ++y)
    for (int x = 8; x < 10; ++x) tp.SetPixel(x, y, false);
  EXPECT_EQ(t.ram[kScreen + 4], 0xE0);

  // The last cell of the screen and its colour byte.
  t.pen = 3;
  tp.SetPixel(79, 49, false);
  EXPECT_EQ(t.ram[kScreen + 999], 0x6C);
  EXPECT_EQ(t.ram[kColorRam + 999], 3);
  EXPECT_EQ(t.ram[kScreen + 1000], 0);
  EXPECT_EQ(t.ram[kColorRam + 1000], 0);
}

TEST(PixelOps, TextEveryMaskRoundTripsThroughItsCode) {
  for (int mask = 0; mask < 16; ++mask) {
    Machine m = textMachine();
    PixelOperator pix(m);
    m.pen = 1;
    m.ram[kColorRam] = 1;
    m.ram[kScreen] = textpixtab[mask];
    const int bits[4][3] = {{0, 0, 8}, {1, 0, 4}, {0, 1, 2}, {1, 1, 1}};
    for (const auto& b : bits) EXPECT_EQ(pix.GetPixel(b[0], b[1]), (mask & b[2]) ? 1 : 6) << mask;
    // Toggling one quarter moves to the code of the neighbouring mask.
    pix.SetPixel(1, 1, (mask & 1) != 0);
    EXPECT_EQ(m.ram[kScreen], textpixtab[mask ^ 1]) << mask;
  }
}

TEST(PixelOps, TextLetterReadsAsBackgroundAndIsReplaced) {
  Machine m = textMachine();
  PixelOperator pix(m);
  m.ram[kScreen + 41] = 1;  // "A" at column 1, row 1
  m.ram[kColorRam + 41] = 2;
  for (int y = 2; y < 4; ++y)
    for (int x = 2; x < 4; ++x) EXPECT_EQ(pix.GetPixel(x, y), 6);
  m.pen = 9;
  pix.SetPixel(3, 2, false);
  EXPECT_EQ(m.ram[kScreen + 41], 0x7C);
  EXPECT_EQ(m.ram[kColorRam + 41], 9);
}

TEST(PixelOps, AllTextModesShareTheTextRule) {
  for (int mode : {kModeText, kModeMultiText, kModeExtBgText}) {
    Machine m = textMachine();
    m.setGfxMode(mode);
    PixelOperator pix(m);
    m.pen = 4;
    pix.SetPixel(0, 0, false);
    EXPECT_EQ(m.ram[kScreen], 0x7E) << mode;
    EXPECT_EQ(pix.GetPixel(0, 0), 4) << mode;
    int w = 0, h = 0;
    pix.Resolution(w, h);
    EXPECT_EQ(w, 80);
    EXPECT_EQ(h, 50);
  }
}

TEST(PixelOps, HiresSetsBitAndCellColours) {
  Machine m = bitmapMachine(false);
  PixelOperator pix(m);
  m.pen = 2;
  m.vicRegs[kRegBg0] = 0xF6;  // only the low nibble counts
  pix.SetPixel(9, 10, false);
  // Row 1 of cells (320 bytes), column 1 (8 bytes), line 2; bit $40.
  EXPECT_EQ(m.ram[kBitmap + 320 + 8 + 2], 0x40);
  EXPECT_EQ(m.ram[kScreen + 41], 0x26);
  EXPECT_EQ(pix.GetPixel(9, 10), 2);
  EXPECT_EQ(pix.GetPixel(8, 10), 6);

  m.pen = 3;
  m.ram[kBitmap + 320 + 8 + 2] = 0xFF;
  pix.SetPixel(9, 10, true);
  EXPECT_EQ(m.ram[kBitmap + 320 + 8 + 2], 0xBF);
  EXPECT_EQ(m.ram[kScreen + 41], 0x36);

  // Clearing with pen 2 and background 6 leaves $26.
  m.pen = 2;
  pix.SetPixel(319, 199, true);
  EXPECT_EQ(m.ram[kScreen + 999], 0x26);
  pix.SetPixel(319, 199, false);
  EXPECT_EQ(m.ram[kBitmap + 7999], 0x01);

  int w = 0, h = 0;
  pix.Resolution(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
}

TEST(PixelOps, HiresFollowsBankAndMemoryPointer) {
  Machine m = bitmapMachine(false);
  m.bank = 3;
  m.vicRegs[kRegMemPtr] = 0xF8;  // screen $FC00, bitmap $E000
  PixelOperator pix(m);
  m.pen = 1;
  pix.SetPixel(0, 0, false);
  EXPECT_EQ(m.ram[0xE000], 0x80);
  EXPECT_EQ(m.ram[0xFC00], 0x16);
  EXPECT_EQ(m.ram[kBitmap], 0);
}

TEST(PixelOps, MulticolourTakesFreeSlotsInOrderThenTheLeastUsed) {
  Machine m = bitmapMachine(true);
  PixelOperator pix(m);
  m.pen = 5;
  pix.SetPixel(0, 0, false);
  EXPECT_EQ(m.ram[kBitmap], 0x40);  // pair 01
  EXPECT_EQ(m.ram[kScreen], 0x50);  // slot 1: high nibble
  m.pen = 7;
  pix.SetPixel(1, 0, false);
  EXPECT_EQ(m.ram[kBitmap], 0x60);
  EXPECT_EQ(m.ram[kScreen], 0x57);  // slot 2: low nibble
  m.pen = 9;
  pix.SetPixel(2, 0, false);
  EXPECT_EQ(m.ram[kBitmap], 0x6C);
  EXPECT_EQ(m.ram[kColorRam], 9);   // slot 3: colour memory
  // All three used once: the tie goes to slot 3, and its pixel changes colour.
  m.pen = 10;
  pix.SetPixel(3, 0, false);
  EXPECT_EQ(m.ram[kBitmap], 0x6F);
  EXPECT_EQ(m.ram[kColorRam], 10);
  EXPECT_EQ(pix.GetPixel(2, 0), 10);
  EXPECT_EQ(pix.GetPixel(0, 0), 5);
  EXPECT_EQ(pix.GetPixel(1, 0), 7);
  EXPECT_EQ(pix.GetPixel(0, 1), 6);  // pair 00 is $D021
  EXPECT_FALSE(pix.pixelWarning);

  int w = 0, h = 0;
  pix.Resolution(w, h);
  EXPECT_EQ(w, 160);
  EXPECT_EQ(h, 200);
}

TEST(PixelOps, MulticolourReusesSlotsWithoutCounting) {
  Machine m = bitmapMachine(true);
  PixelOperator pix(m);
  m.ram[kScreen + 1] = 0x57;
  m.ram[kColorRam + 1] = 0xF9;  // only the low nibble counts
  m.ram[kBitmap + 8 + 3] = 0xFF;

  // Background colour clears the pair only.
  m.pen = 6;
  pix.SetPixel(4, 3, false);
  EXPECT_EQ(m.ram[kBitmap + 8 + 3], 0x3F);
  // Colour-memory colour uses slot 3 although slots 1 and 2 are unused.
  m.pen = 9;
  pix.SetPixel(5, 3, false);
  EXPECT_EQ(m.ram[kBitmap + 8 + 3], 0x3F);
  m.pen = 7;
  pix.SetPixel(5, 3, false);
  EXPECT_EQ(m.ram[kBitmap + 8 + 3], 0x2F);
  m.pen = 5;
  pix.SetPixel(6, 3, false);
  EXPECT_EQ(m.ram[kBitmap + 8 + 3], 0x27);
  EXPECT_EQ(m.ram[kScreen + 1], 0x57);
  EXPECT_EQ(m.ram[kColorRam + 1], 0xF9);

  // Erasing clears the pair and touches no slot.
  pix.SetPixel(6, 3, true);
  EXPECT_EQ(m.ram[kBitmap + 8 + 3], 0x23);
  pix.SetPixel(7, 3, true);
  EXPECT_EQ(m.ram[kBitmap + 8 + 3], 0x20);
  EXPECT_EQ(m.ram[kScreen + 1], 0x57);
  EXPECT_EQ(m.ram[kColorRam + 1], 0xF9);
}

TEST(PixelOps, MulticolourFullCellReplacesTheLeastUsedSlot) {
  Machine m = bitmapMachine(true);
  PixelOperator pix(m);
  m.ram[kScreen] = 0x57;
  m.ram[kColorRam] = 9;
  std::vector<uint8_t> cell = cellWithCounts(5, 5, 22);
  for (int i = 0; i < kBitmapCellBytes; ++i) m.ram[kBitmap + i] = cell[i];
  ASSERT_EQ(m.ram[kBitmap + 1], 0x6A);  // 01 10 10 10
  ASSERT_EQ(m.ram[kBitmap + 3], 0xFF);
  m.pen = 12;
  pix.SetPixel(0, 3, false);
  EXPECT_EQ(m.ram[kScreen], 0x5C);
  EXPECT_EQ(m.ram[kColorRam], 9);
  EXPECT_EQ(m.ram[kBitmap + 3], 0xBF);
  EXPECT_EQ(pix.GetPixel(1, 1), 12);  // an old slot-2 pixel takes the new colour
}

TEST(PixelOps, AllocationPicksSlotByCountsWithHigherSlotOnTies) {
  struct Case {
    int c1, c2, c3, slot;
  };
  const Case cases[] = {
      {0, 3, 3, 1}, {3, 0, 3, 2}, {3, 3, 0, 3}, {0, 0, 0, 1},
      {5, 5, 22, 2}, {4, 6, 6, 1}, {9, 4, 4, 3}, {4, 4, 9, 2},
      {7, 7, 7, 3}, {10, 11, 11, 1}, {11, 10, 11, 2}, {11, 11, 10, 3},
  };
  for (const Case& c : cases) {
    Machine m = bitmapMachine(true);
    PixelOperator pix(m);
    m.ram[kScreen + 1] = 0x12;
    m.ram[kColorRam + 1] = 3;
    std::vector<uint8_t> cell = cellWithCounts(c.c1, c.c2, c.c3);
    EXPECT_EQ(pix.AllocMultiColor(0x1D, 1, 0, cell.data()), c.slot) << c.c1 << " " << c.c2 << " " << c.c3;
    const uint8_t screen[4] = {0, 0xD2, 0x1D, 0x12};
    EXPECT_EQ(m.ram[kScreen + 1], screen[c.slot]);
    EXPECT_EQ(m.ram[kColorRam + 1], c.slot == 3 ? 13 : 3);
  }
  // Colours already present, in the order background, colour memory, high, low.
  Machine m = bitmapMachine(true);
  PixelOperator pix(m);
  m.ram[kScreen] = 0x66;
  m.ram[kColorRam] = 6;
  uint8_t none[kBitmapCellBytes] = {};
  EXPECT_EQ(pix.AllocMultiColor(6, 0, 0, none), 0);
  m.vicRegs[kRegBg0] = 0;
  EXPECT_EQ(pix.AllocMultiColor(6, 0, 0, none), 3);
  m.ram[kColorRam] = 0;
  EXPECT_EQ(pix.AllocMultiColor(6, 0, 0, none), 1);
  m.ram[kScreen] = 0x06;
  EXPECT_EQ(pix.AllocMultiColor(6, 0, 0, none), 2);
  // Cells outside the screen have no slots.
  EXPECT_EQ(pix.AllocMultiColor(1, 40, 0, none), -1);
  EXPECT_EQ(pix.AllocMultiColor(1, 0, 25, none), -1);
}

TEST(PixelOps, FixedColoursRefuseAFifthColourAndWarn) {
  Machine m = bitmapMachine(true);
  PixelOperator pix(m);
  pix.fixedColors = true;
  m.ram[kScreen] = 0x57;
  m.ram[kColorRam] = 9;
  m.ram[kBitmap] = 0x1B;
  auto before = m.ram;
  m.pen = 12;
  pix.SetPixel(0, 0, false);
  EXPECT_TRUE(pix.pixelWarning);
  EXPECT_EQ(m.ram, before);
  // Even a cell with free slots keeps its colours.
  pix.pixelWarning = false;
  pix.SetPixel(8, 0, false);
  EXPECT_TRUE(pix.pixelWarning);
  EXPECT_EQ(m.ram, before);
  // A colour the cell already has still draws.
  pix.pixelWarning = false;
  m.pen = 7;
  pix.SetPixel(0, 0, false);
  EXPECT_FALSE(pix.pixelWarning);
  EXPECT_EQ(m.ram[kBitmap], 0x9B);
}

TEST(PixelOps, PositionsOutsideAreIgnoredAndReadAsMinusOne) {
  struct Case {
    int mode, w, h;
  };
  for (const Case& c : {Case{kModeText, 80, 50}, Case{kModeHires, 320, 200}, Case{kModeMultiBitmap, 160, 200}}) {
    Machine m = textMachine();
    m.setGfxMode(c.mode);
    PixelOperator pix(m);
    auto before = m.ram;
    const int pts[][2] = {{-1, 0}, {0, -1}, {c.w, 0}, {0, c.h}, {c.w, c.h}, {-100000, 5}, {5, 1 << 30}};
    for (const auto& p : pts) {
      EXPECT_EQ(pix.GetPixel(p[0], p[1]), -1) << c.mode;
      pix.SetPixel(p[0], p[1], false);
      pix.SetPixel(p[0], p[1], true);
    }
    EXPECT_EQ(m.ram, before) << c.mode;
    EXPECT_NE(pix.GetPixel(c.w - 1, c.h - 1), -1);
  }
  // The per-mode functions keep their own bounds whatever the registers say.
  Machine m = textMachine();
  PixelOperator pix(m);
  EXPECT_EQ(pix.GetPixelTextMode(80, 0), -1);
  EXPECT_EQ(pix.GetPixelMulticolor(160, 0), -1);
  EXPECT_EQ(pix.GetPixelHires(320, 0), -1);
  EXPECT_EQ(pix.GetPixelHires(319, 199), 0x20 & 15);
  EXPECT_EQ(pix.GetPixelMulticolor(159, 199), 6);
}

TEST(PixelOps, RegistersChooseTheRuleNotTheModeNumber) {
  // Bitmap with ECM also set still follows the hires / multicolour rules.
  Machine m = bitmapMachine(false);
  m.vicRegs[kRegCtrl1] |= kBitECM;
  PixelOperator pix(m);
  m.pen = 1;
  pix.SetPixel(200, 0, false);
  EXPECT_EQ(m.ram[kBitmap + 200], 0x80);
  m.vicRegs[kRegCtrl2] |= kBitMCM;
  pix.SetPixel(100, 0, false);
  // Colour 1 is the cell's high nibble since the hires write: slot 1, pair 01.
  EXPECT_EQ(m.ram[kBitmap + 200], 0x40);
  EXPECT_EQ(pix.GetPixel(100, 0), 1);
}

TEST(PixelOps, StackedSetsRecordPreviousColoursLastInFirstOut) {
  Machine m = textMachine();
  PixelOperator pix(m);
  PixelStack stack;
  m.pen = 2;
  pix.SetPixelStacked(0, 0, false, stack);
  m.pen = 3;
  pix.SetPixelStacked(0, 0, false, stack);
  pix.SetPixelStacked(-1, 0, false, stack);
  int x = 0, y = 0;
  uint8_t colour = 0;
  ASSERT_TRUE(stack.Pop(x, y, colour));
  EXPECT_EQ(x, -1);
  EXPECT_EQ(colour, 0xFF);  // -1 outside
  ASSERT_TRUE(stack.Pop(x, y, colour));
  EXPECT_EQ(colour, 2);
  ASSERT_TRUE(stack.Pop(x, y, colour));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(colour, 6);
  EXPECT_FALSE(stack.Pop(x, y, colour));
}
