// The main menu and its shortcuts, the toolbar, the status bar with the
// Clear dialog, and the tool palette. The three bars are Dear ImGui side
// bars of the main viewport in the classic look; their hand-placed
// positions are in 12-pixel units, multiplied by Classic::Scale.
#include "app/MainWindow.h"

#include "app/App.h"
#include "core/SpriteOps.h"
#include "app/FileActions.h"
#include "app/EditorInput.h"
#include "app/Icons.h"
#include "app/ScreenEditor.h"
#include "app/Theme.h"
#include "core/FileFormats.h"
#include "core/Vic.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

bool g_clearOpen = false;

namespace {

using Classic::kBlack;
using Classic::kPopupButtonWidth;
constexpr ImU32 kWarningRed = IM_COL32(255, 0, 0, 255);
constexpr int kRomCaseBit = 2;  // $D018 bit 1: upper / lower case character set

// The top-left of the current bar's contents on screen: the window's
// corner, moved up by the scrolled distance (only the tool palette scrolls).
ImVec2 contentOrigin() {
  const ImVec2 p = ImGui::GetWindowPos();
  return ImVec2(p.x - ImGui::GetScrollX(), p.y - ImGui::GetScrollY());
}

// Places the cursor at (x, y) units from the current bar's top-left.
void placeAt(float x, float y) {
  const float s = Classic::Scale();
  const ImVec2 p = contentOrigin();
  ImGui::SetCursorScreenPos(ImVec2(p.x + x * s, p.y + y * s));
}

// Undo and redo save what they overwrite themselves.
void undoStep(App& app) {
  app.change(UndoStep::none(), [&app] { app.undo.MakeUndo(); });
}
void redoStep(App& app) {
  app.change(UndoStep::none(), [&app] { app.undo.MakeRedo(); });
}

void runMenuShortcut(App& app, const MenuShortcut& m) {
  switch (m.command) {
    case MenuCommand::None: break;
    case MenuCommand::Undo: undoStep(app); break;
    case MenuCommand::Redo: redoStep(app); break;
    case MenuCommand::LoadProject: Actions::loadProject(app); break;
    case MenuCommand::SaveProject: Actions::saveProject(app); break;
    case MenuCommand::OpenClear: g_clearOpen = true; break;
    case MenuCommand::ToggleGrid: app.showGrid = !app.showGrid; break;
    case MenuCommand::SetPalette: app.setPalette(m.arg); break;
    case MenuCommand::OpenPreferences: app.showPreferences = true; break;
    case MenuCommand::OpenHelp: app.showHelp = true; break;
  }
}

constexpr size_t kMenuLabelSize = 96;

const char* const kBanks[] = {"1 $0000-$3FFF", "2 $4000-$7FFF", "3 $8000-$BFFF", "4 $C000-$FFFF"};
const float kScales[] = {0.75f, 1.0f, 1.25f, 1.5f, 2.0f};
const int kPaletteOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
const char* const kPaletteKeys[] = {"Ctrl+Alt+1", "Ctrl+Alt+2", "Ctrl+Alt+3", "Ctrl+Alt+4",
                                    "Ctrl+Alt+5", "Ctrl+Alt+6", "Ctrl+Alt+7", "Ctrl+Alt+8",
                                    "Ctrl+Alt+9", "Ctrl+Alt+0", ""};

void loadMenu(App& app) {
  if (!ImGui::BeginMenu("Load")) return;
  if (ImGui::MenuItem("Project...", "Ctrl+Alt+L")) Actions::loadProject(app);
  if (ImGui::MenuItem("Memory (.prg)...")) Actions::loadMemory(app);
  if (ImGui::MenuItem("Koala image...")) Actions::loadKoala(app);
  if (ImGui::MenuItem("RAW Image...")) Actions::loadRaw(app);
  if (ImGui::BeginMenu("C64 Image formats")) {
    if (ImGui::MenuItem("Load from file extension...")) Actions::loadImageFormat(app, -1);
    ImGui::Separator();
    for (int i = 0; i < FileFormats::count(); ++i) {
      ImGui::PushID(i);
      if (ImGui::MenuItem(FileFormats::name(i).c_str())) Actions::loadImageFormat(app, i);
      ImGui::PopID();
    }
    ImGui::EndMenu();
  }
  if (ImGui::MenuItem("Import PC image...")) app.showImportPicture = true;
  ImGui::EndMenu();
}

void saveMenu(App& app) {
  if (!ImGui::BeginMenu("Save")) return;
  const Machine& m = app.machine;
  const int screen = static_cast<int>(m.screenAddr());
  const int bitmap = static_cast<int>(m.bitmapAddr());
  const int charset = static_cast<int>(m.charsetAddr());
  char videoLabel[kMenuLabelSize], bitmapLabel[kMenuLabelSize], charsetLabel[kMenuLabelSize];
  std::snprintf(videoLabel, sizeof videoLabel, "Videomem $%04X-$%04X...", screen, screen + kScreenCells - 1);
  std::snprintf(bitmapLabel, sizeof bitmapLabel, "Bitmap data $%04X-$%04X...", bitmap, bitmap + kBitmapSlotSize - 1);
  std::snprintf(charsetLabel, sizeof charsetLabel, "Character set data $%04X-$%04X...", charset,
                charset + kCharsetSize - 1);
  if (ImGui::MenuItem("Everything as a Tilvox-project...", "Ctrl+Alt+S")) Actions::saveProject(app);
  if (ImGui::MenuItem("Colormem $D800-$DBE7...")) Actions::saveArea(app, kColorRam, kScreenCells, "colormem.prg");
  if (ImGui::MenuItem(videoLabel)) Actions::saveArea(app, screen, kScreenCells, "videomem.prg");
  if (ImGui::MenuItem(bitmapLabel)) Actions::saveArea(app, bitmap, kBitmapSlotSize, "bitmap.prg");
  if (ImGui::MenuItem("Koala image...")) Actions::saveKoala(app);
  if (ImGui::MenuItem("Doodle image (hires)...")) Actions::saveDoodle(app);
  if (ImGui::MenuItem(charsetLabel)) Actions::saveArea(app, charset, kCharsetSize, "charset.prg");
  if (ImGui::MenuItem("Sprites...")) {
    SpriteOps::pointerRange(m, app.saveSpritesFirst, app.saveSpritesLast);
    app.saveSpritesOpen = true;
  }
  if (ImGui::MenuItem("Executable (.prg)...")) Actions::saveExecutable(app);
  ImGui::EndMenu();
}

void fileMenu(App& app) {
  if (!ImGui::BeginMenu("File")) return;
  if (ImGui::MenuItem("New"))
    app.confirm("Question", "Abandon all work and reset memory?\nAre you sure?", [&app] {
      // New replaces the document and empties the history.
      app.change(UndoStep::none(), [&app] { app.newProject(); });
    });
  if (ImGui::MenuItem("Mount disk...")) app.showMountDisk = true;
  loadMenu(app);
  saveMenu(app);
  if (ImGui::MenuItem("Export PNG...")) Actions::exportPng(app);
  ImGui::Separator();
  if (ImGui::MenuItem("Close")) app.quitRequested = true;
  ImGui::EndMenu();
}

void blockMenu(App& app) {
  if (!ImGui::BeginMenu("Block")) return;
  Editor& ed = app.editor;
  if (ImGui::MenuItem("Select tool", "S")) app.chooseTool(kToolSelect);
  if (ImGui::MenuItem("Select all", "Ctrl+A")) app.selectAll();
  ImGui::Separator();
  const bool sel = ed.selActive;
  if (ImGui::MenuItem("Cut", "Ctrl+X", false, sel)) app.change(UndoStep::byEngine(), [&ed] { ed.cutBlock(); });
  if (ImGui::MenuItem("Copy", "Ctrl+C", false, sel)) ed.copyBlock();
  if (ImGui::MenuItem("Paste", "Ctrl+V", false, ed.clipBlock.width >= 1)) app.change(UndoStep::byEngine(), [&ed] { ed.startPaste(); });
  ImGui::Separator();
  if (ImGui::MenuItem("Flip horizontally", "X", false, sel)) app.change(UndoStep::byEngine(), [&ed] { ed.flipBlockX(); });
  if (ImGui::MenuItem("Flip vertically", "Y", false, sel)) app.change(UndoStep::byEngine(), [&ed] { ed.flipBlockY(); });
  if (ImGui::MenuItem("Invert", "I", false, sel)) app.change(UndoStep::byEngine(), [&ed] { ed.invertBlock(); });
  if (ImGui::MenuItem("Clear", "Delete", false, sel)) app.change(UndoStep::byEngine(), [&ed] { ed.clearBlock(); });
  ImGui::EndMenu();
}

void editMenu(App& app) {
  if (!ImGui::BeginMenu("Edit")) return;
  const UndoBuffer& u = app.undo;
  const bool canUndo = !u.undoItems.empty() && !u.undoItems.back().description.empty();
  const bool canRedo = !u.redoItems.empty() && !u.redoItems.back().description.empty();
  const std::string undoLabel = canUndo ? "Undo " + u.undoItems.back().description : "Undo";
  const std::string redoLabel = canRedo ? "Redo " + u.redoItems.back().description : "Redo";
  if (ImGui::MenuItem(undoLabel.c_str(), "Ctrl+Z", false, canUndo)) undoStep(app);
  if (ImGui::MenuItem(redoLabel.c_str(), "Ctrl+Y", false, canRedo)) redoStep(app);
  if (ImGui::MenuItem("Clear...", "Ctrl+Alt+E")) g_clearOpen = true;
  ImGui::Separator();
  if (ImGui::MenuItem("Copy character cell", "C")) app.editor.copyChar();
  if (ImGui::MenuItem("Paste character cell", "V")) app.change(UndoStep::byEngine(), [&app] { app.editor.pasteChar(); });
  ImGui::Separator();
  blockMenu(app);
  if (ImGui::MenuItem("Convert bitmap to charset...", nullptr, false, app.machine.isBitmap()))
    app.showCharsetConverter = true;
  ImGui::Separator();
  if (ImGui::MenuItem("Preferences...", "Ctrl+Alt+P")) app.showPreferences = true;
  ImGui::EndMenu();
}

void bankMenu(App& app) {
  if (!ImGui::BeginMenu("Bank")) return;
  Machine& m = app.machine;
  if (ImGui::BeginMenu("Select VIC Bank")) {
    for (int i = 0; i < 4; ++i)
      if (ImGui::MenuItem(kBanks[i], nullptr, m.bank == i)) {
        // Choosing a bank takes no undo step.
        app.change(UndoStep::none(), [&m, i] { m.bank = static_cast<uint16_t>(i); });
      }
    ImGui::EndMenu();
  }
  if (ImGui::BeginMenu("Select charbank")) {
    const bool upper = (m.vicRegs[kRegMemPtr] & kRomCaseBit) == 0;
    if (ImGui::MenuItem("Charbank 1", nullptr, upper)) {
      app.change(UndoStep::none(), [&m] { m.vicRegs[kRegMemPtr] &= static_cast<uint8_t>(~kRomCaseBit); });
    }
    if (ImGui::MenuItem("Charbank 2", nullptr, !upper)) {
      app.change(UndoStep::none(), [&m] { m.vicRegs[kRegMemPtr] |= kRomCaseBit; });
    }
    ImGui::EndMenu();
  }
  ImGui::EndMenu();
}

void viewMenu(App& app) {
  if (!ImGui::BeginMenu("View")) return;
  // The window flags, in the menu's order.
  ImGui::MenuItem("Sprites", nullptr, &app.showSprites);
  ImGui::MenuItem("Sprite editor", nullptr, &app.showSpriteEditor);
  ImGui::MenuItem("Registers", nullptr, &app.showRegisters);
  ImGui::MenuItem("Monitor", nullptr, &app.showMonitor);
  ImGui::MenuItem("Second view", nullptr, &app.showSecondView);
  ImGui::MenuItem("Charset", nullptr, &app.showCharset);
  ImGui::MenuItem("Char editor", nullptr, &app.showCharEditor);
  ImGui::MenuItem("Calc converter", nullptr, &app.showCalc);
  ImGui::MenuItem("Memory bitmap", nullptr, &app.showBitmapMem);
  ImGui::MenuItem("Processor", nullptr, &app.showProcessor);
  ImGui::MenuItem("Assembler", nullptr, &app.showAssembler);
  ImGui::Separator();
  ImGui::MenuItem("View grid", "Ctrl+Alt+G", &app.showGrid);
  ImGui::Separator();
  if (ImGui::MenuItem("Reset window layout")) app.resetLayout = true;
  if (ImGui::BeginMenu("UI scale")) {
    for (float scale : kScales) {
      char label[16];
      std::snprintf(label, sizeof label, "%d%%", static_cast<int>(scale * 100));
      if (ImGui::MenuItem(label, nullptr, std::abs(app.uiScale - scale) < 0.01f)) {
        app.uiScale = scale;
        ImGui::GetStyle().FontScaleMain = scale;
        app.saveSettings();
      }
    }
    ImGui::EndMenu();
  }
  ImGui::EndMenu();
}

void paletteMenu(App& app) {
  if (!ImGui::BeginMenu("Palette")) return;
  for (int i : kPaletteOrder)
    if (ImGui::MenuItem(Palette::name(i), kPaletteKeys[i], app.palette.index == i)) app.setPalette(i);
  ImGui::EndMenu();
}

void helpMenu(App& app) {
  if (!ImGui::BeginMenu("Help")) return;
  if (ImGui::MenuItem("Tilvox Help", "F1")) app.showHelp = true;
  if (ImGui::MenuItem("About Tilvox")) app.showAbout = true;
  ImGui::EndMenu();
}

}  // namespace

