// The rules of the second view, register and memory-bitmap windows: the
// register names, the zoom steps and the centring scroll, and the memory
// bitmap's pixels and hover text (the fast painting against the
// pixel-by-pixel rule).
#include "app/ViewRules.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

TEST(ViewRules, RegisterNames) {
  // The regular rows follow from their register number.
  for (int i = 0; i < 16; ++i) {
    char want[32];
    std::snprintf(want, sizeof want, "Sprite%d %c Position", i / 2, i % 2 ? 'Y' : 'X');
    EXPECT_STREQ(regNames[i], want) << i;
  }
  for (int i = 0; i < 8; ++i) {
    char want[32];
    std::snprintf(want, sizeof want, "Sprite%d Color", i);
    EXPECT_STREQ(regNames[0x27 + i], want) << i;
  }
  const std::pair<int, const char*> named[] = {
      {0x10, "MSB of Sprite X Coord"},    {0x11, "Y Scroll Mode"},
      {0x12, "Raster"},                   {0x13, "Light Pen X"},
      {0x14, "Light Pen Y"},              {0x15, "Sprite Enable"},
      {0x16, "X Scroll Mode"},            {0x17, "Sprite Expand Y"},
      {0x18, "Screen and Char Base Address"}, {0x19, "IRQ"},
      {0x1A, "IRQ Mask"},                 {0x1B, "Background-Sprite Priority"},
      {0x1C, "Multicolor Sprite"},        {0x1D, "Sprite Expand X"},
      {0x1E, "Sprite-Sprite Collision"},  {0x1F, "Sprite-Background Collision"},
      {0x20, "Border Color"},             {0x21, "Background Color 0"},
      {0x22, "Background Color 1"},       {0x23, "Background Color 2"},
      {0x24, "Background Color 3"},       {0x25, "Sprite Multicolor 0"},
      {0x26, "Sprite Multicolor 1"},
  };
  for (const auto& [i, name] : named) EXPECT_STREQ(regNames[i], name) << i;
  EXPECT_EQ(RegisterBits(0xA5), "10100101");
  EXPECT_EQ(RegisterBits(0x01), "00000001");
}

TEST(ViewRules, SecondViewZoomAndCentringScroll) {
  const std::array<int, 3> steps[] = {{1, -1, 1}, {1, 1, 2}, {12, 1, 12}, {11, 1, 12}, {5, -1, 4}};
  for (const auto& s : steps) EXPECT_EQ(StepSecondViewZoom(s[0], s[1]), s[2]);

  // Near the top-left corner the scroll is (0, 0), never negative.
  const ScrollPos corner = CentreScrollOn(3, 2, 200, 150, 4);
  EXPECT_EQ(corner.x, 0);
  EXPECT_EQ(corner.y, 0);
  // Centring the visible 200 x 150 frame pixels on (300, 100) at zoom 2.
  const ScrollPos s = CentreScrollOn(300, 100, 200, 150, 2);
  EXPECT_EQ(s.x, (300 - 100) * 2);
  EXPECT_EQ(s.y, (100 - 75) * 2);

  EXPECT_EQ(PulseGrey(0.0), 250);
  EXPECT_EQ(PulseGrey(0.25), 125);
  EXPECT_EQ(PulseGrey(0.5), 0);
  EXPECT_EQ(PulseGrey(1.0), 250);  // once a second
}

TEST(ViewRules, MemoryBitmapLayouts) {
  struct Case {
    bool oneBit;
    int widthSel;
    int count, width, height;
  };
  const Case cases[] = {
      {false, 0, 65536, 160, 410}, {false, 1, 65536, 320, 205}, {false, 2, 65536, 640, 103},
      {false, 3, 65536, 1280, 52}, {true, 0, 524288, 160, 3277}, {true, 3, 524288, 1280, 410},
  };
  for (const Case& c : cases) {
    const MemBitmapLayout l = MemBitmapLayoutFor(c.oneBit, c.widthSel);
    EXPECT_EQ(l.count, c.count);
    EXPECT_EQ(l.width, c.width);
    EXPECT_EQ(l.height, c.height);
  }
}

TEST(ViewRules, MemoryBitmapPixelsOfAKnownByte) {
  std::vector<uint8_t> ram(kRamSize, 0);
  ram[0x1234] = 0xA5;
  constexpr uint32_t kBlack = 0xFF000000u, kWhite = 0xFFFFFFFFu;
  EXPECT_EQ(MemBitmapPixel(ram.data(), false, 0x1234), 0xFFA5A5A5u);
  // Bit 7 first: 1010 0101.
  const uint32_t bits[8] = {kWhite, kBlack, kWhite, kBlack, kBlack, kWhite, kBlack, kWhite};
  for (int b = 0; b < 8; ++b) EXPECT_EQ(MemBitmapPixel(ram.data(), true, 0x1234 * 8 + b), bits[b]) << b;
  EXPECT_EQ(MemBitmapPixel(ram.data(), false, kRamSize), kBlack);
  EXPECT_EQ(MemBitmapPixel(ram.data(), true, kRamSize * 8), kBlack);
}

TEST(ViewRules, PaintedMemoryBitmapMatchesThePixelRuleInEveryLayout) {
  std::vector<uint8_t> ram(kRamSize);
  uint32_t seed = 12345;
  for (uint8_t& b : ram) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  for (int oneBit = 0; oneBit < 2; ++oneBit) {
    for (int sel = 0; sel < kMemBitmapWidthCount; ++sel) {
      const MemBitmapLayout l = MemBitmapLayoutFor(oneBit != 0, sel);
      std::vector<uint32_t> px(static_cast<size_t>(l.width) * l.height, 0x12345678u);
      RenderMemBitmap(ram.data(), oneBit != 0, l, px.data());
      for (int i = 0; i < l.width * l.height; ++i)
        ASSERT_EQ(px[i], MemBitmapPixel(ram.data(), oneBit != 0, i)) << oneBit << " " << sel << " " << i;
    }
  }
  // Width 160, 8 bit: the last 64 pixels pad the last row in black.
  const MemBitmapLayout l = MemBitmapLayoutFor(false, 0);
  std::vector<uint32_t> px(static_cast<size_t>(l.width) * l.height);
  RenderMemBitmap(ram.data(), false, l, px.data());
  for (size_t i = px.size() - 64; i < px.size(); ++i) EXPECT_EQ(px[i], 0xFF000000u);
}

TEST(ViewRules, MemoryBitmapHoverTexts) {
  std::vector<uint8_t> ram(kRamSize, 0);
  ram[645] = 0x3C;
  ram[0x0010] = 0x7F;
  EXPECT_EQ(MemBitmapTooltip(ram.data(), true, 1280, 0, 0), "Memory position $0000 (0) bit 0\nXY: (0, 0)");
  EXPECT_EQ(MemBitmapTooltip(ram.data(), true, 160, 3, 1), "Memory position $0014 (20) bit 3\nXY: (3, 1)");
  EXPECT_EQ(MemBitmapTooltip(ram.data(), false, 320, 5, 2), "Memory position $0285 (645) = $3C\nXY: (5, 2)");
  // Past the memory (the padding of the last row) the address wraps.
  EXPECT_EQ(MemBitmapTooltip(ram.data(), false, 160, 112, 409),
            "Memory position $0010 (65552) = $7F\nXY: (112, 409)");
}

}  // namespace
