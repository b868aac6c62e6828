// Editor block work: the one-cell and block clipboards, clear, invert and
// flips byte by byte, the paste preview, clearing the screen, and the
// withdrawal of previews before other changes of the document.
#include "EditorTestUtil.h"

#include <gtest/gtest.h>

using namespace edtest;

namespace {

uint8_t& scr(Doc& d, int cx, int cy) { return d.m.ram[kScreen + cy * kScreenCols + cx]; }
uint8_t& col(Doc& d, int cx, int cy) { return d.m.ram[kColorRam + cy * kScreenCols + cx]; }
uint8_t& bmp(Doc& d, int cx, int cy, int i) { return d.m.ram[kBitmap + cy * 320 + cx * 8 + i]; }

// Distinct bytes in every cell so moved cells can be recognised.
void pattern(Doc& d) {
  for (int cy = 0; cy < kScreenRows; ++cy)
    for (int cx = 0; cx < kScreenCols; ++cx) {
      scr(d, cx, cy) = static_cast<uint8_t>(cy * 40 + cx);
      col(d, cx, cy) = static_cast<uint8_t>(0xF0 | ((cx + cy) & 15));
      for (int i = 0; i < 8; ++i) bmp(d, cx, cy, i) = static_cast<uint8_t>(cx * 8 + i + cy);
    }
}

void select(Editor& ed, int x0, int y0, int x1, int y1) {
  ed.selX0 = x0;
  ed.selY0 = y0;
  ed.selX1 = x1;
  ed.selY1 = y1;
  ed.selActive = true;
}

}  // namespace

TEST(EditorBlocks, CharClipboardCopiesAndPastesOneCell) {
  Doc d(kModeHires);
  pattern(d);
  d.ed.cursorX = 3;
  d.ed.cursorY = 2;
  d.ed.copyChar();
  EXPECT_EQ(d.ed.charClip.code, scr(d, 3, 2));
  EXPECT_EQ(d.ed.charClip.color, col(d, 3, 2));
  d.ed.cursorX = 10;
  d.ed.pasteChar();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(bmp(d, 10, 2, i), bmp(d, 3, 2, i));
  EXPECT_EQ(scr(d, 10, 2), scr(d, 3, 2));
  EXPECT_EQ(col(d, 10, 2), col(d, 3, 2));
  EXPECT_EQ(d.ed.cursorX, 10);
  EXPECT_EQ(d.labels(), std::vector<std::string>{"hires paste"});

  // In text modes the bitmap part keeps its value and is not written.
  Doc t(kModeText);
  pattern(t);
  t.ed.charClip.bitmap.fill(0xAA);
  t.ed.cursorX = 1;
  t.ed.cursorY = 1;
  t.ed.copyChar();
  EXPECT_EQ(t.ed.charClip.bitmap[0], 0xAA);
  t.ed.cursorX = 0;
  t.ed.cursorY = 0;
  const uint8_t bitmapByte = t.m.ram[kBitmap];
  t.ed.pasteChar();
  EXPECT_EQ(scr(t, 0, 0), 41);
  EXPECT_EQ(t.m.ram[kBitmap], bitmapByte);
  EXPECT_EQ(t.labels(), std::vector<std::string>{"textmode paste"});
}

TEST(EditorBlocks, CopyGrabsTheSelectionByteExact) {
  Doc d(kModeHires);
  pattern(d);
  select(d.ed, 4, 3, 2, 2);  // corners in any order
  d.ed.copyBlock();
  const Editor::Block& b = d.ed.clipBlock;
  ASSERT_EQ(b.width, 3);
  ASSERT_EQ(b.height, 2);
  EXPECT_TRUE(b.isBitmap);
  ASSERT_EQ(b.bitmap.size(), 6u);
  ASSERT_EQ(b.screen.size(), 6u);
  EXPECT_EQ(b.screen[0], 82);
  EXPECT_EQ(b.screen[5], 124);
  EXPECT_EQ(b.color[4], 0xF0 | 6);
  uint64_t first = 0;
  for (int i = 0; i < 8; ++i) first |= static_cast<uint64_t>(bmp(d, 2, 2, i)) << (8 * i);
  EXPECT_EQ(b.bitmap[0], first);
  EXPECT_TRUE(d.undo.undoItems.empty());

  Doc t(kModeText);
  select(t.ed, 0, 0, 0, 0);
  t.ed.copyBlock();
  EXPECT_FALSE(t.ed.clipBlock.isBitmap);
  EXPECT_TRUE(t.ed.clipBlock.bitmap.empty());
}

