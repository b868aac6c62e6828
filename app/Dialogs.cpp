// The calculator, preferences, about and help windows; see Dialogs.h. The
// calculator's arithmetic and texts live in app/Calculator, the help text's
// parsing in app/DialogRules.
#include "app/Dialogs.h"

#include "app/App.h"
#include "app/Calculator.h"
#include "app/DialogRules.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "platform/Platform.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// At the 12-pixel font, grown with the interface scale: first window
// sizes and control widths.
constexpr float kCalcWidth = 330;
constexpr float kCalcHeight = 330;
constexpr float kKeyWidth = 56;  // every calculator button
constexpr float kPreferencesWidth = 420;
constexpr float kPreferencesHeight = 460;
constexpr float kGridColorWidth = 120;
constexpr ImVec2 kGridSwatch(18, 14);
constexpr float kHelpWidth = 640;
constexpr float kHelpHeight = 560;
const char* const kNumberLabels[] = {"Dec", "Hex", "Bin"};
constexpr size_t kDecBufSize = 32;
constexpr size_t kHexBufSize = 32;
constexpr size_t kBinBufSize = 40;
constexpr int kCustomPerRow = 8;
constexpr float kAboutGap = 24;
constexpr float kCloseWidth = 100;

// One number field rebuilt from the value every frame; true with the new
// text in `buf` when the user edited it.
bool numberField(const char* label, char* buf, size_t size, const std::string& text, float width,
                 ImGuiInputTextFlags flags, ImGuiInputTextCallback filter = nullptr) {
  std::snprintf(buf, size, "%s", text.c_str());
  ImGui::SetNextItemWidth(width);
  return ImGui::InputText(label, buf, size, flags, filter);
}

int binaryDigitsOnly(ImGuiInputTextCallbackData* d) { return d->EventChar == '0' || d->EventChar == '1' ? 0 : 1; }

bool key(const char* label) { return ImGui::Button(label, Classic::ButtonSize(kKeyWidth)); }

}  // namespace

// ---- Calculator -------------------------------------------------------------

void drawCalcConverter(App& app) {
  // value, left, op, fresh and mem, all zero at start.
  static Calculator calc;
  static const char* const ops[] = {"+", "-", "*", "/"};
  static const int opc[] = {kCalcAdd, kCalcSub, kCalcMul, kCalcDiv};

  Widgets::SetFirstUseSize(kCalcWidth, kCalcHeight);
  if (!ImGui::Begin("Calc converter", &app.showCalc)) {
    ImGui::End();
    return;
  }
  // The fields take the width their labels leave.
  float label = 0;
  for (const char* l : kNumberLabels) label = std::max(label, ImGui::CalcTextSize(l).x);
  const float width = std::max(1.0f, ImGui::GetContentRegionAvail().x - ImGui::GetStyle().ItemInnerSpacing.x - label);
  char dec[kDecBufSize], hex[kHexBufSize], bin[kBinBufSize];
  if (numberField(kNumberLabels[0], dec, sizeof dec, CalcDecText(calc.value), width, ImGuiInputTextFlags_CharsDecimal))
    calc.value = CalcParseDec(dec);
  if (numberField(kNumberLabels[1], hex, sizeof hex, CalcHexText(calc.value), width,
                  ImGuiInputTextFlags_CharsHexadecimal | ImGuiInputTextFlags_CharsUppercase))
    calc.value = CalcParseHex(hex);
  if (numberField(kNumberLabels[2], bin, sizeof bin, CalcBinText(calc.value), width,
                  ImGuiInputTextFlags_CallbackCharFilter,
                  binaryDigitsOnly))
    calc.value = CalcParseBin(bin);

  ImGui::TextDisabled("Hex keypad");
  // Four rows of four digits, the highest row first, each ended by an
  // arithmetic operation.
  for (int row = 0; row < 4; ++row) {
    ImGui::PushID(row);
    const int first = (3 - row) * 4;
    for (int d = first; d < first + 4; ++d) {
      char label[16];
      std::snprintf(label, sizeof label, "%X##digit", d);
      ImGui::PushID(d);
      if (key(label)) calc.digit(d);
      ImGui::PopID();
      ImGui::SameLine();
    }
    if (key(ops[row])) calc.operation(opc[row]);
    ImGui::PopID();
  }

  const struct {
    const char* label;
    int code;
  } logic[] = {{"OR", kCalcOr}, {"AND", kCalcAnd}, {"XOR", kCalcXor}, {"<<", kCalcShl}, {">>", kCalcShr}};
  for (const auto& l : logic) {
    if (l.code != kCalcOr) ImGui::SameLine();
    if (key(l.label)) calc.operation(l.code);
  }
  if (key("NOT")) calc.complement();
  ImGui::SameLine();
  if (key("+/-")) calc.negate();
  ImGui::SameLine();
  if (key("=")) calc.equals();
  ImGui::SameLine();
  // Same label as the hex digit C; a separate control.
  if (key("C##clear")) calc.clear();

  if (key("MS")) calc.memStore();
  ImGui::SameLine();
  if (key("MR")) calc.memRecall();
  ImGui::SameLine();
  if (key("M+")) calc.memAdd();
  ImGui::SameLine();
  if (key("MC")) calc.memClear();

  if (calc.mem != 0)
    ImGui::TextDisabled("M = %lld ($%llX)", static_cast<long long>(calc.mem),
                        static_cast<unsigned long long>(calc.mem) & 0xFFFFFFFFull);
  ImGui::End();
}

// ---- Preferences ------------------------------------------------------------

void SetCustomColor(App& app, int entry, const float rgb[3]) {
  Palette& pal = app.palette;
  if (entry < 0 || entry >= kPaletteColors) return;
  for (int ch = 0; ch < 3; ++ch) pal.custom[entry][ch] = ChannelByte(rgb[ch]);
  if (pal.index == kCustomPreset) pal.set(kCustomPreset);
}

