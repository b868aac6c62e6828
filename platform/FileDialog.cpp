// The file dialog. Its state is one plain Dialog; the listing is read again
// when the directory may have changed, and only its visible rows are drawn,
// so a huge directory keeps the frame rate. Committing a
// name is a plain function so the rules (extension fix-up, overwrite
// confirmation, messages) hold without a window.
#include "platform/FileDialog.h"

#include "core/Ascii.h"

#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace FileIO {

Dialog g_dlg;

namespace {

// Sizes in font heights, so that they grow with the interface scale: at
// the 12-pixel font the dialog opens at 620 x 440 and its buttons are at
// least 100 pixels wide.
constexpr float kDialogWidth = 620.0f / 12;
constexpr float kDialogHeight = 440.0f / 12;
constexpr float kButtonWidth = 100.0f / 12;
// A new dialog keeps at least this far from the program window's edges.
constexpr float kDialogMargin = 60.0f;
constexpr const char* kPopupId = "##filedialog";
// Added to a failed save whose name is a loop of symbolic links (or a chain
// longer than the system follows).
const std::string kLinkLoopNote = std::string(" (") + Platform::kLinkLoopError + ")";
// An extension no ordinary file name has, so the chooser lists directories only.
const std::string kDirOnlyExt(1, '\x01');

const Filter kAllFiles{"All files", {}};

// While `draw` shows the dialog: where a commit leaves its completion, so
// that it runs after the pop-up has ended.
Commit* g_pending = nullptr;

void reset() { g_dlg = Dialog(); }

bool isDir(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

bool pathExists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec);
}

std::string parentOf(const fs::path& p) { return p.parent_path().string(); }

// Byte order with ASCII letters folded to lower case, bytes unsigned.
bool nameLess(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(asciiLower(x)) < static_cast<unsigned char>(asciiLower(y));
  });
}

}  // namespace

void setName(Dialog& d, const std::string& name) {
  const size_t n = std::min(name.size(), kNameBufSize - 1);
  std::memcpy(d.nameBuf, name.data(), n);
  d.nameBuf[n] = 0;
}

void open(const std::string& title, const std::vector<Filter>& filters,
          std::function<void(const std::string&, std::vector<uint8_t>&)> onOpen) {
  reset();
  g_dlg.isOpen = true;
  g_dlg.openPopup = true;
  g_dlg.title = title;
  g_dlg.filters = filters.empty() ? std::vector<Filter>{kAllFiles} : filters;
  g_dlg.dir = startDir();
  g_dlg.onOpen = std::move(onOpen);
}

void openPath(const std::string& title, const std::vector<Filter>& filters,
              std::function<void(const std::string&)> onPath) {
  open(title, filters, nullptr);
  g_dlg.onPath = std::move(onPath);
}

void chooseDirectory(const std::string& title, std::function<void(const std::string&)> onPath) {
  open(title, {Filter{"Directories", {kDirOnlyExt}}}, nullptr);
  g_dlg.dirMode = true;
  g_dlg.onPath = std::move(onPath);
}

void saveWith(const std::string& title, const std::string& defaultName,
              std::function<std::vector<uint8_t>(const std::string&)> producer,
              std::function<void(const std::string&)> onSaved) {
  reset();
  g_dlg.isOpen = true;
  g_dlg.saveMode = true;
  g_dlg.openPopup = true;
  g_dlg.title = title;
  g_dlg.defaultExt = extension(defaultName);
  if (!g_dlg.defaultExt.empty()) g_dlg.filters.push_back(Filter{"*." + g_dlg.defaultExt, {g_dlg.defaultExt}});
  g_dlg.filters.push_back(kAllFiles);
  g_dlg.dir = startDir();
  setName(g_dlg, defaultName);
  g_dlg.producer = std::move(producer);
  g_dlg.onSaved = std::move(onSaved);
}

void save(const std::string& title, const std::string& defaultName, std::vector<uint8_t> data,
          std::function<void(const std::string&)> onSaved) {
  auto shared = std::make_shared<std::vector<uint8_t>>(std::move(data));
  saveWith(title, defaultName, [shared](const std::string&) { return *shared; }, std::move(onSaved));
}

