// The assets of the help and about windows: the guide names every window
// and uses the heading markers the help window draws, and the two about
// pictures decode (with stb_image, the decoder the program uses) to
// pictures drawn in whole blocks of their text source.
#include "core/FileUtil.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string helpText() {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(readWholeFile(TILVOX_TEST_ASSET_DIR "/help.txt", bytes));
  return {bytes.begin(), bytes.end()};
}

TEST(AboutAndHelp, TheGuideHasSectionsForEveryWindow) {
  const std::string text = helpText();
  // Section headings the help window draws as titled separators.
  const char* const sections[] = {"Second view", "Registers", "Memory bitmap", "Sprites", "Character sets",
                                  "Calc converter", "Preferences", "Monitor", "Processor", "Assembler",
                                  "Mount disk", "Import PC image", "Files", "The Screen window"};
  for (const char* s : sections) EXPECT_NE(text.find("\n## " + std::string(s) + "\n"), std::string::npos) << s;
  EXPECT_TRUE(text.starts_with("## "));
  EXPECT_NE(text.find("\n### "), std::string::npos);
  // Shortcuts a user looks up.
  for (const char* key : {"F1", "Ctrl+Alt+P", "Ctrl+Alt+E", "Ctrl+Alt+G", "Ctrl+Z", "F9", "F7", "F5"})
    EXPECT_NE(text.find(key), std::string::npos) << key;
  // The interface font covers only ASCII and Latin-1: keep the guide ASCII.
  for (unsigned char c : text) ASSERT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
}

TEST(AboutAndHelp, AboutPicturesDecodeInWholeBlocks) {
  struct Case {
    const char* file;
    int width, height, block;
  };
  const Case cases[] = {{"limit.bmp", 120, 168, 3}, {"vesk.bmp", 128, 96, 2}};
  for (const Case& c : cases) {
    const std::string path = std::string(TILVOX_TEST_ASSET_DIR) + "/" + c.file;
    int w = 0, h = 0, n = 0;
    stbi_uc* px = stbi_load(path.c_str(), &w, &h, &n, 4);
    ASSERT_NE(px, nullptr) << c.file;
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
    // Every pixel equals the top-left pixel of its block, and the picture
    // is not one flat colour.
    bool varied = false;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int bx = x / c.block * c.block, by = y / c.block * c.block;
        ASSERT_EQ(std::memcmp(px + (y * w + x) * 4, px + (by * w + bx) * 4, 4), 0) << c.file << " " << x << "," << y;
        varied |= std::memcmp(px + (y * w + x) * 4, px, 4) != 0;
      }
    EXPECT_TRUE(varied) << c.file;
    stbi_image_free(px);
  }
}

}  // namespace