void drawPreferences(App& app) {
  Widgets::SetFirstUseSize(kPreferencesWidth, kPreferencesHeight);
  if (!ImGui::Begin("Preferences", &app.showPreferences)) {
    ImGui::End();
    return;
  }
  bool changed = false;
  ImGui::SeparatorText("Editor");
  changed |= ImGui::Checkbox("Show grid", &app.showGrid);
  ImGui::SameLine();
  const float s = Classic::Scale();
  ImGui::SetNextItemWidth(kGridColorWidth * s);
  changed |= ImGui::SliderInt("Grid color", &app.gridColor, 0, 15, "%d", ImGuiSliderFlags_AlwaysClamp);
  ImGui::SameLine();
  Widgets::ColorSwatch(app, app.gridColor, ImVec2(kGridSwatch.x * s, kGridSwatch.y * s), false);
  changed |= ImGui::Checkbox("Show active char when drawing", &app.showActiveChar);
  if (ImGui::Checkbox("Don't replace colors in multicolor cells", &app.dontReplaceColors)) {
    app.editor.pix.fixedColors = app.dontReplaceColors;
    changed = true;
  }

  ImGui::SeparatorText("Custom palette");
  Palette& pal = app.palette;
  for (int i = 0; i < kPaletteColors; ++i) {
    if (i % kCustomPerRow != 0) ImGui::SameLine();
    const auto& c = pal.custom[i];
    float f[3] = {c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f};
    ImGui::PushID(i);
    if (ImGui::ColorEdit3("##c", f, ImGuiColorEditFlags_NoInputs)) {
      SetCustomColor(app, i, f);
      changed = true;
    }
    ImGui::PopID();
  }
  if (ImGui::Button("Copy current palette to custom")) {
    pal.custom = pal.rgb;
    changed = true;
  }
  Widgets::SameLineIfFits(Widgets::ButtonWidth("Use custom palette"));
  if (ImGui::Button("Use custom palette")) app.setPalette(kCustomPreset);
  // Written at once, so that a crash or a killed session keeps them.
  if (changed) app.saveSettings();
  ImGui::End();
}

// ---- About ------------------------------------------------------------------

void drawAbout(App& app) {
  static Texture limit;
  static Texture vesk;
  static bool loaded = false;
  if (!loaded) {
    // A picture that cannot be loaded stays empty and is not tried again.
    vesk.loadFile(Platform::assetDir() + "/vesk.bmp");
    limit.loadFile(Platform::assetDir() + "/limit.bmp");
    loaded = true;
  }
  ImGui::SetNextWindowPos(ImGui::GetMainViewport()->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));
  if (!ImGui::Begin("About Tilvox", &app.showAbout, ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoDocking)) {
    ImGui::End();
    return;
  }
  auto picture = [](const Texture& t) {
    if (t.id) ImGui::Image(TextureRef(t), ImVec2(float(t.width), float(t.height)));
  };

  ImGui::BeginGroup();
  picture(limit);
  ImGui::TextColored(ImVec4(0.8f, 0, 0, 1), "STOP !");
  ImGui::TextUnformatted("You have to be at least this\nhigh to use this editor!");
  ImGui::EndGroup();

  ImGui::SameLine(0, kAboutGap);
  ImGui::BeginGroup();
  picture(vesk);
  ImGui::TextUnformatted("Yet another ****** C64 editor...");
  ImGui::Spacing();
  ImGui::TextDisabled("Created by...");
  ImGui::TextUnformatted("Code: the Tilvox contributors");
  ImGui::TextUnformatted("Icons and stuff: the Tilvox contributors");
  ImGui::Spacing();
  // The program has no web site of its own; its guide is one key away.
  ImGui::TextUnformatted("Help: press F1 or see Help > Tilvox Help");
  ImGui::Spacing();
  ImGui::TextDisabled("Version 3.0 beta - Linux & browser port");
  ImGui::TextDisabled("Dear ImGui %s, SDL2", IMGUI_VERSION);
  ImGui::Spacing();
  if (ImGui::Button("Close", Classic::ButtonSize(kCloseWidth))) app.showAbout = false;
  ImGui::EndGroup();
  ImGui::End();
}

// ---- Help -------------------------------------------------------------------

void drawHelp(App& app) {
  static std::vector<std::string> lines;
  if (lines.empty()) {
    // Read once per process; changes while the program runs are not seen.
    std::vector<uint8_t> bytes;
    if (!Platform::readFile(Platform::assetDir() + "/" + kHelpFile, bytes)) bytes.clear();
    lines = SplitHelpLines(bytes);
  }
  Widgets::SetFirstUseSize(kHelpWidth, kHelpHeight);
  // The guide's lines are broken in its file; a narrower window scrolls
  // across to their ends.
  if (!ImGui::Begin("Tilvox Help", &app.showHelp, ImGuiWindowFlags_HorizontalScrollbar)) {
    ImGui::End();
    return;
  }
  for (const std::string& line : lines) {
    const HelpLine h = ClassifyHelpLine(line);
    switch (h.kind) {
      case HelpLine::Kind::Heading:
        ImGui::Spacing();
        ImGui::SeparatorText(h.text.c_str());
        break;
      case HelpLine::Kind::SubHeading:
        ImGui::PushStyleColor(ImGuiCol_Text, ImVec4(0, 0, 0.55f, 1));
        ImGui::TextUnformatted(h.text.c_str());
        ImGui::PopStyleColor();
        break;
      case HelpLine::Kind::Plain: ImGui::TextUnformatted(h.text.c_str()); break;
    }
  }
  ImGui::End();
}
