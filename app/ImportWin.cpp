// The picture import window; see ImportWin.h. The options change g_pic and
// mark it dirty; in the next drawn frame the picture is converted again
// (app/ConvertRules) and both previews are uploaded. While a picture is
// read the window polls its job each frame and keeps the previous
// picture's options and previews, disabled. While a large picture is
// resized the options stay live (a change supersedes the resize) and the
// previous previews stay in view; only "OK" waits for the new result.
#include "app/ImportWin.h"

#include "app/App.h"
#include "app/FileCompletions.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "core/UndoBuffer.h"
#include "platform/FileDialog.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <utility>

ImportPicState g_pic;

namespace {

constexpr float kWindowWidth = 920;   // first use, times the font scale
constexpr float kWindowHeight = 560;
constexpr float kMinHeight = 300;
constexpr float kOptionsWidth = 250;  // times the font scale
constexpr float kComboWidth = 170;    // times the font scale, as the slider and swatch
constexpr float kSliderWidth = 120;
constexpr float kPreviewWidth = 320;  // each preview, fixed pixels
constexpr float kPreviewHeight = 200;
constexpr float kEmptyPreviewWidth = 648;
constexpr float kButtonWidth = 100;
constexpr ImVec2 kSwatchSize(20, 14);
constexpr int kColorCount = 16;
// How often the loop wakes to look for the end of a decode or a resize, in
// seconds.
constexpr double kReadPollSeconds = 0.05;

// Shown in place of the previews while the first one is made.
constexpr const char* kConvertingText = "Converting...";

const char* const kResolutions[] = {"Hires 320x200", "Multicolor 160x200", "PETSCII text 40x25"};
const char* const kColorNames[] = {"Mono", "Grayscale", "Color"};
const char* const kDitherNames[] = {"None", "Floyd-Steinberg", "Jarvis", "Stucki"};

// A row of radio buttons on one int; true when one was chosen.
template <size_t N>
bool radios(const char* const (&labels)[N], int& value) {
  bool changed = false;
  for (size_t i = 0; i < N; ++i)
    if (ImGui::RadioButton(labels[i], &value, static_cast<int>(i))) changed = true;
  return changed;
}

void options(App& app, ImportPicState& p) {
  // The charset combo's names, by PetsciiCharset.
  static const char* const sets[] = {"ROM upper case/graphics", "ROM lower case", "Current charset"};
  bool changed = false;
  const float s = Classic::Scale();  // the combos, the slider and the swatch grow with it
  ImGui::SeparatorText("Resolution");
  changed |= radios(kResolutions, p.mode);
  if (p.mode == ImportMode::Petscii) {
    ImGui::SeparatorText("Characters");
    ImGui::SetNextItemWidth(kComboWidth * s);
    changed |= ImGui::Combo("##charset", &p.petsciiOptions.charset, sets, IM_ARRAYSIZE(sets));
    changed |= ImGui::Checkbox("Reversed characters", &p.petsciiOptions.reversed);
    changed |= ImGui::Checkbox("No letters or digits", &p.petsciiOptions.noLetters);
    ImGui::SetNextItemWidth(kSliderWidth * s);
    ImGui::SliderInt("Detail", &p.detail, 0, kImportDetailMax, "%d%%");
    if (ImGui::IsItemHovered(ImGuiHoveredFlags_DelayShort))
      ImGui::SetTooltip("Low: match the tone of areas. High: match the pixels exactly.");
    // Converting while the slider is dragged would stall every frame.
    changed |= ImGui::IsItemDeactivatedAfterEdit();
  }
  ImGui::SeparatorText("Resize");
  changed |= ImGui::Checkbox("Keep aspect ratio", &p.keepAspect);
  changed |= ImGui::Checkbox("Zoom to fit", &p.zoomToFit);
  ImGui::SeparatorText("Colors");
  changed |= radios(kColorNames, p.colors);
  if (p.mode != ImportMode::Petscii) {
    ImGui::SeparatorText("Dithering");
    changed |= radios(kDitherNames, p.dither);
  }
  ImGui::SeparatorText("Palette");
  ImGui::SetNextItemWidth(kComboWidth * s);
  if (ImGui::BeginCombo("##pal", Palette::name(p.paletteIndex))) {
    for (int i = 0; i < kPresetCount; ++i) {
      ImGui::PushID(i);
      if (ImGui::Selectable(Palette::name(i), i == p.paletteIndex)) {
        p.paletteIndex = i;
        changed = true;
      }
      ImGui::PopID();
    }
    ImGui::EndCombo();
  }
  if (p.mode != ImportMode::Hires) {
    char preview[32];
    if (p.background < 0)
      std::snprintf(preview, sizeof preview, "Automatic");
    else
      std::snprintf(preview, sizeof preview, "Color %d", p.background);
    ImGui::SetNextItemWidth(kComboWidth * s);
    if (ImGui::BeginCombo("Background", preview)) {
      if (ImGui::Selectable("Automatic", p.background < 0)) {
        p.background = -1;
        changed = true;
      }
      for (int c = 0; c < kColorCount; ++c) {
        char item[32];
        std::snprintf(item, sizeof item, "Color %d", c);
        if (ImGui::Selectable(item, p.background == c)) {
          p.background = c;
          changed = true;
        }
      }
      ImGui::EndCombo();
    }
    ImGui::TextUnformatted("Used background:");
    ImGui::SameLine();
    Widgets::ColorSwatch(app, p.usedBackground(), ImVec2(kSwatchSize.x * s, kSwatchSize.y * s), false);
  }
  if (changed) p.dirty = true;
}

void previews(const ImportPicState& p) {
  ImGui::BeginGroup();
  if (p.sourceTexture.id) {
    // A 160-wide multicolour picture is stretched to the same 320 x 200.
    const ImVec2 size(kPreviewWidth, kPreviewHeight);
    ImGui::Image(TextureRef(p.sourceTexture), size);
    ImGui::SameLine();
    ImGui::Image(TextureRef(p.resultTexture), size);
  } else {
    const ImVec2 at = ImGui::GetCursorPos();
    ImGui::Dummy(ImVec2(kEmptyPreviewWidth, kPreviewHeight));
    if (p.isConverting()) {  // in the middle of the empty area
      const ImVec2 text = ImGui::CalcTextSize(kConvertingText);
      ImGui::SetCursorPos(ImVec2(at.x + (kEmptyPreviewWidth - text.x) / 2, at.y + (kPreviewHeight - text.y) / 2));
      ImGui::TextUnformatted(kConvertingText);
    }
  }
  ImGui::EndGroup();
}

// Resizes the picture for `r` in a child process. The child works on its
// own copy of the memory as it was when it was made, so the picture may be
// replaced meanwhile; each replacement begins with a read, which cancels
// the resize, so a result never meets another picture.
void startResize(ImportPicState& p, const ImportResize& r) {
  const uint32_t* pixels = p.pixels.data();
  const int w = p.width, h = p.height;
  p.resizingFor = r;
  p.resizing.start([pixels, w, h, r] { return ResizeImportPicture(pixels, w, h, r); },
                   int64_t{kHiresWidth} * kReduceHeight);
}

void startRead(App& app, const std::string& name, PictureJob::Work work) {
  // The one reader thread runs the jobs one after another: the resize of
  // the picture this read replaces must not hold it back.
  g_pic.resizing.cancel();
  g_pic.readingName = name;
  g_pic.reading.start(std::move(work));
  // A window opened for the read closes again if the read fails or is
  // cancelled; a read that supersedes such a read takes that over.
  if (!app.showImportPicture) g_pic.closeAfterRead = true;
  app.showImportPicture = true;
}

// The read no longer holds the window: one opened only for it closes
// again when the read brought no picture.
void endRead(App& app, bool noPicture) {
  if (std::exchange(g_pic.closeAfterRead, false) && noPicture) closeImportPicture(app);
}

}  // namespace

