// Reading the saved window layout within its bounds.
#include "app/LayoutFile.h"

#include "platform/Platform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

constexpr const char* kBytesUnit = " bytes";
constexpr const char* kSectionsUnit = " sections";
constexpr const char* kMovedNote = "; moved to ";
constexpr const char* kDefaultNote = ", the default layout is used";
constexpr const char* kNotMovedNote = "; not loaded, and not moved to ";

// Renames the file aside and says so: what was found against its bound.
std::string setAside(const std::string& path, uint64_t found, uint64_t bound, const char* unit) {
  const std::string aside = path + kSetAsideSuffix;
  std::string line = path + ": " + std::to_string(found) + unit + ", more than " + std::to_string(bound);
  if (std::rename(path.c_str(), aside.c_str()) == 0) return line + kMovedNote + aside + kDefaultNote;
  return line + kNotMovedNote + aside + " (" + std::strerror(errno) + ")" + kDefaultNote;
}

}  // namespace

size_t countLayoutSections(const std::string& text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '[' && (i == 0 || text[i - 1] == '\n' || text[i - 1] == '\r')) ++n;
  return n;
}

std::string readLayoutFile(const std::string& path, std::string& text) {
  text.clear();
  // The size first: a file far too large is never read.
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxLayoutBytes) return setAside(path, size, kMaxLayoutBytes, kBytesUnit);
  std::vector<uint8_t> bytes;
  if (!Platform::readFile(path, bytes)) return {};
  // It may have grown since.
  if (bytes.size() > kMaxLayoutBytes) return setAside(path, bytes.size(), kMaxLayoutBytes, kBytesUnit);
  std::string read(bytes.begin(), bytes.end());
  const size_t sections = countLayoutSections(read);
  if (sections > kMaxLayoutSections) return setAside(path, sections, kMaxLayoutSections, kSectionsUnit);
  text = std::move(read);
  return {};
}
