// The "Character set" and "Character editor" windows. Each frame they
// render the characters from the document; every change goes through
// App::change with its undo step, then a CharOps function. A charset the
// video chip reads from the ROM is shown but never written.
#include "app/CharsetWindows.h"

#include "app/App.h"
#include "app/FileActions.h"
#include "app/PixelEditor.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "core/GlyphBits.h"
#include "core/Vic.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <string>

CharClip g_charClip{};

namespace {

// At the 12-pixel font, grown with the interface scale: first window sizes,
// the character field and the palettes' cells.
constexpr float kViewWindowWidth = 560;
constexpr float kViewWindowHeight = 260;
constexpr float kEditorWindowWidth = 420;
constexpr float kEditorWindowHeight = 360;
constexpr float kHexFieldWidth = 32;
constexpr float kViewPaletteCell = 14;
constexpr float kEditorPaletteCell = 16;
constexpr int kPaletteRow = 2;
constexpr int kMinGridCell = 8;
constexpr double kRomWarningSeconds = 1.5;
constexpr uint32_t kCanvasGrey = 0xFF282828u;  // red, green and blue 40
const ImVec4 kReadOnlyColor(0.7f, 0.3f, 0.0f, 1.0f);
constexpr const char* kReadOnlyText = "ROM charset (read only)";
constexpr ImU32 kWarningColor = IM_COL32(255, 80, 80, 255);

const char* const kPenNames[] = {"Color 1 ($D022)", "Color 2 ($D023)", "Color 3 (color mem)"};
const char* const kRomSetNames[] = {"Charset 1", "Charset 2"};
const char* const kBankNames[] = {"VIC bank 1 $0000", "VIC bank 2 $4000", "VIC bank 3 $8000", "VIC bank 4 $C000"};

// " (description)" after a code, or nothing when the code has no name.
std::string describe(int code) {
  const std::string d = Widgets::CharDescription(code);
  return d.empty() ? std::string() : " (" + d + ")";
}

// The "Multi" checkbox of both windows' menu bars; returns the flag in
// force for the rest of the frame.
bool multiCheckbox(App& app) {
  bool multi = CharOps::multicolor(app.machine);
  if (ImGui::Checkbox("Multi", &multi))
    app.change(UndoStep::of(UndoKind::Registers, "multicolor"), [&app, multi] { CharOps::setMulticolor(app.machine, multi); });
  return multi;
}

// A change of the current character's 8 bytes, as one undo step of that
// range.
void changeChar(App& app, const char* label, const std::function<void()>& apply) {
  app.change(UndoStep::range(static_cast<int>(CharOps::charAddress(app.machine, app.currentChar)), kCharBytes, label),
             apply);
}

// The "Select VIC bank" and "Charset" submenus, into the menu that is open.
void bankMenus(App& app) {
  Machine& m = app.machine;
  if (ImGui::BeginMenu("Select VIC bank")) {
    BankItems(app, kBankNames);
    ImGui::EndMenu();
  }
  if (ImGui::BeginMenu("Charset")) {
    const int current = CharOps::slot(m);
    for (int s = 0; s < kCharsetSlots; ++s) {
      ImGui::PushID(s);
      if (ImGui::MenuItem(CharOps::slotLabel(m, s).c_str(), nullptr, s == current))
        app.change(UndoStep::of(UndoKind::Registers, "charset change"), [&m, s] { CharOps::setSlot(m, s); });
      ImGui::PopID();
    }
    ImGui::EndMenu();
  }
}

}  // namespace

ImVec2 CharsetGridArea(ImVec2 avail) {
  return ImVec2(avail.x, std::min(avail.y, avail.x * kCharsetCanvasHeight / kCharsetCanvasWidth));
}

