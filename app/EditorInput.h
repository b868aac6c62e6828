// The rules behind the editor's user interface that are worth testing
// without a window: how a mouse position maps to display pixels and how the
// wheel zooms around it, which command a key press means for the main menu
// and for the Screen window, what the status bar shows under the mouse, and
// how the Clear dialog reads its value. The window code (MainWindow,
// ScreenEditor) asks these functions and carries the answers out.
#pragma once

#include "core/Machine.h"

#include <imgui.h>

#include <cstdint>
#include <vector>

// Display pixels handed to the editor are limited to this range so that a
// mouse far outside the picture cannot overflow them.
constexpr int kMouseFrameLimit = 10000;
constexpr int kDisplayMin = -kMouseFrameLimit - 32;  // -10032
constexpr int kDisplayMax = kMouseFrameLimit - 32;   // 9968

// Display pixel on one axis under a screen coordinate: the frame pixel
// floor((mouse - image) / zoom), limited to -10000..10000, less the 32
// pixels of border before the display.
int DisplayPixelAt(float mouse, float imagePos, int zoom);

// Offset that centres an image of `imageSize` in `avail` pixels; 0 when it
// does not fit.
float CentreOffset(float avail, float imageSize);

// One wheel step over the picture. `step` is +1 (zoom in) or -1.
struct WheelZoom {
  bool changed = false;  // false when the new zoom would leave 1..24
  int zoom = 0;
  float scrollX = 0;  // scroll of the canvas child that keeps the point
  float scrollY = 0;  // under the mouse in place, never below 0
};
WheelZoom WheelZoomAt(int zoom, int step, ImVec2 mouse, ImVec2 imagePos, ImVec2 childPos);

// A key press as the window code sees it.
struct KeyPress {
  ImGuiKey key = ImGuiKey_None;
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
  bool repeat = false;  // produced by key repeat
};

// Every keyboard key pressed in this frame (first press or key repeat),
// with the modifiers held. Needs a Dear ImGui frame.
std::vector<KeyPress> KeyPressesThisFrame();

// Global shortcuts of the main menu.
enum class MenuCommand {
  None,
  Undo,
  Redo,
  LoadProject,
  SaveProject,
  OpenClear,
  ToggleGrid,
  SetPalette,  // argument: palette index
  OpenPreferences,
  OpenHelp,
};
struct MenuShortcut {
  MenuCommand command = MenuCommand::None;
  int arg = 0;
};
// `textTyping`: the Text tool is active and the Screen window had keyboard
// focus, so Ctrl+Z and Ctrl+Y belong to the typed text.
MenuShortcut RouteMenuKey(const KeyPress& k, bool textTyping);

// Commands of the keys of the focused Screen window.
enum class ScreenCommand {
  None,
  CancelPaste,
  Copy,
  Cut,
  Paste,
  SelectAll,
  Deselect,
  ZoomIn,
  ZoomOut,
  ResetZoom,
  BrushDown,
  BrushUp,
  CopyChar,
  PasteChar,
  ToggleGrid,
  SetTool,  // argument: EditorTool
  FlipX,
  FlipY,
  Invert,
  ClearBlock,
  TypeCode,        // argument: screen code
  EditKey,         // argument: EditKey (with the Shift state of the press)
  ToggleCharset,   // bit 1 of $D018: upper / lower case ROM set
  CellColor,       // argument: slot 0-3; direction -1 with Shift, else +1
  OpenColorEditor,
};
struct ScreenKey {
  ScreenCommand command = ScreenCommand::None;
  int arg = 0;
};
struct ScreenKeyState {
  int tool = 0;
  bool pasting = false;
  bool selActive = false;
};
ScreenKey RouteScreenKey(const KeyPress& k, const ScreenKeyState& s);

// What the status bar shows for display pixel (x, y) (inside the display).
struct StatusInfo {
  int posX = 0;
  int posY = 0;
  uint32_t address = 0;
};
StatusInfo StatusInfoAt(const Machine& m, int x, int y);

// The Clear dialog's value: hexadecimal after a leading "$", else decimal;
// reading stops at the first other character; no digits give 0.
int ParseClearValue(const char* text);
