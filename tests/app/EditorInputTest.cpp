// The editor window's input rules: mouse to display pixels, wheel zoom
// around the mouse, key routing between the menu and the Screen window,
// the status bar's position and address, and the Clear dialog's number.
#include "app/EditorInput.h"

#include "core/Editor.h"
#include "core/Machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

namespace {

TEST(EditorInput, MousePositionToDisplayPixels) {
  const float image = 100.0f;
  // At zoom 3 display pixel 0 starts 32 x 3 = 96 screen pixels into the image.
  EXPECT_EQ(DisplayPixelAt(image + 96, image, 3), 0);
  EXPECT_EQ(DisplayPixelAt(image + 98.9f, image, 3), 0);
  EXPECT_EQ(DisplayPixelAt(image + 99, image, 3), 1);
  // The left border gives -32 .. -1.
  EXPECT_EQ(DisplayPixelAt(image, image, 3), -32);
  EXPECT_EQ(DisplayPixelAt(image + 95, image, 3), -1);
  // Left of the image the values stay negative (floor, not truncation).
  EXPECT_EQ(DisplayPixelAt(image - 1, image, 3), -33);
  // The last display pixel and the right border.
  EXPECT_EQ(DisplayPixelAt(image + (32 + 319) * 3, image, 3), 319);
  EXPECT_EQ(DisplayPixelAt(image + (32 + 320) * 3, image, 3), 320);
  // Far away the values are limited so nothing overflows.
  EXPECT_EQ(DisplayPixelAt(-1e9f, image, 1), kDisplayMin);
  EXPECT_EQ(DisplayPixelAt(1e9f, image, 1), kDisplayMax);
  EXPECT_EQ(kDisplayMin, -10032);
  EXPECT_EQ(kDisplayMax, 9968);
}

TEST(EditorInput, CentringUsesWholePixels) {
  EXPECT_EQ(CentreOffset(1000, 768), 116);
  EXPECT_EQ(CentreOffset(1001, 768), 116);
  EXPECT_EQ(CentreOffset(500, 768), 0);
  EXPECT_EQ(CentreOffset(768, 768), 0);
}

// After the wheel the child scrolls to the returned position; with the
// image larger than the child it then starts at childPos - scroll.
ImVec2 framePointAfter(const WheelZoom& w, ImVec2 mouse, ImVec2 childPos) {
  const ImVec2 image(childPos.x - w.scrollX, childPos.y - w.scrollY);
  return ImVec2((mouse.x - image.x) / w.zoom, (mouse.y - image.y) / w.zoom);
}

TEST(EditorInput, WheelZoomKeepsThePointUnderTheMouse) {
  const ImVec2 child(70, 60);
  const ImVec2 image(70 - 150, 60 - 400);  // scrolled by (150, 400)
  const ImVec2 mouse(400, 300);
  const float fx = (mouse.x - image.x) / 4, fy = (mouse.y - image.y) / 4;

  WheelZoom in = WheelZoomAt(4, +1, mouse, image, child);
  ASSERT_TRUE(in.changed);
  EXPECT_EQ(in.zoom, 5);
  ImVec2 f = framePointAfter(in, mouse, child);
  EXPECT_FLOAT_EQ(f.x, fx);
  EXPECT_FLOAT_EQ(f.y, fy);

  WheelZoom out = WheelZoomAt(4, -1, mouse, image, child);
  ASSERT_TRUE(out.changed);
  EXPECT_EQ(out.zoom, 3);
  f = framePointAfter(out, mouse, child);
  EXPECT_FLOAT_EQ(f.x, fx);
  EXPECT_FLOAT_EQ(f.y, fy);
}

TEST(EditorInput, WheelZoomStopsAtItsLimitsAndNeverScrollsBelowZero) {
  EXPECT_FALSE(WheelZoomAt(24, +1, ImVec2(10, 10), ImVec2(0, 0), ImVec2(0, 0)).changed);
  EXPECT_FALSE(WheelZoomAt(1, -1, ImVec2(10, 10), ImVec2(0, 0), ImVec2(0, 0)).changed);
  // A centred image (offset from the child) zoomed out near its corner.
  const WheelZoom w = WheelZoomAt(2, -1, ImVec2(120, 130), ImVec2(110, 120), ImVec2(0, 0));
  ASSERT_TRUE(w.changed);
  EXPECT_EQ(w.scrollX, 0);
  EXPECT_EQ(w.scrollY, 0);
}

KeyPress key(ImGuiKey k, bool ctrl = false, bool shift = false, bool alt = false, bool repeat = false) {
  return KeyPress{k, ctrl, shift, alt, repeat};
}

TEST(EditorInput, UndoShortcutsLeaveCtrlLettersToTheTextTool) {
  // Ctrl+Z undoes, unless the Text tool types into the focused Screen.
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_Z, true), false).command, MenuCommand::Undo);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_Z, true), true).command, MenuCommand::None);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_Y, true), false).command, MenuCommand::Redo);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_Z, true, true), false).command, MenuCommand::Redo);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_Y, true), true).command, MenuCommand::None);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_Z, true, true), true).command, MenuCommand::None);
  // Ctrl+Alt+Z and Ctrl+Alt+Y always work; modifier sets are exact.
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_Z, true, false, true), true).command, MenuCommand::Undo);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_Y, true, false, true), true).command, MenuCommand::Redo);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_Z, true, true, true), false).command, MenuCommand::None);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_Z), false).command, MenuCommand::None);

  // And the Screen window types them: reversed z, then reversed y.
  const ScreenKeyState text{kToolText, false, false};
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Z, true), text).command, ScreenCommand::TypeCode);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Z, true), text).arg, 154);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Y, true), text).arg, 153);
}

