// Editor typing: screen codes and ROM glyphs written at the cursor, insert
// and delete, cursor keys, and when typing takes its "text" step.
#include "EditorTestUtil.h"

#include <gtest/gtest.h>

using namespace edtest;

namespace {

void typeText(Editor& ed, const char* s) {
  for (; *s; ++s) ed.typeChar(static_cast<uint8_t>(*s - 'a' + 1));
}

uint8_t scr(const Doc& d, int cx, int cy) { return d.m.ram[kScreen + cy * kScreenCols + cx]; }
uint8_t col(const Doc& d, int cx, int cy) { return d.m.ram[kColorRam + cy * kScreenCols + cx]; }

}  // namespace

TEST(EditorTyping, TextModeWritesCodeAndColourAndWraps) {
  Doc d(kModeText);
  d.m.pen = 7;
  d.ed.typeChar(1);
  EXPECT_EQ(scr(d, 0, 6), 1);
  EXPECT_EQ(col(d, 0, 6), 7);
  EXPECT_EQ(d.ed.cursorX, 1);
  d.ed.cursorX = 39;
  d.ed.typeChar(2);
  EXPECT_EQ(d.ed.cursorX, 0);
  EXPECT_EQ(d.ed.cursorY, 7);
  d.ed.cursorX = 39;
  d.ed.cursorY = 24;
  d.ed.typeChar(3);
  EXPECT_EQ(scr(d, 39, 24), 3);
  EXPECT_EQ(d.ed.cursorX, 0);
  EXPECT_EQ(d.ed.cursorY, 0);
}

TEST(EditorTyping, InsertShiftsTheRowAndDropsColumn39) {
  Doc d(kModeText);
  for (int c = 0; c < kScreenCols; ++c) {
    d.m.ram[kScreen + 6 * 40 + c] = static_cast<uint8_t>(c);
    d.m.ram[kColorRam + 6 * 40 + c] = static_cast<uint8_t>(c & 15);
  }
  d.ed.editKey(EditKey::Insert, false);
  EXPECT_TRUE(d.ed.insertMode);
  d.ed.cursorX = 10;
  d.m.pen = 15;
  d.ed.typeChar(0x55);
  EXPECT_EQ(scr(d, 10, 6), 0x55);
  EXPECT_EQ(col(d, 10, 6), 15);
  for (int c = 11; c < kScreenCols; ++c) {
    EXPECT_EQ(scr(d, c, 6), c - 1);
    EXPECT_EQ(col(d, c, 6), (c - 1) & 15);
  }
  EXPECT_EQ(scr(d, 10, 5), 0x20);
  // In column 39 nothing moves.
  d.ed.cursorX = 39;
  d.ed.typeChar(0x56);
  EXPECT_EQ(scr(d, 38, 6), 37);
  EXPECT_EQ(scr(d, 39, 6), 0x56);
}

TEST(EditorTyping, DeleteAndBackspace) {
  Doc d(kModeText);
  for (int c = 0; c < kScreenCols; ++c) {
    d.m.ram[kScreen + 5 * 40 + c] = static_cast<uint8_t>(c + 1);
    d.m.ram[kColorRam + 5 * 40 + c] = static_cast<uint8_t>(c & 15);
  }
  d.ed.cursorX = 0;
  d.ed.cursorY = 5;
  d.ed.editKey(EditKey::Backspace, false);  // column 0: up to (39, 4), nothing deleted
  EXPECT_EQ(d.ed.cursorX, 39);
  EXPECT_EQ(d.ed.cursorY, 4);
  EXPECT_EQ(scr(d, 0, 5), 1);
  EXPECT_TRUE(d.undo.undoItems.empty());

  d.ed.cursorX = 5;
  d.ed.cursorY = 5;
  d.ed.editKey(EditKey::Backspace, false);  // deletes column 4
  EXPECT_EQ(d.ed.cursorX, 4);
  EXPECT_EQ(scr(d, 3, 5), 4);
  EXPECT_EQ(scr(d, 4, 5), 6);
  EXPECT_EQ(col(d, 4, 5), 5);
  EXPECT_EQ(scr(d, 38, 5), 40);
  EXPECT_EQ(scr(d, 39, 5), 0x20);
  EXPECT_EQ(col(d, 39, 5), 39 & 15);  // its colour stays
  d.ed.editKey(EditKey::Delete, false);
  EXPECT_EQ(scr(d, 4, 5), 7);
  EXPECT_EQ(d.ed.cursorX, 4);
  EXPECT_EQ(d.labels(), std::vector<std::string>{"textmode text"});

  d.ed.cursorX = 0;
  d.ed.cursorY = 0;
  d.ed.editKey(EditKey::Backspace, false);  // row 0 stays row 0
  EXPECT_EQ(d.ed.cursorX, 39);
  EXPECT_EQ(d.ed.cursorY, 0);
}