TEST(EditorBlocks, CutClearsTextCodesButKeepsColours) {
  Doc d(kModeText);
  pattern(d);
  auto before = d.m.ram;
  select(d.ed, 1, 1, 2, 1);
  d.ed.cutBlock();
  EXPECT_EQ(d.ed.clipBlock.screen, (std::vector<uint8_t>{41, 42}));
  before[kScreen + 41] = 0x20;
  before[kScreen + 42] = 0x20;
  EXPECT_EQ(d.m.ram, before);
  EXPECT_EQ(d.labels(), std::vector<std::string>{"textmode clear block"});
}

TEST(EditorBlocks, ClearBlockInBitmapZeroesOnlyTheBitmap) {
  Doc d(kModeMultiBitmap);
  pattern(d);
  auto before = d.m.ram;
  select(d.ed, 39, 24, 39, 24);
  d.ed.clearBlock();
  for (int i = 0; i < 8; ++i) before[kBitmap + 24 * 320 + 39 * 8 + i] = 0;
  EXPECT_EQ(d.m.ram, before);
  EXPECT_EQ(d.labels(), std::vector<std::string>{"multicolor clear block"});
}

TEST(EditorBlocks, BlockOperationsNeedASelection) {
  Doc d(kModeText);
  pattern(d);
  const auto before = d.m.ram;
  d.ed.copyBlock();
  d.ed.cutBlock();
  d.ed.clearBlock();
  d.ed.invertBlock();
  d.ed.flipBlockX();
  d.ed.flipBlockY();
  EXPECT_EQ(d.ed.clipBlock.width, 0);
  EXPECT_FALSE(d.ed.startPaste());
  EXPECT_FALSE(d.ed.pasting);
  EXPECT_EQ(d.m.ram, before);
  EXPECT_TRUE(d.undo.undoItems.empty());
}

TEST(EditorBlocks, InvertTwiceRestoresExactly) {
  Doc d(kModeText);
  pattern(d);
  const auto before = d.m.ram;
  select(d.ed, 0, 0, 39, 24);
  d.ed.invertBlock();
  EXPECT_EQ(scr(d, 0, 0), 0x80);
  EXPECT_EQ(scr(d, 1, 3), (121 + 128) & 255);
  d.ed.invertBlock();
  EXPECT_EQ(d.m.ram, before);
  EXPECT_EQ(d.labels(), (std::vector<std::string>{"textmode invert block", "textmode invert block"}));

  Doc h(kModeHires);
  pattern(h);
  select(h.ed, 1, 1, 1, 1);
  h.ed.invertBlock();
  EXPECT_EQ(bmp(h, 1, 1, 0), static_cast<uint8_t>(~9));
  EXPECT_EQ(scr(h, 1, 1), 41);
}

TEST(EditorBlocks, FlipXMirrorsBitsOrPairs) {
  Doc mc(kModeMultiBitmap);
  bmp(mc, 0, 0, 0) = 0x1B;
  select(mc.ed, 0, 0, 0, 0);
  mc.ed.flipBlockX();
  EXPECT_EQ(bmp(mc, 0, 0, 0), 0xE4);
  EXPECT_EQ(mc.labels(), std::vector<std::string>{"multicolor flip block"});

  Doc hi(kModeHires);
  bmp(hi, 0, 0, 0) = 0x1B;
  select(hi.ed, 0, 0, 0, 0);
  hi.ed.flipBlockX();
  EXPECT_EQ(bmp(hi, 0, 0, 0), 0xD8);
}

