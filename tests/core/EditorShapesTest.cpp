// Editor mouse tools: golden pixels of brushes, strokes, lines, circles,
// ellipses and boxes in each mode's pixel grid, with their undo steps.
#include "EditorTestUtil.h"

#include <gtest/gtest.h>

using namespace edtest;

TEST(EditorShapes, LineRubberBandLeavesOnlyTheFinalLine) {
  Doc d(kModeHires);
  d.ed.tool = kToolLine;
  d.ed.mouseDown(0, 0, 0);
  d.ed.mouseMove(30, 40);
  d.ed.mouseMove(3, 17);
  d.ed.mouseUp(5, 2, 0);
  // k = 0..5: x = k, y = trunc(2k / 5).
  EXPECT_EQ(d.drawn(), pixels({{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 1}, {5, 2}}));
  EXPECT_EQ(d.labels(), std::vector<std::string>{"hires drawing"});
  EXPECT_FALSE(d.ed.dragging);
  EXPECT_TRUE(d.ed.savedScreen.empty());
}

TEST(EditorShapes, LineBackToItsStartIsOneStamp) {
  Doc d(kModeHires);
  d.ed.tool = kToolLine;
  d.ed.mouseDown(100, 100, 0);
  d.ed.mouseMove(150, 120);
  d.ed.mouseMove(90, 60);
  d.ed.mouseUp(100, 100, 0);
  EXPECT_EQ(d.drawn(), pixels({{100, 100}}));
}

TEST(EditorShapes, SteepLineStepsAlongY) {
  Doc d(kModeHires);
  d.drag(kToolLine, 10, 10, 8, 15);
  // k = 0..5: x = 10 + trunc(-2k / 5), y = 10 + k.
  EXPECT_EQ(d.drawn(), pixels({{10, 10}, {10, 11}, {10, 12}, {9, 13}, {9, 14}, {8, 15}}));
}

TEST(EditorShapes, CircleOutlineGolden) {
  Doc d(kModeHires);
  d.drag(kToolCircle, 10, 10, 13, 10);
  EXPECT_EQ(d.drawn(), pixels({{7, 9}, {7, 10}, {7, 11}, {8, 8}, {8, 12}, {9, 7}, {9, 13}, {10, 7},
                               {10, 13}, {11, 7}, {11, 13}, {12, 8}, {12, 12}, {13, 9}, {13, 10}, {13, 11}}));
}

TEST(EditorShapes, FilledCircleGolden) {
  Doc d(kModeHires);
  d.ed.fillShapes = true;
  d.drag(kToolCircle, 10, 10, 11, 8);  // sqrt(5) = 2.24 rounds to radius 2
  EXPECT_EQ(d.drawn(), pixels({{8, 9}, {8, 10}, {8, 11}, {9, 8}, {9, 9}, {9, 10}, {9, 11}, {9, 12}, {10, 8},
                               {10, 9}, {10, 10}, {10, 11}, {10, 12}, {11, 8}, {11, 9}, {11, 10}, {11, 11},
                               {11, 12}, {12, 9}, {12, 10}, {12, 11}}));
}

TEST(EditorShapes, ShiftCircleIsAnEllipse) {
  Doc d(kModeHires);
  d.ed.shapeModifier = true;
  d.drag(kToolCircle, 10, 10, 6, 12);  // rx 4, ry 2
  EXPECT_EQ(d.drawn(), pixels({{6, 10}, {7, 9}, {7, 11}, {8, 8}, {8, 12}, {9, 8}, {9, 12}, {10, 8}, {10, 12},
                               {11, 8}, {11, 12}, {12, 8}, {12, 12}, {13, 9}, {13, 11}, {14, 10}}));
}

TEST(EditorShapes, FlatEllipseIsABrushLine) {
  Doc d(kModeHires);
  d.ed.shapeModifier = true;
  d.drag(kToolCircle, 50, 50, 53, 50);  // ry 0
  EXPECT_EQ(d.drawn(), pixels({{47, 50}, {48, 50}, {49, 50}, {50, 50}, {51, 50}, {52, 50}, {53, 50}}));
}

