// The second view, register and memory-bitmap windows; see Views.h. The
// rules they follow (register names, zoom steps, the centring scroll, the
// memory bitmap's pixels and hover text) live in app/ViewRules.
#include "app/Views.h"

#include "app/App.h"
#include "app/EditorInput.h"
#include "app/ViewRules.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "core/Vic.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void drawImage(const Texture& tex, ImVec2 pos, ImVec2 size) {
  ImGui::GetWindowDrawList()->AddImage(TextureRef(tex), pos,
                                       ImVec2(pos.x + size.x, pos.y + size.y));
}

}  // namespace

// ---- Second view ------------------------------------------------------------

void drawSecondView(App& app) {
  static int zoom = kSecondViewZoomMin;
  static PixelCanvas canvas;

  // First opened just large enough for the whole frame at 1x below its
  // title bar, whose height grows with the interface scale.
  const ImGuiStyle& style = ImGui::GetStyle();
  ImGui::SetNextWindowSize(ImVec2(kFrameWidth + 2 * style.WindowPadding.x,
                                  kFrameHeight + 2 * style.WindowPadding.y + ImGui::GetFrameHeight()),
                           ImGuiCond_FirstUseEver);
  // The part after "###" keeps the window's identity while the zoom changes.
  char title[64];
  std::snprintf(title, sizeof title, "Second view - %dx###Second view", zoom);
  if (!ImGui::Begin(title, &app.showSecondView,
                    ImGuiWindowFlags_HorizontalScrollbar | ImGuiWindowFlags_NoScrollWithMouse)) {
    ImGui::End();
    return;
  }

  SizeCanvas(canvas, kFrameWidth, kFrameHeight);
  Vic::renderFrame(app.machine, app.palette, canvas.pixels.data());
  canvas.texture.update(canvas.pixels, kFrameWidth, kFrameHeight);

  const float z = static_cast<float>(zoom);
  const ImVec2 imageSize(kFrameWidth * z, kFrameHeight * z);
  const ImVec2 avail = ImGui::GetContentRegionAvail();
  const ImVec2 cursor = ImGui::GetCursorScreenPos();
  const ImVec2 imagePos(cursor.x + CentreOffset(avail.x, imageSize.x), cursor.y + CentreOffset(avail.y, imageSize.y));
  drawImage(canvas.texture, imagePos, imageSize);
  ImGui::SetCursorScreenPos(imagePos);
  ImGui::InvisibleButton("##sv", imageSize);
  ImGui::SetItemKeyOwner(ImGuiKey_MouseWheelY);
  const ImGuiIO& io = ImGui::GetIO();

  if (ImGui::IsItemHovered() && io.MouseWheel != 0) zoom = StepSecondViewZoom(zoom, io.MouseWheel > 0 ? 1 : -1);
  if (ImGui::IsItemActive() && ImGui::IsMouseDown(ImGuiMouseButton_Left)) {
    // Drag the Screen window's visible part: centre it on the frame pixel
    // under the mouse (at the zoom the image was laid out with).
    const ImVec2 p((io.MousePos.x - imagePos.x) / z, (io.MousePos.y - imagePos.y) / z);
    const ScrollPos s = CentreScrollOn(p.x, p.y, app.viewSize.x, app.viewSize.y, app.zoom);
    app.pendingScroll = ImVec2(s.x, s.y);
  }
  if (ImGui::IsWindowFocused()) {
    if (ImGui::IsKeyPressed(ImGuiKey_R, true)) zoom = kSecondViewZoomMin;
    if (ImGui::IsKeyPressed(ImGuiKey_KeypadAdd, true) || ImGui::IsKeyPressed(ImGuiKey_Equal, true))
      zoom = StepSecondViewZoom(zoom, 1);
    if (ImGui::IsKeyPressed(ImGuiKey_KeypadSubtract, true) || ImGui::IsKeyPressed(ImGuiKey_Minus, true))
      zoom = StepSecondViewZoom(zoom, -1);
  }

  // The Screen window's visible area, as it left it in its last frame.
  const int g = PulseGrey(ImGui::GetTime());
  const ImVec2 a(imagePos.x + app.viewPos.x * z, imagePos.y + app.viewPos.y * z);
  const ImVec2 b(a.x + app.viewSize.x * z, a.y + app.viewSize.y * z);
  ImGui::GetWindowDrawList()->AddRect(a, b, IM_COL32(g, g, g, 255));
  ImGui::End();
}