void drawCharsetView(App& app) {
  static PixelCanvas canvas;
  Widgets::SetFirstUseSize(kViewWindowWidth, kViewWindowHeight);
  if (!ImGui::Begin("Character set", &app.showCharset, ImGuiWindowFlags_MenuBar)) {
    ImGui::End();
    return;
  }
  Machine& m = app.machine;
  bool multi = CharOps::multicolor(m);
  if (ImGui::BeginMenuBar()) {
    if (ImGui::BeginMenu("Charset")) {
      bankMenus(app);
      ImGui::EndMenu();
    }
    multi = multiCheckbox(app);
    ImGui::EndMenuBar();
  }

  // Every character's pixels are written each frame; the lines between
  // them stay grey.
  if (SizeCanvas(canvas, kCharsetCanvasWidth, kCharsetCanvasHeight))
    std::fill(canvas.pixels.begin(), canvas.pixels.end(), kCanvasGrey);
  uint32_t colors[kCellColors];
  CharOps::charColors(m, app.palette, colors, multi);
  for (int i = 0; i < 256; ++i) {
    const int x = 1 + (i % kCharsetColumns) * kCharPitch;
    const int y = 1 + (i / kCharsetColumns) * kCharPitch;
    Vic::renderCharData(m.charData(static_cast<uint8_t>(i)), multi, colors,
                        canvas.pixels.data() + y * kCharsetCanvasWidth + x, kCharsetCanvasWidth);
  }
  canvas.texture.update(canvas.pixels, canvas.width, canvas.height);

  ImGui::BeginGroup();
  int picked = 0;
  bool right = false;
  if (Widgets::PaletteGrid("cspal", app, m.pen, m.vicRegs[kRegBg0] & 15, picked, right,
                           kViewPaletteCell * Classic::Scale(), kPaletteRow)) {
    if (right) {
      app.change(UndoStep::of(UndoKind::Registers, "background color"),
                 [&m, picked] { m.vicRegs[kRegBg0] = static_cast<uint8_t>(picked); });
    } else {
      m.pen = multi ? (picked & 7) : picked;  // the drawing colour takes no undo step
    }
  }
  ImGui::EndGroup();
  ImGui::SameLine();

  ImVec2 topLeft, bottomRight;
  int intScale = 0;
  Widgets::ImageFit(canvas.texture, CharsetGridArea(ImGui::GetContentRegionAvail()), topLeft, bottomRight, intScale,
                    false);
  const float scale = (bottomRight.x - topLeft.x) / kCharsetCanvasWidth;
  if (scale <= 0) {
    ImGui::End();
    return;
  }
  ImGui::SetCursorScreenPos(topLeft);
  ImGui::InvisibleButton("##chars", ImVec2(bottomRight.x - topLeft.x, bottomRight.y - topLeft.y));
  if (ImGui::IsItemHovered()) {
    const ImVec2 mouse = ImGui::GetIO().MousePos;
    const int code = CharOps::charAtCanvas(static_cast<int>((mouse.x - topLeft.x) / scale),
                                           static_cast<int>((mouse.y - topLeft.y) / scale));
    if (code >= 0) {
      ImGui::SetTooltip("Charcode: $%02X%s\nMemory position: $%04X", code, describe(code).c_str(),
                        static_cast<unsigned>((m.charsetAddr() + code * 8u) & 0xFFFF));
      if (ImGui::IsMouseClicked(ImGuiMouseButton_Left)) {
        if (app.showCharEditor) {
          app.currentChar = code;
        } else if (app.editor.tool == kToolText) {
          // Typed at the text cursor as one step; the next keyboard
          // character still takes its own.
          app.change(UndoStep::screen("text"), [&app, code] {
            const bool pending = app.editor.undoPending;
            app.editor.undoPending = false;
            app.editor.typeChar(static_cast<uint8_t>(code));
            app.editor.undoPending = pending;
          });
        }
      }
    }
  }
  if (app.showCharEditor) {
    const int c = app.currentChar & 255;
    const ImVec2 a(topLeft.x + (c % kCharsetColumns) * kCharPitch * scale,
                   topLeft.y + (c / kCharsetColumns) * kCharPitch * scale);
    ImGui::GetWindowDrawList()->AddRect(a, ImVec2(a.x + (kCharPitch + 1) * scale, a.y + (kCharPitch + 1) * scale),
                                        Classic::kWhite);
  }
  ImGui::End();
}

