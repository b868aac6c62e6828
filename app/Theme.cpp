// The classic look: a light grey Windows-like palette with square corners
// and one-pixel borders, plus the bevel drawing that the toolbar, the status
// bar and the tool palette use.
#include "app/Theme.h"

#include <algorithm>

namespace Classic {

ImFont* MonoFont = nullptr;

namespace {

constexpr float kBaseFontSize = 12.0f;

// The four bevel greys: white, light, mid, dark.
constexpr ImU32 kLight = IM_COL32(227, 227, 227, 255);
constexpr ImU32 kMid = IM_COL32(160, 160, 160, 255);
constexpr ImU32 kDark = IM_COL32(105, 105, 105, 255);

constexpr ImU32 kButtonFace = IM_COL32(240, 240, 240, 255);
constexpr ImU32 kButtonDown = IM_COL32(255, 236, 150, 255);

ImVec4 rgb(int r, int g, int b, float a = 1.0f) { return ImVec4(r / 255.0f, g / 255.0f, b / 255.0f, a); }

struct StyleColor {
  ImGuiCol index;
  ImVec4 value;
};

// One row per colour the look sets; every other colour keeps the value a
// new Dear ImGui context has.
const StyleColor kColors[] = {
    {ImGuiCol_Text, rgb(0, 0, 0)},
    {ImGuiCol_TextDisabled, rgb(128, 128, 128)},
    {ImGuiCol_WindowBg, rgb(240, 240, 240)},
    {ImGuiCol_ChildBg, rgb(0, 0, 0, 0.0f)},
    {ImGuiCol_PopupBg, rgb(240, 240, 240)},
    {ImGuiCol_Border, rgb(160, 160, 160)},
    {ImGuiCol_BorderShadow, rgb(0, 0, 0, 0.0f)},
    {ImGuiCol_FrameBg, rgb(255, 255, 255)},
    {ImGuiCol_FrameBgHovered, rgb(255, 255, 255)},
    {ImGuiCol_FrameBgActive, rgb(255, 255, 255)},
    {ImGuiCol_TitleBg, rgb(191, 205, 219)},
    {ImGuiCol_TitleBgActive, rgb(153, 180, 209)},
    {ImGuiCol_TitleBgCollapsed, rgb(191, 205, 219)},
    {ImGuiCol_MenuBarBg, rgb(240, 240, 240)},
    {ImGuiCol_ScrollbarBg, rgb(232, 232, 232)},
    {ImGuiCol_ScrollbarGrab, rgb(205, 205, 205)},
    {ImGuiCol_ScrollbarGrabHovered, rgb(166, 166, 166)},
    {ImGuiCol_ScrollbarGrabActive, rgb(130, 130, 130)},
    {ImGuiCol_CheckMark, rgb(0, 0, 0)},
    {ImGuiCol_SliderGrab, rgb(160, 160, 160)},
    {ImGuiCol_SliderGrabActive, rgb(105, 105, 105)},
    {ImGuiCol_Button, rgb(240, 240, 240)},
    {ImGuiCol_ButtonHovered, rgb(229, 241, 251)},
    {ImGuiCol_ButtonActive, rgb(204, 228, 247)},
    {ImGuiCol_Header, rgb(204, 232, 255)},
    {ImGuiCol_HeaderHovered, rgb(229, 243, 255)},
    {ImGuiCol_HeaderActive, rgb(204, 232, 255)},
    {ImGuiCol_Separator, rgb(160, 160, 160)},
    {ImGuiCol_SeparatorHovered, rgb(105, 105, 105)},
    {ImGuiCol_SeparatorActive, rgb(0, 120, 215)},
    {ImGuiCol_ResizeGrip, rgb(160, 160, 160, 80 / 255.0f)},
    {ImGuiCol_ResizeGripHovered, rgb(105, 105, 105, 160 / 255.0f)},
    {ImGuiCol_ResizeGripActive, rgb(0, 120, 215)},
    {ImGuiCol_TabHovered, rgb(255, 255, 255)},
    {ImGuiCol_Tab, rgb(225, 225, 225)},
    {ImGuiCol_TabDimmed, rgb(225, 225, 225)},
    {ImGuiCol_TabSelected, rgb(240, 240, 240)},
    {ImGuiCol_TabDimmedSelected, rgb(240, 240, 240)},
    {ImGuiCol_TabSelectedOverline, rgb(0, 120, 215)},
    {ImGuiCol_TabDimmedSelectedOverline, rgb(0, 0, 0, 0.0f)},
    {ImGuiCol_DockingPreview, rgb(0, 120, 215, 120 / 255.0f)},
    {ImGuiCol_DockingEmptyBg, rgb(171, 171, 171)},
    {ImGuiCol_PlotLines, rgb(0, 0, 0)},
    {ImGuiCol_TableHeaderBg, rgb(240, 240, 240)},
    {ImGuiCol_TableBorderStrong, rgb(160, 160, 160)},
    {ImGuiCol_TableBorderLight, rgb(220, 220, 220)},
    {ImGuiCol_TableRowBg, rgb(255, 255, 255)},
    {ImGuiCol_TableRowBgAlt, rgb(247, 247, 247)},
    {ImGuiCol_TextSelectedBg, rgb(0, 120, 215, 90 / 255.0f)},
    {ImGuiCol_DragDropTarget, rgb(0, 120, 215)},
    {ImGuiCol_NavCursor, rgb(0, 120, 215)},
    {ImGuiCol_ModalWindowDimBg, rgb(0, 0, 0, 40 / 255.0f)},
};

// A horizontal or vertical one-pixel line from (x0, y0) up to, not
// including, (x1, y1), the way the classic edges meet at their corners.
// Filled as a rectangle so it covers whole pixels: an anti-aliased line
// would smear over two rows at half strength.
void line(ImDrawList* dl, float x0, float y0, float x1, float y1, ImU32 col) {
  if (y0 == y1) dl->AddRectFilled(ImVec2(std::min(x0, x1), y0), ImVec2(std::max(x0, x1), y0 + 1), col);
  else dl->AddRectFilled(ImVec2(x0, std::min(y0, y1)), ImVec2(x0 + 1, std::max(y0, y1)), col);
}

}  // namespace

float Scale() { return ImGui::GetFontSize() / kBaseFontSize; }

ImVec2 ButtonSize(float width) { return ImVec2(width * Scale(), 0); }

void ApplyStyle() {
  ImGuiStyle& s = ImGui::GetStyle();
  s.WindowPadding = ImVec2(6, 6);
  s.WindowRounding = 0;
  s.WindowBorderSize = 1;
  s.WindowTitleAlign = ImVec2(0, 0.5f);
  s.ChildRounding = 0;
  s.ChildBorderSize = 1;
  s.PopupRounding = 0;
  s.PopupBorderSize = 1;
  s.FramePadding = ImVec2(4, 3);
  s.FrameRounding = 0;
  s.FrameBorderSize = 1;
  s.ItemSpacing = ImVec2(6, 4);
  s.ItemInnerSpacing = ImVec2(4, 4);
  s.ScrollbarSize = 16;
  s.GrabMinSize = 12;
  s.TabRounding = 0;
  s.TabBorderSize = 1;
  s.SeparatorTextBorderSize = 1;
  for (const StyleColor& c : kColors) s.Colors[c.index] = c.value;
}

void Bevel(ImDrawList* dl, ImVec2 min, ImVec2 max, bool raised) {
  const ImU32 outerTL = raised ? kWhite : kMid;
  const ImU32 outerBR = raised ? kDark : kWhite;
  const ImU32 innerTL = raised ? kLight : kDark;
  const ImU32 innerBR = raised ? kMid : kLight;
  line(dl, min.x, min.y, max.x - 1, min.y, outerTL);
  line(dl, min.x, min.y, min.x, max.y - 1, outerTL);
  line(dl, min.x, max.y - 1, max.x, max.y - 1, outerBR);
  line(dl, max.x - 1, min.y, max.x - 1, max.y - 1, outerBR);
  line(dl, min.x + 1, min.y + 1, max.x - 2, min.y + 1, innerTL);
  line(dl, min.x + 1, min.y + 1, min.x + 1, max.y - 2, innerTL);
  line(dl, min.x + 1, max.y - 2, max.x - 1, max.y - 2, innerBR);
  line(dl, max.x - 2, min.y + 1, max.x - 2, max.y - 2, innerBR);
}

void ThinBevel(ImDrawList* dl, ImVec2 min, ImVec2 max, bool raised) {
  const ImU32 tl = raised ? kWhite : kMid;
  const ImU32 br = raised ? kMid : kWhite;
  line(dl, min.x, min.y, max.x - 1, min.y, tl);
  line(dl, min.x, min.y, min.x, max.y - 1, tl);
  line(dl, min.x, max.y - 1, max.x, max.y - 1, br);
  line(dl, max.x - 1, min.y, max.x - 1, max.y - 1, br);
}

bool SpeedButton(const char* id, const Texture* icon, const char* label, bool down, ImVec2 size,
                 const char* tooltip) {
  const ImVec2 tl = ImGui::GetCursorScreenPos();
  const bool clicked = ImGui::InvisibleButton(id, size);
  const bool held = ImGui::IsItemActive();
  const ImVec2 br(tl.x + size.x, tl.y + size.y);
  ImDrawList* dl = ImGui::GetWindowDrawList();

  ImVec2 shift(0, 0);
  if (down) {
    dl->AddRectFilled(tl, br, kButtonDown);
    // A checkerboard of white dots, the classic look of a latched button.
    for (float y = tl.y + 2; y < br.y - 2; y += 2) {
      const int phase = static_cast<int>((y - tl.y) / 2) % 2;
      for (float x = tl.x + 2 + phase; x < br.x - 2; x += 2)
        dl->AddRectFilled(ImVec2(x, y), ImVec2(x + 1, y + 1), kWhite);
    }
    Bevel(dl, tl, br, false);
    shift = ImVec2(1, 1);
  } else {
    dl->AddRectFilled(tl, br, kButtonFace);
    Bevel(dl, tl, br, !held);
    if (held) shift = ImVec2(1, 1);
  }

  if (icon && icon->id != 0) {
    const float scale = ImGui::GetFontSize() / kBaseFontSize;
    const ImVec2 isz(icon->width * scale, icon->height * scale);
    const ImVec2 pos(static_cast<float>(static_cast<int>(tl.x + (size.x - isz.x) * 0.5f + shift.x)),
                     static_cast<float>(static_cast<int>(tl.y + (size.y - isz.y) * 0.5f + shift.y)));
    dl->AddImage(TextureRef(*icon), pos, ImVec2(pos.x + isz.x, pos.y + isz.y));
  } else if (label) {
    const ImVec2 tsz = ImGui::CalcTextSize(label);
    dl->AddText(ImVec2(tl.x + (size.x - tsz.x) * 0.5f + shift.x, tl.y + (size.y - tsz.y) * 0.5f + shift.y),
                kBlack, label);
  }

  if (tooltip && ImGui::IsItemHovered(ImGuiHoveredFlags_DelayShort)) ImGui::SetTooltip("%s", tooltip);
  return clicked;
}

}  // namespace Classic
