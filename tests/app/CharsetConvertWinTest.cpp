// The bitmap-to-charset dialog's "Convert": a conversion that is written
// takes one undo step "convert to charset"; a refused one leaves the whole
// history alone, even when it is full (a step taken and removed again
// would have dropped the oldest one for good).
#include "app/App.h"
#include "app/CharsetConvertWin.h"
#include "app/ConvertRules.h"

#include "tests/app/AppTestUtil.h"

#include <gtest/gtest.h>

namespace {

class CharsetConvertWinTest : public ScratchConfigTest {
protected:
  CharsetConvertWinTest() : ScratchConfigTest("charsetwin") {}
};

// A hires bitmap whose first `distinct` cells all differ, white on black.
void hiresBitmap(Machine& m, int distinct) {
  m.setGfxMode(kModeHires);
  const uint32_t bitmap = m.bitmapAddr(), screen = m.screenAddr();
  for (int i = 0; i < kScreenCells; ++i) {
    const int id = i < distinct ? i + 1 : 0;
    m.ram[bitmap + i * 8] = static_cast<uint8_t>(id);
    m.ram[bitmap + i * 8 + 1] = static_cast<uint8_t>(id >> 8);
    m.ram[screen + i] = 0x10;
  }
}

// A full history, or one step short of it with that step to redo.
void fillHistory(App& app, bool withRedo) {
  for (int i = 0; i < kUndoLimit; ++i) app.undo.TakeUndoRange(0xC000 + i, 1, "step " + std::to_string(i));
  if (withRedo) app.undo.MakeUndo();
}

TEST_F(CharsetConvertWinTest, RefusalsKeepTheHistory) {
  const struct {
    const char* what;
    bool bitmap;
    int slot;
    bool merge;
    std::string error;
  } cases[] = {
      {"text mode", false, 1, true, "The screen has to be in a bitmap mode."},
      {"ROM position", true, 2, true, "Can't put the charset there: The VIC sees the character ROM there."},
      {"too many cells", true, 1, false,
       "The picture has 301 different character cells, a charset holds 256.\nEnable merging of similar characters "
       "to convert anyway."},
  };
  for (const auto& c : cases)
    for (const bool withRedo : {false, true}) {
      App app;
      if (c.bitmap) hiresBitmap(app.machine, 300);
      fillHistory(app, withRedo);
      const Machine before = app.machine;
      const size_t undoCount = app.undo.undoItems.size(), redoCount = app.undo.redoItems.size();
      EXPECT_EQ(ConvertCharsetOnScreen(app, c.slot, c.merge), c.error) << c.what;
      ASSERT_EQ(app.undo.undoItems.size(), undoCount) << c.what;
      EXPECT_EQ(app.undo.undoItems.front().description, "step 0") << c.what;
      EXPECT_EQ(app.undo.redoItems.size(), redoCount) << c.what;
      EXPECT_EQ(app.machine.ram, before.ram) << c.what;
      EXPECT_EQ(app.machine.vicRegs, before.vicRegs) << c.what;
    }
}

TEST_F(CharsetConvertWinTest, AWrittenConversionIsOneUndoStep) {
  App app;
  hiresBitmap(app.machine, 300);
  fillHistory(app, true);
  const Machine before = app.machine;
  Machine direct = app.machine;
  const CharsetConvertResult expected = ConvertBitmapToCharset(direct, app.palette, 1, true);
  ASSERT_TRUE(expected.ok);

  EXPECT_EQ(ConvertCharsetOnScreen(app, 1, true), CharsetDoneText(expected));
  EXPECT_EQ(app.machine.ram, direct.ram);
  EXPECT_EQ(app.machine.vicRegs, direct.vicRegs);
  EXPECT_EQ(app.machine.gfxMode(), kModeText);
  ASSERT_EQ(app.undo.undoItems.size(), size_t(kUndoLimit));
  EXPECT_EQ(app.undo.undoItems.back().description, "convert to charset");
  EXPECT_EQ(app.undo.undoItems.front().description, "step 0");
  EXPECT_TRUE(app.undo.redoItems.empty());

  app.undo.MakeUndo();
  EXPECT_EQ(app.machine.ram, before.ram);
  EXPECT_EQ(app.machine.vicRegs, before.vicRegs);
}

}  // namespace