TEST(EditorInput, MenuShortcutsForClearGridAndPalettes) {
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_E, true, false, true), false).command, MenuCommand::OpenClear);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_G, true, false, true), true).command, MenuCommand::ToggleGrid);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_L, true, false, true), false).command, MenuCommand::LoadProject);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_S, true, false, true), false).command, MenuCommand::SaveProject);
  const MenuShortcut one = RouteMenuKey(key(ImGuiKey_1, true, false, true), false);
  EXPECT_EQ(one.command, MenuCommand::SetPalette);
  EXPECT_EQ(one.arg, 0);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_9, true, false, true), false).arg, 8);
  const MenuShortcut zero = RouteMenuKey(key(ImGuiKey_0, true, false, true), false);
  EXPECT_EQ(zero.command, MenuCommand::SetPalette);
  EXPECT_EQ(zero.arg, 9);
  EXPECT_EQ(RouteMenuKey(key(ImGuiKey_1, true), false).command, MenuCommand::None);
}

TEST(EditorInput, F1OpensHelpAndCtrlAltPPreferences) {
  const std::tuple<KeyPress, bool, MenuCommand> cases[] = {  // key, typing text, command
      {key(ImGuiKey_F1), false, MenuCommand::OpenHelp},
      {key(ImGuiKey_F1), true, MenuCommand::OpenHelp},  // typing text does not own F1
      {key(ImGuiKey_F1, false, false, false, true), false, MenuCommand::None},  // holding F1 opens it once
      {key(ImGuiKey_F1, true), false, MenuCommand::None},
      {key(ImGuiKey_P, true, false, true), false, MenuCommand::OpenPreferences},
      {key(ImGuiKey_P, true, false, true), true, MenuCommand::OpenPreferences},
      {key(ImGuiKey_P, true), false, MenuCommand::None},
      {key(ImGuiKey_P, true, true, true), false, MenuCommand::None},
  };
  for (const auto& [k, typing, want] : cases) EXPECT_EQ(RouteMenuKey(k, typing).command, want) << k.key;
}

TEST(EditorInput, CtrlKeysTypeReversedCharactersWithTheTextTool) {
  const ScreenKeyState text{kToolText, false, false};
  ScreenKey k = RouteScreenKey(key(ImGuiKey_A, true), text);
  EXPECT_EQ(k.command, ScreenCommand::TypeCode);
  EXPECT_EQ(k.arg, 129);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_A, true, true), text).arg, 193);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Z, true, true), text).arg, 218);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_0, true), text).arg, 176);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_9, true), text).arg, 185);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_9, true, true), text).command, ScreenCommand::None);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Space, true), text).arg, 160);
  // Typing repeats while the key is held.
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_A, true, false, false, true), text).arg, 129);
  // With Alt too (AltGr) the character comes as typed text instead.
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_A, true, false, true), text).command, ScreenCommand::None);
  // Plain letters belong to the typed text, not to tool shortcuts.
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_L), text).command, ScreenCommand::None);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Minus), text).command, ScreenCommand::None);

  // Every other tool: Ctrl+A selects all (and takes the Select tool).
  const ScreenKeyState dot{kToolDot, false, false};
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_A, true), dot).command, ScreenCommand::SelectAll);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_C, true), dot).command, ScreenCommand::Copy);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_X, true), dot).command, ScreenCommand::Cut);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_V, true), dot).command, ScreenCommand::Paste);
}

