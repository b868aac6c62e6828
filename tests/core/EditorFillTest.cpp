// Editor flood fill: the whole connected region of the target colour is
// painted in every mode, also where painting one pixel recolours its cell,
// as one "floodfill" step; walls stop it.
#include "EditorTestUtil.h"

#include <gtest/gtest.h>

using namespace edtest;

TEST(EditorFill, HiresFillsPastCellsWhoseBackgroundChanges) {
  // Every pixel is clear with background nibble 0, but painting sets the
  // cell's screen byte to pen on $D021 (6): the cell's other clear pixels
  // then no longer show the target colour 0.
  Doc d(kModeHires);
  d.m.pen = 2;
  d.ed.tool = kToolFill;
  d.ed.mouseDown(100, 100, 0);
  d.ed.mouseUp(100, 100, 0);
  for (int i = 0; i < kBitmapSize; ++i) ASSERT_EQ(d.m.ram[kBitmap + i], 0xFF) << i;
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(d.m.ram[kScreen + i], 0x26) << i;
  EXPECT_EQ(d.labels(), std::vector<std::string>{"hires floodfill"});
  d.undo.MakeUndo();
  for (int i = 0; i < kBitmapSize; ++i) ASSERT_EQ(d.m.ram[kBitmap + i], 0) << i;
}

TEST(EditorFill, TextFillsPastCellsWhoseColourChanges) {
  // Reversed spaces (all four quarters set) in colour 5: painting a quarter
  // gives the whole cell the drawing colour at once.
  Doc d(kModeText);
  for (int i = 0; i < kScreenCells; ++i) {
    d.m.ram[kScreen + i] = 0xE0;
    d.m.ram[kColorRam + i] = 5;
  }
  d.m.pen = 2;
  d.ed.tool = kToolFill;
  d.ed.mouseDown(0, 0, 0);
  for (int i = 0; i < kScreenCells; ++i) {
    ASSERT_EQ(d.m.ram[kColorRam + i], 2) << i;
    ASSERT_EQ(d.m.ram[kScreen + i], 0xE0) << i;
  }
  EXPECT_EQ(d.labels(), std::vector<std::string>{"textmode floodfill"});
}

TEST(EditorFill, MulticolorFillsPastAReusedSlot) {
  // Each cell shows colour 5 in slot 1 (rows 0-1, 8 pairs), 8 in slot 2
  // (rows 2-4, 12 pairs) and 9 in slot 3 (rows 5-7, 12 pairs). The new
  // colour takes over the least used slot 1, so the first painted pixel
  // turns all target pixels of its cell at once.
  Doc d(kModeMultiBitmap);
  const uint8_t rows[8] = {0x55, 0x55, 0xAA, 0xAA, 0xAA, 0xFF, 0xFF, 0xFF};
  for (int cell = 0; cell < kScreenCells; ++cell) {
    const int cx = cell % kScreenCols, cy = cell / kScreenCols;
    for (int i = 0; i < 8; ++i) d.m.ram[kBitmap + cy * 320 + cx * 8 + i] = rows[i];
    d.m.ram[kScreen + cell] = 0x58;
    d.m.ram[kColorRam + cell] = 9;
  }
  const auto before = d.m.ram;
  d.m.pen = 2;
  d.ed.tool = kToolFill;
  d.ed.mouseDown(0, 0, 0);  // pixel (0, 0): pair 01, colour 5
  // Rows 0-1 join all 40 cells of the first cell row; the rows below are
  // walls of the other colours.
  auto expected = before;
  for (int cx = 0; cx < kScreenCols; ++cx) expected[kScreen + cx] = 0x28;
  EXPECT_EQ(d.m.ram, expected);
  EXPECT_EQ(d.labels(), std::vector<std::string>{"multicolor floodfill"});
  EXPECT_FALSE(d.ed.takePixelWarning());
}

TEST(EditorFill, StopsAtWallsAndKeepsTheOutside) {
  Doc d(kModeHires);
  d.drag(kToolBox, 10, 10, 20, 15);
  d.m.pen = 1;
  d.ed.tool = kToolFill;
  d.ed.mouseDown(12, 12, 0);
  PixelSet golden;
  for (int y = 10; y <= 15; ++y)
    for (int x = 10; x <= 20; ++x) golden.insert({x, y});
  EXPECT_EQ(d.drawn(), golden);
  EXPECT_EQ(d.labels(), (std::vector<std::string>{"hires drawing", "hires floodfill"}));
}

TEST(EditorFill, DiagonalNeighboursDoNotConnect) {
  Doc d(kModeHires);
  d.drag(kToolLine, 0, 5, 5, 0);  // a diagonal wall from (0,5) to (5,0)
  d.m.pen = 3;
  d.ed.tool = kToolFill;
  d.ed.mouseDown(0, 0, 0);
  // Only the triangle x + y < 5 above the diagonal is set; the cell's
  // colour becomes 3 for the wall too.
  const uint8_t rows[8] = {0xFC, 0xF8, 0xF0, 0xE0, 0xC0, 0x80, 0x00, 0x00};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(d.m.ram[kBitmap + i], rows[i]) << i;
  EXPECT_EQ(d.m.ram[kScreen], 0x36);
  for (int i = 8; i < kBitmapSize; ++i) ASSERT_EQ(d.m.ram[kBitmap + i], 0) << i;
}

TEST(EditorFill, FillWithTheSameColourOrOutsideDoesNothing) {
  Doc d(kModeHires);
  d.m.pen = 0;  // every pixel already shows colour 0
  d.ed.tool = kToolFill;
  const auto before = d.m.ram;
  d.ed.mouseDown(10, 10, 0);
  d.m.pen = 5;
  d.ed.mouseDown(-1, 10, 0);
  d.ed.mouseDown(10, 200, 0);
  EXPECT_EQ(d.m.ram, before);
  EXPECT_TRUE(d.undo.undoItems.empty());
}

TEST(EditorFill, FixedColorsFailingPixelsRaiseTheWarning) {
  Doc d(kModeMultiBitmap);
  for (int cell = 0; cell < kScreenCells; ++cell) {
    d.m.ram[kScreen + cell] = 0x12;
    d.m.ram[kColorRam + cell] = 3;
  }
  d.ed.pix.fixedColors = true;
  d.m.pen = 7;  // in no slot
  d.ed.tool = kToolFill;
  const auto before = d.m.ram;
  d.ed.mouseDown(0, 0, 0);
  EXPECT_EQ(d.m.ram, before);
  EXPECT_TRUE(d.ed.takePixelWarning());
  EXPECT_FALSE(d.ed.takePixelWarning());
  EXPECT_EQ(d.labels().size(), 1u);
}