namespace {

void charsetMenu(App& app) {
  if (!ImGui::BeginMenu("Charset")) return;
  Machine& m = app.machine;
  const bool ram = !m.charsetIsRom();
  bankMenus(app);
  ImGui::Separator();
  if (ImGui::MenuItem("Clear charset", nullptr, false, ram))
    app.change(UndoStep::of(UndoKind::Charset, "clear charset"), [&m] { CharOps::clearCharset(m); });
  if (ImGui::MenuItem("Load charset...")) Actions::loadCharset(app);
  if (ImGui::BeginMenu("Save charset")) {
    if (ImGui::MenuItem("PRG file (with load address)...")) Actions::saveCharset(app, true);
    if (ImGui::MenuItem("Raw data (.bin)...")) Actions::saveCharset(app, false);
    ImGui::EndMenu();
  }
  ImGui::Separator();
  if (ImGui::BeginMenu("Load charset from ROM", ram)) {
    for (int set = 0; set < kRomCharsets; ++set)
      if (ImGui::MenuItem(kRomSetNames[set]))
        app.change(UndoStep::of(UndoKind::Charset, "ROM charset"), [&m, set] { CharOps::loadRomCharset(m, set); });
    ImGui::EndMenu();
  }
  if (ImGui::MenuItem("Import charset from font...", nullptr, false, ram)) app.showImportCharset = true;
  ImGui::EndMenu();
}

void charMenu(App& app, bool multi) {
  if (!ImGui::BeginMenu("Char")) return;
  Machine& m = app.machine;
  const bool ram = !m.charsetIsRom();
  const int c = app.currentChar;
  if (ImGui::MenuItem("Cut")) {
    if (ram) changeChar(app, "cut char", [&m, c] { CharOps::cut(m, c, g_charClip); });
    else CharOps::copy(m, c, g_charClip);  // a ROM character is only copied
  }
  if (ImGui::MenuItem("Copy")) CharOps::copy(m, c, g_charClip);
  if (ImGui::MenuItem("Paste", nullptr, false, ram))
    changeChar(app, "paste char", [&m, c] { CharOps::paste(m, c, g_charClip); });
  ImGui::Separator();
  if (ImGui::MenuItem("Clear", nullptr, false, ram)) changeChar(app, "clear char", [&m, c] { CharOps::clear(m, c); });
  if (ImGui::BeginMenu("Copy from ROM", ram)) {
    for (int set = 0; set < kRomCharsets; ++set)
      if (ImGui::MenuItem(kRomSetNames[set]))
        changeChar(app, "char from ROM", [&m, c, set] { CharOps::copyFromRom(m, c, set); });
    ImGui::EndMenu();
  }
  ImGui::Separator();
  if (ImGui::MenuItem("Invert", nullptr, false, ram)) changeChar(app, "invert char", [&m, c] { CharOps::invert(m, c); });
  if (ImGui::MenuItem("Flip", nullptr, false, ram)) changeChar(app, "flip char", [&m, c] { CharOps::flip(m, c); });
  if (ImGui::MenuItem("Mirror", nullptr, false, ram))
    changeChar(app, "mirror char", [&m, c, multi] { CharOps::mirror(m, c, multi); });
  ImGui::EndMenu();
}

void charRow(App& app) {
  if (ImGui::ArrowButton("##prev", ImGuiDir_Left)) app.currentChar = (app.currentChar - 1) & 255;
  ImGui::SameLine();
  Widgets::HexByteInput("##nr", app.currentChar, kHexFieldWidth * Classic::Scale());
  ImGui::SameLine();
  if (ImGui::ArrowButton("##next", ImGuiDir_Right)) app.currentChar = (app.currentChar + 1) & 255;
  if (app.machine.charsetIsRom()) {
    // Below the field where the window is too narrow beside it.
    Widgets::SameLineIfFits(ImGui::CalcTextSize(kReadOnlyText).x);
    ImGui::TextColored(kReadOnlyColor, "%s", kReadOnlyText);
  }
}

void colorGroup(App& app, bool multi) {
  Machine& m = app.machine;
  ImGui::BeginGroup();
  int selected = m.pen;
  if (multi && app.charPen == kPenColor1) selected = m.vicRegs[kRegBg1] & 15;
  if (multi && app.charPen == kPenColor2) selected = m.vicRegs[kRegBg2] & 15;
  int picked = 0;
  bool right = false;
  if (Widgets::PaletteGrid("cepal", app, selected, m.vicRegs[kRegBg0] & 15, picked, right,
                           kEditorPaletteCell * Classic::Scale(), kPaletteRow)) {
    const int pen = app.charPen;
    if (CharOps::colorRefused(multi, pen, right, picked)) {
      app.message("Information", "Foreground color can only be 0-7 in multicolor, sorry!");
    } else {
      const char* label = CharOps::colorUndoLabel(multi, pen, right);
      app.change(label ? UndoStep::of(UndoKind::Registers, label) : UndoStep::none(),
                 [&m, multi, pen, right, picked] { CharOps::pickColor(m, multi, pen, right, picked); });
    }
  }
  if (multi) {
    const int colours[] = {m.vicRegs[kRegBg1] & 15, m.vicRegs[kRegBg2] & 15, m.pen & 7};
    PenRows(app, app.charPen, colours, kPenNames);
  }
  ImGui::EndGroup();
}

// The 8x8 grid, painting in its stroke; a ROM charset only shows a
// warning.
void editGrid(App& app, bool multi, const Texture& image) {
  static PixelStroke stroke;
  static double romWarning = 0;
  const ImVec2 avail = ImGui::GetContentRegionAvail();
  const int s = std::max(kMinGridCell, static_cast<int>(std::min(avail.x, avail.y) / kCellSize));
  const ImVec2 o = ImGui::GetCursorScreenPos();
  const GridPaint g = PixelGrid(app, "##chargrid", image, kCellSize, kCellSize, s, multi, stroke);
  const bool rom = app.machine.charsetIsRom();
  if (g.started && !rom) changeChar(app, "edit character", nullptr);  // one step for the whole stroke
  if (!g.paint.empty() && rom) {
    romWarning = ImGui::GetTime() + kRomWarningSeconds;
  } else if (!g.paint.empty()) {
    const int c = app.currentChar, pen = app.charPen;
    const bool erase = stroke.erasing;
    app.change(UndoStep::none(), [&app, c, &g, erase, multi, pen] {
      for (const GridPoint& p : g.paint) CharOps::paintPixel(app.machine, c, p.x, p.y, erase, multi, pen);
    });
  }
  if (ImGui::GetTime() < romWarning)
    ImGui::GetWindowDrawList()->AddText(ImVec2(o.x + 6, o.y + 6), kWarningColor,
                                        "Can't edit ROM characters!\nSelect a RAM charset.");
}

}  // namespace

