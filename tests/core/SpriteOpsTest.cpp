// Sprite block operations: transforms checked against the rendered sprite
// (a mirrored or flipped block must render as the mirrored or flipped
// picture), the byte examples users rely on, the pen rules, pointer and
// colour assignment, and the save range.
#include "core/SpriteOps.h"
#include "core/Vic.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

constexpr int kBlock = 0x80;

Machine machineWithBank(int bank) {
  Machine m;
  m.bank = static_cast<uint16_t>(bank);
  return m;
}

uint8_t* block(Machine& m, int b) { return m.ram.data() + m.spriteBlockAddr(static_cast<uint8_t>(b)); }

// The block drawn with four distinct colour words, one per pixel value.
std::vector<uint32_t> picture(const Machine& m, int b, bool multicolor) {
  std::vector<uint32_t> px(kSpriteWidth * kSpriteHeight);
  Vic::renderSpriteData(m.ram.data() + m.spriteBlockAddr(static_cast<uint8_t>(b)), multicolor, 2, 1, 3, 4, px.data(),
                        kSpriteWidth);
  return px;
}

}  // namespace

TEST(SpriteOps, TransformsMatchTheRenderedPicture) {
  std::mt19937 rng(7);
  for (bool multi : {false, true}) {
    Machine m = machineWithBank(1);
    for (int i = 0; i < kSpriteBlockSize; ++i) block(m, kBlock)[i] = static_cast<uint8_t>(rng());
    const std::vector<uint32_t> before = picture(m, kBlock, multi);
    const uint8_t last = block(m, kBlock)[63];
    // The transformed picture at (x, y) shows the original at from(x, y); the 64th byte stays.
    auto expectMoved = [&](auto from) {
      const std::vector<uint32_t> after = picture(m, kBlock, multi);
      for (int i = 0; i < kSpriteWidth * kSpriteHeight; ++i)
        ASSERT_EQ(after[i], before[from(i % kSpriteWidth, i / kSpriteWidth)]) << multi << " " << i;
      EXPECT_EQ(block(m, kBlock)[63], last);
    };
    SpriteOps::mirror(m, kBlock, multi);
    expectMoved([](int x, int y) { return y * kSpriteWidth + kSpriteWidth - 1 - x; });
    SpriteOps::mirror(m, kBlock, multi);
    SpriteOps::flip(m, kBlock);
    expectMoved([](int x, int y) { return (kSpriteHeight - 1 - y) * kSpriteWidth + x; });
    SpriteOps::flip(m, kBlock);
    SpriteOps::invert(m, kBlock);
    EXPECT_EQ(block(m, kBlock)[63], static_cast<uint8_t>(last ^ 0xFF));  // the 64th byte too
    const std::vector<uint32_t> inverted = picture(m, kBlock, false);
    for (size_t i = 0; i < inverted.size() && !multi; ++i) ASSERT_EQ(inverted[i], before[i] == 2u ? 1u : 2u);
  }
  // A row in bytes: hires pixels or multicolour pairs change places.
  for (auto [multi, first] : {std::pair{false, 0x80}, {true, 0x40}}) {
    Machine m;
    uint8_t* b = block(m, 3);
    b[0] = 0xC0, b[1] = 0x00, b[2] = 0x01;
    SpriteOps::mirror(m, 3, multi);
    EXPECT_EQ(b[0] << 16 | b[1] << 8 | b[2], first << 16 | 0x03) << multi;
  }
}

TEST(SpriteOps, ClipboardCutPasteClear) {
  Machine m = machineWithBank(3);
  SpriteClip clip{};
  for (int i = 0; i < kSpriteBlockSize; ++i) block(m, 255)[i] = static_cast<uint8_t>(i + 1);
  SpriteOps::cut(m, 255, clip);  // block 255 of bank 3 ends at $FFFF
  EXPECT_TRUE(clip[0] == 1 && clip[63] == 64 && m.ram[0xFFFF] == 0);
  SpriteOps::paste(m, 10, clip);
  EXPECT_EQ(block(m, 10)[63], 64);
  SpriteOps::clear(m, 10);
  EXPECT_EQ(block(m, 10)[0], 0);
}

TEST(SpriteOps, PenRules) {
  struct Case {
    bool multi, erase;
    int pen, x;
    uint8_t before, after;
  } cases[] = {
      {false, false, 2, 0, 0x00, 0x80}, {false, false, 2, 7, 0x00, 0x01}, {false, true, 2, 1, 0xFF, 0xBF},
      {true, false, 1, 0, 0xFF, 0x7F},  {true, false, 2, 1, 0x00, 0x80},  {true, false, 3, 6, 0x00, 0x03},
      {true, true, 3, 3, 0xFF, 0xCF},   {true, false, 1, 5, 0x0C, 0x04},
  };
  for (const Case& c : cases) {
    Machine m;
    block(m, 0)[3] = c.before;  // row 1, first byte
    SpriteOps::paintPixel(m, 0, c.x, 1, c.erase, c.multi, c.pen);
    EXPECT_EQ(block(m, 0)[3], c.after) << c.multi << c.erase << c.pen << c.x;
  }
  // Outside the grid the nearest edge pixel is painted.
  Machine m;
  SpriteOps::paintPixel(m, 0, -5, 40, false, false, 2);
  EXPECT_EQ(block(m, 0)[20 * 3], 0x80);
  SpriteOps::paintPixel(m, 0, 99, -1, false, false, 2);
  EXPECT_EQ(block(m, 0)[2], 0x01);
}

