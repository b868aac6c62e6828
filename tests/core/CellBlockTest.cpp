// Stamping a block where it only partly fits, read back through a grab of
// the part that landed on the screen.
#include "core/CellBlock.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(CellBlock, StampClipsToTheScreenAndGrabReadsItBack) {
  Machine m;
  m.reset();
  m.setGfxMode(kModeHires);
  CellBlock b;
  b.width = 4;
  b.height = 3;
  b.isBitmap = true;
  for (int i = 0; i < 12; ++i) {
    b.bitmap.push_back(0x0102030405060708ull * static_cast<uint64_t>(i + 1));
    b.screen.push_back(static_cast<uint8_t>(0x10 + i));
    b.color.push_back(static_cast<uint8_t>(0x20 + i));
  }
  struct Case {
    int column, row;
  };
  for (const Case c : {Case{0, 0}, Case{-2, -1}, Case{38, 23}, Case{-3, 24}, Case{39, -2}, Case{40, 0}, Case{-4, 0}}) {
    std::fill(m.ram.begin(), m.ram.end(), 0);
    stampBlock(m, b, c.column, c.row);
    const int l = std::max(c.column, 0), t = std::max(c.row, 0);
    const int r = std::min(c.column + b.width - 1, kScreenCols - 1);
    const int btm = std::min(c.row + b.height - 1, kScreenRows - 1);
    int written = 0;
    for (uint8_t v : m.ram) written += v != 0;
    if (l > r || t > btm) {
      EXPECT_EQ(written, 0) << c.column << "," << c.row;
      continue;
    }
    const CellBlock got = grabBlock(m, l, t, r, btm);
    size_t k = 0;
    for (int y = t; y <= btm; ++y)
      for (int x = l; x <= r; ++x, ++k) {
        const size_t i = static_cast<size_t>(y - c.row) * b.width + (x - c.column);
        EXPECT_EQ(got.bitmap[k], b.bitmap[i]);
        EXPECT_EQ(got.screen[k], b.screen[i]);
        EXPECT_EQ(got.color[k], b.color[i]);
      }
    // Nothing outside the landed cells: 10 bytes per cell (8 + screen + colour).
    EXPECT_EQ(written, static_cast<int>(k) * 10) << c.column << "," << c.row;
  }
}