void drawCharEditor(App& app) {
  static PixelCanvas canvas;
  Machine& m = app.machine;
  char title[96];
  std::snprintf(title, sizeof title, "Character editor - $%04X%s###Character editor",
                static_cast<unsigned>(CharOps::charAddress(m, app.currentChar)), describe(app.currentChar).c_str());
  Widgets::SetFirstUseSize(kEditorWindowWidth, kEditorWindowHeight);
  if (!ImGui::Begin(title, &app.showCharEditor, ImGuiWindowFlags_MenuBar)) {
    ImGui::End();
    return;
  }
  bool multi = CharOps::multicolor(m);
  if (ImGui::BeginMenuBar()) {
    charsetMenu(app);
    charMenu(app, multi);
    multi = multiCheckbox(app);
    ImGui::EndMenuBar();
  }
  charRow(app);

  SizeCanvas(canvas, kCellSize, kCellSize);
  uint32_t colors[kCellColors];
  CharOps::charColors(m, app.palette, colors, multi);
  Vic::renderCharData(m.charData(static_cast<uint8_t>(app.currentChar)), multi, colors, canvas.pixels.data(), kCellSize);
  canvas.texture.update(canvas.pixels, canvas.width, canvas.height);

  colorGroup(app, multi);
  ImGui::SameLine();
  editGrid(app, multi, canvas.texture);
  ImGui::End();
}