void drawMainMenu(App& app) {
  if (ShortcutsActive(ImGui::GetIO().WantTextInput, ModalPopupOpen())) {
    // The Screen window is drawn after the menu, so its focus is that of
    // the previous frame.
    const bool textTyping = app.editor.tool == kToolText && g_screenFocused;
    for (const KeyPress& k : KeyPressesThisFrame()) runMenuShortcut(app, RouteMenuKey(k, textTyping));
  }
  if (!ImGui::BeginMainMenuBar()) return;
  fileMenu(app);
  editMenu(app);
  bankMenu(app);
  viewMenu(app);
  paletteMenu(app);
  helpMenu(app);
  ImGui::EndMainMenuBar();
}

// ---- Toolbar ---------------------------------------------------------------

namespace {

constexpr float kToolbarHeight = 41;
constexpr float kToolbarRowY = 8;
constexpr float kToolbarRowHeight = 21;
// The group on the right of the toggles: "GfxMode:" with its combo,
// "Zoom:" with its combo, the insert indicator and the help button, from
// the first at x = 412 to the end of the last at x = 855.
constexpr float kGroupLeft = 412;
constexpr float kGroupRight = 855;
constexpr float kFirstToggleX = 48;
constexpr float kToolbarRowPitch = 29;  // a second row, under the toggles

// The window toggles of the toolbar: each button is down while its window
// is open and opens or closes it.
struct ToolbarToggle {
  float x;
  const char* id;
  int icon;  // -1: none, the label is shown
  const char* label;
  const char* tooltip;
  bool App::*flag;
};
const ToolbarToggle kToolbarToggles[] = {
    {48, "sv", 11, "2nd", "Second View", &App::showSecondView},
    {80, "mo", 10, "Mon", "Monitor", &App::showMonitor},
    {112, "sp", 12, "Spr", "Sprites", &App::showSprites},
    {144, "se", 6, "SprEd", "Sprite Editor", &App::showSpriteEditor},
    {176, "cs", 0, "Chr", "Charset", &App::showCharset},
    {208, "ce", 1, "ChrEd", "Edit Charset", &App::showCharEditor},
    {240, "rg", -1, "Reg", "Registers", &App::showRegisters},
    {832, "hl", 8, "?", "Help", &App::showHelp},
};
constexpr float kToggleWidth = 23;
constexpr float kToggleHeight = 22;

// Pushes the padding and border of a bar and begins it as a side bar of
// the main viewport; only a bar whose contents do not fit gets a scrollbar.
bool beginBar(const char* name, ImGuiDir dir, float size, bool scrolls = false) {
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
  ImGui::PushStyleVar(ImGuiStyleVar_WindowBorderSize, 0);
  const ImGuiWindowFlags scrolling =
      scrolls ? ImGuiWindowFlags_AlwaysVerticalScrollbar : ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoScrollWithMouse;
  const bool open = ImGui::BeginViewportSideBar(name, ImGui::GetMainViewport(), dir, size,
                                                scrolling | ImGuiWindowFlags_NoSavedSettings);
  ImGui::PopStyleVar(2);
  return open;
}

// Text vertically centred in the toolbar row at y.
void rowText(float x, float y, const char* text) {
  const float s = Classic::Scale();
  placeAt(x, y);
  ImGui::SetCursorPosY(ImGui::GetCursorPosY() + (kToolbarRowHeight * s - ImGui::GetTextLineHeight()) * 0.5f);
  ImGui::TextUnformatted(text);
}

// A combo vertically centred in the toolbar row at y.
void placeRowCombo(float x, float y, float width) {
  const float s = Classic::Scale();
  placeAt(x, y);
  ImGui::SetCursorPosY(ImGui::GetCursorPosY() + (kToolbarRowHeight * s - ImGui::GetFrameHeight()) * 0.5f);
  ImGui::SetNextItemWidth(width * s);
}

}  // namespace

