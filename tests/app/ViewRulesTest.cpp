// The rules of the second view, register and memory-bitmap windows: the
// register names, the zoom steps and the centring scroll, and the memory
// bitmap's pixels and hover text (the fast painting against the
// pixel-by-pixel rule).
#include "app/ViewRules.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

namespace {

TEST(ViewRules, RegisterNames) {
  char want[32];
  for (int i = 0; i < 16; ++i) {  // the regular rows follow from their number
    std::snprintf(want, sizeof want, "Sprite%d %c Position", i / 2, i % 2 ? 'Y' : 'X');
    EXPECT_STREQ(regNames[i], want) << i;
  }
  for (int i = 0; i < 8; ++i) {
    std::snprintf(want, sizeof want, "Sprite%d Color", i);
    EXPECT_STREQ(regNames[0x27 + i], want) << i;
  }
  const char* const named[] = {  // $10-$26
      "MSB of Sprite X Coord", "Y Scroll Mode", "Raster", "Light Pen X", "Light Pen Y", "Sprite Enable",
      "X Scroll Mode", "Sprite Expand Y", "Screen and Char Base Address", "IRQ", "IRQ Mask",
      "Background-Sprite Priority", "Multicolor Sprite", "Sprite Expand X", "Sprite-Sprite Collision",
      "Sprite-Background Collision", "Border Color", "Background Color 0", "Background Color 1",
      "Background Color 2", "Background Color 3", "Sprite Multicolor 0", "Sprite Multicolor 1"};
  for (int i = 0; i < int(std::size(named)); ++i) EXPECT_STREQ(regNames[0x10 + i], named[i]) << i;
  EXPECT_EQ(RegisterBits(0xA5), "10100101");
  EXPECT_EQ(RegisterBits(0x01), "00000001");
}

TEST(ViewRules, SecondViewZoomAndCentringScroll) {
  const std::array<int, 3> steps[] = {{1, -1, 1}, {1, 1, 2}, {12, 1, 12}, {11, 1, 12}, {5, -1, 4}};
  for (const auto& s : steps) EXPECT_EQ(StepSecondViewZoom(s[0], s[1]), s[2]);

  // Near the top-left corner the scroll is (0, 0), never negative; else
  // the visible 200 x 150 frame pixels are centred on the point.
  const ScrollPos corner = CentreScrollOn(3, 2, 200, 150, 4), s = CentreScrollOn(300, 100, 200, 150, 2);
  EXPECT_EQ(std::make_pair(corner.x, corner.y), std::make_pair(0.0f, 0.0f));
  EXPECT_EQ(std::make_pair(s.x, s.y), std::make_pair((300 - 100) * 2.0f, (100 - 75) * 2.0f));

  const std::pair<double, int> pulse[] = {{0.0, 250}, {0.25, 125}, {0.5, 0}, {1.0, 250}};  // once a second
  for (auto [t, grey] : pulse) EXPECT_EQ(PulseGrey(t), grey) << t;
}

TEST(ViewRules, MemoryBitmapLayouts) {
  const std::array<int, 5> cases[] = {  // one bit, width selection, count, width, height
      {0, 0, 65536, 160, 410}, {0, 1, 65536, 320, 205}, {0, 2, 65536, 640, 103},
      {0, 3, 65536, 1280, 52}, {1, 0, 524288, 160, 3277}, {1, 3, 524288, 1280, 410}};
  for (const auto& [oneBit, sel, count, width, height] : cases) {
    const MemBitmapLayout l = MemBitmapLayoutFor(oneBit, sel);
    EXPECT_EQ(std::make_tuple(l.count, l.width, l.height), std::make_tuple(count, width, height)) << oneBit << sel;
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
  EXPECT_EQ(MemBitmapPixel(ram.data(), false, kRamSize), kBlack);  // the padding of the last row
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
