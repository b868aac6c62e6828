// The Monitor window: renders the console screen from the document's
// monitor screen codes with the upper-case half of the character ROM,
// routes keys and characters to the console and ticks running listings.
#include "app/MonitorWin.h"

#include "app/App.h"
#include "app/Widgets.h"
#include "core/Vic.h"

#include <imgui.h>

#include <cmath>
#include <cstdio>

namespace {

constexpr float kDefaultWidth = 680;  // first use, grown with the interface scale
constexpr float kDefaultHeight = 440;
constexpr int kBackgroundColor = 6;  // palette entries of the C64's start-up screen
constexpr int kTextColor = 1;
constexpr int kGlyphBytes = 8;
constexpr uint8_t kReverseBit = 0x80;
constexpr double kBlinkPeriod = 0.6;  // the cursor shows 0.35 s, hides 0.25 s
constexpr double kBlinkOn = 0.35;
constexpr ImU32 kCursorColor = IM_COL32(160, 160, 255, 140);

struct KeyRow {
  ImGuiKey key;
  EditKey edit;
};
const KeyRow kKeys[] = {
    {ImGuiKey_Insert, EditKey::Insert},      {ImGuiKey_Delete, EditKey::Delete},
    {ImGuiKey_Backspace, EditKey::Backspace}, {ImGuiKey_UpArrow, EditKey::Up},
    {ImGuiKey_DownArrow, EditKey::Down},     {ImGuiKey_LeftArrow, EditKey::Left},
    {ImGuiKey_RightArrow, EditKey::Right},   {ImGuiKey_Enter, EditKey::Return},
    {ImGuiKey_KeypadEnter, EditKey::Return}, {ImGuiKey_Home, EditKey::Home},
};

void render(App& app, PixelCanvas& canvas) {
  SizeCanvas(canvas, kDisplayWidth, kDisplayHeight);
  const uint32_t bg = Vic::paletteWord(app.palette, kBackgroundColor);
  const uint32_t fg = Vic::paletteWord(app.palette, kTextColor);
  const uint32_t normal[kCellColors] = {bg, fg, bg, fg};
  const uint32_t reverse[kCellColors] = {fg, bg, fg, bg};
  const uint8_t* screen = app.monitor.screen;
  for (int r = 0; r < kMonitorRows; ++r) {
    for (int c = 0; c < kMonitorCols; ++c) {
      const uint8_t v = screen[r * kMonitorCols + c];
      const uint8_t* glyph = app.machine.charRom.data() + (v & 0x7F) * kGlyphBytes;
      uint32_t* out = canvas.pixels.data() + static_cast<size_t>(r) * 8 * kDisplayWidth + c * 8;
      Vic::renderCharData(glyph, false, (v & kReverseBit) ? reverse : normal, out, kDisplayWidth);
    }
  }
  canvas.texture.update(canvas.pixels, canvas.width, canvas.height);
}

void handleInput(App& app) {
  Monitor& mon = app.monitor;
  ImGuiIO& io = ImGui::GetIO();
  for (const KeyRow& k : kKeys) {
    if (!ImGui::IsKeyPressed(k.key, true)) continue;
    if (k.edit == EditKey::Return) {
      // The monitor's commands take no undo step; going through change()
      // withdraws a paste preview, whose saved image of the old memory must
      // not be put back over what a command writes.
      app.change(UndoStep::none(), [&mon, &k, &io] { mon.editKey(k.edit, io.KeyShift); });
    } else {
      mon.editKey(k.edit, io.KeyShift);
    }
  }
  if (ImGui::IsKeyPressed(ImGuiKey_Escape, true)) {
    if (mon.listing)
      mon.listing = false;
    else
      app.showMonitor = false;
  }
  for (ImWchar ch : io.InputQueueCharacters) {
    const int code = Monitor::typedCode(ch);
    if (code >= 0) mon.typeChar(static_cast<uint8_t>(code));
  }
  // The characters were commands for the console, not for any other widget.
  io.InputQueueCharacters.resize(0);
}

}  // namespace

void drawMonitor(App& app) {
  static PixelCanvas canvas;
  Widgets::SetFirstUseSize(kDefaultWidth, kDefaultHeight);
  if (!ImGui::Begin("Monitor", &app.showMonitor)) {
    ImGui::End();
    return;
  }
  Monitor& mon = app.monitor;
  mon.tick();
  render(app, canvas);

  // The hint line wraps where the window is too narrow for it (a large
  // interface scale); the screen gives way to all of its lines.
  char footer[96];
  std::snprintf(footer, sizeof footer, "? = help   Return executes the line   Esc closes%s",
                mon.listing ? "   (any key stops)" : "");
  ImVec2 avail = ImGui::GetContentRegionAvail();
  avail.y -= ImGui::CalcTextSize(footer, nullptr, false, avail.x).y + ImGui::GetStyle().ItemSpacing.y;
  ImVec2 topLeft, bottomRight;
  int scale = 1;
  Widgets::ImageFit(canvas.texture, avail, topLeft, bottomRight, scale, true);
  // The button covers the free area so that clicks land on this window.
  ImGui::InvisibleButton("##screen", ImVec2(std::max(avail.x, 1.0f), std::max(avail.y, 1.0f)));
  const float drawnScale = (bottomRight.x - topLeft.x) / kDisplayWidth;
  if (ImGui::IsItemClicked(ImGuiMouseButton_Left)) {
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    int column = 0, row = 0;
    if (Monitor::cellAt(mouse.x - topLeft.x, mouse.y - topLeft.y, drawnScale, column, row)) {
      mon.col = column;
      mon.row = row;
    }
  }
  // A listing prints a line per frame; the cursor blinks on its own.
  const double now = ImGui::GetTime();
  const double phase = std::fmod(now, kBlinkPeriod);
  app.redrawBy(mon.listing ? now : now - phase + (phase < kBlinkOn ? kBlinkOn : kBlinkPeriod));
  if (phase < kBlinkOn) {
    const float cell = 8 * drawnScale;
    const ImVec2 a(topLeft.x + mon.col * cell, topLeft.y + mon.row * cell);
    ImGui::GetWindowDrawList()->AddRectFilled(a, ImVec2(a.x + cell, a.y + cell), kCursorColor);
  }
  Widgets::TextDisabledWrapped(footer);

  if (ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) && !ImGui::GetIO().WantTextInput)
    handleInput(app);
  ImGui::End();
}
