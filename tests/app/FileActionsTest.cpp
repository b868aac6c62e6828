// The file actions as the user drives them: each action's dialog (title,
// filters, default name), the file the dialog writes or reads when the
// name is confirmed, the pop-up that follows, and files dropped on the
// window.
#include "app/FileActions.h"

#include "app/App.h"
#include "app/ImportWin.h"
#include "core/FileFormats.h"
#include "cpu/Assembler.h"
#include "platform/FileDialog.h"
#include "platform/Platform.h"

#include "tests/app/AppTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

class FileActionsTest : public ScratchConfigTest {
protected:
  FileActionsTest() : ScratchConfigTest("actions") {}
  void SetUp() override {
    ScratchConfigTest::SetUp();
    FileIO::g_lastDir = dir_.string();
    app_ = std::make_unique<App>();
  }
  void TearDown() override {
    FileIO::g_dlg = FileIO::Dialog();
    FileIO::g_lastDir.clear();
    ScratchConfigTest::TearDown();
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  void write(const std::string& name, const Bytes& bytes) {
    std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  Bytes read(const std::string& name) {
    Bytes out;
    Platform::readFile(path(name), out);
    return out;
  }
  // Confirms a name in the open dialog and runs its completion as the frame does.
  void confirm(const std::string& name) {
    FileIO::setName(FileIO::g_dlg, name);
    FileIO::Commit c = FileIO::commitName(FileIO::g_dlg);
    ASSERT_TRUE(c.close) << FileIO::g_dlg.error;
    FileIO::g_dlg.isOpen = false;
    if (c.call) c.call();
  }
  // A dropped PC picture is read in the background; the next frames take it.
  void finishPictureRead() {
    g_pic.reading.wait();
    pollImportPicture(*app_);
  }
  // The newest pop-up as "title|text"; "" when there is none.
  std::string lastPopup() const {
    return app_->popups.empty() ? "" : app_->popups.back().title + "|" + app_->popups.back().text;
  }

  std::unique_ptr<App> app_;
};

TEST_F(FileActionsTest, MemoryAreaSaveWritesAtConfirmationAndReports) {
  App& app = *app_;
  Actions::saveArea(app, 0xD800, 1000, "colormem.prg");
  EXPECT_EQ(FileIO::g_dlg.title, "Save memory area");
  EXPECT_STREQ(FileIO::g_dlg.nameBuf, "colormem.prg");
  app.machine.ram[0xD800] = 0x0E;  // changed after the dialog opened: saved
  confirm("colormem.prg");
  const Bytes file = read("colormem.prg");
  ASSERT_EQ(file.size(), 1002u);
  EXPECT_EQ(file[0], 0x00);
  EXPECT_EQ(file[1], 0xD8);
  EXPECT_EQ(file[2], 0x0E);
  EXPECT_EQ(lastPopup(), "Success!|$03E8 bytes saved from $D800 to $DBE8");
}

TEST_F(FileActionsTest, RawSavesCopyMemoryWhenTheDialogOpens) {
  App& app = *app_;
  app.machine.bank = 3;
  app.machine.ram[0xFFC0] = 0x11;
  Actions::saveSprites(app, 255, 255, false);
  EXPECT_EQ(FileIO::g_dlg.title, "Save sprites");
  app.machine.ram[0xFFC0] = 0x22;
  confirm("sprites.bin");
  const Bytes sprites = read("sprites.bin");
  ASSERT_EQ(sprites.size(), 64u);
  EXPECT_EQ(sprites[0], 0x11);
  EXPECT_TRUE(app.popups.empty());

  FileIO::g_dlg = FileIO::Dialog();
  Actions::saveSprites(app, 10, 9, true);
  EXPECT_FALSE(FileIO::g_dlg.isOpen);

  app.machine.bank = 0;
  const uint32_t charset = app.machine.charsetAddr();  // the ROM font's place: RAM is saved
  app.machine.ram[charset] = 0x33;
  Actions::saveCharset(app, false);
  EXPECT_EQ(FileIO::g_dlg.title, "Save charset");
  confirm("charset.bin");
  const Bytes font = read("charset.bin");
  ASSERT_EQ(font.size(), 2048u);
  EXPECT_EQ(font[0], 0x33);
}

TEST_F(FileActionsTest, LoadsRecordUndoAndReport) {
  App& app = *app_;
  write("tiny.prg", {0x00});
  Actions::loadMemory(app);
  EXPECT_EQ(FileIO::g_dlg.title, "Load memory");
  ASSERT_EQ(FileIO::g_dlg.filters.size(), 2u);
  EXPECT_EQ(FileIO::g_dlg.filters[0].name, "PRG-Files (*.prg)");
  EXPECT_EQ(FileIO::g_dlg.filters[1].name, "All files");
  confirm("tiny.prg");
  EXPECT_EQ(lastPopup(), "Error|Couldn't load the file!");

  write("empty.koa", {});
  Actions::loadKoala(app);
  EXPECT_EQ(FileIO::g_dlg.title, "Load Koala image");
  confirm("empty.koa");
  ASSERT_EQ(app.undo.undoItems.size(), 2u);
  EXPECT_EQ(app.undo.undoItems.back().description, "load image");
}

TEST_F(FileActionsTest, ProjectRoundTripEmptiesTheHistory) {
  App& app = *app_;
  app.machine.ram[0x4000] = 0x99;
  Actions::saveProject(app);
  EXPECT_STREQ(FileIO::g_dlg.nameBuf, "project.tpr");
  confirm("work.tpr");
  EXPECT_EQ(read("work.tpr").size(), kProjectFileSize);

  app.machine.ram[0x4000] = 0;
  app.undo.TakeUndo(UndoKind::All, "drawing");
  Actions::loadProject(app);
  confirm("work.tpr");
  EXPECT_EQ(app.machine.ram[0x4000], 0x99);
  EXPECT_TRUE(app.undo.undoItems.empty());
  EXPECT_TRUE(app.popups.empty());
}

// A block selection belongs to the picture it was made on: New, a project
// load and a picture load (from the menu or dropped) clear it, so Cut or
// Flip cannot act on a selection nobody sees.
TEST_F(FileActionsTest, NewAndLoadsClearTheBlockSelection) {
  App& app = *app_;
  Bytes koala(10003, 0x11);
  koala[0] = 0x00;
  koala[1] = 0x60;
  write("pic.koa", koala);
  Actions::saveProject(app);
  confirm("work.tpr");
  struct Way {
    const char* what;
    std::function<void()> run;
  };
  const Way kWays[] = {
      {"New", [&] { app.change(UndoStep::none(), [&] { app.newProject(); }); }},
      {"project", [&] { Actions::loadProject(app); confirm("work.tpr"); }},
      {"Koala", [&] { Actions::loadKoala(app); confirm("pic.koa"); }},
      {"any format", [&] { Actions::loadImageFormat(app, -1); confirm("pic.koa"); }},
      {"dropped", [&] { Actions::openDropped(app, path("pic.koa")); }},
  };
  for (const Way& w : kWays) {
    app.editor.selectAll();
    ASSERT_TRUE(app.editor.selActive);
    w.run();
    EXPECT_FALSE(app.editor.selActive) << w.what;
    EXPECT_TRUE(app.popups.empty()) << w.what << ": " << lastPopup();
  }
  // A picture that does not load leaves the document and its selection.
  write("empty.koa", {});
  app.editor.selectAll();
  Actions::openDropped(app, path("empty.koa"));
  EXPECT_FALSE(app.popups.empty());
  EXPECT_TRUE(app.editor.selActive);
}

TEST_F(FileActionsTest, ExportsWriteAPngAndAnExecutable) {
  App& app = *app_;
  Actions::exportPng(app);
  EXPECT_EQ(FileIO::g_dlg.title, "Export PNG");
  confirm("screen.png");
  const Bytes png = read("screen.png");
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png[1], 'P');

  // Text mode after a reset: refused before any dialog.
  FileIO::g_dlg = FileIO::Dialog();
  Actions::saveExecutable(app);
  EXPECT_FALSE(FileIO::g_dlg.isOpen);
  EXPECT_EQ(lastPopup(), "Sorry|Text modes can not yet be saved as executables.");

  app.machine.setGfxMode(kModeHires);
  Actions::saveExecutable(app);
  EXPECT_EQ(FileIO::g_dlg.title, "Save executable");
  confirm("picture.prg");
  Bytes viewer;
  ASSERT_TRUE(Platform::readFile(std::string(TILVOX_TEST_ASSET_DIR) + "/bmpview.prg", viewer));
  EXPECT_EQ(read("picture.prg").size(), viewer.size() + 10240);

  Platform::g_assetDir = dir_.string();  // no viewer here; it outranks the text-mode refusal
  app.machine.setGfxMode(kModeText);
  Actions::saveExecutable(app);
  EXPECT_EQ(lastPopup(), "Error|Tilvox is missing the file \"bmpview.prg\".\nOperation could not be completed.");
}

TEST_F(FileActionsTest, DroppedFiles) {
  App& app = *app_;
  Actions::openDropped(app, path("gone.prg"));
  EXPECT_EQ(lastPopup(), "Error|Couldn't open gone.prg");

  write("demo.asm", {'l', 'd', 'a'});
  Actions::openDropped(app, path("demo.asm"));
  EXPECT_EQ(app.assemblerSource, "lda");
  EXPECT_TRUE(app.showAssembler);
  write("huge.asm", Bytes(kAsmMaxSourceBytes + 1, ';'));  // past the bound: refused, the source kept
  Actions::openDropped(app, path("huge.asm"));
  EXPECT_EQ(lastPopup(), "Error|The source is larger than 2 MB.");
  EXPECT_EQ(app.assemblerSource, "lda");

  // A PC picture goes to the import, which refuses bytes that are no
  // picture and changes nothing.
  write("Image.PNG", {1, 2, 3, 4});
  const Bytes ram(app.machine.ram.begin(), app.machine.ram.end());
  Actions::openDropped(app, path("Image.PNG"));
  finishPictureRead();
  EXPECT_EQ(app.popups.back().title, "Error");
  EXPECT_EQ(app.popups.back().text.rfind("Couldn't read the image: ", 0), 0u);
  EXPECT_FALSE(app.showImportPicture);
  EXPECT_TRUE(app.undo.undoItems.empty());
  EXPECT_EQ(Bytes(app.machine.ram.begin(), app.machine.ram.end()), ram);

  write("noext", {1, 2});
  Actions::openDropped(app, path("noext"));
  EXPECT_EQ(lastPopup(), "Error|Don't know what to do with noext");

  // A load ends a paste preview first; the loaded bytes stay.
  app.editor.selActive = true;
  app.editor.copyBlock();
  ASSERT_TRUE(app.editor.startPaste());
  const uint32_t cell = app.machine.screenAddr();
  write("cell.prg", {static_cast<uint8_t>(cell & 0xFF), static_cast<uint8_t>(cell >> 8), 0x55});
  Actions::openDropped(app, path("cell.prg"));
  EXPECT_FALSE(app.editor.pasting);
  EXPECT_EQ(app.machine.ram[cell], 0x55);

  write("x.prg", {0x00, 0xC0});
  Actions::openDropped(app, path("x.prg"));
  EXPECT_EQ(lastPopup(), "Success!|x.prg:\n$0000 bytes read from $C000 to $C000");

  write("broken.d64", {1, 2, 3});
  Actions::openDropped(app, path("broken.d64"));
  EXPECT_EQ(lastPopup().rfind("Error|Could not mount D64-file: ", 0), 0u) << lastPopup();
  EXPECT_EQ(app.drives[0].mode, DriveMode::None);

  const auto blank = DiskDrive::blankD64("EMPTY", "01");
  write("blank.d64", Bytes(blank.begin(), blank.end()));
  app.drives[0].mode = DriveMode::Image;
  app.drives[1].mode = DriveMode::Image;
  Actions::openDropped(app, path("blank.d64"));
  EXPECT_EQ(app.drives[2].mode, DriveMode::Image);
  EXPECT_TRUE(app.showMountDisk);
}

TEST_F(FileActionsTest, DroppedOddFilesNeverCrash) {
  App& app = *app_;
  // A folder opens but holds no bytes.
  for (const char* name : {"folder", "dir.prg", "dir.koa", "dir.tpr", "dir.d64", "dir.png"})
    fs::create_directories(dir_ / name);
  Actions::openDropped(app, path("folder"));
  EXPECT_EQ(lastPopup(), "Error|Don't know what to do with folder");
  Actions::openDropped(app, path("dir.prg"));
  EXPECT_EQ(lastPopup(), "Error|Couldn't load the file!");
  Actions::openDropped(app, path("dir.koa"));
  EXPECT_EQ(lastPopup(), "Error|Couldn't load dir.koa");
  Actions::openDropped(app, path("dir.tpr"));
  EXPECT_EQ(app.popups.back().title, "Error");
  Actions::openDropped(app, path("dir.d64"));
  EXPECT_EQ(lastPopup().rfind("Error|Could not mount D64-file: ", 0), 0u) << lastPopup();
  Actions::openDropped(app, path("dir.png"));
  finishPictureRead();
  EXPECT_EQ(lastPopup(), "Error|Couldn't read the image: unsupported format");
  Actions::openDropped(app, dir_.string() + "/");
  EXPECT_EQ(lastPopup(), "Error|Don't know what to do with ");

  // Names the host refuses: a component and a whole path too long.
  const std::string longName(300, 'n');
  Actions::openDropped(app, path(longName + ".prg"));
  EXPECT_EQ(lastPopup(), "Error|Couldn't open " + longName + ".prg");
  const std::string hugePath = dir_.string() + "/" + std::string(5000, 'x') + ".d64";
  Actions::openDropped(app, hugePath);
  EXPECT_EQ(lastPopup().rfind("Error|Could not mount D64-file: ", 0), 0u);
  Actions::openDropped(app, "");
  EXPECT_EQ(lastPopup(), "Error|Couldn't open ");

  // Empty files of every kind.
  for (const char* name : {"e.png", "e.tpr", "e.asm", "e.koa", "e.raw", "e.mci", "e.prg", "e.spr", "e", "e.d64"}) {
    write(name, {});
    const size_t before = app.popups.size();
    Actions::openDropped(app, path(name));
    finishPictureRead();
    EXPECT_EQ(app.popups.size(), before + (name == std::string("e.asm") ? 0 : 1)) << name;
  }
  EXPECT_EQ(app.assemblerSource, "");  // e.asm: an empty source is still a source

  // Files far larger than any layout are clipped to the 64 KB image.
  Bytes big(1 << 20, 0xA5);
  big[0] = 0xFF;
  big[1] = 0xFF;
  for (const char* name : {"big.raw", "big.koa", "big.mci", "big.prg", "big"}) {
    write(name, big);
    Actions::openDropped(app, path(name));
  }
  EXPECT_EQ(lastPopup(), "Success!|big:\n$0001 bytes read from $FFFF to $10000");

  // A named pipe without a writer reads as empty instead of waiting.
  ASSERT_EQ(::mkfifo(path("pipe.prg").c_str(), 0600), 0);
  Actions::openDropped(app, path("pipe.prg"));
  EXPECT_EQ(lastPopup(), "Error|Couldn't load the file!");

  // A file this user may not read (root reads it anyway).
  write("locked.prg", {0x00, 0xC0, 1});
  fs::permissions(dir_ / "locked.prg", fs::perms::none);
  Actions::openDropped(app, path("locked.prg"));
  if (::geteuid() != 0) {
    EXPECT_EQ(lastPopup(), "Error|Couldn't open locked.prg");
  }
  fs::permissions(dir_ / "locked.prg", fs::perms::owner_all);
}

}  // namespace
