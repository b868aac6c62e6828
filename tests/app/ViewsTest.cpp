// What the register and preferences windows change in the App: a register
// edit is one undoable step (none for the value already held), and a custom
// colour edit shows at once only while the "Custom" preset is in use.
#include "app/Dialogs.h"
#include "app/Views.h"

#include "app/App.h"
#include "core/Machine.h"

#include "tests/app/AppTestUtil.h"

#include <gtest/gtest.h>

namespace {

class ViewsTest : public ScratchConfigTest {
protected:
  ViewsTest() : ScratchConfigTest("views") {}
};

TEST_F(ViewsTest, RegisterEditIsOneUndoableStep) {
  App app;
  const uint8_t border = app.machine.vicRegs[0x20];
  ASSERT_FALSE(CommitRegister(app, 0x20, border));  // the value already held
  EXPECT_TRUE(app.undo.undoItems.empty());

  ASSERT_TRUE(CommitRegister(app, 0x20, border ^ 5));
  ASSERT_EQ(app.undo.undoItems.size(), 1u);
  EXPECT_EQ(app.undo.undoItems.back().description, "register change");
  EXPECT_EQ(app.machine.vicRegs[0x20], border ^ 5);
  // Registers with no drawing meaning are writable too.
  ASSERT_TRUE(CommitRegister(app, 0x19, 0xFF));
  EXPECT_EQ(app.machine.vicRegs[0x19], 0xFF);

  app.undo.MakeUndo();
  app.undo.MakeUndo();
  EXPECT_EQ(app.machine.vicRegs[0x20], border);
  EXPECT_FALSE(CommitRegister(app, kVicRegCount, 1));  // no such register
}

TEST_F(ViewsTest, CustomColourShowsAtOnceOnlyWithTheCustomPreset) {
  App app;
  const float red[3] = {1.0f, 0.0f, 0.0f};
  app.setPalette(3);
  const auto before = app.palette.rgb;
  SetCustomColor(app, 6, red);
  EXPECT_EQ(app.palette.custom[6], (std::array<uint8_t, 3>{255, 0, 0}));
  EXPECT_EQ(app.palette.rgb, before);

  app.setPalette(kCustomPreset);
  const float green[3] = {0.0f, 1.0f, 0.0f};
  SetCustomColor(app, 6, green);
  EXPECT_EQ(app.palette.rgb[6], (std::array<uint8_t, 3>{0, 255, 0}));
}

}  // namespace
