// The picture import as the menu, a dropped file and "OK" reach it: the
// decoded picture lands in g_pic, errors are messages that change nothing,
// and "OK" stores the conversion as one undo step "import image" in the
// palette it was converted with.
#include "app/App.h"
#include "app/FileActions.h"
#include "app/ImportWin.h"
#include "core/Vic.h"

#include "tests/app/AppTestUtil.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <array>
#include <fstream>

namespace {

class ImportWinTest : public ScratchConfigTest {
protected:
  ImportWinTest() : ScratchConfigTest("importwin") {}
  void SetUp() override {
    ScratchConfigTest::SetUp();
    static_cast<ImportPicture&>(g_pic) = ImportPicture();
  }
  std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  }
};

void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(context);
  out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

// 64x40 black with a white 32x24 square at (16, 8): scaled by 5 it covers
// the cells of columns 10-29 and rows 5-19 exactly.
std::vector<uint8_t> squarePng() {
  std::vector<uint32_t> px(64 * 40, 0xFF000000);
  for (int y = 8; y < 32; ++y)
    for (int x = 16; x < 48; ++x) px[y * 64 + x] = 0xFFFFFFFF;
  std::vector<uint8_t> png;
  stbi_write_png_to_func(appendBytes, &png, 64, 40, 4, px.data(), 64 * 4);
  return png;
}

TEST_F(ImportWinTest, PetsciiImportOfASquareStoresSolidWhiteCells) {
  App app;
  openImportPicture(app, "square.png", squarePng());
  ASSERT_TRUE(app.showImportPicture && app.popups.empty());
  importPictureForTest(ImportMode::Petscii, true);
  EXPECT_TRUE(g_pic.autoOk);
  g_pic.paletteIndex = app.palette.index;
  ASSERT_TRUE(ConvertImportPicture(g_pic, app.machine, app.palette));
  acceptImportPicture(app);

  const Machine& m = app.machine;
  EXPECT_FALSE(app.showImportPicture || g_pic.pickerShown);
  EXPECT_EQ(m.gfxMode(), kModeText);
  EXPECT_TRUE(m.charsetIsRom());
  EXPECT_EQ(m.charsetAddr(), 0x1000u);
  const uint32_t screen = m.screenAddr();
  for (int row = 5; row < 20; ++row)
    for (int col = 10; col < 30; ++col) {
      const int i = row * 40 + col;
      const int code = m.ram[screen + i], colour = m.ram[kColorRam + i] & 15;
      const bool white = (code == 160 && colour == 1) || (code == 32 && (m.vicRegs[kRegBg0] & 15) == 1);
      EXPECT_TRUE(white) << "cell " << col << "," << row << " code " << code << " colour " << colour;
    }
  ASSERT_EQ(app.undo.undoItems.size(), 1u);
  EXPECT_EQ(app.undo.undoItems.back().description, "import image");
  // Undo brings back the text screen of before, registers included.
  app.undo.MakeUndo();
  App fresh;
  EXPECT_EQ(app.machine.ram, fresh.machine.ram);
  EXPECT_EQ(app.machine.vicRegs, fresh.machine.vicRegs);
}

TEST_F(ImportWinTest, OkStoresBitmapsAndSwitchesToTheConversionPalette) {
  const std::array<int, 3> cases[] = {  // mode, palette offset from the application's, graphics mode
      {ImportMode::Hires, 0, kModeHires}, {ImportMode::Multicolor, 4, kModeMultiBitmap}};
  for (const auto& [mode, offset, gfxMode] : cases) {
    App app;
    const int appIndex = app.palette.index;
    openImportPicture(app, "square.png", squarePng());
    g_pic.mode = mode;
    g_pic.paletteIndex = (appIndex + offset) % kPresetCount;
    ASSERT_TRUE(ConvertImportPicture(g_pic, app.machine, app.palette));
    Machine expected = app.machine;
    g_pic.colorReducer.Store(expected);
    acceptImportPicture(app);
    EXPECT_EQ(app.machine.gfxMode(), gfxMode);
    EXPECT_EQ(app.machine.ram, expected.ram);
    EXPECT_EQ(std::make_pair(app.palette.index, app.paletteIndex), std::make_pair(g_pic.paletteIndex, g_pic.paletteIndex));
    EXPECT_EQ(app.undo.undoItems.size(), 1u);
  }
}

TEST_F(ImportWinTest, DroppedPicturesOpenTheImportByBaseName) {
  const std::string text = "not a picture at all";
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    bool opens;
  } cases[] = {{"Square.PNG", squarePng(), true},
               {"x.psd", squarePng(), true},  // the decoder looks at the bytes, not the name
               {"notes.png", std::vector<uint8_t>(text.begin(), text.end()), false},
               {"empty.jpeg", {}, false}};
  for (const auto& c : cases) {
    App app;
    static_cast<ImportPicture&>(g_pic) = ImportPicture();
    Actions::openDropped(app, write(c.name, c.bytes));
    EXPECT_EQ(app.showImportPicture, c.opens) << c.name;
    EXPECT_EQ(g_pic.hasPicture(), c.opens) << c.name;
    if (c.opens) {
      EXPECT_EQ(std::make_pair(g_pic.name, g_pic.width), std::make_pair(std::string(c.name), 64));
      EXPECT_TRUE(app.popups.empty()) << c.name;
    } else {
      ASSERT_EQ(app.popups.size(), 1u) << c.name;
      EXPECT_EQ(app.popups[0].title, "Error");
      EXPECT_EQ(app.popups[0].text.rfind("Couldn't read the image: ", 0), 0u) << app.popups[0].text;
    }
    EXPECT_TRUE(app.undo.undoItems.empty()) << c.name;
  }
}

TEST_F(ImportWinTest, AFailedOpenOrOkWithoutAPictureLeavesTheWindowAsItWas) {
  App app;
  app.showImportPicture = true;
  acceptImportPicture(app);  // no picture: nothing happens
  EXPECT_TRUE(app.showImportPicture);
  EXPECT_TRUE(app.undo.undoItems.empty());
  openImportPicture(app, "/full/path/square.png", squarePng());
  ASSERT_TRUE(app.showImportPicture);
  EXPECT_EQ(g_pic.name, "/full/path/square.png");
  g_pic.dirty = false;
  openImportPicture(app, "bad.png", {'x'});
  EXPECT_TRUE(app.showImportPicture);
  EXPECT_EQ(g_pic.name, "/full/path/square.png");
  EXPECT_FALSE(g_pic.dirty);
  closeImportPicture(app);
  EXPECT_FALSE(app.showImportPicture);
  EXPECT_TRUE(g_pic.hasPicture());
}

}  // namespace
