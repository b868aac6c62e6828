// The saved window layout's bounds: sections counted as Dear ImGui splits
// lines, files at the bounds loaded, files past them renamed aside with
// one line to report.
#include "app/LayoutFile.h"

#include "tests/disk/DiskTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <tuple>

namespace {

namespace fs = std::filesystem;

// `n` window sections, padded by a comment line to `size` bytes when given.
std::string layout(size_t n, size_t size = 0) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text += "[Window][W" + std::to_string(i) + "]\nPos=0,0\n";
  return size ? text + ";" + std::string(size - text.size() - 2, 'x') + "\n" : text;
}

TEST(LayoutFile, SectionsCountAsDearImGuiSplitsLines) {
  const std::pair<std::string, size_t> cases[] = {
      {"", 0},
      {"[Window][Screen]\nPos=0,0\n", 1},
      {"[Window][a]\r[Table][0x1,2]\r\n\n[Docking][Data]", 3},  // '\r' ends a line too
      {" [Window][a]\nx[Window][b]\nPos=[1]\n", 0},            // not at a line's start
      {"[Window][a][b]\n[\n", 2},                              // every '[' line, even unreadable ones
  };
  for (const auto& [text, n] : cases) EXPECT_EQ(countLayoutSections(text), n) << text;
}

TEST(LayoutFile, FilesPastTheBoundsAreSetAside) {
  disktest::TempDir t;
  const std::string path = t.file("imgui.ini"), aside = path + ".bad";
  const std::string moved = "; moved to " + aside + ", the default layout is used";
  const std::string bytesOver = path + ": 1048577 bytes, more than 1048576";
  const std::string sectionsOver = path + ": 4097 sections, more than 4096";
  // What, the file (none: no file), whether a directory has the name aside (the rename has to fail), and the
  // message (empty: loaded as it is).
  const std::tuple<const char*, std::optional<std::string>, bool, std::string> kCases[] = {
      {"no file", std::nullopt, false, ""},
      {"a real layout", layout(30), false, ""},
      {"as many sections as allowed", layout(kMaxLayoutSections), false, ""},
      {"one more", layout(kMaxLayoutSections + 1), false, sectionsOver + moved},
      {"as large as allowed", layout(1, kMaxLayoutBytes), false, ""},
      {"one byte more", layout(1, kMaxLayoutBytes + 1), false, bytesOver + moved},
      {"the name aside taken by a directory", layout(kMaxLayoutSections + 1), true,
       sectionsOver + "; not loaded, and not moved to " + aside + " (Is a directory), the default layout is used"},
  };
  for (const auto& [what, file, asideIsDirectory, message] : kCases) {
    fs::remove_all(path);
    fs::remove_all(aside);
    const std::string content = file.value_or("");
    const std::vector<unsigned char> bytes(content.begin(), content.end());
    if (file) disktest::writeBytes(path, bytes);
    if (asideIsDirectory) fs::create_directories(fs::path(aside) / "keep");
    else disktest::writeBytes(aside, {'o', 'l', 'd'});  // an earlier one is replaced
    std::string text = "stale";
    EXPECT_EQ(readLayoutFile(path, text), message) << what;
    const bool loaded = message.empty(), movedAside = !loaded && !asideIsDirectory;
    EXPECT_EQ(text, loaded ? content : "") << what;
    EXPECT_EQ(fs::exists(path), file && !movedAside) << what;
    EXPECT_TRUE(!movedAside || disktest::readBytes(aside) == bytes) << what;
  }
}

}  // namespace