TEST(EditorShapes, TextModeCircleRadiusIsInQuarterBlocks) {
  Doc d(kModeText);
  d.drag(kToolCircle, 80, 80, 120, 80);  // 40 display pixels = radius 10 around (20, 20)
  const PixelSet golden = pixels(
      {{10, 17}, {10, 18}, {10, 19}, {10, 20}, {10, 21}, {10, 22}, {10, 23}, {11, 15}, {11, 16}, {11, 24},
       {11, 25}, {12, 14}, {12, 26}, {13, 13}, {13, 27}, {14, 12}, {14, 28}, {15, 11}, {15, 29}, {16, 11},
       {16, 29}, {17, 10}, {17, 30}, {18, 10}, {18, 30}, {19, 10}, {19, 30}, {20, 10}, {20, 30}, {21, 10},
       {21, 30}, {22, 10}, {22, 30}, {23, 10}, {23, 30}, {24, 11}, {24, 29}, {25, 11}, {25, 29}, {26, 12},
       {26, 28}, {27, 13}, {27, 27}, {28, 14}, {28, 26}, {29, 15}, {29, 16}, {29, 24}, {29, 25}, {30, 17},
       {30, 18}, {30, 19}, {30, 20}, {30, 21}, {30, 22}, {30, 23}});
  EXPECT_EQ(d.drawn(), golden);
  EXPECT_EQ(d.labels(), std::vector<std::string>{"textmode drawing"});
}

TEST(EditorShapes, MulticolorHalvesTheHorizontalRadius) {
  Doc d(kModeMultiBitmap);
  d.ed.shapeModifier = true;
  d.drag(kToolCircle, 20, 20, 28, 22);  // rx 8 / 2 = 4, ry 2, centre (10, 20)
  PixelSet golden;
  for (auto [x, y] : pixels({{6, 10}, {7, 9}, {7, 11}, {8, 8}, {8, 12}, {9, 8}, {9, 12}, {10, 8}, {10, 12},
                             {11, 8}, {11, 12}, {12, 8}, {12, 12}, {13, 9}, {13, 11}, {14, 10}}))
    golden.insert({x, y + 10});
  EXPECT_EQ(d.drawn(), golden);
  EXPECT_EQ(d.labels(), std::vector<std::string>{"multicolor drawing"});
}

TEST(EditorShapes, BoxOutlineAndFilled) {
  Doc a(kModeHires);
  a.drag(kToolBox, 5, 4, 2, 6);
  EXPECT_EQ(a.drawn(), pixels({{2, 4}, {3, 4}, {4, 4}, {5, 4}, {2, 5}, {5, 5}, {2, 6}, {3, 6}, {4, 6}, {5, 6}}));

  Doc b(kModeHires);
  b.ed.fillShapes = true;
  b.drag(kToolBox, 5, 4, 2, 6);
  PixelSet full;
  for (int y = 4; y <= 6; ++y)
    for (int x = 2; x <= 5; ++x) full.insert({x, y});
  EXPECT_EQ(b.drawn(), full);
}

TEST(EditorShapes, ShiftBoxIsASquareOnTheLongerSide) {
  Doc d(kModeHires);
  d.ed.shapeModifier = true;
  d.drag(kToolBox, 10, 10, 20, 50);
  PixelSet golden;
  for (int i = 10; i <= 50; ++i) {
    golden.insert({i, 10});
    golden.insert({i, 50});
    golden.insert({10, i});
    golden.insert({50, i});
  }
  EXPECT_EQ(d.drawn(), golden);

  // Negative differences keep their direction.
  Doc e(kModeHires);
  e.ed.shapeModifier = true;
  e.ed.fillShapes = true;
  e.drag(kToolBox, 10, 10, 8, 13);
  PixelSet square;
  for (int y = 10; y <= 13; ++y)
    for (int x = 7; x <= 10; ++x) square.insert({x, y});
  EXPECT_EQ(e.drawn(), square);
}