// ---- Registers --------------------------------------------------------------

// Every register is writable, whatever it means on real hardware.
bool CommitRegister(App& app, int reg, int value) {
  if (reg < 0 || reg >= kVicRegCount) return false;
  const uint8_t v = static_cast<uint8_t>(value);
  if (app.machine.vicRegs[reg] == v) return false;
  app.change(UndoStep::of(UndoKind::Registers, "register change"), [&app, reg, v] { app.machine.vicRegs[reg] = v; });
  return true;
}

namespace {

constexpr float kRegistersWidth = 420;  // first use, grown with the interface scale
constexpr float kRegistersHeight = 600;
constexpr ImVec2 kRegisterSwatch(14, 12);  // at the 12-pixel font
constexpr float kRegisterFieldWidth = 36;
// The bits column's widest cells: the two digits need not be as wide.
const char* const kWidestBits[] = {"00000000", "11111111"};

}  // namespace

void drawRegisterView(App& app) {
  Widgets::SetFirstUseSize(kRegistersWidth, kRegistersHeight);
  if (!ImGui::Begin("Registers", &app.showRegisters)) {
    ImGui::End();
    return;
  }
  // Every column is as wide as its widest cell in the current font; a
  // window narrower than all four scrolls across.
  const float s = Classic::Scale();
  const ImGuiStyle& style = ImGui::GetStyle();
  const ImVec2 swatch(kRegisterSwatch.x * s, kRegisterSwatch.y * s);
  std::vector<std::string> regLabels(kVicRegCount);
  float regWidth = ImGui::CalcTextSize("Reg").x;
  float descriptionWidth = ImGui::CalcTextSize("Description").x;
  for (int i = 0; i < kVicRegCount; ++i) {
    char label[8];
    std::snprintf(label, sizeof label, "D0%02X", i);
    regLabels[i] = label;
    regWidth = std::max(regWidth, ImGui::CalcTextSize(label).x);
    const float swatchWidth = i >= kFirstColorRegister ? swatch.x + style.ItemSpacing.x : 0;
    descriptionWidth = std::max(descriptionWidth, swatchWidth + ImGui::CalcTextSize(regNames[i]).x);
  }
  float bitsWidth = ImGui::CalcTextSize("Bits").x;
  for (const char* bits : kWidestBits) bitsWidth = std::max(bitsWidth, ImGui::CalcTextSize(bits).x);
  const float valueField = kRegisterFieldWidth * s;
  const ImGuiTableFlags flags =
      ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_ScrollX | ImGuiTableFlags_ScrollY;
  if (ImGui::BeginTable("regs", 4, flags)) {
    ImGui::TableSetupScrollFreeze(0, 1);
    ImGui::TableSetupColumn("Reg", ImGuiTableColumnFlags_WidthFixed, regWidth);
    ImGui::TableSetupColumn("Value", ImGuiTableColumnFlags_WidthFixed,
                            std::max(valueField, ImGui::CalcTextSize("Value").x));
    ImGui::TableSetupColumn("Bits", ImGuiTableColumnFlags_WidthFixed, bitsWidth);
    ImGui::TableSetupColumn("Description", ImGuiTableColumnFlags_WidthFixed, descriptionWidth);
    ImGui::TableHeadersRow();
    for (int i = 0; i < kVicRegCount; ++i) {
      const uint8_t reg = app.machine.vicRegs[i];
      ImGui::PushID(i);
      ImGui::TableNextRow();
      ImGui::TableNextColumn();
      ImGui::AlignTextToFramePadding();
      ImGui::TextUnformatted(regLabels[i].c_str());
      ImGui::TableNextColumn();
      int value = reg;
      if (Widgets::HexByteInput("##v", value, valueField)) CommitRegister(app, i, value);
      ImGui::TableNextColumn();
      ImGui::AlignTextToFramePadding();
      ImGui::TextUnformatted(RegisterBits(reg).c_str());
      ImGui::TableNextColumn();
      ImGui::AlignTextToFramePadding();
      if (i >= kFirstColorRegister) {
        Widgets::ColorSwatch(app, reg & 15, swatch, false);
        ImGui::SameLine();
      }
      ImGui::TextUnformatted(regNames[i]);
      ImGui::PopID();
    }
    ImGui::EndTable();
  }
  ImGui::End();
}

