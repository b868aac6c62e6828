// The application object: construction, the settings file, the pop-up
// queue and the zoom that keeps a point of the picture in place.
#include "app/App.h"

#include "platform/Platform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <climits>

const char* const kDefaultAssemblerSource =
    "; Tilvox assembler\n"
    "*=$C000\n"
    "\n"
    "start   LDA #$00\n"
    "        STA $D020\n"
    "        RTS\n";

namespace {

constexpr int kCursorStartRow = 6;  // the row below the power-on banner

// The windows whose open state persists, in the order the file lists them.
struct WindowKey {
  const char* key;
  bool App::*flag;
};
const WindowKey kWindowKeys[] = {
    {"win.secondView", &App::showSecondView},
    {"win.sprites", &App::showSprites},
    {"win.spriteEditor", &App::showSpriteEditor},
    {"win.registers", &App::showRegisters},
    {"win.monitor", &App::showMonitor},
    {"win.charset", &App::showCharset},
    {"win.charEditor", &App::showCharEditor},
    {"win.processor", &App::showProcessor},
    {"win.assembler", &App::showAssembler},
    {"win.bitmapMem", &App::showBitmapMem},
    {"win.calc", &App::showCalc},
    {"win.mountDisk", &App::showMountDisk},
};

// Decimal integer with leading blanks and a sign; stops at the first other
// character; no digits give 0.
const std::string kCustomPrefix = "Custom_";

int parseInt(const std::string& s) {
  long long v = std::strtoll(s.c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
}

void addLine(std::string& out, const char* key, const std::string& value) {
  out += key;
  out += '=';
  out += value;
  out += '\n';
}

}  // namespace

App::App() {
  assemblerSource = kDefaultAssemblerSource;
  machine.loadAssets(Platform::assetDir());
  loadSettings();
  machine.reset();
  undo.Clear();
  editor.undoPending = true;
  editor.cursorX = 0;
  editor.cursorY = kCursorStartRow;
  machine.pen = 14;
  currentSprite = sprite0Pointer();
  undo.Clear();
}

int App::sprite0Pointer() const { return machine.ram[machine.spritePtrAddr() & 0xFFFF]; }

void App::loadSettings() { applySettings(Platform::loadText(kSettingsFile)); }

void App::saveSettings() { Platform::saveText(kSettingsFile, settingsText()); }

std::string App::settingsText() const {
  std::string out;
  char buf[32];
  addLine(out, "ShowGrid", showGrid ? "1" : "0");
  addLine(out, "GridColor", std::to_string(gridColor));
  addLine(out, "ShowActiveChar", showActiveChar ? "1" : "0");
  addLine(out, "DontReplaceColors", dontReplaceColors ? "1" : "0");
  addLine(out, "Palette", std::to_string(paletteIndex));
  addLine(out, "Zoom", std::to_string(zoom));
  std::snprintf(buf, sizeof buf, "%g", static_cast<double>(uiScale));
  addLine(out, "UiScale", buf);
  static const char kChannels[] = {'R', 'G', 'B'};
  for (int i = 0; i < kPaletteColors; ++i) {
    for (int c = 0; c < 3; ++c) {
      std::snprintf(buf, sizeof buf, "Custom_%d_%c", i, kChannels[c]);
      addLine(out, buf, std::to_string(palette.custom[i][c]));
    }
  }
  for (const WindowKey& w : kWindowKeys) addLine(out, w.key, this->*w.flag ? "1" : "0");
  return out;
}

void App::applySettings(const std::string& text) {
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    const int iv = parseInt(value);
    if (key == "ShowGrid") showGrid = iv != 0;
    else if (key == "GridColor") gridColor = iv & 15;
    else if (key == "ShowActiveChar") showActiveChar = iv != 0;
    else if (key == "DontReplaceColors") dontReplaceColors = iv != 0;
    else if (key == "Palette") paletteIndex = iv;
    else if (key == "Zoom") zoomSetting = iv;
    else if (key == "UiScale") uiScale = static_cast<float>(std::strtod(value.c_str(), nullptr));
    else if (key.compare(0, kCustomPrefix.size(), kCustomPrefix) == 0) {
      const int color = parseInt(key.substr(kCustomPrefix.size()));
      const char last = key.back();
      const int channel = last == 'R' ? 0 : last == 'G' ? 1 : 2;
      if (color >= 0 && color < kPaletteColors) palette.custom[color][channel] = static_cast<uint8_t>(iv);
    } else {
      for (const WindowKey& w : kWindowKeys)
        if (key == w.key) this->*w.flag = iv != 0;
    }
  }
  if (!(uiScale >= kUiScaleMin && uiScale <= kUiScaleMax)) uiScale = 1.0f;
  palette.set(paletteIndex);
  editor.pix.fixedColors = dontReplaceColors;
  zoom = (zoomSetting >= kZoomMin && zoomSetting <= kZoomMax) ? zoomSetting : kDefaultZoom;
}