bool hasRealFiles() { return true; }

void accept() {
  // A commit may have written a file or entered a directory.
  g_dlg.listing.valid = false;
  Commit c = commitName(g_dlg);
  if (!c.close) return;
  g_dlg.isOpen = false;
  if (ImGui::GetCurrentContext()) ImGui::CloseCurrentPopup();
  if (g_pending) *g_pending = std::move(c);
  else if (c.call) c.call();
}

std::vector<std::pair<std::string, bool>> listDirectory(const std::string& dir, const Filter& filter) {
  std::vector<std::pair<std::string, bool>> out;
  std::error_code ec;
  fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
  if (ec) return out;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code sec;
    const bool dirEntry = fs::is_directory(it->path(), sec);  // follows links; an error counts as a file
    if (!dirEntry && !filter.exts.empty() &&
        std::find(filter.exts.begin(), filter.exts.end(), extension(name)) == filter.exts.end())
      continue;
    out.emplace_back(name, dirEntry);
  }
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
    if (a.second != b.second) return a.second;
    return nameLess(a.first, b.first);
  });
  return out;
}

namespace {

// Modification time of a directory in the file clock's ticks; 0 when it
// cannot be read.
int64_t modifiedStamp(const std::string& dir) {
  std::error_code ec;
  const auto t = fs::last_write_time(dir, ec);
  return ec ? 0 : static_cast<int64_t>(t.time_since_epoch().count());
}

// A change within this long of a read may share its time stamp on file
// systems with coarse times; such a listing is read once more.
constexpr auto kStampTrust = std::chrono::seconds(2);

}  // namespace

bool refreshListing(Listing& l, const std::string& dir, const Filter& filter, int filterIndex, double now) {
  const bool same = l.valid && l.dir == dir && l.filterIndex == filterIndex;
  if (same && now - l.checkedAt < kListingRecheck) return false;
  const int64_t stamp = modifiedStamp(dir);
  l.checkedAt = now;
  if (same && stamp == l.stamp && !l.stampRecent) return false;
  l.entries = listDirectory(dir, filter);
  l.valid = true;
  l.dir = dir;
  l.filterIndex = filterIndex;
  l.stamp = stamp;
  const auto age = fs::file_time_type::clock::now() - fs::file_time_type(fs::file_time_type::duration(stamp));
  l.stampRecent = age < kStampTrust;
  return true;
}

Commit commitName(Dialog& d) {
  Commit result;
  const std::string name = d.nameBuf;
  if (name.empty()) return result;
  fs::path full = name[0] == '/' ? fs::path(name) : fs::path(d.dir) / name;

  if (isDir(full)) {
    std::error_code ec;
    fs::path canon = fs::weakly_canonical(full, ec);
    d.dir = ec ? full.lexically_normal().string() : canon.string();
    d.nameBuf[0] = 0;
    return result;
  }

  if (d.onPath) {
    if (!pathExists(full)) {
      d.error = "File not found";
      return result;
    }
    // A directory chooser must never hand its caller a file.
    if (d.dirMode) {
      d.error = "Not a directory";
      return result;
    }
    g_lastDir = parentOf(full);
    auto cb = d.onPath;
    const std::string path = full.string();
    result.close = true;
    result.call = [cb, path] { cb(path); };
    return result;
  }

  if (d.saveMode) {
    if (!d.defaultExt.empty() && extension(full.string()) != d.defaultExt)
      full.replace_extension("." + d.defaultExt);
    if (pathExists(full) && !d.overwriteArmed) {
      d.overwriteArmed = true;
      d.error = full.filename().string() + " exists. Press Save again to overwrite.";
      return result;
    }
    const std::string path = full.string();
    const std::vector<uint8_t> bytes = d.producer ? d.producer(path) : std::vector<uint8_t>{};
    const std::string why = Platform::writeFileError(path, bytes);
    if (!why.empty()) {
      d.error = "Couldn't open file for writing!";
      // The one failure the name itself causes: say so, or the user would
      // look for a full disk or a missing permission.
      if (why == Platform::kLinkLoopError) d.error += kLinkLoopNote;
      return result;
    }
    g_lastDir = parentOf(full);
    result.close = true;
    if (d.onSaved) {
      auto cb = d.onSaved;
      result.call = [cb, path] { cb(path); };
    }
    return result;
  }

  auto bytes = std::make_shared<std::vector<uint8_t>>();
  if (!Platform::readFile(full.string(), *bytes)) {
    d.error = "Couldn't open file!";
    return result;
  }
  g_lastDir = parentOf(full);
  result.close = true;
  if (d.onOpen) {
    auto cb = d.onOpen;
    const std::string path = full.string();
    result.call = [cb, path, bytes] { cb(path, *bytes); };
  }
  return result;
}

