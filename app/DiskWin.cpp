// The "Mount disk" window and the rules behind its buttons. All disk work
// is the drive's; loads go through FileFormats and App::change.
#include "app/DiskWin.h"

#include "app/App.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "core/Ascii.h"
#include "core/FileFormats.h"
#include "core/FileUtil.h"
#include "disk/DriveMounts.h"
#include "platform/FileDialog.h"

#include <imgui.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

constexpr float kWindowWidth = 560;  // first use, grown with the interface scale
constexpr float kWindowHeight = 520;
constexpr float kNewDiskButtonWidth = 100;  // the new-disk pop-up's buttons
constexpr float kBlocksColumnWidth = 50;
constexpr float kTypeColumnWidth = 40;
constexpr float kFrameLinesBelowTable = 5.5f;
// The listing keeps this many rows (and its header) where the window is
// too low for them; the window scrolls instead.
constexpr int kMinTableRows = 3;
constexpr float kFormatComboWidth = 200;
constexpr float kSaveNameWidth = 150;
constexpr float kAddressFieldWidth = 56;

std::vector<FileIO::Filter> imageFilters() { return {{"D64 image (*.d64)", {"d64"}}, {"All files", {}}}; }

void show(App& app, const Actions::Outcome& outcome) {
  if (outcome) app.message(outcome->title, outcome->text);
}

}  // namespace

SaveRange presetRange(const Machine& m, RangePreset preset) {
  switch (preset) {
    case RangePreset::Bitmap: {
      const int start = static_cast<int>(m.bitmapAddr());
      return {start, start + kBitmapSize};
    }
    case RangePreset::VideoMatrix: {
      const int start = static_cast<int>(m.screenAddr());
      return {start, start + kScreenCells};
    }
    case RangePreset::ColorMemory: return {kColorRam, kColorRam + kScreenCells};
    case RangePreset::Charset: {
      const int start = static_cast<int>(m.charsetAddr());
      return {start, start + kCharsetSize};
    }
  }
  return {};
}

Actions::Outcome mountImageFromWindow(App& app, int drive, const std::string& path) {
  if (mountImageOn(app.drives, kDriveCount, drive, path)) return std::nullopt;
  return Actions::Message{"Error", "Could not mount D64-file: " + app.drives[drive].error};
}

Actions::Message loadFileFromDisk(App& app, DiskDrive& drive, int row) {
  std::vector<unsigned char> bytes;
  if (!drive.readFile(row, bytes)) return {"Error", drive.error};
  int address = 0;
  int count = 0;
  app.change(UndoStep::of(UndoKind::All, kLoadFileLabel),
             [&] { count = FileFormats::loadPrg(app.machine, bytes, address); });
  char text[Actions::kMessageBufSize];
  std::snprintf(text, sizeof text, "$%04X bytes written from $%04X to $%04X", count, address, address + count);
  return {"Info", text};
}

Actions::Outcome loadImageFromDisk(App& app, DiskDrive& drive, int row, int format) {
  std::vector<unsigned char> bytes;
  if (!drive.readFile(row, bytes)) return Actions::Message{"Error", drive.error};
  bool loaded = false;
  app.change(UndoStep::of(UndoKind::All, kLoadImageLabel),
             [&] { loaded = FileFormats::load(app.machine, format, bytes); });
  if (loaded) return std::nullopt;
  return Actions::Message{"Error", "Error"};
}

Actions::Outcome saveToDisk(const Machine& m, DiskDrive& drive, const std::string& name, int start, int end) {
  if (end <= start) return Actions::Message{"Error", "The end address must be after the start address."};
  if (!drive.writeFile(toUpperAscii(name), FileFormats::savePrg(m, start, end - start))) return Actions::Message{"Error", drive.error};
  return std::nullopt;
}

std::string newImageFileName(const std::string& diskName) {
  return toLowerAscii(diskName + ".d64");
}

Actions::Outcome readImageCopy(const std::string& path, std::vector<uint8_t>& bytes) {
  errno = 0;
  if (!readWholeFile(path, bytes)) {
    const std::string reason = errno ? std::strerror(errno) : "read error";
    bytes.clear();
    return Actions::Message{"Error", "Could not read the disk image " + path + ": " + reason};
  }
  // The drive mounted the file at one of these sizes; anything else is no
  // longer the image (replaced, cut short, or not a plain file).
  const long size = static_cast<long>(bytes.size());
  if (size != kD64Size && size != kD64SizeErrorBytes) {
    bytes.clear();
    return Actions::Message{"Error", "Could not read the disk image " + path + ": it now holds " +
                                         std::to_string(size) + " bytes, not a D64 image"};
  }
  return std::nullopt;
}

void forgetSelectionOnNewMedium(const DiskDrive& drive, SeenMedium& seen, int& selected) {
  if (drive.mode == seen.mode && drive.path == seen.path) return;
  seen = {drive.mode, drive.path};
  selected = -1;
}

