// Shared pieces of the sprite and character editors; see PixelEditor.h.
#include "app/PixelEditor.h"

#include "app/App.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "core/Vic.h"

namespace {
constexpr int kLineAlpha = 60;
constexpr int kInnerLineAlpha = 20;  // inside a double-wide multicolour pixel
const ImVec2 kSwatchSize(18, 14);
}  // namespace

void BankItems(App& app, const char* const labels[4]) {
  Machine& m = app.machine;
  for (int i = 0; i < 4; ++i)
    if (ImGui::MenuItem(labels[i], nullptr, m.bank == i)) {
      // Choosing a bank takes no undo step.
      app.change(UndoStep::none(), [&m, i] { m.bank = static_cast<uint16_t>(i); });
    }
}

void PenRows(App& app, int& pen, const int colours[3], const char* const names[3]) {
  for (int i = 1; i <= 3; ++i) {
    ImGui::PushID(i);
    if (ImGui::RadioButton("##mc", pen == i)) pen = i;
    ImGui::SameLine();
    Widgets::ColorSwatch(app, colours[i - 1], kSwatchSize, false);
    ImGui::SameLine();
    ImGui::TextUnformatted(names[i - 1]);
    ImGui::PopID();
  }
}

GridPaint PixelGrid(App& app, const char* id, const Texture& image, int columns, int rows, int cell, bool multicolor,
                    PixelStroke& stroke) {
  const ImVec2 o = ImGui::GetCursorScreenPos();
  const ImVec2 size(static_cast<float>(columns * cell), static_cast<float>(rows * cell));
  ImDrawList* dl = ImGui::GetWindowDrawList();
  dl->AddRectFilled(ImVec2(o.x - 2, o.y - 2), ImVec2(o.x + size.x + 2, o.y + size.y + 2),
                    Vic::paletteWord(app.palette, app.machine.vicRegs[kRegBorder]));
  dl->AddImage(TextureRef(image), o, ImVec2(o.x + size.x, o.y + size.y));
  ImGui::InvisibleButton(id, size, ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
  const bool hovered = ImGui::IsItemHovered();
  for (int i = 1; i < columns; ++i) {
    const int alpha = multicolor && (i & 1) ? kInnerLineAlpha : kLineAlpha;
    dl->AddLine(ImVec2(o.x + i * cell, o.y), ImVec2(o.x + i * cell, o.y + size.y), IM_COL32(0, 0, 0, alpha));
  }
  for (int i = 1; i < rows; ++i)
    dl->AddLine(ImVec2(o.x, o.y + i * cell), ImVec2(o.x + size.x, o.y + i * cell), IM_COL32(0, 0, 0, kLineAlpha));

  GridPaint out;
  const bool left = ImGui::IsMouseClicked(ImGuiMouseButton_Left);
  const bool right = ImGui::IsMouseClicked(ImGuiMouseButton_Right);
  if (hovered && (left || right)) {
    stroke.drawing = true;
    stroke.erasing = right && !left;
    stroke.cells.begin();
    out.started = true;
  }
  if (!stroke.drawing) return out;
  if (!ImGui::IsMouseDown(ImGuiMouseButton_Left) && !ImGui::IsMouseDown(ImGuiMouseButton_Right)) {
    stroke.drawing = false;
    return out;
  }
  // Without a valid mouse position the grid's top-left counts.
  const ImVec2 mouse = ImGui::IsMousePosValid() ? ImGui::GetIO().MousePos : o;
  out.paint = stroke.cells.next(static_cast<int>((mouse.x - o.x) / cell), static_cast<int>((mouse.y - o.y) / cell),
                                columns, rows);
  return out;
}