namespace {

// The rows of the listing that are in view; returns the name of a clicked
// directory (entered by the caller once the rows are drawn), else "".
std::string drawEntries(const std::vector<std::pair<std::string, bool>>& entries) {
  std::string enter;
  ImGuiListClipper clipper;
  clipper.Begin(static_cast<int>(entries.size()));
  while (clipper.Step()) {
    for (int row = clipper.DisplayStart; row < clipper.DisplayEnd; ++row) {
      const auto& [name, isDirectory] = entries[row];
      ImGui::PushID(row);
      if (isDirectory) {
        const std::string label = "[" + name + "]";
        if (ImGui::Selectable(label.c_str(), false, ImGuiSelectableFlags_AllowDoubleClick)) enter = name;
      } else {
        const bool selected = name == g_dlg.nameBuf;
        if (ImGui::Selectable(name.c_str(), selected, ImGuiSelectableFlags_AllowDoubleClick)) {
          setName(g_dlg, name);
          g_dlg.overwriteArmed = false;
          if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) accept();
        }
      }
      ImGui::PopID();
    }
  }
  return enter;
}

// A button at least kButtonWidth wide, or as wide as its label needs.
bool button(const char* label) {
  const float text = ImGui::CalcTextSize(label, nullptr, true).x + 2 * ImGui::GetStyle().FramePadding.x;
  return ImGui::Button(label, ImVec2(std::max(kButtonWidth * ImGui::GetFontSize(), text), 0));
}

}  // namespace