ToolbarLayout toolbarLayout(float barUnits) {
  if (kGroupRight <= barUnits) return {kGroupLeft, kToolbarRowY, kToolbarHeight};
  return {kFirstToggleX, kToolbarRowY + kToolbarRowPitch, kToolbarHeight + kToolbarRowPitch};
}

void drawToolbar(App& app) {
  LoadIcons(app);
  const float s = Classic::Scale();
  const ToolbarLayout layout = toolbarLayout(ImGui::GetMainViewport()->Size.x / s);
  // The group's items are given at their places on the toggles' row; dx
  // and y move them to the layout's.
  const float dx = layout.groupX - kGroupLeft;
  const float y = layout.groupY;
  if (beginBar("##toolbar", ImGuiDir_Up, layout.height * s)) {
    const ImVec2 p = ImGui::GetWindowPos();
    const ImVec2 sz = ImGui::GetWindowSize();
    Classic::ThinBevel(ImGui::GetWindowDrawList(), p, ImVec2(p.x + sz.x, p.y + sz.y), true);

    for (const ToolbarToggle& t : kToolbarToggles) {
      bool& open = app.*t.flag;
      const bool inGroup = t.x >= kGroupLeft;  // the help button
      placeAt(inGroup ? t.x + dx : t.x, inGroup ? y : kToolbarRowY);
      if (IconButton(app, t.id, t.icon, t.label, open, t.tooltip, kToggleWidth, kToggleHeight)) open = !open;
    }

    ImGui::PushStyleVar(ImGuiStyleVar_FramePadding, ImVec2(3 * s, 2 * s));
    rowText(kGroupLeft + dx, y, "GfxMode:");
    placeRowCombo(468 + dx, y, 181);
    const int mode = app.machine.gfxMode();
    if (ImGui::BeginCombo("##gfxmode", gfxModeNames[std::clamp(mode, 0, kGfxModeCount - 1)])) {
      for (int i = 0; i < kGfxModeCount; ++i) {
        if (!ImGui::Selectable(gfxModeNames[i], i == mode)) continue;
        app.focusScreen = true;
        if (i != mode)
          app.change(UndoStep::of(UndoKind::Registers, "gfx mode change"), [&app, i] { app.machine.setGfxMode(i); });
      }
      ImGui::EndCombo();
    }

    rowText(660 + dx, y, "Zoom:");
    placeRowCombo(696 + dx, y, 77);
    char preview[16];
    std::snprintf(preview, sizeof preview, "%dx", app.zoom);
    if (ImGui::BeginCombo("##zoom", preview)) {
      for (int z = kZoomMin; z <= kZoomMax; ++z) {
        char label[16];
        std::snprintf(label, sizeof label, "%dx", z);
        if (ImGui::Selectable(label, z == app.zoom)) {
          app.setZoom(z, -1, -1);
          app.focusScreen = true;
        }
      }
      ImGui::EndCombo();
    }
    ImGui::PopStyleVar();

    if (app.editor.insertMode) rowText(784 + dx, y, "Insert");
  }
  ImGui::End();
}