TEST(EditorInput, TextToolKeys) {
  const ScreenKeyState text{kToolText, false, false};
  const struct {
    ImGuiKey key;
    int editKey;
  } rows[] = {{ImGuiKey_Insert, EditKey::Insert},       {ImGuiKey_Delete, EditKey::Delete},   {ImGuiKey_Backspace, EditKey::Backspace},
              {ImGuiKey_UpArrow, EditKey::Up},          {ImGuiKey_DownArrow, EditKey::Down},  {ImGuiKey_LeftArrow, EditKey::Left},
              {ImGuiKey_RightArrow, EditKey::Right},    {ImGuiKey_Enter, EditKey::Return},    {ImGuiKey_KeypadEnter, EditKey::Return},
              {ImGuiKey_Home, EditKey::Home}};
  for (const auto& r : rows) {
    const ScreenKey k = RouteScreenKey(key(r.key, false, true, false, true), text);
    EXPECT_EQ(k.command, ScreenCommand::EditKey);
    EXPECT_EQ(k.arg, r.editKey);
  }
  // Shift pressed while Ctrl is held, or Ctrl while Shift is held, switches
  // the ROM character set; not with Alt, not on repeat.
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_LeftShift, true, true), text).command, ScreenCommand::ToggleCharset);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_RightCtrl, true, true), text).command, ScreenCommand::ToggleCharset);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_LeftShift, false, true), text).command, ScreenCommand::None);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_LeftShift, true, true, true), text).command, ScreenCommand::None);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_LeftShift, true, true, false, true), text).command, ScreenCommand::None);
}

TEST(EditorInput, ToolKeysZoomAndBlockKeys) {
  const ScreenKeyState line{kToolLine, false, false};
  const struct {
    ImGuiKey key;
    int tool;
  } tools[] = {{ImGuiKey_D, kToolDot},    {ImGuiKey_P, kToolDraw}, {ImGuiKey_L, kToolLine}, {ImGuiKey_F, kToolFill},
               {ImGuiKey_T, kToolText},   {ImGuiKey_O, kToolCircle}, {ImGuiKey_B, kToolBox}, {ImGuiKey_S, kToolSelect}};
  for (const auto& t : tools) {
    const ScreenKey k = RouteScreenKey(key(t.key), line);
    EXPECT_EQ(k.command, ScreenCommand::SetTool);
    EXPECT_EQ(k.arg, t.tool);
    // Not with a modifier, not on key repeat.
    EXPECT_EQ(RouteScreenKey(key(t.key, false, true), line).command, ScreenCommand::None);
    EXPECT_EQ(RouteScreenKey(key(t.key, false, false, false, true), line).command, ScreenCommand::None);
  }
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_A), line).command, ScreenCommand::BrushDown);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Z), line).command, ScreenCommand::BrushUp);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_G), line).command, ScreenCommand::ToggleGrid);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_R), line).command, ScreenCommand::ResetZoom);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_C), line).command, ScreenCommand::CopyChar);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_V), line).command, ScreenCommand::PasteChar);
  // Zoom keys repeat and take any modifiers.
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Equal, false, true, false, true), line).command, ScreenCommand::ZoomIn);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_KeypadAdd, true), line).command, ScreenCommand::ZoomIn);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Minus), line).command, ScreenCommand::ZoomOut);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_KeypadSubtract), line).command, ScreenCommand::ZoomOut);

  // Block keys only with the Select tool and a selection.
  const ScreenKeyState sel{kToolSelect, false, true};
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_X), sel).command, ScreenCommand::FlipX);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Y), sel).command, ScreenCommand::FlipY);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_I), sel).command, ScreenCommand::Invert);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Delete), sel).command, ScreenCommand::ClearBlock);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_X), ScreenKeyState{kToolSelect, false, false}).command, ScreenCommand::None);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_X), ScreenKeyState{kToolBox, false, true}).command, ScreenCommand::None);

  // Escape ends a paste preview first; otherwise it drops the selection.
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Escape), sel).command, ScreenCommand::Deselect);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Escape), ScreenKeyState{kToolSelect, true, true}).command,
            ScreenCommand::CancelPaste);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Escape), ScreenKeyState{kToolText, true, false}).command,
            ScreenCommand::CancelPaste);
  EXPECT_EQ(RouteScreenKey(key(ImGuiKey_Escape, false, false, false, true), sel).command, ScreenCommand::None);
}

