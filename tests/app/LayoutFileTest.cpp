// The saved window layout's bounds: sections counted as Dear ImGui splits
// lines, files at the bounds loaded, files past them renamed aside with
// one line to report.
#include "app/LayoutFile.h"

#include "tests/disk/DiskTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

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
  const struct {
    const char* what;
    std::optional<std::string> content;  // none: no file
    bool asideIsDirectory;                // the rename has to fail
    std::string message;                  // empty: loaded as it is
  } kCases[] = {
      {"no file", std::nullopt, false, ""},
      {"a real layout", layout(30), false, ""},
      {"as many sections as allowed", layout(kMaxLayoutSections), false, ""},
      {"one more", layout(kMaxLayoutSections + 1), false, sectionsOver + moved},
      {"as large as allowed", layout(1, kMaxLayoutBytes), false, ""},
      {"one byte more", layout(1, kMaxLayoutBytes + 1), false, bytesOver + moved},
      {"the name aside taken by a directory", layout(kMaxLayoutSections + 1), true,
       sectionsOver + "; not loaded, and not moved to " + aside + " (Is a directory), the default layout is used"},
  };
  for (const auto& c : kCases) {
    fs::remove_all(path);
    fs::remove_all(aside);
    const std::string content = c.content.value_or("");
    const std::vector<unsigned char> bytes(content.begin(), content.end());
    if (c.content) disktest::writeBytes(path, bytes);
    if (c.asideIsDirectory) fs::create_directories(fs::path(aside) / "keep");
    else disktest::writeBytes(aside, {'o', 'l', 'd'});  // an earlier one is replaced
    std::string text = "stale";
    EXPECT_EQ(readLayoutFile(path, text), c.message) << c.what;
    const bool loaded = c.message.empty(), movedAside = !loaded && !c.asideIsDirectory;
    EXPECT_EQ(text, loaded ? content : "") << c.what;
    EXPECT_EQ(fs::exists(path), c.content && !movedAside) << c.what;
    EXPECT_TRUE(!movedAside || disktest::readBytes(aside) == bytes) << c.what;
  }
}

}  // namespace