TEST(EditorTyping, CursorKeys) {
  Doc d(kModeText);
  struct Case {
    int key;
    bool shift;
    int x0, y0, x1, y1;
  };
  const Case cases[] = {
      {EditKey::Up, false, 3, 0, 3, 24},    {EditKey::Up, true, 3, 24, 3, 0},     {EditKey::Down, false, 3, 24, 3, 0},
      {EditKey::Down, true, 3, 0, 3, 24},   {EditKey::Left, false, 0, 7, 39, 7},  {EditKey::Left, true, 39, 7, 0, 7},
      {EditKey::Right, false, 39, 7, 0, 7}, {EditKey::Right, true, 0, 7, 39, 7},  {EditKey::Return, false, 12, 24, 0, 0},
      {EditKey::Return, true, 12, 3, 0, 4}, {EditKey::Home, false, 12, 9, 0, 9},  {EditKey::Home, true, 12, 9, 0, 0},
      {EditKey::None, false, 12, 9, 12, 9}, {10, true, 12, 9, 12, 9},        {EditKey::Up, false, 5, 5, 5, 4},
  };
  for (const Case& c : cases) {
    d.ed.cursorX = c.x0;
    d.ed.cursorY = c.y0;
    d.ed.editKey(c.key, c.shift);
    EXPECT_EQ(d.ed.cursorX, c.x1) << "key " << c.key << " shift " << c.shift;
    EXPECT_EQ(d.ed.cursorY, c.y1) << "key " << c.key << " shift " << c.shift;
  }
  EXPECT_TRUE(d.undo.undoItems.empty());
}

