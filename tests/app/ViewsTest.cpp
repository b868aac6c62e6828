// What the register and preferences windows change in the App: a register
// edit is one undoable step (none for the value already held), and a custom
// colour edit shows at once only while the "Custom" preset is in use.
#include "app/App.h"
#include "app/Dialogs.h"
#include "app/Texture.h"
#include "app/Views.h"
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
  ASSERT_TRUE(CommitRegister(app, 0x19, 0xFF));  // no drawing meaning, writable too
  EXPECT_EQ(app.machine.vicRegs[0x19], 0xFF);
  app.undo.MakeUndo();
  app.undo.MakeUndo();
  EXPECT_EQ(app.machine.vicRegs[0x20], border);
  EXPECT_FALSE(CommitRegister(app, kVicRegCount, 1));  // no such register
}

TEST_F(ViewsTest, CustomColourShowsAtOnceOnlyWithTheCustomPreset) {
  App app;
  const float red[3] = {1.0f, 0.0f, 0.0f}, green[3] = {0.0f, 1.0f, 0.0f};
  app.setPalette(3);
  const auto before = app.palette.rgb;
  SetCustomColor(app, 6, red);
  EXPECT_EQ(app.palette.custom[6], (std::array<uint8_t, 3>{255, 0, 0}));
  EXPECT_EQ(app.palette.rgb, before);
  app.setPalette(kCustomPreset);
  SetCustomColor(app, 6, green);
  EXPECT_EQ(app.palette.rgb[6], (std::array<uint8_t, 3>{0, 255, 0}));
}

TEST(PixelCanvasSize, ResizesOnlyOnAChangeAndFillsOpaqueBlack) {
  PixelCanvas c;
  ASSERT_TRUE(SizeCanvas(c, 160, 410));
  EXPECT_EQ(c.pixels.size(), 160u * 410u);
  c.pixels[5] = 0x12345678u;
  EXPECT_FALSE(SizeCanvas(c, 160, 410));  // same size: pixels kept
  EXPECT_EQ(c.pixels[5], 0x12345678u);
  ASSERT_TRUE(SizeCanvas(c, 1280, 410));
  EXPECT_EQ(std::make_pair(c.width, c.height), std::make_pair(1280, 410));
  for (uint32_t p : c.pixels) ASSERT_EQ(p, 0xFF000000u);
}

}  // namespace
