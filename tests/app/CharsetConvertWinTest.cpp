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

// A hires bitmap of 300 different cells, white on black, and a full
// history, or one step short of it with that step to redo.
void prepare(App& app, bool bitmap, bool withRedo) {
  Machine& m = app.machine;
  if (bitmap) {
    m.setGfxMode(kModeHires);
    for (int i = 0; i < kScreenCells; ++i) {
      const int id = i < 300 ? i + 1 : 0;
      m.ram[m.bitmapAddr() + i * 8] = static_cast<uint8_t>(id);
      m.ram[m.bitmapAddr() + i * 8 + 1] = static_cast<uint8_t>(id >> 8);
      m.ram[m.screenAddr() + i] = 0x10;
    }
  }
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
      prepare(app, c.bitmap, withRedo);
      const Machine before = app.machine;
      const size_t undoCount = app.undo.undoItems.size(), redoCount = app.undo.redoItems.size();
      EXPECT_EQ(ConvertCharsetOnScreen(app, c.slot, c.merge), c.error) << c.what;
      ASSERT_EQ(std::make_pair(app.undo.undoItems.size(), app.undo.redoItems.size()), std::make_pair(undoCount, redoCount));
      EXPECT_EQ(app.undo.undoItems.front().description, "step 0") << c.what;
      EXPECT_TRUE(app.machine.ram == before.ram && app.machine.vicRegs == before.vicRegs) << c.what;
    }
}

TEST_F(CharsetConvertWinTest, AWrittenConversionIsOneUndoStep) {
  App app;
  prepare(app, true, true);
  const Machine before = app.machine;
  Machine direct = app.machine;
  const CharsetConvertResult expected = ConvertBitmapToCharset(direct, app.palette, 1, true);
  ASSERT_TRUE(expected.ok);

  EXPECT_EQ(ConvertCharsetOnScreen(app, 1, true), CharsetDoneText(expected));
  EXPECT_TRUE(app.machine.ram == direct.ram && app.machine.vicRegs == direct.vicRegs);
  EXPECT_EQ(app.machine.gfxMode(), kModeText);
  ASSERT_EQ(app.undo.undoItems.size(), size_t(kUndoLimit));
  EXPECT_EQ(app.undo.undoItems.back().description, "convert to charset");
  EXPECT_EQ(app.undo.undoItems.front().description, "step 0");
  EXPECT_TRUE(app.undo.redoItems.empty());

  app.undo.MakeUndo();
  EXPECT_TRUE(app.machine.ram == before.ram && app.machine.vicRegs == before.vicRegs);
}

}  // namespace
