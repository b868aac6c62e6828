// The zoomed pixel grid of the sprite and character editors, driven with
// the mouse in a window-less Dear ImGui context: each click starts a
// stroke of its own, and the frames of a drag are joined only within it.
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

constexpr int kCell = 10;

// Strokes one after another over a 24 x 21 grid: the button and the cells
// the mouse visits with it held, then it is released and moved on to the
// next stroke's first cell. A new stroke paints its first cell alone,
// wherever the last one ended; within a stroke each frame paints the line
// from the cell before.
TEST_F(PixelEditorTest, EachClickStartsAStrokeOfItsOwn) {
  const struct {
    int button;
    std::vector<GridPoint> cells;
  } kStrokes[] = {
      {ImGuiMouseButton_Left, {{2, 2}, {5, 2}, {5, 4}}},
      {ImGuiMouseButton_Left, {{10, 10}, {12, 12}}},
      {ImGuiMouseButton_Right, {{20, 3}}},
      {ImGuiMouseButton_Left, {{20, 4}, {23, 4}}},
  };
  App app;
  ImGuiFrames ui;
  Texture image;
  PixelStroke stroke;
  GridPaint got;
  ImVec2 origin;
  const auto draw = [&] {
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImVec2(400, 300));
    ImGui::Begin("grid");
    got = PixelGrid(app, "##grid", image, 24, 21, kCell, false, stroke);
    origin = ImGui::GetItemRectMin();
    ImGui::End();
  };
  const auto at = [&](GridPoint p) { return ImVec2(origin.x + p.x * kCell + 3, origin.y + p.y * kCell + 3); };
  ui.frame(draw);
  for (const auto& s : kStrokes) {
    const GridPoint first = s.cells.front();
    ui.mouse(draw, at(first));
    EXPECT_TRUE(got.paint.empty());
    ui.mouse(draw, at(first), s.button, true);
    EXPECT_TRUE(got.started);
    EXPECT_EQ(stroke.erasing, s.button == ImGuiMouseButton_Right);
    EXPECT_EQ(got.paint, std::vector<GridPoint>{first}) << first.x << "," << first.y;
    for (size_t i = 1; i < s.cells.size(); ++i) {
      ui.mouse(draw, at(s.cells[i]));
      EXPECT_FALSE(got.started);
      ASSERT_FALSE(got.paint.empty());
      EXPECT_EQ(got.paint.front(), s.cells[i - 1]);
      EXPECT_EQ(got.paint.back(), s.cells[i]);
    }
    ui.mouse(draw, at(s.cells.back()), s.button, false);
    EXPECT_TRUE(got.paint.empty());
    EXPECT_FALSE(stroke.drawing);
  }
}

}  // namespace