void App::setPalette(int index) {
  palette.set(index);
  paletteIndex = palette.index;
  saveSettings();
}

void App::newProject() {
  machine.reset();
  undo.Clear();
  // A block selection of the old picture would be cut or flipped unseen.
  editor.selActive = false;
  editor.cursorX = 0;
  editor.cursorY = kCursorStartRow;
  editor.undoPending = true;
  currentSprite = sprite0Pointer();
}

void App::afterLoad() {
  undo.Clear();
  editor.selActive = false;
  currentSprite = sprite0Pointer();
}

void App::change(const UndoStep& step, const std::function<void()>& apply) {
  editor.cancelPreview();
  switch (step.take) {
    case UndoStep::Take::None:
    case UndoStep::Take::ByEngine: break;
    case UndoStep::Take::Kind: undo.TakeUndo(step.kind, step.label); break;
    case UndoStep::Take::Range: undo.TakeUndoRange(step.address, step.length, step.label); break;
    case UndoStep::Take::Screen: undo.TakeScreenUndo(step.label); break;
    case UndoStep::Take::ScreenAndRegisters:
      // One step holds the cell memory and the registers, whichever the
      // change touches.
      undo.TakeScreenUndo(step.label);
      undo.TakeUndo(kUndoRegisters, step.label);
      undo.MergeLast();
      break;
  }
  if (apply) apply();
}

void App::chooseTool(int tool) {
  editor.tool = tool;
  if (tool == kToolText) editor.undoPending = true;
  focusScreen = true;
}

int App::setZoom(int z, float ax, float ay) {
  const int next = std::clamp(z, kZoomMin, kZoomMax);
  if (next == zoom) return next;
  const int old = zoom;
  const float anchorX = ax >= 0 ? ax : viewPos.x + 0.5f * viewSize.x;
  const float anchorY = ay >= 0 ? ay : viewPos.y + 0.5f * viewSize.y;
  const float fx = viewSize.x > 0 ? (anchorX - viewPos.x) / viewSize.x : 0.5f;
  const float fy = viewSize.y > 0 ? (anchorY - viewPos.y) / viewSize.y : 0.5f;
  zoom = zoomSetting = next;
  const float ratio = static_cast<float>(old) / static_cast<float>(next);
  const float visW = viewSize.x * ratio;
  const float visH = viewSize.y * ratio;
  pendingScroll = ImVec2((anchorX - visW * fx) * next, (anchorY - visH * fy) * next);
  return next;
}

void App::confirm(const std::string& title, const std::string& text, std::function<void()> action) {
  popups.push_back(Popup{title, text, std::move(action), true});
}

void App::message(const std::string& title, const std::string& text) {
  popups.push_back(Popup{title, text, {}, false});
}

namespace {
constexpr float kPopupButtonWidth = 90.0f;
}

void drawPopups(App& app) {
  if (app.popups.empty()) return;
  const std::string id = app.popups.front().title + "##popup";
  if (!ImGui::IsPopupOpen(id.c_str())) ImGui::OpenPopup(id.c_str());
  ImGui::SetNextWindowPos(ImGui::GetMainViewport()->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  std::function<void()> action;
  if (ImGui::BeginPopupModal(id.c_str(), nullptr,
                             ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings)) {
    const App::Popup& p = app.popups.front();
    ImGui::TextUnformatted(p.text.c_str());
    ImGui::Spacing();
    bool close = false;
    const bool enter = ImGui::IsKeyPressed(ImGuiKey_Enter, true) || ImGui::IsKeyPressed(ImGuiKey_KeypadEnter, true);
    const bool escape = ImGui::IsKeyPressed(ImGuiKey_Escape, true);
    if (p.isConfirm) {
      if (ImGui::Button("Yes", ImVec2(kPopupButtonWidth, 0)) || enter) {
        action = p.onYes;
        close = true;
      }
      ImGui::SameLine();
      if (ImGui::Button("No", ImVec2(kPopupButtonWidth, 0)) || escape) close = true;
    } else {
      if (ImGui::Button("OK", ImVec2(kPopupButtonWidth, 0)) || enter || escape) close = true;
    }
    if (close) {
      ImGui::CloseCurrentPopup();
      app.popups.erase(app.popups.begin());
    }
    ImGui::EndPopup();
  }
  if (action) action();
}
