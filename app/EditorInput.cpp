// Mouse mapping, wheel zoom, key routing, status-bar addresses and the
// Clear dialog's number reading; see EditorInput.h.
#include "app/EditorInput.h"

#include "app/App.h"
#include "core/Editor.h"
#include "core/MemoryLayout.h"
#include "core/Vic.h"

#include <algorithm>
#include <climits>
#include <cmath>

int DisplayPixelAt(float mouse, float imagePos, int zoom) {
  const float f = std::floor((mouse - imagePos) / static_cast<float>(std::max(zoom, 1)));
  const float limited = std::clamp(f, static_cast<float>(-kMouseFrameLimit), static_cast<float>(kMouseFrameLimit));
  return static_cast<int>(limited) - kDisplayX;
}

// Whole pixels, so that every C64 pixel covers the same number of screen
// pixels.
float CentreOffset(float avail, float imageSize) {
  return avail > imageSize ? std::floor((avail - imageSize) * 0.5f) : 0.0f;
}

WheelZoom WheelZoomAt(int zoom, int step, ImVec2 mouse, ImVec2 imagePos, ImVec2 childPos) {
  WheelZoom r;
  const int next = zoom + step;
  if (next < kZoomMin || next > kZoomMax || zoom < 1) return r;
  // The frame point under the mouse, in frame pixels at the old zoom.
  const float fx = (mouse.x - imagePos.x) / static_cast<float>(zoom);
  const float fy = (mouse.y - imagePos.y) / static_cast<float>(zoom);
  r.changed = true;
  r.zoom = next;
  r.scrollX = std::max(0.0f, fx * static_cast<float>(next) - (mouse.x - childPos.x));
  r.scrollY = std::max(0.0f, fy * static_cast<float>(next) - (mouse.y - childPos.y));
  return r;
}

std::vector<KeyPress> KeyPressesThisFrame() {
  std::vector<KeyPress> out;
  const ImGuiIO& io = ImGui::GetIO();
  // The keyboard keys come first among the named keys, up to the gamepad.
  for (int k = ImGuiKey_NamedKey_BEGIN; k < ImGuiKey_GamepadStart; ++k) {
    const ImGuiKey key = static_cast<ImGuiKey>(k);
    if (!ImGui::IsKeyPressed(key, true)) continue;
    out.push_back(KeyPress{key, io.KeyCtrl, io.KeyShift, io.KeyAlt, !ImGui::IsKeyPressed(key, false)});
  }
  return out;
}

namespace {

bool isLetter(ImGuiKey k) { return k >= ImGuiKey_A && k <= ImGuiKey_Z; }
bool isDigit(ImGuiKey k) { return k >= ImGuiKey_0 && k <= ImGuiKey_9; }

// Exact modifier set.
bool mods(const KeyPress& k, bool ctrl, bool shift, bool alt) {
  return k.ctrl == ctrl && k.shift == shift && k.alt == alt;
}

// Ctrl+Alt+letter shortcuts of the main menu.
struct MenuKey {
  ImGuiKey key;
  MenuCommand command;
};
const MenuKey kCtrlAltKeys[] = {
    {ImGuiKey_Z, MenuCommand::Undo},
    {ImGuiKey_Y, MenuCommand::Redo},
    {ImGuiKey_L, MenuCommand::LoadProject},
    {ImGuiKey_S, MenuCommand::SaveProject},
    {ImGuiKey_E, MenuCommand::OpenClear},
    {ImGuiKey_G, MenuCommand::ToggleGrid},
    {ImGuiKey_P, MenuCommand::OpenPreferences},
};

// Keys of the text cursor, one row per key.
struct TextKey {
  ImGuiKey key;
  int editKey;
};
const TextKey kTextKeys[] = {
    {ImGuiKey_Insert, EditKey::Insert},       {ImGuiKey_Delete, EditKey::Delete},
    {ImGuiKey_Backspace, EditKey::Backspace}, {ImGuiKey_UpArrow, EditKey::Up},
    {ImGuiKey_DownArrow, EditKey::Down},      {ImGuiKey_LeftArrow, EditKey::Left},
    {ImGuiKey_RightArrow, EditKey::Right},    {ImGuiKey_Enter, EditKey::Return},
    {ImGuiKey_KeypadEnter, EditKey::Return},  {ImGuiKey_Home, EditKey::Home},
};

// Single keys without modifiers, for every tool but Text.
struct PlainKey {
  ImGuiKey key;
  ScreenCommand command;
  int arg;
};
const PlainKey kPlainKeys[] = {
    {ImGuiKey_A, ScreenCommand::BrushDown, 0},
    {ImGuiKey_Z, ScreenCommand::BrushUp, 0},
    {ImGuiKey_C, ScreenCommand::CopyChar, 0},
    {ImGuiKey_V, ScreenCommand::PasteChar, 0},
    {ImGuiKey_G, ScreenCommand::ToggleGrid, 0},
    {ImGuiKey_D, ScreenCommand::SetTool, kToolDot},
    {ImGuiKey_P, ScreenCommand::SetTool, kToolDraw},
    {ImGuiKey_L, ScreenCommand::SetTool, kToolLine},
    {ImGuiKey_F, ScreenCommand::SetTool, kToolFill},
    {ImGuiKey_T, ScreenCommand::SetTool, kToolText},
    {ImGuiKey_R, ScreenCommand::ResetZoom, 0},
    {ImGuiKey_O, ScreenCommand::SetTool, kToolCircle},
    {ImGuiKey_B, ScreenCommand::SetTool, kToolBox},
    {ImGuiKey_S, ScreenCommand::SetTool, kToolSelect},
};
// With the Select tool and a selection.
const PlainKey kBlockKeys[] = {
    {ImGuiKey_X, ScreenCommand::FlipX, 0},
    {ImGuiKey_Y, ScreenCommand::FlipY, 0},
    {ImGuiKey_I, ScreenCommand::Invert, 0},
    {ImGuiKey_Delete, ScreenCommand::ClearBlock, 0},
};

// Screen codes that Ctrl types with the Text tool: the reversed letters,
// digits and space of the C64 keyboard's reverse mode.
constexpr int kCtrlLetterCode = 129;       // reverse "a"
constexpr int kCtrlShiftLetterCode = 193;  // reverse "A"
constexpr int kCtrlDigitCode = 176;        // reverse "0"
constexpr int kCtrlSpaceCode = 160;        // reverse space

}  // namespace