void openImportPictureFile(App& app, const std::string& name, const std::string& path) {
  startRead(app, name, [path] { return ReadImportPicture(path); });
}

void openImportPicture(App& app, const std::string& name, const std::vector<uint8_t>& bytes) {
  startRead(app, name, [bytes] { return DecodeImportPicture(bytes); });
}

void pollImportPicture(App& app) {
  DecodedPicture read;
  if (!g_pic.reading.take(read)) return;
  const std::string error = FinishImportPicture(g_pic, g_pic.readingName, read);
  if (!error.empty()) app.message("Error", error);
  endRead(app, !error.empty());
}

void cancelImportRead(App& app) {
  g_pic.reading.cancel();
  endRead(app, true);
}

bool convertImportPicture(App& app) {
  ImportPicState& p = g_pic;
  if (!p.dirty || !p.hasPicture() || p.isReading()) return false;
  if (ImportResizeTooLargeForFrame(p)) {
    const ImportResize want = WantedImportResize(p);
    if (!p.isConverting() || p.resizingFor != want) startResize(p, want);
    return false;
  }
  // The resize at hand (kept, or small enough): one running for other
  // options is no longer wanted.
  p.resizing.cancel();
  if (!ConvertImportPicture(p, app.machine, app.palette)) return false;
  p.sourceTexture.update(p.sourcePreview.pixels, p.sourcePreview.w, p.sourcePreview.h);
  p.resultTexture.update(p.resultPreview.pixels, p.resultPreview.w, p.resultPreview.h);
  return true;
}

void pollImportResize() {
  ImportPicState& p = g_pic;
  DecodedPicture resized;
  if (!p.resizing.take(resized) || InstallImportResize(p, p.resizingFor, resized)) return;
  // A resize whose process could not be made or ended without its result
  // is done here, in one slow frame, rather than started again and again.
  if (p.resizingFor == WantedImportResize(p)) {
    resized = ResizeImportPicture(p.pixels.data(), p.width, p.height, p.resizingFor);
    InstallImportResize(p, p.resizingFor, resized);
  }
}

