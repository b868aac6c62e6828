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

  ImGui::SetNextWindowSize(ImVec2(400, 300), ImGuiCond_FirstUseEver);
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

void drawRegisterView(App& app) {
  ImGui::SetNextWindowSize(ImVec2(420, 600), ImGuiCond_FirstUseEver);
  if (!ImGui::Begin("Registers", &app.showRegisters)) {
    ImGui::End();
    return;
  }
  const ImGuiTableFlags flags = ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerV | ImGuiTableFlags_ScrollY;
  if (ImGui::BeginTable("regs", 4, flags)) {
    ImGui::TableSetupScrollFreeze(0, 1);
    ImGui::TableSetupColumn("Reg", ImGuiTableColumnFlags_WidthFixed, 44);
    ImGui::TableSetupColumn("Value", ImGuiTableColumnFlags_WidthFixed, 40);
    ImGui::TableSetupColumn("Bits", ImGuiTableColumnFlags_WidthFixed, 70);
    ImGui::TableSetupColumn("Description", ImGuiTableColumnFlags_WidthStretch);
    ImGui::TableHeadersRow();
    for (int i = 0; i < kVicRegCount; ++i) {
      const uint8_t reg = app.machine.vicRegs[i];
      ImGui::PushID(i);
      ImGui::TableNextRow();
      ImGui::TableNextColumn();
      ImGui::Text("D0%02X", i);
      ImGui::TableNextColumn();
      int value = reg;
      if (Widgets::HexByteInput("##v", value, 36)) CommitRegister(app, i, value);
      ImGui::TableNextColumn();
      ImGui::TextUnformatted(RegisterBits(reg).c_str());
      ImGui::TableNextColumn();
      if (i >= kFirstColorRegister) {
        Widgets::ColorSwatch(app, reg & 15, ImVec2(14, 12), false);
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
  ImGui::RadioButton("8 bit", &oneBit, 0);
  ImGui::SameLine();
  ImGui::RadioButton("1 bit", &oneBit, 1);
  ImGui::SameLine();
  ImGui::SetNextItemWidth(100);
  const char* const widthNames[kMemBitmapWidthCount] = {"160", "320", "640", "1280"};
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