TEST(EditorTyping, BitmapTypingWritesTheRomGlyph) {
  Doc d(kModeHires);
  for (int i = 0; i < kCharRomSize; ++i) d.m.charRom[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  d.m.pen = 3;
  d.ed.cursorX = 2;
  d.ed.cursorY = 1;
  d.ed.insertMode = true;  // no shifting in bitmap modes
  d.m.ram[kScreen + 43] = 0x99;
  d.ed.typeChar(5);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(d.m.ram[kBitmap + 320 + 16 + i], d.m.charRom[5 * 8 + i]);
  EXPECT_EQ(d.m.ram[kScreen + 42], 0x36);
  EXPECT_EQ(d.m.ram[kScreen + 43], 0x99);
  EXPECT_EQ(d.m.ram[kColorRam + 42], 0);
  // $D018 bit 1 selects the lower-case half of the ROM.
  d.m.vicRegs[kRegMemPtr] |= 2;
  d.ed.typeChar(5);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(d.m.ram[kBitmap + 320 + 24 + i], d.m.charRom[2048 + 5 * 8 + i]);
  // Delete moves nothing in bitmap modes.
  d.ed.cursorX = 2;
  d.ed.editKey(EditKey::Delete, false);
  EXPECT_EQ(d.m.ram[kBitmap + 320 + 16], d.m.charRom[40]);
  EXPECT_EQ(d.labels(), std::vector<std::string>{"hires text"});
}

TEST(EditorTyping, OneStepPerCursorPlacement) {
  Doc d(kModeText);
  d.ed.tool = kToolText;
  d.ed.mouseDown(16, 80, 0);
  typeText(d.ed, "ab");
  EXPECT_EQ(d.labels(), std::vector<std::string>{"textmode text"});
  EXPECT_FALSE(d.ed.undoPending);
  d.ed.mouseDown(32, 80, 0);  // the cursor's own cell (4, 10): still the same step
  typeText(d.ed, "c");
  EXPECT_EQ(d.labels().size(), 1u);
  d.ed.mouseDown(100, 100, 0);
  typeText(d.ed, "d");
  EXPECT_EQ(d.labels().size(), 2u);
  d.undo.MakeUndo();
  EXPECT_EQ(scr(d, 12, 12), 0x20);
  EXPECT_EQ(scr(d, 2, 10), 1);
  d.undo.MakeUndo();
  EXPECT_EQ(scr(d, 2, 10), 0x20);
  EXPECT_EQ(scr(d, 4, 10), 0x20);
}

TEST(EditorTyping, TypingAfterUndoTakesANewStep) {
  Doc d(kModeText);
  d.ed.tool = kToolText;
  typeText(d.ed, "a");
  d.undo.MakeUndo();
  EXPECT_EQ(scr(d, 0, 6), 0x20);
  EXPECT_EQ(d.undo.redoItems.size(), 1u);
  d.ed.cursorX = 0;
  typeText(d.ed, "b");  // must not join a step that is no longer there
  EXPECT_EQ(d.undo.undoItems.size(), 1u);
  EXPECT_TRUE(d.undo.redoItems.empty());
  d.undo.MakeRedo();
  EXPECT_EQ(scr(d, 0, 6), 2);
  d.undo.MakeUndo();
  EXPECT_EQ(scr(d, 0, 6), 0x20);
}

TEST(EditorTyping, TypingAfterRedoTakesANewStep) {
  Doc d(kModeText);
  d.ed.tool = kToolText;
  typeText(d.ed, "a");
  d.undo.MakeUndo();
  d.undo.MakeRedo();
  typeText(d.ed, "b");
  EXPECT_EQ(d.undo.undoItems.size(), 2u);
  d.undo.MakeUndo();
  EXPECT_EQ(scr(d, 0, 6), 1);
  EXPECT_EQ(scr(d, 1, 6), 0x20);
}

TEST(EditorTyping, TypingAfterALoadCanBeUndone) {
  Doc d(kModeText);
  d.ed.tool = kToolText;
  typeText(d.ed, "a");
  // A project load replaces the memory and empties the history.
  std::string error;
  Machine other;
  other.reset();
  ASSERT_TRUE(d.m.loadProject(other.saveProject(), error));
  d.undo.Clear();
  typeText(d.ed, "b");
  ASSERT_EQ(d.undo.undoItems.size(), 1u);
  d.undo.MakeUndo();
  EXPECT_EQ(scr(d, 1, 6), 0);
}

TEST(EditorTyping, TypingAfterADrawingStepTakesANewStep) {
  Doc d(kModeText);
  d.ed.tool = kToolText;
  typeText(d.ed, "a");
  d.ed.tool = kToolDot;
  d.ed.mouseDown(200, 150, 0);
  d.ed.mouseUp(200, 150, 0);
  d.ed.tool = kToolText;
  d.ed.cursorX = 1;
  d.ed.cursorY = 6;
  typeText(d.ed, "b");
  EXPECT_EQ(d.labels(), (std::vector<std::string>{"textmode text", "textmode drawing", "textmode text"}));
}

TEST(EditorTyping, NoStepWhenNothingIsPending) {
  Doc d(kModeText);
  d.ed.tool = kToolText;
  d.ed.undoPending = false;
  typeText(d.ed, "ab");
  EXPECT_TRUE(d.undo.undoItems.empty());
  EXPECT_EQ(scr(d, 1, 6), 2);
}

TEST(EditorTyping, KeyNamesAndValues) {
  EXPECT_EQ((std::vector<int>{EditKey::None, EditKey::Insert, EditKey::Delete, EditKey::Backspace, EditKey::Up,
                              EditKey::Down, EditKey::Left, EditKey::Right, EditKey::Return, EditKey::Home}),
            (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  Doc d(kModeText);
  d.ed.editKey(EditKey::Up, true);
  EXPECT_EQ(d.ed.cursorY, 7);
}