TEST(SpriteOps, BlocksSharedByTwoHardwareSprites) {
  Machine m = machineWithBank(2);
  for (int n = 0; n < kHardwareSprites; ++n) SpriteOps::setPointer(m, n, n == 2 || n == 5 ? kBlock : n);
  EXPECT_EQ(SpriteOps::users(m, kBlock), (1 << 2) | (1 << 5));
  EXPECT_EQ(SpriteOps::blockLabel(m, kBlock), "$A000 (SPRITE 2) (SPRITE 5)");
  EXPECT_EQ(SpriteOps::blockLabel(m, 0x81), "$A040");

  SpriteOps::setMulticolor(m, kBlock, true);
  EXPECT_EQ(m.vicRegs[kRegSpriteMulti], (1 << 2) | (1 << 5));
  EXPECT_TRUE(SpriteOps::editorMulticolor(m, kBlock));
  int colour = 1;
  SpriteOps::pickColor(m, kBlock, colour, false, 2, false, 9);
  EXPECT_TRUE(colour == 9 && m.vicRegs[0x29] == 9 && m.vicRegs[0x2C] == 9 && m.vicRegs[0x27] == 0);

  // A block no hardware sprite shows is edited in hires; toggling changes
  // no register.
  SpriteOps::setMulticolor(m, 0x90, true);
  EXPECT_EQ(m.vicRegs[kRegSpriteMulti], (1 << 2) | (1 << 5));
  EXPECT_FALSE(SpriteOps::editorMulticolor(m, 0x90));
}

TEST(SpriteOps, PaletteClickTargets) {
  struct Case {
    bool multi;
    int pen;
    bool right;
    int reg;  // register that takes the colour, -1 = sprite colour
  } cases[] = {{false, 1, true, kRegBg0},     {true, 1, false, kRegSpriteMc0}, {true, 3, false, kRegSpriteMc1},
               {true, 2, false, -1},          {false, 1, false, -1}};
  for (const Case& c : cases) {
    Machine m;
    SpriteOps::setPointer(m, 0, kBlock);
    int colour = 1;
    SpriteOps::pickColor(m, kBlock, colour, c.multi, c.pen, c.right, 0x1B);  // masked to 11
    EXPECT_EQ(m.vicRegs[c.reg >= 0 ? c.reg : kRegSprite0Color], 11);
    EXPECT_EQ(colour, c.reg >= 0 ? 1 : 11);
  }
}

TEST(SpriteOps, AssignAndClearPointed) {
  Machine m = machineWithBank(1);
  for (int n = 0; n < kHardwareSprites; ++n) SpriteOps::setPointer(m, n, 0x20 + n);
  SpriteOps::assign(m, 6, 0x33, 0x1D, true);
  EXPECT_EQ(SpriteOps::pointer(m, 6), 0x33);
  EXPECT_EQ(m.ram[m.screenAddr() + 0x3FE], 0x33);
  EXPECT_EQ(m.vicRegs[kRegSprite0Color + 6], 13);
  EXPECT_EQ(m.vicRegs[kRegSpriteMulti], 1 << 6);
  SpriteOps::assign(m, 6, 0x33, 2, false);
  EXPECT_EQ(m.vicRegs[kRegSpriteMulti], 0);

  for (int b = 0; b < kSpriteBlocks; ++b) block(m, b)[5] = 0xAA;
  SpriteOps::clearPointed(m);
  for (int b = 0; b < kSpriteBlocks; ++b) {
    const bool pointed = (b >= 0x20 && b <= 0x25) || b == 0x27 || b == 0x33;
    EXPECT_EQ(block(m, b)[5], pointed ? 0 : 0xAA) << b;
  }
}

TEST(SpriteOps, ArrowsWrapAndSaveRange) {
  EXPECT_EQ(SpriteOps::stepBlock(0, -1), 255);
  EXPECT_EQ(SpriteOps::stepBlock(255, 1), 0);

  struct Case {
    int bank, first, last, fixedLast;
    const char* summary;
  } cases[] = {
      {0, 8, 3, 8, "1 sprite, $0200-$023F"},
      {1, 0, 1, 1, "2 sprites, $4000-$407F"},
      {3, 255, 255, 255, "1 sprite, $FFC0-$FFFF"},
      {0, 0, 255, 255, "256 sprites, $0000-$3FFF"},
  };
  for (const Case& c : cases) {
    Machine m = machineWithBank(c.bank);
    int first = c.first, last = c.last;
    SpriteOps::correctSaveRange(first, last);
    EXPECT_EQ(last, c.fixedLast);
    EXPECT_EQ(SpriteOps::saveRangeSummary(m, first, last), c.summary);
  }

  Machine m;
  const int pointers[] = {9, 3, 200, 7, 3, 50, 60, 70};
  for (int n = 0; n < kHardwareSprites; ++n) SpriteOps::setPointer(m, n, pointers[n]);
  int first = 0, last = 0;
  SpriteOps::pointerRange(m, first, last);
  EXPECT_EQ(std::pair(first, last), std::pair(3, 200));
}
