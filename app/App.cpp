// The application object: construction, the settings file, the pop-up
// queue and the zoom that keeps a point of the picture in place.
#include "app/App.h"

#include "app/Theme.h"
#include "autotest/AutoTest.h"
#include "core/Ascii.h"
#include "platform/FileDialog.h"
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

// The flags of the windows whose open state persists, in the order of
// kWindowSettingKeys.
bool App::* const kWindowFlags[kPersistentWindowCount] = {
    &App::showSecondView, &App::showSprites,   &App::showSpriteEditor, &App::showRegisters,
    &App::showMonitor,    &App::showCharset,   &App::showCharEditor,   &App::showProcessor,
    &App::showAssembler,  &App::showBitmapMem, &App::showCalc,         &App::showMountDisk,
};

}  // namespace

UndoStep monitorStep(int address, int length) {
  // A range that wraps past $FFFF is not one region: the step saves all.
  if (address < 0 || length < 0 || address + length > kRamSize)
    return UndoStep::of(UndoKind::All, kMonitorStepLabel);
  return UndoStep::range(address, length, kMonitorStepLabel);
}

App::App() {
  connectMonitor();
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

void App::connectMonitor() {
  monitor.getDrive = [this](int device) -> DiskDrive* {
    const int i = device - kFirstDevice;
    return i >= 0 && i < kDriveCount ? &drives[i] : nullptr;
  };
  monitor.onGo = [this](uint16_t address) {
    cpu.pc = address;
    cpu.stopped = false;
    showProcessor = true;
  };
  monitor.onExit = [this] { showMonitor = false; };
  monitor.hostLoad = [this](const std::string& name) {
    FileIO::open("Monitor load: " + name, {{"PRG-Files (*.prg)", {"prg"}}, {"All files", {}}},
                 [this](const std::string&, std::vector<uint8_t>& bytes) {
                   // The bytes it puts into memory pass through onWrite,
                   // which records the step when they change anything.
                   monitor.hostLoadDone(&bytes);
                 });
  };
  monitor.hostSave = [this](const std::string& name, const std::vector<uint8_t>& prg) {
    // "@:" asks a disk to replace the file; on the host the dialog asks.
    const std::string file = toLowerAscii(name.size() >= 3 && name.compare(0, 2, "@:") == 0 ? name.substr(2) : name);
    const int count = static_cast<int>(prg.size()) - 2;
    FileIO::save("Monitor save", file + ".prg", prg,
                 [this, count](const std::string&) { monitor.hostSaveDone(true, count); });
  };
  // Every monitor row that changes memory is one undo step, taken through
  // the one change path just before the row writes.
  monitor.onWrite = [this](int address, int length, const std::function<void()>& write) {
    change(monitorStep(address, length), write);
  };
}

int App::sprite0Pointer() const { return machine.ram[machine.spritePtrAddr() & 0xFFFF]; }

void App::loadSettings() { applySettings(Platform::loadText(kSettingsFile)); }

// The self-test mode leaves the user's settings alone.
void App::saveSettings() {
  if (AutoTest::enabled()) return;
  Platform::saveText(kSettingsFile, settingsText());
}

SettingsValues App::settingsValues() const {
  SettingsValues v;
  v.showGrid = showGrid;
  v.gridColor = gridColor;
  v.showActiveChar = showActiveChar;
  v.dontReplaceColors = dontReplaceColors;
  v.paletteIndex = paletteIndex;
  v.zoomSetting = zoomSetting;
  v.zoom = zoom;
  v.uiScale = uiScale;
  v.custom = palette.custom;
  for (int w = 0; w < kPersistentWindowCount; ++w) v.windows[w] = this->*kWindowFlags[w];
  return v;
}

std::string App::settingsText() const { return writeSettings(settingsValues()); }

void App::applySettings(const std::string& text) {
  SettingsValues v = settingsValues();
  readSettings(text, v);
  showGrid = v.showGrid;
  gridColor = v.gridColor;
  showActiveChar = v.showActiveChar;
  dontReplaceColors = v.dontReplaceColors;
  paletteIndex = v.paletteIndex;
  zoomSetting = v.zoomSetting;
  zoom = v.zoom;
  uiScale = v.uiScale;
  palette.custom = v.custom;
  for (int w = 0; w < kPersistentWindowCount; ++w) this->*kWindowFlags[w] = v.windows[w];
  palette.set(paletteIndex);
  editor.pix.fixedColors = dontReplaceColors;
}

void App::setPalette(int index) {
  palette.set(index);
  paletteIndex = palette.index;
  saveSettings();
}

void App::newProject() {
  machine.reset();
  undo.Clear();
  ++documentGeneration;
  // A block selection of the old picture would be cut or flipped unseen.
  editor.selActive = false;
  editor.cursorX = 0;
  editor.cursorY = kCursorStartRow;
  editor.undoPending = true;
  currentSprite = sprite0Pointer();
}

void App::afterLoad() {
  undo.Clear();
  ++documentGeneration;
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
      undo.TakeUndo(UndoKind::Registers, step.label);
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
using Classic::kPopupButtonWidth;
// A message's lines wrap at this share of the program window's width, so
// that a long one (a path in an error) stays inside the window.
constexpr float kPopupTextShare = 0.75f;
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
    ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + ImGui::GetMainViewport()->Size.x * kPopupTextShare);
    ImGui::TextUnformatted(p.text.c_str());
    ImGui::PopTextWrapPos();
    ImGui::Spacing();
    bool close = false;
    const bool enter = ImGui::IsKeyPressed(ImGuiKey_Enter, true) || ImGui::IsKeyPressed(ImGuiKey_KeypadEnter, true);
    const bool escape = ImGui::IsKeyPressed(ImGuiKey_Escape, true);
    if (p.isConfirm) {
      if (ImGui::Button("Yes", Classic::ButtonSize(kPopupButtonWidth)) || enter) {
        action = p.onYes;
        close = true;
      }
      ImGui::SameLine();
      if (ImGui::Button("No", Classic::ButtonSize(kPopupButtonWidth)) || escape) close = true;
    } else {
      if (ImGui::Button("OK", Classic::ButtonSize(kPopupButtonWidth)) || enter || escape) close = true;
    }
    if (close) {
      ImGui::CloseCurrentPopup();
      app.popups.erase(app.popups.begin());
    }
    ImGui::EndPopup();
  }
  if (action) action();
}
