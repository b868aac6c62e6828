// Shared controls. Each draws at the cursor of the current window.
#include "app/Widgets.h"

#include "app/App.h"
#include "app/Theme.h"
#include "core/Machine.h"
#include "core/Vic.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Widgets {

namespace {

constexpr size_t kHexBufSize = 8;
constexpr const char* kReversePrefix = "rev. ";

// The single hex field being edited: its text survives the frame in which
// focus moves away, so that frame can still commit it.
ImGuiID g_hexEditId = 0;
char g_hexEditBuf[kHexBufSize] = {};

// Shows `shown` in `fmt`; a committed text becomes the value through
// `parse`.
bool hexInput(const char* label, int& value, float width, const char* fmt, int shown, int (*parse)(const char*)) {
  const ImGuiID id = ImGui::GetID(label);
  char buf[kHexBufSize];
  if (g_hexEditId == id) std::memcpy(buf, g_hexEditBuf, sizeof buf);
  else std::snprintf(buf, sizeof buf, fmt, shown);
  ImGui::SetNextItemWidth(width);
  const bool enter = ImGui::InputText(label, buf, sizeof buf,
                                      ImGuiInputTextFlags_CharsHexadecimal | ImGuiInputTextFlags_CharsUppercase |
                                          ImGuiInputTextFlags_AutoSelectAll | ImGuiInputTextFlags_EnterReturnsTrue);
  const bool active = ImGui::IsItemActive();
  if (active) {
    g_hexEditId = id;
    std::memcpy(g_hexEditBuf, buf, sizeof buf);
  }
  const bool commit = enter || ImGui::IsItemDeactivatedAfterEdit();
  if (!active && g_hexEditId == id) g_hexEditId = 0;
  if (!commit) return false;
  value = parse(buf);
  return true;
}

using Classic::kBlack;
using Classic::kWhite;
constexpr ImU32 kNoColorFill = IM_COL32(110, 110, 110, 255);
constexpr ImU32 kNoColorCross = IM_COL32(60, 60, 60, 255);
constexpr ImU32 kMarkFrame = IM_COL32(160, 160, 160, 255);
constexpr float kGridGap = 5.0f;
constexpr float kGridInset = 2.0f;
// Dear ImGui puts a window without a saved place this far right of and
// below the program window's top left corner; a first size keeps the same
// margin on the far side.
constexpr float kNewWindowOffset = 60.0f;

}  // namespace

void ColorSwatch(App& app, int color, ImVec2 size, bool selected) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const ImVec2 tl = ImGui::GetCursorScreenPos();
  const ImVec2 br(tl.x + size.x, tl.y + size.y);
  if (color < 0) {
    dl->AddRectFilled(tl, br, kNoColorFill);
    dl->AddLine(tl, br, kNoColorCross);
  } else {
    dl->AddRectFilled(tl, br, Vic::paletteWord(app.palette, color));
  }
  dl->AddRect(tl, br, kBlack);
  if (selected) dl->AddRect(ImVec2(tl.x - 2, tl.y - 2), ImVec2(br.x + 2, br.y + 2), kWhite, 0, 0, 2.0f);
  ImGui::Dummy(size);
}