TEST(EditorInput, ColourKeysWorkWithEveryTool) {
  for (int tool : {kToolText, kToolDot, kToolSelect}) {
    const ScreenKeyState s{tool, false, false};
    for (int slot = 0; slot < 4; ++slot) {
      const ScreenKey k = RouteScreenKey(key(static_cast<ImGuiKey>(ImGuiKey_F5 + slot), false, true, false, true), s);
      EXPECT_EQ(k.command, ScreenCommand::CellColor);
      EXPECT_EQ(k.arg, slot);
    }
    EXPECT_EQ(RouteScreenKey(key(ImGuiKey_F9), s).command, ScreenCommand::OpenColorEditor);
    EXPECT_EQ(RouteScreenKey(key(ImGuiKey_F9, false, false, false, true), s).command, ScreenCommand::None);
  }
}

TEST(EditorInput, StatusBarPositionAndAddress) {
  Machine m;
  m.reset();
  m.setGfxMode(kModeMultiBitmap);
  StatusInfo s = StatusInfoAt(m, 17, 9);
  EXPECT_EQ(s.posX, 8);
  EXPECT_EQ(s.posY, 9);
  EXPECT_EQ(s.address, m.bitmapAddr() + 320 + 1 + 16);

  m.setGfxMode(kModeHires);
  s = StatusInfoAt(m, 17, 9);
  EXPECT_EQ(s.posX, 17);
  EXPECT_EQ(s.posY, 9);
  EXPECT_EQ(s.address, m.bitmapAddr() + 320 + 1 + 16);

  m.setGfxMode(kModeText);
  s = StatusInfoAt(m, 17, 9);
  EXPECT_EQ(s.posX, 2);
  EXPECT_EQ(s.posY, 1);
  EXPECT_EQ(s.address, m.screenAddr() + 42);

  // The last cell of the last bank stays inside the memory image.
  m.bank = 3;
  m.vicRegs[kRegMemPtr] = 0xF0;
  s = StatusInfoAt(m, 319, 199);
  EXPECT_EQ(s.address, 0xFFE7u);
}

TEST(EditorInput, ClearDialogValue) {
  EXPECT_EQ(ParseClearValue("$1G"), 1);
  EXPECT_EQ(ParseClearValue("300"), 300);
  EXPECT_EQ(ParseClearValue("$00"), 0);
  EXPECT_EQ(ParseClearValue("$ff"), 255);
  EXPECT_EQ(ParseClearValue("$"), 0);
  EXPECT_EQ(ParseClearValue(""), 0);
  EXPECT_EQ(ParseClearValue("x12"), 0);
  EXPECT_EQ(ParseClearValue("12x"), 12);
  EXPECT_EQ(ParseClearValue("99999999999999999999"), 2147483647);
  EXPECT_EQ(ParseClearValue("$FFFFFFFFFFFF"), 2147483647);
  // Only digits count: a blank, a sign or a "0x" prefix ends the number.
  EXPECT_EQ(ParseClearValue(" 12"), 0);
  EXPECT_EQ(ParseClearValue("-5"), 0);
  EXPECT_EQ(ParseClearValue("+5"), 0);
  EXPECT_EQ(ParseClearValue("$-1"), 0);
  EXPECT_EQ(ParseClearValue("$ 1"), 0);
  EXPECT_EQ(ParseClearValue("$0x10"), 0);
  EXPECT_EQ(ParseClearValue("0x10"), 0);
  EXPECT_EQ(ParseClearValue("$aB"), 0xAB);
  EXPECT_EQ(ParseClearValue("1A"), 1);
}

// The first panel holds "Pos: 319 x 199" and every other position at each
// interface scale: at least the classic 70 units, wider when the font's
// widest digit needs it (text from 3 pixels in, 5 pixels clear after it).
TEST(EditorInput, PositionPanelFitsTheLongestPosition) {
  // A proportional font of `unit` per step: "1" and blanks 3 steps, "8"
  // (the widest digit) 7, the rest 6. "Pos: 888 x 888" is 81 steps; the
  // panel is 81 x unit rounded up, plus 8; a small font keeps 70.
  const std::array<float, 3> kCases[] = {  // scale, unit, width
      {0.75f, 0.75f, 69}, {1.0f, 1.0f, 89}, {1.0f, 0.25f, 70}, {1.5f, 1.5f, 130}, {2.0f, 2.0f, 170}};
  for (const auto& [scale, unit, expected] : kCases) {
    const auto measure = [unit = unit](const char* t) {
      float w = 0;
      for (; *t; ++t) w += unit * (*t == '1' || *t == ' ' ? 3 : *t == '8' ? 7 : 6);
      return w;
    };
    const float w = PositionPanelWidth(scale, measure);
    EXPECT_FLOAT_EQ(w, expected) << scale << " " << unit;
    EXPECT_GE(w, measure("Pos: 319 x 199") + kPanelTextInset + kPanelTextMargin) << scale;
    EXPECT_GE(w, kPositionPanelUnits * scale);
  }
}

}  // namespace
