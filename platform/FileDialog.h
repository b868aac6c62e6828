// The one open/save/directory dialog of the process, drawn with Dear ImGui
// over the host file system. Entry points only fill in the dialog; `draw`
// runs once per frame and, in the frame the user confirms, reads or writes
// the file itself and then calls the caller's completion.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace FileIO {

struct Filter {
  std::string name;
  std::vector<std::string> exts;  // lower case, no dot; empty = every file
};

constexpr size_t kNameBufSize = 512;
// How often, in seconds, a shown listing checks whether its directory
// changed on disk.
constexpr double kListingRecheck = 1.0;

// The entries the dialog shows, read from the file system only when they
// may have changed, so that a directory of many thousands of files does
// not slow every frame down: another directory or filter, a committed name
// (`valid` cleared), or, checked at most once a second, a new modification
// time of the directory.
struct Listing {
  bool valid = false;
  std::string dir;
  int filterIndex = 0;
  double checkedAt = 0;       // dialog time of the last read or check
  int64_t stamp = 0;          // modification time of dir at the last read
  bool stampRecent = false;   // it was too close to the read to trust
  std::vector<std::pair<std::string, bool>> entries;
};

struct Dialog {
  bool isOpen = false;
  bool saveMode = false;
  bool openPopup = false;
  std::string title;
  std::vector<Filter> filters;
  int filterIndex = 0;
  std::string dir;
  char nameBuf[kNameBufSize] = {};
  std::string defaultExt;
  std::function<void(const std::string&, std::vector<uint8_t>&)> onOpen;
  std::function<void(const std::string&)> onPath;
  bool dirMode = false;
  std::function<std::vector<uint8_t>(const std::string&)> producer;
  std::function<void(const std::string&)> onSaved;
  std::string error;
  bool overwriteArmed = false;
  Listing listing;
};

extern Dialog g_dlg;

void open(const std::string& title, const std::vector<Filter>& filters,
          std::function<void(const std::string&, std::vector<uint8_t>&)> onOpen);
void openPath(const std::string& title, const std::vector<Filter>& filters,
              std::function<void(const std::string&)> onPath);
void chooseDirectory(const std::string& title, std::function<void(const std::string&)> onPath);
void saveWith(const std::string& title, const std::string& defaultName,
              std::function<std::vector<uint8_t>(const std::string&)> producer,
              std::function<void(const std::string&)> onSaved);
void save(const std::string& title, const std::string& defaultName, std::vector<uint8_t> data,
          std::function<void(const std::string&)> onSaved);
void draw();
bool hasRealFiles();
// Commits the name in the name field of the one dialog. When that ends the
// dialog it closes it and runs the completion once closed: inside `draw`
// after the pop-up has ended, otherwise at once.
void accept();

// What committing the name field asks of the frame: close the dialog, and
// the completion to run once it is closed (may be empty).
struct Commit {
  bool close = false;
  std::function<void()> call;
};
// Commits the name field of `d` (reads or writes the file, sets the error,
// arms the overwrite); touches no window. `draw` closes the pop-up and runs
// the completion after it.
Commit commitName(Dialog& d);
// The name field replaced (at most 511 bytes).
void setName(Dialog& d, const std::string& name);

// One frame's listing of `dir`: directories first, then the files the
// filter accepts; names starting with '.' are left out.
std::vector<std::pair<std::string, bool>> listDirectory(const std::string& dir, const Filter& filter);

// Brings `l` up to date for `dir` and `filter` (number `filterIndex`) at
// dialog time `now` in seconds, reading the directory only when the rule
// above asks for it. Returns true when it was read.
bool refreshListing(Listing& l, const std::string& dir, const Filter& filter, int filterIndex, double now);

}  // namespace FileIO