TEST(EditorBlocks, FlipsReorderCellsAndRows) {
  Doc d(kModeHires);
  pattern(d);
  auto orig = d.m.ram;
  select(d.ed, 5, 2, 7, 3);
  d.ed.flipBlockX();
  // Cells swap places within each row; codes and colours travel along.
  EXPECT_EQ(scr(d, 5, 2), orig[kScreen + 87]);
  EXPECT_EQ(scr(d, 6, 2), orig[kScreen + 86]);
  EXPECT_EQ(scr(d, 7, 3), orig[kScreen + 125]);
  EXPECT_EQ(col(d, 5, 3), orig[kColorRam + 127]);
  const uint8_t src = orig[kBitmap + 2 * 320 + 7 * 8 + 3];
  uint8_t mirrored = 0;
  for (int b = 0; b < 8; ++b)
    if (src & (1 << b)) mirrored |= static_cast<uint8_t>(0x80 >> b);
  EXPECT_EQ(bmp(d, 5, 2, 3), mirrored);

  Doc v(kModeHires);
  pattern(v);
  orig = v.m.ram;
  select(v.ed, 5, 2, 6, 4);
  v.ed.flipBlockY();
  EXPECT_EQ(scr(v, 5, 2), orig[kScreen + 165]);
  EXPECT_EQ(scr(v, 6, 3), orig[kScreen + 126]);
  EXPECT_EQ(scr(v, 6, 4), orig[kScreen + 86]);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(bmp(v, 5, 2, i), orig[kBitmap + 4 * 320 + 5 * 8 + 7 - i]);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(bmp(v, 6, 3, i), orig[kBitmap + 3 * 320 + 6 * 8 + 7 - i]);
  EXPECT_EQ(v.labels(), std::vector<std::string>{"hires flip block"});

  // Text blocks move codes only; glyphs stay as they are.
  Doc t(kModeText);
  pattern(t);
  orig = t.m.ram;
  select(t.ed, 0, 0, 1, 0);
  t.ed.flipBlockX();
  EXPECT_EQ(scr(t, 0, 0), 1);
  EXPECT_EQ(scr(t, 1, 0), 0);
  EXPECT_EQ(t.m.ram[kBitmap], orig[kBitmap]);
}

TEST(EditorBlocks, PastePreviewFollowsTheMouseAndDrops) {
  Doc d(kModeHires);
  pattern(d);
  select(d.ed, 0, 0, 2, 1);
  d.ed.copyBlock();
  const auto before = d.m.ram;
  select(d.ed, 10, 10, 12, 12);
  ASSERT_TRUE(d.ed.startPaste());
  EXPECT_TRUE(d.ed.pasting);
  EXPECT_EQ(d.ed.pasteX, 10);
  EXPECT_EQ(scr(d, 10, 10), 0);
  EXPECT_EQ(scr(d, 12, 11), 42);
  EXPECT_EQ(bmp(d, 11, 11, 0), before[kBitmap + 320 + 8]);
  EXPECT_EQ(d.labels(), std::vector<std::string>{"hires paste block"});

  // Near the corner only the top row's two left cells fit.
  d.ed.mouseMove(38 * 8 + 3, 24 * 8 + 5);
  EXPECT_EQ(scr(d, 10, 10), before[kScreen + 410]);
  EXPECT_EQ(scr(d, 38, 24), 0);
  EXPECT_EQ(scr(d, 39, 24), 1);
  auto expected = before;
  for (int c = 0; c < 2; ++c) {
    expected[kScreen + 24 * 40 + 38 + c] = static_cast<uint8_t>(c);
    expected[kColorRam + 24 * 40 + 38 + c] = before[kColorRam + c];
    for (int i = 0; i < 8; ++i) expected[kBitmap + 24 * 320 + (38 + c) * 8 + i] = before[kBitmap + c * 8 + i];
  }
  EXPECT_EQ(d.m.ram, expected);

  d.ed.mouseDown(300, 195, 0);
  EXPECT_FALSE(d.ed.pasting);
  EXPECT_TRUE(d.ed.savedScreen.empty());
  int l, t, r, b;
  d.ed.selRect(l, t, r, b);
  EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{38, 24, 39, 24}));
  d.ed.mouseUp(300, 195, 0);
  d.ed.mouseMove(0, 0);
  EXPECT_EQ(d.m.ram, expected);
  d.undo.MakeUndo();
  EXPECT_EQ(d.m.ram, before);
}

