// The Screen window: renders the frame into one texture, shows it zoomed in
// a scrollable canvas, maps the mouse to display pixels for the Editor,
// handles the editing and text keys, draws the overlays and publishes the
// view geometry (mouse pixel, visible area, display origin and scale) that
// the status bar and the zoom read.
#include "app/ScreenEditor.h"

#include "app/App.h"
#include "app/EditorInput.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "core/TextInput.h"
#include "core/Vic.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cmath>

PixelCanvas g_screen;
int g_activeButton = -1;  // mouse button of the drag in progress, -1 none
bool g_panning = false;   // the drag in progress scrolls the view
bool g_screenFocused = false;
bool g_colorEditorOpen = false;  // open the colour editor after this frame

namespace {

constexpr float kFirstUseWidth = 800;
constexpr float kFirstUseHeight = 600;
constexpr int kMouseButtons = 3;  // left, right, middle
constexpr int kDefaultResetZoom = 2;
using Classic::kPopupButtonWidth;

using Classic::kBlack;
using Classic::kWhite;
constexpr ImU32 kPasteAnts = IM_COL32(255, 220, 80, 255);
constexpr ImU32 kActiveCellGrey = IM_COL32(128, 128, 128, 255);

// Marching ants: 4-pixel dashes every 8 pixels, moving 16 pixels a second.
constexpr float kDashLength = 4;
constexpr float kDashPeriod = 8;
constexpr float kAntsSpeed = 16;
// How often the blinking text cursor and the marching ants redraw when
// nothing else happens: four shades of the cursor's once-a-second fade,
// ants stepping under three pixels. Without a graphics card (Xvfb) a frame
// costs a few tens of milliseconds, so an idle program stays cheap there.
constexpr double kAnimationStep = 1.0 / 6;

// One-pixel axis-aligned line as a filled rectangle, crisp at any zoom.
void hline(ImDrawList* dl, float x0, float x1, float y, ImU32 col) {
  dl->AddRectFilled(ImVec2(x0, y), ImVec2(x1, y + 1), col);
}
void vline(ImDrawList* dl, float x, float y0, float y1, ImU32 col) {
  dl->AddRectFilled(ImVec2(x, y0), ImVec2(x + 1, y1), col);
}

// Dashes along one edge from `a` to `b` (horizontal or vertical), shifted
// by `phase` and clipped to the edge, 2 pixels thick. Only the part inside
// the visible area is drawn, so the cost does not grow with the zoom.
void dashes(ImDrawList* dl, ImVec2 a, ImVec2 b, float phase, ImU32 col) {
  const bool horizontal = a.y == b.y;
  const float length = horizontal ? b.x - a.x : b.y - a.y;
  const ImVec2 clipMin = dl->GetClipRectMin();
  const ImVec2 clipMax = dl->GetClipRectMax();
  const float across = horizontal ? a.y : a.x;
  if (across < (horizontal ? clipMin.y : clipMin.x) - 1 || across > (horizontal ? clipMax.y : clipMax.x) + 1) return;
  const float lo = (horizontal ? clipMin.x - a.x : clipMin.y - a.y) - kDashLength;
  const float hi = std::min(length, horizontal ? clipMax.x - a.x : clipMax.y - a.y);
  const float first = phase + std::max(0.0f, std::floor((lo - phase) / kDashPeriod)) * kDashPeriod;
  for (float s = first; s < hi; s += kDashPeriod) {
    const float from = std::max(s, 0.0f);
    const float to = std::min(s + kDashLength, length);
    if (to <= from) continue;
    if (horizontal) dl->AddRectFilled(ImVec2(a.x + from, a.y - 1), ImVec2(a.x + to, a.y + 1), col);
    else dl->AddRectFilled(ImVec2(a.x - 1, a.y + from), ImVec2(a.x + 1, a.y + to), col);
  }
}

void marchingAnts(ImDrawList* dl, ImVec2 min, ImVec2 max, ImU32 col) {
  dl->AddRect(min, max, kBlack, 0, 0, 2);
  const float phase = -std::fmod(kAntsSpeed * static_cast<float>(ImGui::GetTime()), kDashPeriod);
  dashes(dl, min, ImVec2(max.x, min.y), phase, col);
  dashes(dl, ImVec2(max.x, min.y), max, phase, col);
  dashes(dl, ImVec2(min.x, max.y), max, phase, col);
  dashes(dl, min, ImVec2(min.x, max.y), phase, col);
}

void drawOverlays(App& app, ImDrawList* dl, ImVec2 imagePos) {
  const float z = static_cast<float>(app.zoom);
  const float cell = kCellSize * z;
  app.displayScale = z;
  app.displayOrigin = ImVec2(imagePos.x + kDisplayX * z, imagePos.y + kDisplayY * z);
  const ImVec2 o = app.displayOrigin;

  if (app.showGrid) {
    const ImU32 col = Vic::paletteWord(app.palette, app.gridColor);
    for (int i = 0; i <= kScreenCols; ++i) vline(dl, o.x + i * cell, o.y, o.y + kDisplayHeight * z, col);
    for (int j = 0; j <= kScreenRows; ++j) hline(dl, o.x, o.x + kDisplayWidth * z, o.y + j * cell, col);
  }

  const Editor& ed = app.editor;
  if (ed.tool == kToolText || ed.pasting || ed.selActive)
    app.redrawBy((std::floor(ImGui::GetTime() / kAnimationStep) + 1) * kAnimationStep);
  const float thickness = app.zoom > 2 ? 2.0f : 1.0f;
  const ImVec2 cmin(o.x + ed.cursorX * cell, o.y + ed.cursorY * cell);
  const ImVec2 cmax(cmin.x + cell, cmin.y + cell);
  if (ed.tool == kToolText) {
    // The text cursor blinks between black and near white once a second.
    const double t = std::fabs(std::fmod(2.0 * ImGui::GetTime(), 2.0) - 1.0);
    const int g = static_cast<int>(t * 250);
    dl->AddRect(cmin, cmax, IM_COL32(g, g, g, 255), 0, 0, thickness);
  } else if ((ed.tool == kToolDot || ed.tool == kToolDraw) && app.showActiveChar) {
    dl->AddRect(cmin, cmax, kActiveCellGrey, 0, 0, thickness);
  }

  if (ed.pasting) {
    const ImVec2 min(o.x + ed.pasteX * cell, o.y + ed.pasteY * cell);
    marchingAnts(dl, min, ImVec2(min.x + ed.clipBlock.width * cell, min.y + ed.clipBlock.height * cell),
                 kPasteAnts);
  } else if (ed.selActive) {
    int l = 0, t = 0, r = 0, b = 0;
    ed.selRect(l, t, r, b);
    marchingAnts(dl, ImVec2(o.x + l * cell, o.y + t * cell), ImVec2(o.x + (r + 1) * cell, o.y + (b + 1) * cell),
                 kWhite);
  }
}

void changeCellColor(App& app, int slot, int direction) {
  int cols[kCellColors];
  app.editor.cellColors(app.mouseX, app.mouseY, cols);
  if (cols[slot] < 0) return;
  // The function keys cycle a cell colour without an undo step.
  app.change(UndoStep::none(), [&app, slot, &cols, direction] {
    app.editor.setCellColor(slot, app.mouseX, app.mouseY, (cols[slot] + direction) & 15);
  });
}

void runScreenKey(App& app, const ScreenKey& cmd, bool shift) {
  Editor& ed = app.editor;
  // Editor operations that change memory record their own undo steps.
  const auto edit = [&app](const std::function<void()>& op) { app.change(UndoStep::byEngine(), op); };
  switch (cmd.command) {
    case ScreenCommand::None: break;
    case ScreenCommand::CancelPaste: ed.cancelPaste(); break;
    case ScreenCommand::Copy: ed.copyBlock(); break;
    case ScreenCommand::Cut: edit([&ed] { ed.cutBlock(); }); break;
    case ScreenCommand::Paste: edit([&ed] { ed.startPaste(); }); break;
    case ScreenCommand::SelectAll: app.selectAll(); break;
    case ScreenCommand::Deselect: ed.selActive = false; break;
    case ScreenCommand::ZoomIn: app.setZoom(app.zoom + 1, -1, -1); break;
    case ScreenCommand::ZoomOut: app.setZoom(app.zoom - 1, -1, -1); break;
    case ScreenCommand::ResetZoom: app.setZoom(kDefaultResetZoom, -1, -1); break;
    case ScreenCommand::BrushDown: ed.brush = std::max(ed.brush - 1, 1); break;
    case ScreenCommand::BrushUp: ed.brush = std::min(ed.brush + 1, kBrushCount); break;
    case ScreenCommand::CopyChar: ed.copyChar(); break;
    case ScreenCommand::PasteChar: edit([&ed] { ed.pasteChar(); }); break;
    case ScreenCommand::ToggleGrid: app.showGrid = !app.showGrid; break;
    case ScreenCommand::SetTool: app.chooseTool(cmd.arg); break;
    case ScreenCommand::FlipX: edit([&ed] { ed.flipBlockX(); }); break;
    case ScreenCommand::FlipY: edit([&ed] { ed.flipBlockY(); }); break;
    case ScreenCommand::Invert: edit([&ed] { ed.invertBlock(); }); break;
    case ScreenCommand::ClearBlock: edit([&ed] { ed.clearBlock(); }); break;
    case ScreenCommand::TypeCode: edit([&ed, &cmd] { ed.typeChar(static_cast<uint8_t>(cmd.arg)); }); break;
    case ScreenCommand::EditKey: edit([&ed, &cmd, shift] { ed.editKey(cmd.arg, shift); }); break;
    case ScreenCommand::ToggleCharset:
      // The upper/lower case switch takes no undo step, like the charbank menu.
      app.change(UndoStep::none(), [&app] { app.machine.vicRegs[kRegMemPtr] ^= 2; });
      break;
    case ScreenCommand::CellColor: changeCellColor(app, cmd.arg, shift ? -1 : 1); break;
    case ScreenCommand::OpenColorEditor: g_colorEditorOpen = true; break;
  }
}

void handleKeys(App& app) {
  ImGuiIO& io = ImGui::GetIO();
  for (const KeyPress& k : KeyPressesThisFrame()) {
    const ScreenKeyState s{app.editor.tool, app.editor.pasting, app.editor.selActive};
    runScreenKey(app, RouteScreenKey(k, s), k.shift);
  }
  if (app.editor.tool == kToolText && !(io.KeyCtrl && !io.KeyAlt)) {
    // Ctrl with a key types through the key table above; characters typed
    // with AltGr (Ctrl+Alt) come through here.
    for (ImWchar c : io.InputQueueCharacters) {
      const int code = CharToScreenCode(c);
      if (code >= 0) app.change(UndoStep::byEngine(), [&app, code] { app.editor.typeChar(static_cast<uint8_t>(code)); });
    }
  }
  // Letters typed as commands must not reach any text field.
  io.InputQueueCharacters.resize(0);
}

void handleMouse(App& app, bool hovered, bool focused, ImVec2 imagePos, int x, int y) {
  ImGuiIO& io = ImGui::GetIO();
  Editor& ed = app.editor;
  const bool dragging = g_activeButton >= 0;
  g_screenFocused = focused;
  ed.shapeModifier = io.KeyShift;
  const bool panReady = ImGui::IsKeyDown(ImGuiKey_Space) && ed.tool != kToolText && focused;
  const bool moved = io.MouseDelta.x != 0 || io.MouseDelta.y != 0;

  if (hovered || dragging) {
    app.mouseX = std::clamp(x, 0, kDisplayWidth - 1);
    app.mouseY = std::clamp(y, 0, kDisplayHeight - 1);

    if (hovered && io.MouseWheel != 0) {
      const WheelZoom w =
          WheelZoomAt(app.zoom, io.MouseWheel > 0 ? 1 : -1, io.MousePos, imagePos, ImGui::GetWindowPos());
      if (w.changed) {
        app.zoom = app.zoomSetting = w.zoom;
        app.pendingScroll = ImVec2(w.scrollX, w.scrollY);
      }
    }

    if (!dragging) {
      for (int b = 0; b < kMouseButtons && hovered; ++b) {
        if (!ImGui::IsMouseClicked(b)) continue;
        ImGui::SetWindowFocus();
        // A press on the hidden part of the image counts as a click on the
        // void, which takes the focus away at the end of the frame: focus
        // the window again in the next one.
        app.focusScreen = true;
        g_activeButton = b;
        if (panReady || ed.tool == kToolMove) {
          g_panning = true;
          ImGui::SetScrollX(ImGui::GetScrollX() - io.MouseDelta.x);
          ImGui::SetScrollY(ImGui::GetScrollY() - io.MouseDelta.y);
        } else {
          // Not through App::change: a press during a paste preview drops the
          // block, so the editor itself withdraws previews and takes the step.
          ed.mouseDown(x, y, b);
        }
        break;
      }
      if (g_activeButton < 0 && hovered && moved && !ImGui::IsAnyMouseDown()) ed.mouseMove(x, y);
    } else {
      if (g_panning) {
        ImGui::SetScrollX(ImGui::GetScrollX() - io.MouseDelta.x);
        ImGui::SetScrollY(ImGui::GetScrollY() - io.MouseDelta.y);
      } else if (moved) {
        ed.mouseMove(x, y);
      }
      if (!ImGui::IsMouseDown(g_activeButton)) {
        if (!g_panning) ed.mouseUp(x, y, g_activeButton);
        g_activeButton = -1;
        g_panning = false;
      }
    }
  }
  if (ed.takePixelWarning()) app.noFreeColorsUntil = ImGui::GetTime() + 1.0;
  if (hovered)
    ImGui::SetMouseCursor(panReady || ed.tool == kToolMove ? ImGuiMouseCursor_Hand : ImGuiMouseCursor_Arrow);
}

const char* const kSlotNames[kCellColors] = {"Background", "Color 1", "Color 2", "Color 3"};
// The colour editor's rows at the 12-pixel font.
constexpr ImVec2 kSlotSwatch(24, 18);
constexpr float kSlotSliderWidth = 120;

void drawColorEditor(App& app) {
  static int cx = 0;
  static int cy = 0;
  static int cols[kCellColors] = {-1, -1, -1, -1};
  constexpr const char* kId = "Color editor##dlg";
  if (g_colorEditorOpen) {
    g_colorEditorOpen = false;
    cx = app.mouseX;
    cy = app.mouseY;
    app.editor.cellColors(cx, cy, cols);
    ImGui::OpenPopup(kId);
  }
  ImGui::SetNextWindowPos(ImGui::GetMainViewport()->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  if (!ImGui::BeginPopupModal(kId, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
  const float s = Classic::Scale();
  for (int i = 0; i < kCellColors; ++i) {
    ImGui::PushID(i);
    ImGui::BeginDisabled(cols[i] < 0);
    Widgets::ColorSwatch(app, cols[i], ImVec2(kSlotSwatch.x * s, kSlotSwatch.y * s), false);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(kSlotSliderWidth * s);
    int v = std::max(cols[i], 0);
    if (ImGui::SliderInt(kSlotNames[i], &v, 0, 15, "%d") && cols[i] >= 0) cols[i] = v;
    ImGui::EndDisabled();
    ImGui::PopID();
  }
  // Enter answers OK and Escape Cancel, as in every modal dialog.
  const bool enter = ImGui::IsKeyPressed(ImGuiKey_Enter, true) || ImGui::IsKeyPressed(ImGuiKey_KeypadEnter, true);
  if (ImGui::Button("OK", Classic::ButtonSize(kPopupButtonWidth)) || enter) {
    app.change(UndoStep::screenAndRegisters("color change"), [&app] {
      for (int i = 0; i < kCellColors; ++i)
        if (cols[i] >= 0) app.editor.setCellColor(i, cx, cy, cols[i]);
    });
    ImGui::CloseCurrentPopup();
  }
  ImGui::SameLine();
  if (ImGui::Button("Cancel", Classic::ButtonSize(kPopupButtonWidth)) || ImGui::IsKeyPressed(ImGuiKey_Escape, true))
    ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
}

}  // namespace

void drawScreenEditor(App& app) {
  ImGuiWindowClass cls;
  cls.DockNodeFlagsOverrideSet = ImGuiDockNodeFlags_NoTabBar;
  ImGui::SetNextWindowClass(&cls);
  ImGui::SetNextWindowSize(ImVec2(kFirstUseWidth, kFirstUseHeight), ImGuiCond_FirstUseEver);
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
  ImGui::PushStyleColor(ImGuiCol_WindowBg, Vic::paletteWord(app.palette, app.machine.vicRegs[kRegBorder]));
  // Arrow keys, Space and Escape belong to the editor, not to keyboard
  // navigation between widgets.
  const ImGuiWindowFlags flags =
      ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse | ImGuiWindowFlags_NoNavInputs;
  const bool visible = ImGui::Begin("Screen", nullptr, flags);
  ImGui::PopStyleColor();
  ImGui::PopStyleVar();
  if (!visible) {
    ImGui::End();
    drawColorEditor(app);
    return;
  }
  if (app.focusScreen) {
    ImGui::SetWindowFocus();
    app.focusScreen = false;
  }

  SizeCanvas(g_screen, kFrameWidth, kFrameHeight);
  Vic::renderFrame(app.machine, app.palette, g_screen.pixels.data());
  g_screen.texture.update(g_screen.pixels, kFrameWidth, kFrameHeight);

  const int zoom = app.zoom;
  const ImVec2 imageSize(static_cast<float>(kFrameWidth * zoom), static_cast<float>(kFrameHeight * zoom));
  ImGui::BeginChild("##canvas", ImVec2(0, 0), ImGuiChildFlags_None,
                    ImGuiWindowFlags_HorizontalScrollbar | ImGuiWindowFlags_NoScrollWithMouse |
                        ImGuiWindowFlags_NoNavInputs);
  const ImVec2 avail = ImGui::GetContentRegionAvail();
  const ImVec2 offset(CentreOffset(avail.x, imageSize.x), CentreOffset(avail.y, imageSize.y));
  if (app.pendingScroll.x >= 0 || app.pendingScroll.y >= 0) {
    if (app.pendingScroll.x >= 0) ImGui::SetScrollX(app.pendingScroll.x);
    if (app.pendingScroll.y >= 0) ImGui::SetScrollY(app.pendingScroll.y);
    app.pendingScroll = ImVec2(-1, -1);
  }

  const ImVec2 cursor = ImGui::GetCursorScreenPos();
  const ImVec2 imagePos(cursor.x + offset.x, cursor.y + offset.y);
  ImDrawList* dl = ImGui::GetWindowDrawList();
  dl->AddImage(TextureRef(g_screen.texture), imagePos,
               ImVec2(imagePos.x + imageSize.x, imagePos.y + imageSize.y));
  ImGui::SetCursorScreenPos(imagePos);
  ImGui::InvisibleButton("##input", imageSize,
                         ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight |
                             ImGuiButtonFlags_MouseButtonMiddle);
  ImGui::SetItemKeyOwner(ImGuiKey_MouseWheelY);
  // At high zoom most of the image lies outside the window. A pointer over
  // that hidden part with no window at all under it (only a scripted
  // pointer gets there: the system reports no position outside the
  // program's window) still counts as over the image, so the scripted
  // self-test can press on any display pixel at any zoom and scroll.
  const ImVec2 mousePos = ImGui::GetIO().MousePos;
  const bool overHiddenImage = GImGui->HoveredWindow == nullptr && mousePos.x >= imagePos.x &&
                               mousePos.y >= imagePos.y && mousePos.x < imagePos.x + imageSize.x &&
                               mousePos.y < imagePos.y + imageSize.y;
  const bool hovered = ImGui::IsItemHovered() || overHiddenImage;

  const ImVec2 winSize = ImGui::GetWindowSize();
  app.viewPos = ImVec2(ImGui::GetScrollX() / zoom, ImGui::GetScrollY() / zoom);
  app.viewSize = ImVec2(std::min(winSize.x, imageSize.x) / zoom, std::min(winSize.y, imageSize.y) / zoom);

  const ImVec2 mouse = ImGui::GetIO().MousePos;
  const int x = DisplayPixelAt(mouse.x, imagePos.x, zoom);
  const int y = DisplayPixelAt(mouse.y, imagePos.y, zoom);
  const bool focused = ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows);
  handleMouse(app, hovered, focused, imagePos, x, y);
  drawOverlays(app, dl, imagePos);
  if (focused && ShortcutsActive(ImGui::GetIO().WantTextInput, ModalPopupOpen())) handleKeys(app);

  ImGui::EndChild();
  ImGui::End();
  drawColorEditor(app);
}