TEST(EditorShapes, BrushShapes) {
  Doc d(kModeHires);
  d.ed.tool = kToolDot;
  d.ed.brush = 2;
  d.ed.mouseDown(20, 20, 0);
  d.ed.mouseUp(20, 20, 0);
  PixelSet square;
  for (int y = 19; y <= 21; ++y)
    for (int x = 19; x <= 21; ++x) square.insert({x, y});
  EXPECT_EQ(d.drawn(), square);

  Doc e(kModeHires);
  e.ed.tool = kToolDot;
  e.ed.brush = 3;
  e.ed.mouseDown(20, 20, 0);
  e.ed.mouseUp(20, 20, 0);
  EXPECT_EQ(e.drawn(), pixels({{20, 18}, {19, 19}, {20, 19}, {21, 19}, {18, 20}, {19, 20}, {20, 20}, {21, 20},
                               {22, 20}, {19, 21}, {20, 21}, {21, 21}, {20, 22}}));
}

TEST(EditorShapes, SprayBrushStaysOnItsChequerGrid) {
  const PixelSet spray = pixels({{5, 4}, {7, 4}, {4, 5}, {6, 5}, {8, 5}, {5, 6},
                                 {7, 6}, {4, 7}, {6, 7}, {8, 7}, {5, 8}, {7, 8}});
  for (int p : {5, 6}) {
    Doc d(kModeHires);
    d.ed.tool = kToolDot;
    d.ed.brush = 4;
    d.ed.mouseDown(p, p, 0);
    d.ed.mouseUp(p, p, 0);
    EXPECT_EQ(d.drawn(), spray) << "at " << p;
  }
}

TEST(EditorShapes, DrawStrokeJoinsMousePositionsAsOneStep) {
  Doc d(kModeHires);
  d.ed.tool = kToolDraw;
  d.ed.mouseDown(0, 0, 0);
  d.ed.mouseMove(4, 0);
  d.ed.mouseMove(4, 3);
  d.ed.mouseUp(4, 3, 0);
  EXPECT_EQ(d.drawn(), pixels({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {4, 1}, {4, 2}, {4, 3}}));
  EXPECT_EQ(d.labels(), std::vector<std::string>{"hires drawing"});
  EXPECT_EQ(d.ed.cursorX, 0);
  EXPECT_EQ(d.ed.cursorY, 0);
  // Hovering with the pen moves the text cursor along.
  d.ed.mouseMove(100, 60);
  EXPECT_EQ(d.ed.cursorX, 12);
  EXPECT_EQ(d.ed.cursorY, 7);
}

TEST(EditorShapes, DrawInMulticolorUsesDoubleWidePixels) {
  Doc d(kModeMultiBitmap);
  d.drag(kToolLine, 0, 1, 9, 1);
  EXPECT_EQ(d.drawn(), pixels({{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}}));
  EXPECT_EQ(d.m.ram[kBitmap + 1], 0x55);
  EXPECT_EQ(d.m.ram[kBitmap + 9], 0x40);
  EXPECT_EQ(d.m.ram[kScreen], 0x10);  // slot 1 took the drawing colour
}

TEST(EditorShapes, RightButtonErasesAndFillIgnoresIt) {
  Doc d(kModeHires);
  d.drag(kToolLine, 0, 0, 7, 0);
  EXPECT_EQ(d.m.ram[kBitmap], 0xFF);
  d.drag(kToolDraw, 2, 0, 5, 0, 1);
  EXPECT_EQ(d.m.ram[kBitmap], 0xC3);
  EXPECT_EQ(d.labels().size(), 2u);

  d.ed.tool = kToolFill;
  d.ed.mouseDown(100, 100, 1);
  d.ed.mouseUp(100, 100, 1);
  EXPECT_EQ(d.labels().size(), 2u);
  EXPECT_EQ(d.m.ram[kBitmap + 12 * 320 + 12 * 8 + 4], 0);
}