TEST(EditorBlocks, CancelledPasteRestoresTheImage) {
  for (int how = 0; how < 3; ++how) {
    Doc d(kModeMultiBitmap);
    pattern(d);
    select(d.ed, 3, 3, 4, 4);
    d.ed.copyBlock();
    d.ed.selActive = false;
    const auto before = d.m.ram;
    ASSERT_TRUE(d.ed.startPaste());
    EXPECT_EQ(d.ed.pasteX, 0);
    d.ed.mouseMove(100, 100);
    if (how == 0) d.ed.cancelPaste();
    if (how == 1) d.ed.mouseDown(5, 5, 1);
    if (how == 2) d.ed.cancelPreview();
    EXPECT_FALSE(d.ed.pasting) << how;
    EXPECT_EQ(d.m.ram, before) << how;
    EXPECT_EQ(d.labels(), std::vector<std::string>{"multicolor paste block"}) << how;
  }
}

TEST(EditorBlocks, TextBlockInBitmapModeChangesOnlyScreenAndColour) {
  Doc d(kModeText);
  pattern(d);
  select(d.ed, 0, 0, 0, 0);
  d.ed.copyBlock();
  d.m.setGfxMode(kModeHires);
  select(d.ed, 5, 5, 5, 5);
  const auto before = d.m.ram;
  d.ed.startPaste();
  d.ed.mouseDown(0, 0, 0);
  auto expected = before;
  expected[kScreen + 205] = 0;
  expected[kColorRam + 205] = before[kColorRam];
  EXPECT_EQ(d.m.ram, expected);
}

TEST(EditorBlocks, ClearDescriptionPerMode) {
  Doc t(kModeText);
  EXPECT_EQ(t.ed.clearDescription(),
            "This will erase:\nVideomem at $0400 - $07E7 (1000 bytes)\nColormem at $D800 - $DBE7 (1000 bytes)\n");
  Doc h(kModeHires);
  h.m.bank = 3;
  h.m.vicRegs[kRegMemPtr] = 0x38;
  EXPECT_EQ(h.ed.clearDescription(),
            "This will erase:\nVideomem at $CC00 - $CFE7 (1000 bytes)\nBitmapmem at $E000 - $FFFF (8192 bytes)\n");
  Doc m(kModeMultiBitmap);
  EXPECT_EQ(m.ed.clearDescription(),
            "This will erase:\nVideomem at $0400 - $07E7 (1000 bytes)\nBitmapmem at $2000 - $3FFF (8192 bytes)\n"
            "Colormem at $D800 - $DBE7 (1000 bytes)\n");
}

TEST(EditorBlocks, ClearScreenModes) {
  Doc h(kModeHires);
  pattern(h);
  h.m.pen = 1;
  h.ed.cursorX = 17;
  h.ed.cursorY = 9;
  const auto colours = std::vector<uint8_t>(h.m.ram.begin() + kColorRam, h.m.ram.begin() + kColorRam + 1000);
  h.ed.clearScreen(kClearBackground, 0);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(h.m.ram[kScreen + i], 0x16);
  for (int i = 0; i < 8192; ++i) ASSERT_EQ(h.m.ram[kBitmap + i], 0);
  EXPECT_EQ(std::vector<uint8_t>(h.m.ram.begin() + kColorRam, h.m.ram.begin() + kColorRam + 1000), colours);
  EXPECT_EQ(h.ed.cursorX, 0);
  EXPECT_EQ(h.ed.cursorY, 9);
  EXPECT_EQ(h.labels(), std::vector<std::string>{"hires clear"});

  struct Case {
    int mode;
    int value;
    uint8_t screen;
    uint8_t other;
  };
  for (const Case& c : {Case{kClearBackground, 99, 0x20, 0}, Case{kClearZero, 99, 0, 0}, Case{kClearFF, 99, 255, 255},
                        Case{kClearValue, 300, 44, 44}, Case{7, 99, 0x20, 0}}) {
    Doc t(kModeText);
    pattern(t);
    const uint8_t bitmapByte = t.m.ram[kBitmap];
    t.ed.clearScreen(c.mode, c.value);
    for (int i = 0; i < kScreenCells; ++i) {
      ASSERT_EQ(t.m.ram[kScreen + i], c.screen) << c.mode;
      ASSERT_EQ(t.m.ram[kColorRam + i], c.other) << c.mode;
    }
    EXPECT_EQ(t.m.ram[kBitmap], bitmapByte);
    EXPECT_EQ(t.labels(), std::vector<std::string>{"textmode clear"});
  }

  Doc m(kModeMultiBitmap);
  pattern(m);
  m.ed.clearScreen(kClearValue, 0x1A5);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(m.m.ram[kColorRam + i], 0xA5);
  for (int i = 0; i < 8192; ++i) ASSERT_EQ(m.m.ram[kBitmap + i], 0xA5);
  EXPECT_EQ(m.m.ram[kScreen + 999], 0xA5);
  m.undo.MakeUndo();
  EXPECT_EQ(m.m.ram[kScreen + 999], 999 & 255);
}