MenuShortcut RouteMenuKey(const KeyPress& k, bool textTyping) {
  if (mods(k, true, false, true)) {
    for (const MenuKey& m : kCtrlAltKeys)
      if (k.key == m.key) return {m.command, 0};
    if (k.key == ImGuiKey_0) return {MenuCommand::SetPalette, 9};
    if (k.key >= ImGuiKey_1 && k.key <= ImGuiKey_9) return {MenuCommand::SetPalette, k.key - ImGuiKey_1};
    return {};
  }
  if (mods(k, false, false, false) && k.key == ImGuiKey_F1 && !k.repeat) return {MenuCommand::OpenHelp, 0};
  if (textTyping) return {};
  if (mods(k, true, false, false) && k.key == ImGuiKey_Z) return {MenuCommand::Undo, 0};
  if (mods(k, true, false, false) && k.key == ImGuiKey_Y) return {MenuCommand::Redo, 0};
  if (mods(k, true, true, false) && k.key == ImGuiKey_Z) return {MenuCommand::Redo, 0};
  return {};
}

ScreenKey RouteScreenKey(const KeyPress& k, const ScreenKeyState& s) {
  if (s.pasting && k.key == ImGuiKey_Escape && !k.repeat) return {ScreenCommand::CancelPaste, 0};
  if (k.key >= ImGuiKey_F5 && k.key <= ImGuiKey_F8) return {ScreenCommand::CellColor, k.key - ImGuiKey_F5};
  if (k.key == ImGuiKey_F9) return k.repeat ? ScreenKey{} : ScreenKey{ScreenCommand::OpenColorEditor, 0};

  if (s.tool == kToolText) {
    const bool shiftKey = k.key == ImGuiKey_LeftShift || k.key == ImGuiKey_RightShift;
    const bool ctrlKey = k.key == ImGuiKey_LeftCtrl || k.key == ImGuiKey_RightCtrl;
    if (!k.repeat && !k.alt && ((shiftKey && k.ctrl) || (ctrlKey && k.shift)))
      return {ScreenCommand::ToggleCharset, 0};
    for (const TextKey& t : kTextKeys)
      if (k.key == t.key) return {ScreenCommand::EditKey, t.editKey};
    if (k.ctrl && !k.alt) {
      if (isLetter(k.key))
        return {ScreenCommand::TypeCode, (k.shift ? kCtrlShiftLetterCode : kCtrlLetterCode) + (k.key - ImGuiKey_A)};
      if (isDigit(k.key) && !k.shift) return {ScreenCommand::TypeCode, kCtrlDigitCode + (k.key - ImGuiKey_0)};
      if (k.key == ImGuiKey_Space) return {ScreenCommand::TypeCode, kCtrlSpaceCode};
    }
    return {};
  }

  if (mods(k, true, false, false) && !k.repeat) {
    switch (k.key) {
      case ImGuiKey_C: return {ScreenCommand::Copy, 0};
      case ImGuiKey_X: return {ScreenCommand::Cut, 0};
      case ImGuiKey_V: return {ScreenCommand::Paste, 0};
      case ImGuiKey_A: return {ScreenCommand::SelectAll, 0};
      default: break;
    }
  }
  if (s.tool == kToolSelect && !s.pasting && k.key == ImGuiKey_Escape && !k.repeat)
    return {ScreenCommand::Deselect, 0};
  if (k.key == ImGuiKey_KeypadAdd || k.key == ImGuiKey_Equal) return {ScreenCommand::ZoomIn, 0};
  if (k.key == ImGuiKey_KeypadSubtract || k.key == ImGuiKey_Minus) return {ScreenCommand::ZoomOut, 0};
  if (!mods(k, false, false, false) || k.repeat) return {};
  for (const PlainKey& p : kPlainKeys)
    if (k.key == p.key) return {p.command, p.arg};
  if (s.tool == kToolSelect && s.selActive)
    for (const PlainKey& p : kBlockKeys)
      if (k.key == p.key) return {p.command, p.arg};
  return {};
}

StatusInfo StatusInfoAt(const Machine& m, int x, int y) {
  StatusInfo r;
  if (m.isBitmap()) {
    r.address = pixelBitmapAddr(m, x, y);
    r.posX = m.isMulticolor() ? x / 2 : x;
    r.posY = y;
  } else {
    r.address = cellScreenAddr(m, cellIndex(x / kCellSize, y / kCellSize));
    r.posX = x / kCellSize;
    r.posY = y / kCellSize;
  }
  r.address &= 0xFFFF;
  return r;
}

// Digits only: no blanks, signs or "0x" prefix, which the C library
// readers would accept; a huge number stops at the largest int.
int ParseClearValue(const char* text) {
  const bool hex = text[0] == '$';
  const int base = hex ? 16 : 10;
  long long v = 0;
  for (const char* p = hex ? text + 1 : text; *p; ++p) {
    const char c = *p;
    int digit = base;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit >= base) break;
    v = v * base + digit;
    if (v >= INT_MAX) return INT_MAX;
  }
  return static_cast<int>(v);
}
