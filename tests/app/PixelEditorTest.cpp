// The zoomed pixel grid of the sprite and character editors, driven with
// the mouse in a window-less Dear ImGui context.
#include "app/App.h"
#include "app/PixelEditor.h"

#include "tests/app/AppTestUtil.h"
#include "tests/app/ImGuiFrames.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class PixelEditorTest : public ScratchConfigTest {
protected:
  PixelEditorTest() : ScratchConfigTest("pixeleditor") {}
};

// Strokes one after another: a click paints its first cell alone, however
// far the stroke before ended; each further frame of the drag paints the
// line from the cell before; releasing the button ends the stroke.
TEST_F(PixelEditorTest, EachClickStartsAStrokeOfItsOwn) {
  const std::pair<int, std::vector<GridPoint>> kStrokes[] = {
      {ImGuiMouseButton_Left, {{2, 2}, {5, 2}, {5, 4}}},
      {ImGuiMouseButton_Left, {{10, 10}, {12, 12}}},
      {ImGuiMouseButton_Right, {{20, 3}, {23, 3}}},
  };
  constexpr int kCell = 10;
  App app;
  ImGuiFrames ui;
  Texture image;
  PixelStroke stroke;
  GridPaint got;
  ImVec2 origin;
  const auto draw = [&] {
    ImGui::Begin("grid");
    got = PixelGrid(app, "##grid", image, 24, 21, kCell, false, stroke);
    origin = ImGui::GetItemRectMin();
    ImGui::End();
  };
  const auto at = [&](GridPoint p) { return ImVec2(origin.x + p.x * kCell + 3, origin.y + p.y * kCell + 3); };
  ui.frame(draw);
  for (const auto& [button, cells] : kStrokes) {
    ui.mouse(draw, at(cells[0]));
    ui.mouse(draw, at(cells[0]), button, true);
    EXPECT_TRUE(got.started);
    EXPECT_EQ(stroke.erasing, button == ImGuiMouseButton_Right);
    EXPECT_EQ(got.paint, std::vector<GridPoint>{cells[0]}) << cells[0].x << "," << cells[0].y;
    for (size_t i = 1; i < cells.size(); ++i) {
      ui.mouse(draw, at(cells[i]));
      ASSERT_FALSE(got.paint.empty());
      EXPECT_EQ(got.paint.front(), cells[i - 1]);
      EXPECT_EQ(got.paint.back(), cells[i]);
    }
    ui.mouse(draw, at(cells.back()), button, false);
    EXPECT_TRUE(got.paint.empty());
  }
}

}  // namespace