// ---- Memory bitmap ----------------------------------------------------------

void drawBitmapMemView(App& app) {
  static int oneBit = 0;
  static int widthSel = 0;
  static PixelCanvas canvas;
  // What the canvas shows, so that an unchanged memory is not painted and
  // uploaded again (half a million pixels in 1-bit mode).
  static std::vector<uint8_t> shown;
  static int shownMode = -1;

  ImGui::SetNextWindowSize(ImVec2(680, 500), ImGuiCond_FirstUseEver);
  if (!ImGui::Begin("Memory bitmap", &app.showBitmapMem, ImGuiWindowFlags_HorizontalScrollbar)) {
    ImGui::End();
    return;
  }
  // The controls wrap where the window is narrower than their row.
  ImGui::RadioButton("8 bit", &oneBit, 0);
  Widgets::SameLineIfFits(Widgets::CheckboxWidth("1 bit"));
  ImGui::RadioButton("1 bit", &oneBit, 1);
  const char* const widthNames[kMemBitmapWidthCount] = {"160", "320", "640", "1280"};
  float widest = 0;
  for (const char* name : widthNames) widest = std::max(widest, ImGui::CalcTextSize(name).x);
  // The widest name, the frame's padding and the arrow button, a frame high.
  const ImGuiStyle& style = ImGui::GetStyle();
  const float combo = widest + 2 * style.FramePadding.x + ImGui::GetFrameHeight();
  Widgets::SameLineIfFits(combo + style.ItemInnerSpacing.x + ImGui::CalcTextSize("Width").x);
  ImGui::SetNextItemWidth(combo);
  ImGui::Combo("Width", &widthSel, widthNames, kMemBitmapWidthCount);

  const MemBitmapLayout l = MemBitmapLayoutFor(oneBit != 0, widthSel);
  const int mode = oneBit * kMemBitmapWidthCount + widthSel;
  const bool resized = SizeCanvas(canvas, l.width, l.height);
  const bool dirty = resized || mode != shownMode;
  const uint8_t* ram = app.machine.ram.data();
  if (dirty || shown.size() != kRamSize || std::memcmp(shown.data(), ram, kRamSize) != 0) {
    RenderMemBitmap(ram, oneBit != 0, l, canvas.pixels.data());
    canvas.texture.update(canvas.pixels, l.width, l.height);
    shown.assign(ram, ram + kRamSize);
    shownMode = mode;
  }

  // One pixel a texel.
  const ImVec2 pos = ImGui::GetCursorScreenPos();
  const ImVec2 size(static_cast<float>(l.width), static_cast<float>(l.height));
  ImGui::Image(TextureRef(canvas.texture), size);
  if (ImGui::IsItemHovered()) {
    const ImVec2 m = ImGui::GetIO().MousePos;
    const int x = std::clamp(static_cast<int>(std::floor(m.x - pos.x)), 0, l.width - 1);
    const int y = std::clamp(static_cast<int>(std::floor(m.y - pos.y)), 0, l.height - 1);
    ImGui::SetTooltip("%s", MemBitmapTooltip(ram, oneBit != 0, l.width, x, y).c_str());
  }
  ImGui::End();
}
