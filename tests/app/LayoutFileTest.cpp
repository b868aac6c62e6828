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

// A layout of `n` window sections.
std::string windows(size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text += "[Window][W" + std::to_string(i) + "]\nPos=0,0\n";
  return text;
}

// One section padded to exactly `size` bytes with a comment line.
std::string ofSize(size_t size) {
  const std::string head = "[Window][Screen]\n;";
  return head + std::string(size - head.size() - 1, 'x') + "\n";
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
      {"a real layout", windows(30), false, ""},
      {"as many sections as allowed", windows(kMaxLayoutSections), false, ""},
      {"one more", windows(kMaxLayoutSections + 1), false, sectionsOver + moved},
      {"as large as allowed", ofSize(kMaxLayoutBytes), false, ""},
      {"one byte more", ofSize(kMaxLayoutBytes + 1), false, bytesOver + moved},
      {"the name aside taken by a directory", windows(kMaxLayoutSections + 1), true,
       sectionsOver + "; not loaded, and not moved to " + aside + " (Is a directory), the default layout is used"},
  };
  for (const auto& c : kCases) {
    fs::remove_all(path);
    fs::remove_all(aside);
    if (c.content) disktest::writeBytes(path, std::vector<unsigned char>(c.content->begin(), c.content->end()));
    if (c.asideIsDirectory) fs::create_directories(fs::path(aside) / "keep");
    else disktest::writeBytes(aside, {'o', 'l', 'd'});  // an earlier one is replaced
    std::string text = "stale";
    EXPECT_EQ(readLayoutFile(path, text), c.message) << c.what;
    const bool loaded = c.message.empty();
    EXPECT_EQ(text, loaded ? c.content.value_or("") : "") << c.what;
    const bool movedAside = !loaded && !c.asideIsDirectory;
    EXPECT_EQ(fs::exists(path), c.content && !movedAside) << c.what;
    if (movedAside) {
      const std::vector<unsigned char> kept = disktest::readBytes(aside);
      EXPECT_EQ(std::string(kept.begin(), kept.end()), *c.content) << c.what;
    }
  }
}

}  // namespace