// ---------------------------------------------------------------------------
// Previews are withdrawn before other changes and never written elsewhere.

TEST(EditorPreview, CancelPreviewWithdrawsARubberBandShape) {
  Doc d(kModeHires);
  const auto before = d.m.ram;
  d.ed.tool = kToolBox;
  d.ed.mouseDown(10, 10, 0);
  d.ed.mouseMove(100, 100);
  EXPECT_NE(d.m.ram, before);
  d.ed.cancelPreview();
  EXPECT_EQ(d.m.ram, before);
  EXPECT_FALSE(d.ed.dragging);
  d.ed.mouseMove(50, 50);
  d.ed.mouseUp(60, 60, 0);
  EXPECT_EQ(d.m.ram, before);
}

TEST(EditorPreview, ShapeNeverWritesIntoAChangedLayout) {
  Doc d(kModeHires);
  d.ed.tool = kToolLine;
  d.ed.mouseDown(0, 0, 0);
  d.ed.mouseMove(100, 0);
  // The video bank changes under the drag without the preview being
  // withdrawn first: nothing may be written at the new addresses.
  d.m.bank = 1;
  const auto moved = d.m.ram;
  d.ed.mouseMove(200, 50);
  d.ed.mouseUp(200, 50, 0);
  EXPECT_EQ(d.m.ram, moved);
  EXPECT_FALSE(d.ed.dragging);
  EXPECT_TRUE(d.ed.savedScreen.empty());
}

TEST(EditorPreview, StrokeEndsWhenTheHistoryChangesUnderIt) {
  Doc d(kModeHires);
  d.ed.tool = kToolDraw;
  d.ed.mouseDown(0, 0, 0);
  d.ed.mouseMove(10, 0);
  d.undo.MakeUndo();
  const auto undone = d.m.ram;
  d.ed.mouseMove(20, 0);
  d.ed.mouseUp(20, 0, 0);
  EXPECT_EQ(d.m.ram, undone);
  EXPECT_EQ(d.undo.redoItems.size(), 1u);
}

TEST(EditorPreview, PasteNeverWritesIntoAChangedLayout) {
  Doc d(kModeText);
  pattern(d);
  select(d.ed, 0, 0, 3, 3);
  d.ed.copyBlock();
  d.ed.startPaste();
  d.ed.mouseMove(80, 80);
  d.m.vicRegs[kRegMemPtr] = 0x24;  // video matrix moves to $0800
  const auto moved = d.m.ram;
  d.ed.mouseMove(160, 160);
  EXPECT_EQ(d.m.ram, moved);
  EXPECT_FALSE(d.ed.pasting);
  d.ed.cancelPaste();
  d.ed.cancelPreview();
  EXPECT_EQ(d.m.ram, moved);
}