namespace {

struct WindowState {
  int selected[kDriveCount] = {-1, -1, -1, -1};
  SeenMedium seen[kDriveCount];
  char newName[kDiskNameChars + 1] = "TILVOX";
  char newId[kDiskIdChars + 1] = "01";
  int formatIdx = 0;
  char saveName[kDiskNameChars + 1] = "PICTURE";
  int saveStart = kDefaultSaveStart;
  int saveEnd = kDefaultSaveEnd;
};

void newImagePopup(App& app, WindowState& st) {
  if (!ImGui::BeginPopupModal("New D64", nullptr, ImGuiWindowFlags_AlwaysAutoResize)) return;
  ImGui::InputText("Disk name", st.newName, sizeof st.newName, ImGuiInputTextFlags_CharsUppercase);
  ImGui::InputText("ID", st.newId, sizeof st.newId, ImGuiInputTextFlags_CharsUppercase);
  if (ImGui::Button("Create", Classic::ButtonSize(kNewDiskButtonWidth))) {
    std::vector<unsigned char> image = DiskDrive::blankD64(st.newName, st.newId);
    FileIO::save("Create D64 image", newImageFileName(st.newName), std::vector<uint8_t>(image.begin(), image.end()),
                 [&app](const std::string&) {
                   app.message("New disk", "Disk image created. Mount it with \"Mount D64...\".");
                 });
    ImGui::CloseCurrentPopup();
  }
  ImGui::SameLine();
  if (ImGui::Button("Cancel", Classic::ButtonSize(kNewDiskButtonWidth))) ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
}

void driveButtons(App& app, WindowState& st, int i) {
  DiskDrive& drive = app.drives[i];
  if (ImGui::Button("Mount D64..."))
    FileIO::openPath("Mount D64 image", imageFilters(), [&app, &st, i](const std::string& path) {
      show(app, mountImageFromWindow(app, i, path));
      st.selected[i] = -1;
    });
  ImGui::SameLine();
  if (ImGui::Button("Mount directory..."))
    FileIO::chooseDirectory("Mount directory (.prg files)", [&app, &st, i](const std::string& path) {
      if (!app.drives[i].mountDirectory(path)) app.message("Error", app.drives[i].error);
      st.selected[i] = -1;
    });
  ImGui::SameLine();
  if (ImGui::Button("New D64...")) ImGui::OpenPopup("New D64");
  newImagePopup(app, st);
  if (drive.mode != DriveMode::None) {
    ImGui::SameLine();
    if (ImGui::Button("Unmount")) {
      drive.unmount();
      st.selected[i] = -1;
    }
  }
  if (drive.mode == DriveMode::Image) {
    ImGui::SameLine();
    if (ImGui::Button("Save copy...")) {
      std::vector<uint8_t> bytes;
      if (const Actions::Outcome failed = readImageCopy(drive.path, bytes))
        show(app, failed);
      else
        FileIO::save("Save D64 image", FileIO::baseName(drive.path), std::move(bytes), nullptr);
    }
  }
}

// The listing, fetched anew each frame; returns its length.
int fileTable(DiskDrive& drive, int& selected) {
  const std::vector<DiskDrive::Entry> files = drive.list();
  const int count = static_cast<int>(files.size());
  const float line = ImGui::GetFrameHeightWithSpacing();
  const float height =
      std::max(ImGui::GetContentRegionAvail().y - kFrameLinesBelowTable * line, (kMinTableRows + 1) * line);
  const ImGuiTableFlags flags =
      ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersOuter | ImGuiTableFlags_ScrollY;
  if (!ImGui::BeginTable("files", 3, flags, ImVec2(0, height))) return count;
  const float s = Classic::Scale();
  ImGui::TableSetupScrollFreeze(0, 1);
  ImGui::TableSetupColumn("Blocks", ImGuiTableColumnFlags_WidthFixed, kBlocksColumnWidth * s);
  ImGui::TableSetupColumn("Name", ImGuiTableColumnFlags_WidthStretch);
  ImGui::TableSetupColumn("Type", ImGuiTableColumnFlags_WidthFixed, kTypeColumnWidth * s);
  ImGui::TableHeadersRow();
  for (size_t r = 0; r < files.size(); ++r) {
    const DiskDrive::Entry& e = files[r];
    const int row = static_cast<int>(r);
    ImGui::TableNextRow();
    ImGui::TableNextColumn();
    const std::string label = std::to_string(e.blocks) + "##f" + std::to_string(row);
    if (ImGui::Selectable(label.c_str(), selected == row, ImGuiSelectableFlags_SpanAllColumns)) selected = row;
    ImGui::TableNextColumn();
    ImGui::Text("\"%s\"", displayName(e.name).c_str());
    ImGui::TableNextColumn();
    ImGui::TextUnformatted(DiskDrive::typeName(e.type));
  }
  ImGui::EndTable();
  return count;
}

void loadControls(App& app, WindowState& st, DiskDrive& drive, int i, int fileCount) {
  const int row = st.selected[i];
  ImGui::BeginDisabled(row < 0 || row >= fileCount);
  if (ImGui::Button("Load")) {
    const Actions::Message m = loadFileFromDisk(app, drive, row);
    app.message(m.title, m.text);
  }
  ImGui::SameLine();
  ImGui::SetNextItemWidth(kFormatComboWidth * Classic::Scale());
  if (ImGui::BeginCombo("##fmt", FileFormats::name(st.formatIdx).c_str())) {
    for (int f = 0; f < FileFormats::count(); ++f)
      if (ImGui::Selectable(FileFormats::name(f).c_str(), f == st.formatIdx)) st.formatIdx = f;
    ImGui::EndCombo();
  }
  // The tooltips show also while the controls are disabled.
  if (ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled))
    ImGui::SetTooltip("%s", FileFormats::information(st.formatIdx).c_str());
  ImGui::SameLine();
  if (ImGui::Button("Load as image")) show(app, loadImageFromDisk(app, drive, row, st.formatIdx));
  ImGui::EndDisabled();
}

