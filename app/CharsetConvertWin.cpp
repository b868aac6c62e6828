// The bitmap-to-charset window; see CharsetConvertWin.h. Its texts and the
// first choice of position come from app/ConvertRules.
#include "app/CharsetConvertWin.h"

#include "app/App.h"
#include "app/ConvertRules.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "core/UndoBuffer.h"

#include <imgui.h>

namespace {

constexpr float kWindowWidth = 440;  // first use, times the interface scale
constexpr float kWindowHeight = 300;
constexpr float kComboWidth = 260;  // times the interface scale, as the button
constexpr float kButtonWidth = 110;

}  // namespace

std::string ConvertCharsetOnScreen(App& app, int slot, bool merge) {
  // The trial runs after the paste preview is withdrawn, so it converts
  // the document as it stays; a refused conversion touches nothing else.
  Machine trial;
  CharsetConvertResult r;
  app.change(UndoStep::none(), [&] {
    trial = app.machine;
    r = ConvertBitmapToCharset(trial, app.palette, slot, merge);
  });
  if (!r.ok) return r.error;
  app.change(UndoStep::of(UndoKind::All, kCharsetConvertLabel), [&] { app.machine = trial; });
  return CharsetDoneText(r);
}

void drawCharsetConverter(App& app) {
  static int slot = -1;  // not chosen yet
  static bool merge = true;
  static std::string result;

  const Machine& m = app.machine;
  if (slot < 0) slot = FirstUsableCharsetSlot(m);
  // Its texts grow with the interface scale; so does the room they first get.
  const float scale = Classic::Scale();
  ImGui::SetNextWindowSize(ImVec2(kWindowWidth * scale, kWindowHeight * scale), ImGuiCond_FirstUseEver);
  if (!ImGui::Begin("Convert bitmap to charset", &app.showCharsetConverter)) {
    ImGui::End();
    return;
  }
  ImGui::TextWrapped(
      "Turns the bitmap on screen into a character set and a text screen. Hires becomes normal text mode, "
      "multicolor becomes multicolor text mode. Identical 8x8 cells share a character.");
  ImGui::Spacing();
  ImGui::SetNextItemWidth(kComboWidth * scale);
  if (ImGui::BeginCombo("Charset at", CharsetSlotPreview(m, slot).c_str())) {
    for (int s = 0; s < kCharsetSlots; ++s) {
      const bool usable = CharsetSlotProblem(m, s).empty();
      ImGui::PushID(s);
      if (ImGui::Selectable(CharsetSlotRow(m, s).c_str(), s == slot,
                            usable ? ImGuiSelectableFlags_None : ImGuiSelectableFlags_Disabled))
        slot = s;
      ImGui::PopID();
    }
    ImGui::EndCombo();
  }
  ImGui::Checkbox("Merge similar characters when more than 256 are needed", &merge);
  Widgets::TextDisabledWrapped(CharsetMatrixText(m).c_str());
  ImGui::Spacing();
  const bool bitmap = m.isBitmap();
  ImGui::BeginDisabled(!bitmap);
  const bool convert = ImGui::Button("Convert", Classic::ButtonSize(kButtonWidth));
  ImGui::EndDisabled();
  if (!bitmap) {
    ImGui::SameLine();
    ImGui::TextDisabled("Switch to a bitmap mode first.");
  }
  if (convert) result = ConvertCharsetOnScreen(app, slot, merge);
  if (!result.empty()) ImGui::TextWrapped("%s", result.c_str());
  ImGui::End();
}
