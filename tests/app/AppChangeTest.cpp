// App::change, the one path of document changes from windows: it first
// withdraws a paste preview or rubber-band shape, so that the image saved
// under it is never written back over the changed document, then records
// the undo step it is given, then applies the change.
#include "app/App.h"
#include "core/Vic.h"
#include "platform/Platform.h"

#include "tests/app/AppTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class AppChangeTest : public ScratchConfigTest {
protected:
  AppChangeTest() : ScratchConfigTest("docchange") {}
  void SetUp() override {
    ScratchConfigTest::SetUp();
  }
};

std::vector<uint8_t> screenBytes(const App& app) {
  const uint32_t a = app.machine.screenAddr();
  return std::vector<uint8_t>(app.machine.ram.begin() + a, app.machine.ram.begin() + a + kScreenCells);
}

TEST_F(AppChangeTest, UndoDuringARubberBandLineLeavesNoLine) {
  App app;
  app.editor.tool = kToolText;
  app.editor.typeChar(1);  // one step in the history before the line
  const std::vector<uint8_t> typed = screenBytes(app);

  app.editor.tool = kToolLine;
  app.editor.mouseDown(0, 100, kButtonDraw);
  app.editor.mouseMove(300, 100);
  ASSERT_NE(screenBytes(app), typed);

  // Ctrl+Z while the button is still held, then the release.
  app.change(UndoStep::none(), [&app] { app.undo.MakeUndo(); });
  app.editor.mouseMove(310, 120);
  app.editor.mouseUp(310, 120, kButtonDraw);
  EXPECT_EQ(screenBytes(app), typed);
  EXPECT_FALSE(app.editor.dragging);
}

TEST_F(AppChangeTest, RegisterChangeWithdrawsThePastePreview) {
  App app;
  const uint32_t screen = app.machine.screenAddr();
  app.machine.ram[screen] = 1;
  app.editor.tool = kToolSelect;
  app.editor.mouseDown(0, 0, kButtonDraw);
  app.editor.mouseUp(0, 0, kButtonDraw);
  app.editor.copyBlock();
  ASSERT_TRUE(app.editor.startPaste());
  app.editor.mouseMove(80, 80);  // the preview stamps cell (10, 10)
  ASSERT_EQ(app.machine.ram[screen + 10 * kScreenCols + 10], 1);
  const uint8_t before = 32;

  // Switching the video-matrix slot (as the register window or a load
  // would) after withdrawing the preview: the old screen is clean and the
  // new one untouched by the saved image.
  app.change(UndoStep::none(), nullptr);
  EXPECT_FALSE(app.editor.pasting);
  EXPECT_EQ(app.machine.ram[screen + 10 * kScreenCols + 10], before);
  const std::vector<uint8_t> other(app.machine.ram.begin() + 0x0800, app.machine.ram.begin() + 0x0800 + kScreenCells);
  app.machine.vicRegs[kRegMemPtr] = static_cast<uint8_t>((app.machine.vicRegs[kRegMemPtr] & 0x0F) | 0x20);
  app.editor.mouseMove(120, 120);
  app.editor.mouseDown(120, 120, kButtonDraw);
  EXPECT_EQ(std::vector<uint8_t>(app.machine.ram.begin() + 0x0800, app.machine.ram.begin() + 0x0800 + kScreenCells),
            other);
}

TEST_F(AppChangeTest, NewProjectResetsCursorHistoryAndTyping) {
  App app;
  app.editor.typeChar(1);
  app.editor.cursorX = 20;
  app.editor.cursorY = 20;
  app.change(UndoStep::none(), [&app] { app.newProject(); });
  EXPECT_TRUE(app.undo.undoItems.empty());
  EXPECT_EQ(app.editor.cursorX, 0);
  EXPECT_EQ(app.editor.cursorY, 6);
  EXPECT_TRUE(app.editor.undoPending);
}

// Each kind of step leaves one undo item with its label, taken before the
// change runs, so undo restores the bytes from before it.
TEST_F(AppChangeTest, StepsAreTakenBeforeTheChange) {
  struct Case {
    UndoStep step;
    int address;
    const char* label;
  };
  App app;
  const int screen = static_cast<int>(app.machine.screenAddr());
  const Case cases[] = {
      {UndoStep::of(UndoKind::All, "all"), 0x1234, "all"},
      {UndoStep::range(0x2000, 16, "range"), 0x2005, "range"},
      {UndoStep::screen("scr"), screen, "textmode scr"},
      {UndoStep::screenAndRegisters("color change"), screen + 3, "textmode color change"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    app.undo.Clear();
    const uint8_t old = app.machine.ram[c.address];
    app.change(c.step, [&] { app.machine.ram[c.address] = static_cast<uint8_t>(old + 1); });
    ASSERT_EQ(app.undo.undoItems.size(), 1u);
    EXPECT_EQ(app.undo.undoItems.back().description, c.label);
    app.undo.MakeUndo();
    EXPECT_EQ(app.machine.ram[c.address], old);
  }
  app.undo.Clear();
  app.change(UndoStep::none(), [&] { app.machine.ram[0x3000] ^= 1; });
  app.change(UndoStep::byEngine(), [&] { app.machine.ram[0x3000] ^= 1; });
  EXPECT_TRUE(app.undo.undoItems.empty());
}

}  // namespace