void saveControls(App& app, WindowState& st, DiskDrive& drive) {
  const float s = Classic::Scale();
  ImGui::BeginDisabled(drive.readOnly());
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted("Name");
  ImGui::SameLine();
  ImGui::SetNextItemWidth(kSaveNameWidth * s);
  ImGui::InputText("##savename", st.saveName, sizeof st.saveName, ImGuiInputTextFlags_CharsUppercase);
  ImGui::SameLine();
  ImGui::TextUnformatted("From $");
  ImGui::SameLine();
  Widgets::HexWordInput("##from", st.saveStart, kAddressFieldWidth * s);
  ImGui::SameLine();
  ImGui::TextUnformatted("to $");
  ImGui::SameLine();
  Widgets::HexEndInput("##to", st.saveEnd, kAddressFieldWidth * s);
  ImGui::SameLine();
  if (ImGui::Button("Save to disk")) show(app, saveToDisk(app.machine, drive, st.saveName, st.saveStart, st.saveEnd));
  if (ImGui::IsItemHovered(ImGuiHoveredFlags_AllowWhenDisabled)) ImGui::SetTooltip("Prefix the name with @: to replace an existing file");
  ImGui::EndDisabled();

  struct Preset {
    const char* label;
    RangePreset preset;
  };
  static const Preset kPresets[] = {{"Bitmap", RangePreset::Bitmap},
                                    {"Video matrix", RangePreset::VideoMatrix},
                                    {"Color memory", RangePreset::ColorMemory},
                                    {"Charset", RangePreset::Charset}};
  for (const Preset& p : kPresets) {
    if (&p != kPresets) ImGui::SameLine();
    if (ImGui::SmallButton(p.label)) {
      const SaveRange range = presetRange(app.machine, p.preset);
      st.saveStart = range.start;
      st.saveEnd = range.end;
    }
  }
}

void driveTab(App& app, WindowState& st, int i) {
  DiskDrive& drive = app.drives[i];
  forgetSelectionOnNewMedium(drive, st.seen[i], st.selected[i]);
  driveButtons(app, st, i);
  ImGui::Separator();
  if (drive.mode == DriveMode::None) {
    ImGui::TextDisabled("Not mounted");
    return;
  }
  ImGui::Text("Disc mounted (%s)", drive.readOnly() ? "read only" : "read+write");
  ImGui::TextDisabled("%s", drive.path.c_str());
  ImGui::Text("\"%-16s\" %s", displayName(drive.diskName()).c_str(), displayName(drive.diskId()).c_str());
  const int count = fileTable(drive, st.selected[i]);
  loadControls(app, st, drive, i, count);
  ImGui::Separator();
  saveControls(app, st, drive);
}

}  // namespace

void drawMountDisk(App& app) {
  static WindowState st;
  Widgets::SetFirstUseSize(kWindowWidth, kWindowHeight);
  // A window narrower than its rows of controls scrolls across to them.
  if (!ImGui::Begin("Mount disk", &app.showMountDisk, ImGuiWindowFlags_HorizontalScrollbar)) {
    ImGui::End();
    return;
  }
  if (ImGui::BeginTabBar("##drives")) {
    for (int i = 0; i < kDriveCount; ++i) {
      char label[16];
      std::snprintf(label, sizeof label, "Device %d", kFirstDevice + i);
      if (!ImGui::BeginTabItem(label)) continue;
      ImGui::PushID(kFirstDevice + i);
      driveTab(app, st, i);
      ImGui::PopID();
      ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
  }
  ImGui::End();
}