void draw() {
  if (!g_dlg.isOpen) return;
  if (g_dlg.openPopup) {
    ImGui::OpenPopup(kPopupId);
    g_dlg.openPopup = false;
  }
  const ImGuiViewport* vp = ImGui::GetMainViewport();
  const float font = ImGui::GetFontSize();
  // Never larger than the program's window leaves room for, down to half
  // its size.
  const auto fit = [](float want, float room) { return std::min(want, std::max(room - 2 * kDialogMargin, want / 2)); };
  ImGui::SetNextWindowSize(ImVec2(fit(kDialogWidth * font, vp->Size.x), fit(kDialogHeight * font, vp->Size.y)),
                           ImGuiCond_Appearing);
  ImGui::SetNextWindowPos(vp->GetCenter(), ImGuiCond_Appearing, ImVec2(0.5f, 0.5f));

  bool keepOpen = true;
  if (!ImGui::BeginPopupModal(kPopupId, &keepOpen, ImGuiWindowFlags_NoSavedSettings)) {
    if (!keepOpen) g_dlg.isOpen = false;
    return;
  }

  Commit pending;
  auto close = [&] {
    g_dlg.isOpen = false;
    ImGui::CloseCurrentPopup();
  };
  g_pending = &pending;

  // The dialog may open from the keyboard (the monitor's save is sent with
  // Return) with the navigation cursor still shown from before; it would
  // land on "Up", and the next Return would press it. So the name field
  // takes the keyboard when the dialog appears, and no button has the
  // cursor until the user moves it there: Return accepts the name as typed.
  const bool appearing = ImGui::IsWindowAppearing();

  ImGui::TextUnformatted(g_dlg.title.c_str());
  ImGui::Separator();

  if (ImGui::Button("Up")) {
    fs::path p(g_dlg.dir);
    if (p.has_relative_path()) {
      fs::path parent = p.has_filename() ? p.parent_path() : p.parent_path().parent_path();
      g_dlg.dir = parent.string();
    }
  }
  ImGui::SameLine();
  if (ImGui::Button("Home")) {
    const char* home = std::getenv("HOME");
    if (home && *home) g_dlg.dir = home;
  }
  ImGui::SameLine();
  ImGui::TextWrapped("%s", g_dlg.dir.c_str());

  const int filterIndex = std::clamp<int>(g_dlg.filterIndex, 0, (int)g_dlg.filters.size() - 1);
  const Filter& filter = g_dlg.filters[filterIndex];
  refreshListing(g_dlg.listing, g_dlg.dir, filter, filterIndex, ImGui::GetTime());
  float listHeight = ImGui::GetContentRegionAvail().y - 3 * ImGui::GetFrameHeightWithSpacing();
  if (!g_dlg.error.empty()) listHeight -= ImGui::GetTextLineHeightWithSpacing();
  // Long names scroll across.
  if (ImGui::BeginChild("##files", ImVec2(0, listHeight), ImGuiChildFlags_Borders,
                        ImGuiWindowFlags_HorizontalScrollbar)) {
    const std::string enter = drawEntries(g_dlg.listing.entries);
    if (!enter.empty()) {
      g_dlg.dir = (fs::path(g_dlg.dir) / enter).string();
      g_dlg.overwriteArmed = false;
    }
  }
  ImGui::EndChild();

  // The filter box is as wide as its longest name (and its arrow); the
  // name field takes the rest.
  const ImGuiStyle& style = ImGui::GetStyle();
  float filterWidth = 0;
  for (const Filter& f : g_dlg.filters) filterWidth = std::max(filterWidth, ImGui::CalcTextSize(f.name.c_str()).x);
  filterWidth += 2 * style.FramePadding.x + ImGui::GetFrameHeight();
  ImGui::SetNextItemWidth(std::max(1.0f, ImGui::GetContentRegionAvail().x - style.ItemSpacing.x - filterWidth));
  if (appearing) ImGui::SetKeyboardFocusHere();
  if (ImGui::InputText("##name", g_dlg.nameBuf, kNameBufSize, ImGuiInputTextFlags_EnterReturnsTrue)) {
    if (g_dlg.isOpen) accept();
    // Enter ends the field's editing; when the dialog stays (a directory
    // was entered, or a message asks for another name) the typing goes on.
    if (g_dlg.isOpen) ImGui::SetKeyboardFocusHere(-1);
  }
  if (ImGui::IsItemEdited()) g_dlg.overwriteArmed = false;
  ImGui::SameLine();
  ImGui::SetNextItemWidth(filterWidth);
  if (ImGui::BeginCombo("##filter", filter.name.c_str())) {
    for (int i = 0; i < static_cast<int>(g_dlg.filters.size()); ++i) {
      if (ImGui::Selectable(g_dlg.filters[i].name.c_str(), i == g_dlg.filterIndex)) g_dlg.filterIndex = i;
    }
    ImGui::EndCombo();
  }

  if (!g_dlg.error.empty()) ImGui::TextColored(ImVec4(0.8f, 0, 0, 1), "%s", g_dlg.error.c_str());

  if (g_dlg.dirMode) {
    if (button("Use this directory") && g_dlg.isOpen) {
      g_lastDir = g_dlg.dir;
      auto cb = g_dlg.onPath;
      const std::string dir = g_dlg.dir;
      close();
      if (cb) pending.call = [cb, dir] { cb(dir); };
    }
  } else {
    if (button(g_dlg.saveMode ? "Save" : "Open") && g_dlg.isOpen) accept();
  }
  ImGui::SameLine();
  if ((button("Cancel") || ImGui::IsKeyPressed(ImGuiKey_Escape, true)) &&
      g_dlg.isOpen) {
    close();
  }
  ImGui::EndPopup();
  g_pending = nullptr;
  if (!keepOpen) g_dlg.isOpen = false;
  if (pending.call) pending.call();
}

}  // namespace FileIO