bool PaletteGrid(const char* id, App& app, int selected, int marked, int& picked, bool& rightClicked,
                 float cellSize, int perRow) {
  rightClicked = false;
  bool result = false;
  ImGui::PushID(id);
  const int rows = kPaletteColors / perRow;
  const float step = cellSize + kGridGap;
  const ImVec2 origin = ImGui::GetCursorScreenPos();
  ImDrawList* dl = ImGui::GetWindowDrawList();
  for (int row = 0; row < rows; ++row) {
    for (int col = 0; col < perRow; ++col) {
      const int i = row * perRow + col;
      const ImVec2 tl(origin.x + col * step + kGridInset, origin.y + row * step + kGridInset);
      const ImVec2 br(tl.x + cellSize, tl.y + cellSize);
      ImGui::SetCursorScreenPos(tl);
      ImGui::PushID(i);
      ImGui::InvisibleButton("##cell", ImVec2(cellSize, cellSize),
                             ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
      ImGui::PopID();
      if (ImGui::IsItemClicked(ImGuiMouseButton_Left)) {
        picked = i;
        result = true;
      } else if (ImGui::IsItemClicked(ImGuiMouseButton_Right)) {
        picked = i;
        rightClicked = true;
        result = true;
      }
      if (ImGui::IsItemHovered()) ImGui::SetTooltip("Color %d", i);
      dl->AddRectFilled(tl, br, Vic::paletteWord(app.palette, i));
      dl->AddRect(tl, br, kBlack);
      if (i == selected)
        dl->AddRect(ImVec2(tl.x - 2, tl.y - 2), ImVec2(br.x + 2, br.y + 2), kWhite, 0, 0, 2.0f);
      else if (i == marked)
        dl->AddRect(ImVec2(tl.x - 2, tl.y - 2), ImVec2(br.x + 2, br.y + 2), kMarkFrame);
    }
  }
  ImGui::SetCursorScreenPos(ImVec2(origin.x, origin.y + rows * step + kGridInset));
  ImGui::Dummy(ImVec2(perRow * step, 0));
  ImGui::PopID();
  return result;
}

int ParseHexMasked(const char* text, int mask) {
  return static_cast<int>(std::strtoul(text, nullptr, 16) & static_cast<unsigned long>(mask));
}

int ParseHexEnd(const char* text) {
  return static_cast<int>(std::min<unsigned long>(std::strtoul(text, nullptr, 16), kRamSize));
}

bool HexByteInput(const char* label, int& value, float width) {
  return hexInput(label, value, width, "%02X", value & 0xFF, [](const char* t) { return ParseHexMasked(t, 0xFF); });
}

bool HexWordInput(const char* label, int& value, float width) {
  return hexInput(label, value, width, "%04X", value & 0xFFFF, [](const char* t) { return ParseHexMasked(t, 0xFFFF); });
}

bool HexEndInput(const char* label, int& value, float width) {
  // "%04X" gives the fifth digit only to the top of memory.
  return hexInput(label, value, width, "%04X", std::clamp(value, 0, kRamSize), ParseHexEnd);
}

void FitRect(int texWidth, int texHeight, ImVec2 avail, ImVec2 cursor, bool integerScale, ImVec2& topLeft,
             ImVec2& bottomRight, int& scale) {
  if (texWidth <= 0 || texHeight <= 0) {
    topLeft = bottomRight = cursor;
    scale = 0;
    return;
  }
  float s = std::min(avail.x / texWidth, avail.y / texHeight);
  if (integerScale) s = std::max(1.0f, static_cast<float>(static_cast<int>(s)));
  scale = static_cast<int>(s);
  const ImVec2 size(texWidth * s, texHeight * s);
  topLeft = ImVec2(cursor.x + std::max(0.0f, (avail.x - size.x) * 0.5f),
                   cursor.y + std::max(0.0f, (avail.y - size.y) * 0.5f));
  bottomRight = ImVec2(topLeft.x + size.x, topLeft.y + size.y);
}

void ImageFit(const Texture& tex, ImVec2 avail, ImVec2& topLeft, ImVec2& bottomRight, int& scale,
              bool integerScale) {
  FitRect(tex.width, tex.height, avail, ImGui::GetCursorScreenPos(), integerScale, topLeft, bottomRight, scale);
  if (tex.id != 0)
    ImGui::GetWindowDrawList()->AddImage(TextureRef(tex), topLeft, bottomRight,
                                         ImVec2(0, 0), ImVec2(1, 1));
}

void SameLineIfFits(float width, float spacing) {
  const float gap = spacing < 0 ? ImGui::GetStyle().ItemSpacing.x : spacing;
  // The cursor stands at the start of the next row; its right edge is the
  // content region's.
  const float rightEdge = ImGui::GetCursorScreenPos().x + ImGui::GetContentRegionAvail().x;
  if (ImGui::GetItemRectMax().x + gap + width <= rightEdge) ImGui::SameLine(0, gap);
}

ImVec2 NewWindowRoom() {
  const ImVec2 size = ImGui::GetMainViewport()->Size;
  return ImVec2(std::max(0.0f, size.x - 2 * kNewWindowOffset), std::max(0.0f, size.y - 2 * kNewWindowOffset));
}

ImVec2 FirstUseSize(float width, float height) {
  const float s = Classic::Scale();
  const ImVec2 room = NewWindowRoom();
  return ImVec2(std::min(width * s, std::max(width, room.x)), std::min(height * s, std::max(height, room.y)));
}

void SetFirstUseSize(float width, float height) {
  ImGui::SetNextWindowSize(FirstUseSize(width, height), ImGuiCond_FirstUseEver);
}

void TextDisabledWrapped(const char* text) {
  ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled));
  ImGui::TextWrapped("%s", text);
  ImGui::PopStyleColor();
}

float ButtonWidth(const char* label) {
  return ImGui::CalcTextSize(label, nullptr, true).x + 2 * ImGui::GetStyle().FramePadding.x;
}

float CheckboxWidth(const char* label) {
  const float text = ImGui::CalcTextSize(label, nullptr, true).x;
  return ImGui::GetFrameHeight() + (text > 0 ? ImGui::GetStyle().ItemInnerSpacing.x + text : 0);
}

std::string CharDescription(int code) {
  std::string prefix;
  code &= 0xFF;
  if (code >= 128) {
    prefix = kReversePrefix;
    code -= 128;
  }
  std::string name;
  if (code >= 1 && code <= 26) name = std::string(1, static_cast<char>('a' + code - 1));
  else if (code >= 65 && code <= 90) name = std::string(1, static_cast<char>('A' + code - 65));
  else if (code >= 48 && code <= 57) name = std::string(1, static_cast<char>('0' + code - 48));
  else if (code == 0) name = "@";
  else if (code == 27) name = "[";
  else if (code == 28) name = "\xC2\xA3";  // pound sign
  else if (code == 29) name = "]";
  else if (code == 30) name = "up arrow";
  else if (code == 31) name = "left arrow";
  else if (code == 32) name = "space";
  else if ((code >= 33 && code <= 47) || (code >= 58 && code <= 63)) name = std::string(1, static_cast<char>(code));
  else return {};
  return prefix + name;
}

}  // namespace Widgets