TEST(EditorShapes, OutsidePointsAreClampedOrIgnored) {
  Doc d(kModeHires);
  d.drag(kToolLine, -50, -50, -10, -1);  // both ends clamp to (0, 0)
  EXPECT_EQ(d.drawn(), pixels({{0, 0}}));
  Doc e(kModeHires);
  e.ed.brush = 2;
  e.drag(kToolDot, 400, 300, 400, 300);  // clamped to (319, 199); the brush is cut at the edge
  EXPECT_EQ(e.drawn(), pixels({{318, 198}, {319, 198}, {318, 199}, {319, 199}}));
}

TEST(EditorShapes, PickColorByToolAndPosition) {
  Doc d(kModeHires);
  d.m.ram[kScreen] = 0x5A;
  d.m.ram[kBitmap] = 0x80;
  d.ed.tool = kToolDraw;
  d.ed.mouseDown(0, 0, 2);
  EXPECT_EQ(d.m.pen, 5);
  EXPECT_TRUE(d.ed.picking);
  d.ed.mouseMove(1, 0);  // drags do nothing while picking
  d.ed.mouseUp(1, 0, 2);
  EXPECT_FALSE(d.ed.picking);
  d.ed.mouseDown(1, 0, 2);
  EXPECT_EQ(d.m.pen, 10);
  d.ed.mouseDown(-1, 0, 2);  // outside: unchanged
  EXPECT_EQ(d.m.pen, 10);
  EXPECT_TRUE(d.undo.undoItems.empty());

  Doc t(kModeText);
  t.m.ram[kColorRam + 41] = 0xF3;
  t.ed.tool = kToolText;
  t.ed.pickColor(8, -7);  // -7 / 8 is row 0
  EXPECT_EQ(t.m.pen, 0);
  t.ed.pickColor(15, 8);
  EXPECT_EQ(t.m.pen, 3);
  t.ed.pickColor(15, -8);
  t.ed.pickColor(320, 8);
  EXPECT_EQ(t.m.pen, 3);
}

TEST(EditorShapes, TextToolPlacesTheCursor) {
  Doc d(kModeText);
  d.ed.tool = kToolText;
  d.ed.undoPending = false;
  d.ed.mouseDown(3, 50, 0);  // cell (0, 6), where the cursor already is
  EXPECT_FALSE(d.ed.undoPending);
  d.ed.mouseDown(-5, 500, 0);
  EXPECT_EQ(d.ed.cursorX, 0);
  EXPECT_EQ(d.ed.cursorY, 24);
  EXPECT_TRUE(d.ed.undoPending);
  EXPECT_TRUE(d.undo.undoItems.empty());
}

TEST(EditorShapes, SelectionDragAndRemoval) {
  Doc d(kModeText);
  d.ed.tool = kToolSelect;
  d.ed.mouseDown(30, 20, 0);
  d.ed.mouseMove(10, 100);
  d.ed.mouseUp(10, 100, 0);
  int l, t, r, b;
  d.ed.selRect(l, t, r, b);
  EXPECT_TRUE(d.ed.selActive);
  EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{1, 2, 3, 12}));
  d.ed.mouseMove(200, 100);  // no drag: the corner stays
  d.ed.selRect(l, t, r, b);
  EXPECT_EQ(r, 3);
  d.ed.mouseDown(0, 0, 1);
  EXPECT_FALSE(d.ed.selActive);
  d.ed.selectAll();
  d.ed.selRect(l, t, r, b);
  EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{0, 0, 39, 24}));
}

TEST(EditorShapes, CellColorsPerMode) {
  Doc d(kModeText);
  d.m.vicRegs[kRegBg0] = 0xF6;
  d.m.vicRegs[kRegBg1] = 1;
  d.m.vicRegs[kRegBg2] = 2;
  d.m.vicRegs[kRegBg3] = 3;
  d.m.ram[kScreen + 41] = 0x81;  // code with the top bits 10
  d.m.ram[kColorRam + 41] = 0xFE;
  int c[4];
  const auto colors = [&](int x, int y) {
    d.ed.cellColors(x, y, c);
    return std::vector<int>{c[0], c[1], c[2], c[3]};
  };
  EXPECT_EQ(colors(8, 8), (std::vector<int>{6, -1, -1, 14}));
  d.m.setGfxMode(kModeMultiText);
  EXPECT_EQ(colors(8, 8), (std::vector<int>{6, 1, 2, 14}));
  d.m.setGfxMode(kModeExtBgText);
  EXPECT_EQ(colors(8, 8), (std::vector<int>{2, -1, -1, 14}));
  d.m.vicRegs[kRegCtrl2] |= kBitMCM;
  EXPECT_EQ(colors(8, 8), (std::vector<int>{2, 1, 2, 14}));
  d.m.setGfxMode(kModeHires);
  EXPECT_EQ(colors(8, 8), (std::vector<int>{-1, 8, 1, -1}));
  d.m.setGfxMode(kModeMultiBitmap);
  EXPECT_EQ(colors(8, 8), (std::vector<int>{6, 8, 1, 14}));
  d.m.ram[kScreen + 999] = 0x4C;
  EXPECT_EQ(colors(5000, 5000), (std::vector<int>{6, 4, 12, 0}));
}