void pickPicture(App& app) {
  const std::vector<FileIO::Filter> filters = {
      {"Images (*.png;*.jpg;*.bmp;*.gif;*.tga)", {"png", "jpg", "jpeg", "bmp", "gif", "tga", "psd"}},
      Actions::allFiles};
  FileIO::openPath("Import PC image", filters,
                   [&app](const std::string& path) { openImportPictureFile(app, path, path); });
}

void importPictureForTest(int mode, bool autoOk) {
  g_pic.reading.wait();
  g_pic.mode = mode;
  g_pic.dirty = true;
  g_pic.autoOk = autoOk;
}

void closeImportPicture(App& app) {
  app.showImportPicture = false;
  g_pic.pickerShown = false;
  g_pic.reading.cancel();
  g_pic.resizing.cancel();
  g_pic.closeAfterRead = false;
}

void acceptImportPicture(App& app) {
  if (!g_pic.hasPicture() || g_pic.isReading() || g_pic.isConverting()) return;
  app.change(UndoStep::of(UndoKind::All, kImportUndoLabel), [&app] { StoreImportPicture(g_pic, app.machine); });
  // The document is shown in the palette it was converted with.
  if (g_pic.paletteIndex != app.palette.index) app.setPalette(g_pic.paletteIndex);
  closeImportPicture(app);
}

void drawImportPicture(App& app) {
  ImportPicState& p = g_pic;
  pollImportPicture(app);
  if (!app.showImportPicture) return;  // a read that failed closed it
  pollImportResize();
  const bool reading = p.isReading();
  if (reading || p.isConverting()) app.redrawBy(ImGui::GetTime() + kReadPollSeconds);
  if (p.paletteIndex < 0) p.paletteIndex = app.palette.index;
  // An empty window offers the file dialog once per opening.
  if (!p.hasPicture() && !p.pickerShown && !reading) {
    p.pickerShown = true;
    pickPicture(app);
  }
  const float scale = Classic::Scale();
  // At least as wide as the options beside both previews (and a scroll bar
  // for a window too low for the options), where the program's window
  // has the room; else the window scrolls across.
  const ImGuiStyle& style = ImGui::GetStyle();
  const ImVec2 room = Widgets::NewWindowRoom();
  const float minWidth = std::min(room.x, kOptionsWidth * scale + style.ItemSpacing.x + kEmptyPreviewWidth +
                                              2 * style.WindowPadding.x + style.ScrollbarSize);
  const ImVec2 first = Widgets::FirstUseSize(kWindowWidth, kWindowHeight);
  ImGui::SetNextWindowSize(ImVec2(std::max(first.x, minWidth), first.y), ImGuiCond_FirstUseEver);
  ImGui::SetNextWindowSizeConstraints(ImVec2(minWidth, std::min(room.y, kMinHeight * scale)), ImVec2(FLT_MAX, FLT_MAX));
  bool open = true;
  if (!ImGui::Begin("Import PC image", &open, ImGuiWindowFlags_HorizontalScrollbar)) {
    ImGui::End();
    if (!open) closeImportPicture(app);
    return;
  }
  if (reading) {
    ImGui::AlignTextToFramePadding();  // level with the button after it
    // Past a second, the seconds the read has taken (the loop redraws while it runs).
    if (const int seconds = static_cast<int>(p.reading.seconds()); seconds >= 1)
      ImGui::Text("Reading picture... %d s", seconds);
    else
      ImGui::TextUnformatted("Reading picture...");
    ImGui::SameLine();
    ImGui::TextDisabled("%s", p.readingName.c_str());
    ImGui::SameLine();
    ImGui::PushID("read");  // the window's own "Cancel" is below
    if (ImGui::Button("Cancel")) cancelImportRead(app);
    ImGui::PopID();
  } else {
    if (ImGui::Button("Open image...")) pickPicture(app);
    ImGui::SameLine();
    ImGui::TextDisabled("%s", p.name.empty() ? "(no image)" : p.name.c_str());
  }

  // The previous picture stays in view, but nothing acts on it until the
  // new one is in.
  ImGui::BeginDisabled(reading);
  ImGui::BeginChild("##options", ImVec2(kOptionsWidth * scale, 0), ImGuiChildFlags_AutoResizeY);
  options(app, p);
  ImGui::EndChild();
  ImGui::SameLine();
  convertImportPicture(app);
  previews(p);

  ImGui::Spacing();
  // "OK" stores the shown result only once it is up to date.
  const bool converting = p.isConverting();
  ImGui::BeginDisabled(!p.hasPicture() || converting);
  bool ok = ImGui::Button("OK", Classic::ButtonSize(kButtonWidth));
  ImGui::EndDisabled();
  ImGui::SameLine();
  const bool cancel = ImGui::Button("Cancel", Classic::ButtonSize(kButtonWidth));
  ImGui::EndDisabled();
  if (p.autoOk && !p.dirty && !reading && !converting) {
    p.autoOk = false;
    ok = true;
  }
  ImGui::End();
  if (ok && p.hasPicture())
    acceptImportPicture(app);
  else if (cancel || !open)
    closeImportPicture(app);
}