// ---- Status bar and Clear dialog --------------------------------------------

namespace {

constexpr const char* kEditColorsText = "Edit colors - F9";
constexpr const char* kNoFreeColorsText = "No free colors!";
constexpr const char* kPastingText = "Click to drop the block, Esc cancels";
constexpr const char* kOverwriteText = "Overwrite";  // longer than "Insert"

// The panels from left to right: width in 12-pixel units and the widest
// text shown, which widens the panel where it needs more room. The
// position panel is measured on its own; the colour panels hold no text;
// the last one reaches to the end of its row.
struct StatusPanel {
  float units;
  const char* widest;
};
const StatusPanel kPanels[kStatusPanelCount] = {
    {kPositionPanelUnits, nullptr},
    {80, "Mem: 0xDDDD"},  // D: a widest hexadecimal digit
    {160, "Data: %00000000  0xDD  255"},
    {40, nullptr},
    {40, nullptr},
    {40, nullptr},
    {40, nullptr},
    {80, kEditColorsText},
    {100, kNoFreeColorsText},
    {200, kPastingText},
    {0, kOverwriteText},
};
constexpr int kPositionPanel = 0;
constexpr int kFirstColorPanel = 3;
const char* const kSlotTips[kCellColors] = {"Background - F5", "Color 1 - F6", "Color 2 - F7", "Color 3 - F8"};

constexpr size_t kClearValueSize = 16;
constexpr float kClearValueWidth = 80;  // at the 12-pixel font

void panelText(ImDrawList* dl, ImVec2 min, ImVec2 max, const char* text) {
  const float y = min.y + (max.y - min.y - ImGui::GetTextLineHeight()) * 0.5f;
  dl->PushClipRect(min, max, true);
  dl->AddText(ImVec2(min.x + kPanelTextInset, y), kBlack, text);
  dl->PopClipRect();
}

// These panels cycle a cell colour without an undo step, the way the F5-F8
// keys do; the Color editor's OK takes one ("color change").
void colorPanel(App& app, int slot, int colour, ImVec2 min, ImVec2 max) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  if (colour >= 0) dl->AddRectFilled(ImVec2(min.x + 1, min.y + 1), ImVec2(max.x - 1, max.y - 1), Vic::paletteWord(app.palette, colour));
  ImGui::PushID(slot);
  ImGui::SetCursorScreenPos(min);
  const bool clicked = ImGui::InvisibleButton("col", ImVec2(std::max(max.x - min.x, 1.0f), std::max(max.y - min.y, 1.0f)),
                                              ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
  // A click on a bar takes the keyboard from the Screen window; give it back
  // so that typing and single-key shortcuts go on working.
  if (clicked) app.focusScreen = true;
  if (clicked && colour >= 0) {
    const int direction = ImGui::GetIO().MouseReleased[ImGuiMouseButton_Right] ? -1 : 1;
    // Cycling a cell colour from the status bar takes no undo step.
    app.change(UndoStep::none(), [&app, slot, colour, direction] {
      app.editor.setCellColor(slot, app.mouseX, app.mouseY, (colour + direction) & 15);
    });
  }
  if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s (click to cycle, right click backwards)", kSlotTips[slot]);
  ImGui::PopID();
}

bool enterPressed() {
  return ImGui::IsKeyPressed(ImGuiKey_Enter, true) || ImGui::IsKeyPressed(ImGuiKey_KeypadEnter, true);
}

void drawClearDialog(App& app) {
  static int mode = kClearBackground;
  static char value[kClearValueSize] = "$00";
  constexpr const char* kId = "Clear##dlg";
  if (g_clearOpen) {
    ImGui::OpenPopup(kId);
    g_clearOpen = false;
  }
  ImGui::SetNextWindowPos(ImGui::GetMainViewport()->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  if (!ImGui::BeginPopupModal(kId, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
  ImGui::TextUnformatted(app.editor.clearDescription().c_str());
  ImGui::Separator();
  ImGui::RadioButton("Clear to background (space / current color)", &mode, kClearBackground);
  ImGui::RadioButton("Fill with $00", &mode, kClearZero);
  ImGui::RadioButton("Fill with $FF", &mode, kClearFF);
  ImGui::RadioButton("Fill with value:", &mode, kClearValue);
  ImGui::SameLine();
  ImGui::SetNextItemWidth(kClearValueWidth * Classic::Scale());
  ImGui::InputText("##val", value, sizeof value);
  ImGui::TextUnformatted("Are you sure?");
  // Enter answers Yes and Escape No, as in every modal question.
  if (ImGui::Button("Yes", Classic::ButtonSize(kPopupButtonWidth)) || enterPressed()) {
    app.change(UndoStep::byEngine(), [&app] { app.editor.clearScreen(mode, ParseClearValue(value)); });
    ImGui::CloseCurrentPopup();
  }
  ImGui::SameLine();
  if (ImGui::Button("No", Classic::ButtonSize(kPopupButtonWidth)) || ImGui::IsKeyPressed(ImGuiKey_Escape, true))
    ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
}

}  // namespace

StatusBarLayout statusBarLayout(float barWidth, float scale, const std::function<float(const char*)>& textWidth) {
  StatusBarLayout l{};
  float x = 0;
  int row = 0;
  for (int i = 0; i < kStatusPanelCount; ++i) {
    const StatusPanel& p = kPanels[i];
    float width = p.units * scale;
    if (i == kPositionPanel)
      width = PositionPanelWidth(scale, textWidth);
    else if (p.widest)
      width = std::max(width, std::ceil(textWidth(p.widest)) + kPanelTextInset + kPanelTextMargin);
    if (x > 0 && x + width > barWidth) {
      ++row;
      x = 0;
    }
    if (i == kStatusPanelCount - 1) width = std::max(width, barWidth - x);
    l.x[i] = x;
    l.width[i] = width;
    l.row[i] = row;
    x += width;
  }
  l.rows = row + 1;
  return l;
}

void drawStatusBar(App& app) {
  const float s = Classic::Scale();
  const float rowHeight = std::max(ImGui::GetTextLineHeight() + 6, 19 * s);
  const StatusBarLayout layout = statusBarLayout(ImGui::GetMainViewport()->Size.x, s,
                                                 [](const char* t) { return ImGui::CalcTextSize(t).x; });
  if (beginBar("##statusbar", ImGuiDir_Down, layout.rows * rowHeight)) {
    ImDrawList* dl = ImGui::GetWindowDrawList();
    const ImVec2 p = ImGui::GetWindowPos();
    const Machine& m = app.machine;
    const StatusInfo info = StatusInfoAt(m, app.mouseX, app.mouseY);
    const uint8_t data = m.ram[info.address];
    int cols[kCellColors];
    app.editor.cellColors(app.mouseX, app.mouseY, cols);

    char bits[9];
    for (int b = 0; b < 8; ++b) bits[b] = (data & (0x80 >> b)) ? '1' : '0';
    bits[8] = 0;
    char text[64];
    for (int i = 0; i < kStatusPanelCount; ++i) {
      const float left = p.x + layout.x[i];
      const float top = p.y + layout.row[i] * rowHeight;
      const ImVec2 min(left, top + 2);
      const ImVec2 max(left + layout.width[i] - 2, top + rowHeight);
      Classic::ThinBevel(dl, min, max, false);
      text[0] = 0;
      switch (i) {
        case 0: std::snprintf(text, sizeof text, "Pos: %d x %d", info.posX, info.posY); break;
        case 1: std::snprintf(text, sizeof text, "Mem: 0x%04X", info.address); break;
        case 2: std::snprintf(text, sizeof text, "Data: %%%s  0x%02X  %d", bits, data, data); break;
        case 3: case 4: case 5: case 6:
          colorPanel(app, i - kFirstColorPanel, cols[i - kFirstColorPanel], min, max);
          break;
        case 7: std::snprintf(text, sizeof text, "%s", kEditColorsText); break;
        case 8:
          if (ImGui::GetTime() < app.noFreeColorsUntil) {
            app.redrawBy(app.noFreeColorsUntil);  // the warning goes away by itself
            dl->AddRectFilled(ImVec2(min.x + 1, min.y + 1), ImVec2(max.x - 1, max.y - 1), kWarningRed);
            std::snprintf(text, sizeof text, "%s", kNoFreeColorsText);
          }
          break;
        case 9:
          if (app.editor.pasting) std::snprintf(text, sizeof text, "%s", kPastingText);
          break;
        default: std::snprintf(text, sizeof text, "%s", app.editor.insertMode ? "Insert" : kOverwriteText); break;
      }
      if (text[0]) panelText(dl, min, max, text);
    }
  }
  ImGui::End();
  drawClearDialog(app);
}

// ---- Tool palette ----------------------------------------------------------

namespace {

constexpr float kToolsWidth = 61;
// Below the "Filled" button, with a margin: where the palette's contents end.
constexpr float kToolsContentHeight = 598;

struct ToolRow {
  int tool;
  int icon;
  float x, y;
  const char* label;
  const char* tooltip;
};
const ToolRow kTools[] = {
    {kToolText, 13, 18, 4, "Txt", "Text (T)"},
    {kToolDot, 4, 18, 33, "Dot", "Draw Dot (D)"},
    {kToolDraw, 5, 18, 62, "Draw", "Draw (P)"},
    {kToolLine, 9, 18, 91, "Line", "Draw Line (L)"},
    {kToolCircle, 2, 18, 120, "Circ", "Circle (O)\nShift: ellipse"},
    {kToolBox, 3, 18, 149, "Box", "Rectangle (B)\nShift: square"},
    {kToolFill, 7, 18, 178, "Fill", "Flood Fill (F)"},
    {kToolSelect, 14, 4, 545, "Sel", "Select block (S)\nCtrl+C/X/V copy, cut, paste\nX/Y flip, I invert, Del clear"},
    {kToolMove, 15, 32, 545, "Move", "Move view (hold Space)"},
};

constexpr int kBrushIconBase = 15;  // brush n uses icon 15 + n
constexpr float kBrushX = 18;
constexpr float kBrushStep = 29;
constexpr float kBrushTop = 191;

// The colour area: a frame, the background and drawing colour squares and
// a 2 x 8 grid of the palette, all relative to kColorArea.
const ImVec2 kColorFrameMin(8, 344);
const ImVec2 kColorFrameMax(53, 537);
const ImVec2 kColorArea(9, 345);
constexpr float kColorAreaWidth = 43;
constexpr float kColorAreaHeight = 191;
constexpr float kGridTop = 40;
constexpr float kGridLeft = 5;
constexpr float kGridStep = 19;
constexpr float kGridCell = 14;
constexpr float kSquaresBottom = 35;  // clicks above this offset hit the two squares

void square(ImDrawList* dl, ImVec2 o, float s, float x0, float y0, float x1, float y1, ImU32 fill) {
  const ImVec2 a(o.x + x0 * s, o.y + y0 * s), b(o.x + x1 * s, o.y + y1 * s);
  dl->AddRectFilled(a, b, fill);
  dl->AddRect(a, b, kBlack);
}

void colorArea(App& app, float s) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const ImVec2 w = contentOrigin();
  Classic::ThinBevel(dl, ImVec2(w.x + kColorFrameMin.x * s, w.y + kColorFrameMin.y * s),
                     ImVec2(w.x + kColorFrameMax.x * s, w.y + kColorFrameMax.y * s), false);
  const ImVec2 o(w.x + kColorArea.x * s, w.y + kColorArea.y * s);
  const int pen = app.machine.pen & 15;
  const int bg = app.machine.vicRegs[kRegBg0] & 15;
  square(dl, o, s, 8, 5, 26, 23, Vic::paletteWord(app.palette, bg));
  square(dl, o, s, 16, 13, 34, 31, Vic::paletteWord(app.palette, pen));
  for (int c = 0; c < kPaletteColors; ++c) {
    const float x = kGridLeft + kGridStep * (c % 2);
    const float y = kGridTop + kGridStep * (c / 2);
    square(dl, o, s, x, y, x + kGridCell, y + kGridCell, Vic::paletteWord(app.palette, c));
    if (c == pen || c == bg)
      dl->AddRect(ImVec2(o.x + (x - 2) * s, o.y + (y - 2) * s),
                  ImVec2(o.x + (x + kGridCell + 2) * s, o.y + (y + kGridCell + 2) * s), kBlack);
  }

  ImGui::SetCursorScreenPos(o);
  ImGui::InvisibleButton("##pal", ImVec2(kColorAreaWidth * s, kColorAreaHeight * s),
                         ImGuiButtonFlags_MouseButtonLeft | ImGuiButtonFlags_MouseButtonRight);
  if (!ImGui::IsItemHovered()) return;
  ImGui::SetTooltip("Left click: drawing color %d\nRight click: background $D021 = %d", pen, bg);
  const bool left = ImGui::IsMouseClicked(ImGuiMouseButton_Left);
  const bool right = ImGui::IsMouseClicked(ImGuiMouseButton_Right);
  if (!left && !right) return;
  app.focusScreen = true;
  const ImVec2 mouse = ImGui::GetIO().MousePos;
  const float ox = (mouse.x - o.x) / s;
  const float oy = (mouse.y - o.y) / s;
  if (oy < kSquaresBottom) return;
  const int column = std::clamp(static_cast<int>((ox - kGridLeft) / kGridStep), 0, 1);
  const int row = std::clamp(static_cast<int>((oy - kGridTop) / kGridStep), 0, 7);
  const int colour = 2 * row + column;
  if (left) {
    app.machine.pen = colour;
  } else {
    app.change(UndoStep::of(UndoKind::Registers, "background color"),
               [&app, colour] { app.machine.vicRegs[kRegBg0] = static_cast<uint8_t>(colour); });
  }
}

}  // namespace

void drawTools(App& app) {
  const float s = Classic::Scale();
  // At a large interface scale or in a low window the lower rows would be
  // cut off: the palette then scrolls, widened by its scrollbar.
  auto* vp = static_cast<ImGuiViewportP*>(ImGui::GetMainViewport());
  const bool scrolls = kToolsContentHeight * s > vp->GetBuildWorkRect().GetHeight();
  const float width = kToolsWidth * s + (scrolls ? ImGui::GetStyle().ScrollbarSize : 0);
  if (beginBar("##tools", ImGuiDir_Left, width, scrolls)) {
    const ImVec2 p = ImGui::GetWindowPos();
    const ImVec2 sz = ImGui::GetWindowSize();
    Classic::ThinBevel(ImGui::GetWindowDrawList(), p, ImVec2(p.x + sz.x, p.y + sz.y), true);
    Editor& ed = app.editor;

    for (int i = 0; i < static_cast<int>(std::size(kTools)); ++i) {
      const ToolRow& t = kTools[i];
      char id[16];
      std::snprintf(id, sizeof id, "t%d", i);
      placeAt(t.x, t.y);
      if (IconButton(app, id, t.icon, t.label, ed.tool == t.tool, t.tooltip, 25, 25)) {
        app.chooseTool(t.tool);
      }
    }

    placeAt(4, 574);
    if (Classic::SpeedButton("##filled", nullptr, "Filled", ed.fillShapes, ImVec2(53 * s, 20 * s),
                             "Draw circles and rectangles filled")) {
      ed.fillShapes = !ed.fillShapes;
      app.focusScreen = true;
    }

    for (int n = 1; n <= kBrushCount; ++n) {
      char id[16], tip[48];
      std::snprintf(id, sizeof id, "b%d", n);
      std::snprintf(tip, sizeof tip, "Brush %d (A / Z to change)", n);
      placeAt(kBrushX, n * kBrushStep + kBrushTop);
      if (IconButton(app, id, kBrushIconBase + n, "o", ed.brush == n, tip, 25, 25)) {
        ed.brush = n;
        app.focusScreen = true;
      }
    }

    colorArea(app, s);
    placeAt(0, kToolsContentHeight);
    ImGui::Dummy(ImVec2(0, 0));  // the scrolling range ends here
  }
  ImGui::End();
}