TEST(EditorShapes, SetCellColorSlots) {
  Doc d(kModeExtBgText);
  d.m.ram[kScreen + 41] = 0xC1;  // background register 3
  d.ed.setCellColor(0, 8, 8, 0x1F);
  EXPECT_EQ(d.m.vicRegs[kRegBg3], 15);
  EXPECT_EQ(d.m.vicRegs[kRegBg0], 6);
  d.ed.setCellColor(1, 8, 8, 9);  // no MCM: nothing
  EXPECT_EQ(d.m.vicRegs[kRegBg1], 1);
  d.m.setGfxMode(kModeMultiText);
  d.ed.setCellColor(0, 8, 8, 4);
  d.ed.setCellColor(1, 8, 8, 9);
  d.ed.setCellColor(2, 8, 8, 10);
  d.ed.setCellColor(3, 8, 8, 11);
  d.ed.setCellColor(4, 8, 8, 12);
  EXPECT_EQ(d.m.vicRegs[kRegBg0], 4);
  EXPECT_EQ(d.m.vicRegs[kRegBg1], 9);
  EXPECT_EQ(d.m.vicRegs[kRegBg2], 10);
  EXPECT_EQ(d.m.ram[kColorRam + 41], 11);
  d.m.setGfxMode(kModeHires);
  d.ed.setCellColor(1, 8, 8, 7);
  d.ed.setCellColor(2, 8, 8, 3);
  EXPECT_EQ(d.m.ram[kScreen + 41], 0x73);
  EXPECT_EQ(d.m.vicRegs[kRegBg1], 9);
  EXPECT_TRUE(d.undo.undoItems.empty());
}

TEST(EditorShapes, SetCellColorClampsTheCell) {
  Doc d(kModeMultiBitmap);
  const auto before = d.m.ram;
  d.ed.setCellColor(3, 5000, 5000, 7);
  d.ed.setCellColor(1, 5000, -5000, 9);
  d.ed.setCellColor(3, -100, -100, 5);
  auto expected = before;
  expected[kColorRam + 999] = 7;
  expected[kScreen + 39] = 0x90;
  expected[kColorRam] = 5;
  EXPECT_EQ(d.m.ram, expected);
}

TEST(EditorShapes, RightButtonStillSetsFilledShapes) {
  // Only brush points are cleared while erasing; filled boxes and ellipses
  // set their pixels with either button.
  for (int button : {0, 1}) {
    Doc d(kModeHires);
    d.ed.fillShapes = true;
    d.drag(kToolBox, 2, 4, 5, 6, button);
    PixelSet full;
    for (int y = 4; y <= 6; ++y)
      for (int x = 2; x <= 5; ++x) full.insert({x, y});
    EXPECT_EQ(d.drawn(), full) << button;

    Doc e(kModeHires);
    e.ed.fillShapes = true;
    e.drag(kToolCircle, 50, 50, 52, 50, button);
    PixelSet disc;
    for (int y = 48; y <= 52; ++y)
      for (int x = 48; x <= 52; ++x)
        if ((x - 50) * (x - 50) + (y - 50) * (y - 50) <= 5) disc.insert({x, y});
    EXPECT_EQ(e.drawn(), disc) << button;
  }
}
