// The picture import as the menu, a dropped file and "OK" reach it: the
// picture read in the background lands in g_pic, errors are messages
// that change nothing, a cancelled or superseded read leaves no trace, and
// "OK" stores the conversion as one undo step "import image" in the
// palette it was converted with; a picture too large to resize within a
// frame is resized in the background while the frames go on.
#include "app/App.h"
#include "app/FileActions.h"
#include "app/ImportWin.h"
#include "core/Vic.h"
#include "platform/FileDialog.h"

#include "tests/app/AppTestUtil.h"
#include "tests/app/ImGuiFrames.h"
#include "tests/disk/DiskTestUtil.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <array>
#include <tuple>

namespace {

class ImportWinTest : public ScratchConfigTest {
protected:
  ImportWinTest() : ScratchConfigTest("importwin") {}
  void SetUp() override {
    ScratchConfigTest::SetUp();
    g_pic.resizing.cancel();
    static_cast<ImportPicture&>(g_pic) = ImportPicture();
    g_pic.reading.cancel();
    g_pic.closeAfterRead = false;
    FileIO::g_dlg = FileIO::Dialog();
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

// What the window does over the frames of a read: wait for the read,
// then take its result.
void finishRead(App& app) {
  g_pic.reading.wait();
  pollImportPicture(app);
}

void openAndRead(App& app, const std::string& name, const std::vector<uint8_t>& bytes) {
  openImportPicture(app, name, bytes);
  finishRead(app);
}

TEST_F(ImportWinTest, PetsciiImportOfASquareStoresSolidWhiteCells) {
  App app;
  openAndRead(app, "square.png", squarePng());
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
    openAndRead(app, "square.png", squarePng());
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

// A dropped picture is read from its path in the background: the window
// opens to read it, and one that cannot be read (gone, not a picture,
// broken) gives the message when the read ends and closes it again.
TEST_F(ImportWinTest, DroppedPicturesOpenTheImportByBaseName) {
  const std::string text = "not a picture at all";
  const std::vector<uint8_t> png = squarePng();
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    bool exists;
    const char* reason;  // nullptr: the picture is in; "": the decoder's own
  } cases[] = {{"Square.PNG", png, true, nullptr},
               {"x.psd", png, true, nullptr},  // the signature decides, not the name
               {"cut.png", std::vector<uint8_t>(png.begin(), png.begin() + 60), true, ""},
               {"notes.png", std::vector<uint8_t>(text.begin(), text.end()), true, "unsupported format"},
               {"empty.jpeg", {}, true, "unsupported format"},
               {"gone.gif", {}, false, "No such file or directory"}};
  for (const auto& c : cases) {
    App app;
    static_cast<ImportPicture&>(g_pic) = ImportPicture();
    const std::string path = (dir_ / c.name).string();
    if (c.exists) disktest::writeBytes(path, c.bytes);
    Actions::openDropped(app, path);
    EXPECT_TRUE(app.showImportPicture && g_pic.isReading()) << c.name;
    EXPECT_EQ(g_pic.readingName, c.name);
    finishRead(app);
    const bool opens = c.reason == nullptr;
    EXPECT_EQ(app.showImportPicture, opens) << c.name;
    EXPECT_EQ(g_pic.hasPicture(), opens) << c.name;
    EXPECT_FALSE(g_pic.isReading()) << c.name;
    if (opens) {
      EXPECT_EQ(std::make_pair(g_pic.name, g_pic.width), std::make_pair(std::string(c.name), 64));
      EXPECT_TRUE(app.popups.empty()) << c.name;
    } else {
      ASSERT_EQ(app.popups.size(), 1u) << c.name;
      EXPECT_EQ(app.popups[0].title, "Error");
      EXPECT_EQ(app.popups[0].text.rfind("Couldn't read the image: ", 0), 0u) << app.popups[0].text;
      if (*c.reason) {
        EXPECT_EQ(app.popups[0].text, std::string("Couldn't read the image: ") + c.reason) << c.name;
      }
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
  // The file dialog hands over only the path; the window shows it whole.
  const std::string path = (dir_ / "square.png").string();
  disktest::writeBytes(path, squarePng());
  pickPicture(app);
  EXPECT_FALSE(FileIO::g_dlg.onOpen);
  FileIO::setName(FileIO::g_dlg, path);
  FileIO::commitName(FileIO::g_dlg).call();
  finishRead(app);
  ASSERT_TRUE(app.showImportPicture);
  EXPECT_EQ(g_pic.name, path);
  g_pic.dirty = false;
  // A picture that cannot be read leaves the open window open.
  openAndRead(app, "bad.png", {'x'});
  const std::vector<uint8_t> png = squarePng();
  openAndRead(app, "cut.png", std::vector<uint8_t>(png.begin(), png.end() - 20));
  EXPECT_EQ(app.popups.size(), 2u);
  EXPECT_TRUE(app.showImportPicture);
  EXPECT_EQ(g_pic.name, path);
  EXPECT_FALSE(g_pic.dirty);
  closeImportPicture(app);
  EXPECT_FALSE(app.showImportPicture);
  EXPECT_TRUE(g_pic.hasPicture());
}

// A read in progress: a newer file supersedes it, Cancel or closing the
// window drops it, and the result of a dropped read never lands, however
// late it arrives; a window opened only for the read closes again. "OK"
// does nothing while a read runs, and the test entry (the self-test
// accepts an import right after dropping its picture) waits for it.
TEST_F(ImportWinTest, AReadInProgressIsSupersededCancelledOrAwaited) {
  App app;
  const std::vector<uint8_t> png = squarePng();
  openImportPicture(app, "first.png", png);
  openImportPicture(app, "second.png", png);
  EXPECT_EQ(g_pic.readingName, "second.png");
  finishRead(app);
  EXPECT_EQ(g_pic.name, "second.png");
  EXPECT_TRUE(app.showImportPicture);

  // Cancel in a window that was already open keeps it and its picture.
  g_pic.dirty = false;
  openImportPicture(app, "third.png", png);
  EXPECT_TRUE(g_pic.isReading());
  cancelImportRead(app);
  finishRead(app);
  EXPECT_EQ(std::make_tuple(app.showImportPicture, g_pic.name, g_pic.dirty, g_pic.isReading()),
            std::make_tuple(true, std::string("second.png"), false, false));

  // A read that opened the window: Cancel closes it again, and so does a
  // failed read; closing the window drops the read too.
  closeImportPicture(app);
  openImportPicture(app, "fourth.png", png);
  ASSERT_TRUE(app.showImportPicture);
  cancelImportRead(app);
  EXPECT_FALSE(app.showImportPicture);
  openImportPicture(app, "fifth.png", png);
  closeImportPicture(app);
  finishRead(app);
  EXPECT_EQ(g_pic.name, "second.png");
  EXPECT_TRUE(app.popups.empty());
  EXPECT_TRUE(app.undo.undoItems.empty());

  openImportPicture(app, "new.png", png);
  acceptImportPicture(app);
  EXPECT_TRUE(app.undo.undoItems.empty());
  EXPECT_TRUE(app.showImportPicture);
  importPictureForTest(ImportMode::Hires, true);
  pollImportPicture(app);  // the next frame, without waiting
  EXPECT_EQ(g_pic.name, "new.png");
  EXPECT_FALSE(g_pic.isReading());
  EXPECT_TRUE(app.popups.empty());
}

// The window's frames with a picture too large to resize within one: the
// frames go on showing the previous previews while the resize runs in the
// background, an option change supersedes it, "OK" (and the test's
// automatic "OK") waits for it, and the previews that arrive are those of
// a conversion that resizes afresh. A new read or closing the window stops
// the resize.
TEST_F(ImportWinTest, ALargePictureIsResizedOutsideTheFrame) {
  App app;
  ImGuiFrames frames;
  Texture::releaseAll();  // no OpenGL here: the previews stay in g_pic
  const auto frame = [&] { frames.frame([&] { drawImportPicture(app); }); };
  const auto previews = [](const ImportPicture& p) { return std::tie(p.sourcePreview.pixels, p.resultPreview.pixels); };
  openAndRead(app, "square.png", squarePng());
  frame();
  ASSERT_FALSE(g_pic.dirty || g_pic.isConverting());
  const ImportPicture square = g_pic;
  constexpr int kW = 2049, kH = 2048;
  static_assert(int64_t{kW} * kH > kImportFrameResizePixels);
  DecodedPicture big{"", std::vector<uint32_t>(size_t{kW} * kH), kW, kH};
  for (size_t i = 0; i < big.pixels.size(); ++i) big.pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
  ASSERT_EQ(FinishImportPicture(g_pic, "big.png", big), "");
  g_pic.autoOk = true;
  for (bool keepAspect : {false, true}) {
    g_pic.keepAspect = keepAspect;
    g_pic.dirty = true;
    frame();
    EXPECT_TRUE(g_pic.isConverting() && g_pic.dirty);
    EXPECT_EQ(g_pic.resizingFor, (ImportResize{kMultiWidth, true, keepAspect}));
    EXPECT_EQ(previews(g_pic), previews(square));
  }
  acceptImportPicture(app);
  EXPECT_TRUE(app.undo.undoItems.empty());
  g_pic.resizing.wait();
  ImportPicture fresh = g_pic;
  fresh.resizedFor = {};
  ASSERT_TRUE(ConvertImportPicture(fresh, app.machine, app.palette));
  frame();  // takes the resize, converts and presses "OK"
  EXPECT_FALSE(g_pic.isConverting() || g_pic.dirty || g_pic.autoOk);
  EXPECT_EQ(previews(g_pic), previews(fresh));
  EXPECT_EQ(app.undo.undoItems.size(), 1u);
  EXPECT_FALSE(app.showImportPicture);
  // A resize under way ends with the window, and with a new read.
  app.showImportPicture = true;
  g_pic.keepAspect = false;
  g_pic.dirty = true;
  frame();
  ASSERT_TRUE(g_pic.isConverting());
  closeImportPicture(app);
  EXPECT_FALSE(g_pic.isConverting());
  app.showImportPicture = true;
  frame();
  ASSERT_TRUE(g_pic.isConverting());
  openImportPicture(app, "square.png", squarePng());
  EXPECT_TRUE(g_pic.isReading() && !g_pic.isConverting());
  finishRead(app);
}

}  // namespace
