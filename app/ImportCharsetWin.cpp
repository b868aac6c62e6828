// The font import window. Opening takes a backup of the charset and one
// undo step; every option change renders the enabled character groups
// into the document again; OK keeps the result, Cancel or closing puts the
// backup back. When the charset changes underneath (an edit, undo or redo
// over it, a bank or slot change, New or a project load) the session ends
// without writing the backup, which no longer belongs there; edits
// elsewhere in the document leave the session and its Cancel alone.
#include "app/ImportCharsetWin.h"

#include "app/App.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "platform/FileDialog.h"

#include <imgui.h>

ImportFontState g_font;

namespace {

// At the 12-pixel font, grown with the interface scale.
constexpr float kButtonWidth = 100;
constexpr float kWindowWidth = 380;
constexpr float kWindowHeight = 330;

void chooseFont() {
  FileIO::open("Choose font", {{"Fonts (*.ttf;*.otf)", {"ttf", "otf"}}, {"All files", {}}},
               [](const std::string& path, std::vector<uint8_t>& bytes) { loadFont(g_font, path, std::move(bytes)); });
}

// Opening: a backup and one undo step, or the message for a ROM charset.
bool open(App& app) {
  if (app.machine.charsetIsRom()) {
    app.message("Information", kImportRomMessage);
    app.showImportCharset = false;
    return false;
  }
  const int address = static_cast<int>(app.machine.charsetAddr());
  app.change(UndoStep::range(address, kCharsetSize, "import charset"),
             [&app] { beginImport(app.machine, g_font, app.documentGeneration); });
  app.showCharset = true;
  return true;
}

}  // namespace

void closeImportCharset(App& app, bool restore) {
  app.change(UndoStep::none(), [&app, restore] { finishImport(app.machine, app.documentGeneration, g_font, restore); });
  app.showImportCharset = false;
}

void drawImportCharset(App& app) {
  ImportFontState& s = g_font;
  if (s.active && !sessionCurrent(app.machine, app.documentGeneration, s)) {
    // The backup belongs to a charset that is no longer there.
    closeImportCharset(app, false);
    return;
  }
  if (!s.active && !open(app)) return;

  Widgets::SetFirstUseSize(kWindowWidth, kWindowHeight);
  bool windowOpen = true;
  bool ok = false, cancel = false;
  if (ImGui::Begin("Import charset from font", &windowOpen)) {
    if (ImGui::Button("Choose font...")) chooseFont();
    ImGui::SameLine();
    ImGui::TextDisabled("%s", s.name.empty() ? "(no font)" : !s.valid ? "not a font!" : s.name.c_str());
    bool changed = false;
    changed |= ImGui::SliderInt("Size", &s.size, kFontSizeMin, kFontSizeMax, "%d");
    changed |= ImGui::SliderInt("X offset", &s.xOffset, -kFontOffsetMax, kFontOffsetMax, "%d");
    changed |= ImGui::SliderInt("Y offset", &s.yOffset, -kFontOffsetMax, kFontOffsetMax, "%d");
    changed |= ImGui::SliderInt("Threshold", &s.threshold, kThresholdMin, kThresholdMax, "%d");
    changed |= ImGui::Checkbox("Capital letters", &s.capitals);
    changed |= ImGui::Checkbox("Small letters", &s.small);
    changed |= ImGui::Checkbox("Numbers", &s.numbers);
    changed |= ImGui::Checkbox("Symbols", &s.symbols);
    if (changed) s.dirty = true;
    Widgets::TextDisabledWrapped("The result is shown in the Character set window.");
    ok = ImGui::Button("OK", Classic::ButtonSize(kButtonWidth));
    ImGui::SameLine();
    cancel = ImGui::Button("Cancel", Classic::ButtonSize(kButtonWidth));
  }
  ImGui::End();

  if (s.dirty && s.valid) {
    app.change(UndoStep::none(), [&app, &s] { doImport(app.machine, s); });
    s.dirty = false;
  }
  if (cancel || !windowOpen) closeImportCharset(app, true);
  else if (ok) closeImportCharset(app, false);
}