TEST(EditorPreview, EditsWithdrawThePreviewFirst) {
  // Each operation that changes the document first restores the image
  // under a paste preview, so its undo step holds the real picture.
  using Op = void (*)(Editor&);
  const Op ops[] = {
      [](Editor& e) { e.typeChar(1); },
      [](Editor& e) { e.editKey(EditKey::Delete, false); },
      [](Editor& e) { e.pasteChar(); },
      [](Editor& e) { e.clearBlock(); },
      [](Editor& e) { e.invertBlock(); },
      [](Editor& e) { e.flipBlockX(); },
      [](Editor& e) { e.flipBlockY(); },
      [](Editor& e) { e.clearScreen(kClearZero, 0); },
      [](Editor& e) { e.setCellColor(3, 0, 0, 5); },
  };
  for (size_t n = 0; n < std::size(ops); ++n) {
    Doc d(kModeText);
    pattern(d);
    select(d.ed, 0, 0, 39, 24);
    d.ed.invertBlock();  // a block unlike the screen under it
    d.ed.copyBlock();
    d.undo.MakeUndo();
    d.undo.Clear();
    select(d.ed, 20, 20, 20, 20);
    const auto before = d.m.ram;
    d.ed.startPaste();
    ASSERT_NE(d.m.ram, before);
    ops[n](d.ed);
    EXPECT_FALSE(d.ed.pasting) << n;
    // The newest step was taken on the picture without the preview.
    d.undo.MakeUndo();
    EXPECT_EQ(d.m.ram, before) << n;
  }
}

TEST(EditorPreview, NewPasteReplacesTheOldPreview) {
  Doc d(kModeText);
  pattern(d);
  select(d.ed, 0, 0, 1, 1);
  d.ed.copyBlock();
  const auto before = d.m.ram;
  select(d.ed, 10, 10, 10, 10);
  d.ed.startPaste();
  select(d.ed, 30, 20, 30, 20);
  d.ed.startPaste();
  EXPECT_EQ(scr(d, 10, 10), before[kScreen + 410]);
  EXPECT_EQ(scr(d, 30, 20), 0);
  d.ed.cancelPaste();
  EXPECT_EQ(d.m.ram, before);
}

TEST(EditorPreview, PasteEndsWhenTheHistoryChangesUnderIt) {
  Doc d(kModeText);
  pattern(d);
  select(d.ed, 0, 0, 1, 0);
  d.ed.copyBlock();
  const auto before = d.m.ram;
  select(d.ed, 5, 5, 5, 5);
  ASSERT_TRUE(d.ed.startPaste());
  d.undo.MakeUndo();  // takes the preview's own step back
  EXPECT_EQ(d.m.ram, before);
  d.ed.mouseMove(80, 80);  // must not stamp the block again
  EXPECT_FALSE(d.ed.pasting);
  EXPECT_EQ(d.m.ram, before);
}

TEST(EditorPreview, PasteWithAnEmptyClipboardLeavesAShapeDragAlone) {
  Doc d(kModeHires);
  d.ed.tool = kToolLine;
  d.ed.mouseDown(0, 0, 0);
  d.ed.mouseMove(5, 0);
  EXPECT_FALSE(d.ed.startPaste());
  EXPECT_TRUE(d.ed.dragging);
  d.ed.mouseUp(7, 0, 0);
  EXPECT_EQ(d.m.ram[kBitmap], 0xFF);
}

TEST(EditorPreview, CutTakesTheDocumentNotThePreview) {
  Doc d(kModeText);
  pattern(d);
  select(d.ed, 0, 0, 0, 0);
  d.ed.copyBlock();  // cell (0, 0), screen code 0
  select(d.ed, 3, 0, 3, 0);
  ASSERT_TRUE(d.ed.startPaste());  // shows code 0 over cell (3, 0)
  d.ed.cutBlock();
  EXPECT_FALSE(d.ed.pasting);
  ASSERT_EQ(d.ed.clipBlock.screen.size(), 1u);
  EXPECT_EQ(d.ed.clipBlock.screen[0], 3);
  EXPECT_EQ(scr(d, 3, 0), 0x20);
  EXPECT_EQ(d.labels(), (std::vector<std::string>{"textmode paste block", "textmode clear block"}));
}
