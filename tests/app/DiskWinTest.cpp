// The Mount disk window's rules, headless: new image names, the save range
// presets, loads with their undo steps and messages, saves checked by the
// cc1541 peer and read back byte for byte, the copy of an image that can no
// longer be read, and the refusal of an image another drive holds.
#include "app/App.h"
#include "app/DiskWin.h"
#include "app/FileActions.h"
#include "core/FileFormats.h"

#include "tests/app/AppTestUtil.h"
#include "tests/app/ImGuiFrames.h"
#include "tests/disk/DiskTestUtil.h"

#include <gtest/gtest.h>

#include <imgui.h>
#include <imgui_internal.h>

#include <filesystem>
#include <functional>
#include <regex>

using namespace disktest;

namespace {

class DiskWinTest : public ScratchConfigTest {
protected:
  DiskWinTest() : ScratchConfigTest("diskwin") {}
  std::string blankImage(const std::string& name) {
    writeBytes(disk.file(name), DiskDrive::blankD64("TEST", "01"));
    return disk.file(name);
  }
  TempDir disk;
};

TEST_F(DiskWinTest, NewImagesAreNamedAfterTheDisk) {
  EXPECT_EQ(newImageFileName("MY DISK"), "my disk.d64");
  EXPECT_EQ(DiskDrive::blankD64("MY DISK", "01").size(), static_cast<size_t>(kD64Size));
}

TEST_F(DiskWinTest, PresetsFollowTheVideoChip) {
  App app;
  Machine& m = app.machine;
  m.bank = 3;
  m.vicRegs[kRegMemPtr] = 0x1E;  // matrix offset 1, bitmap half 1, charset offset 7
  const std::array<int, 3> cases[] = {{int(RangePreset::Bitmap), 0xE000, 0xE000 + 8000},
                                      {int(RangePreset::VideoMatrix), 0xC400, 0xC400 + 1000},
                                      {int(RangePreset::ColorMemory), 0xD800, 0xDBE8},
                                      {int(RangePreset::Charset), 0xF800, 0x10000}};
  for (const auto& [preset, start, end] : cases) {
    const SaveRange r = presetRange(m, static_cast<RangePreset>(preset));
    EXPECT_EQ(std::make_pair(r.start, r.end), std::make_pair(start, end)) << preset;
  }
  // The charset range at the top of memory saves its 2048 bytes.
  DiskDrive drive;
  ASSERT_TRUE(drive.mountDirectory(disk.path().string()));
  EXPECT_FALSE(saveToDisk(m, drive, "font", 0xF800, 0x10000));
  EXPECT_EQ(readBytes(disk.file("FONT.prg")).size(), 2u + 2048u);
}

// The end field of "Save to disk" holds the exclusive end at the top of
// memory, $10000, in five digits: typed there (the keyboard moving from
// field to field with Tab), it saves the last 2048 bytes.
TEST_F(DiskWinTest, TheEndFieldTakesTheTopOfMemory) {
  App app;
  for (int i = 0; i < 0x10000; ++i) app.machine.ram[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  app.showMountDisk = true;
  ASSERT_TRUE(app.drives[0].mountDirectory(disk.path().string()));
  ImGuiFrames ui(ImGuiConfigFlags_NavEnableKeyboard);
  const auto draw = [&] { drawMountDisk(app); };
  // The text of the field the keyboard is in; empty when it is in none.
  const auto fieldText = [] {
    const ImGuiInputTextState* field = ImGui::GetInputTextState(ImGui::GetActiveID());
    return field ? std::string(field->TextA.Data) : std::string();
  };
  const auto key = [&](ImGuiKey k) { ui.frame(draw, k); ui.frame(draw); };
  for (int i = 0; i < 3; ++i) ui.frame(draw);
  for (int tabs = 0; tabs < 30 && fieldText() != "2000"; ++tabs) key(ImGuiKey_Tab);
  ASSERT_EQ(fieldText(), "2000");  // the start field, its text selected
  ImGui::GetIO().AddInputCharactersUTF8("F800");
  key(ImGuiKey_Tab);
  ASSERT_EQ(fieldText(), "3F40");  // the end field
  ImGui::GetIO().AddInputCharactersUTF8("10000");
  ui.frame(draw);
  EXPECT_EQ(fieldText(), "10000");
  key(ImGuiKey_Enter);
  key(ImGuiKey_Tab);  // on to "Save to disk"
  key(ImGuiKey_Enter);
  EXPECT_TRUE(app.popups.empty()) << app.popups[0].text;
  EXPECT_EQ(readBytes(disk.file("PICTURE.prg")), FileFormats::savePrg(app.machine, 0xF800, 2048));
}

TEST_F(DiskWinTest, SavesWriteUpperCasedPrgsTheDriveAndThePeerRead) {
  App app;
  for (int i = 0; i < 0x10000; ++i) app.machine.ram[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
  const std::string image = blankImage("save.d64");
  DiskDrive& drive = app.drives[0];
  ASSERT_TRUE(drive.mountD64(image));

  EXPECT_FALSE(saveToDisk(app.machine, drive, "PICTURE", kDefaultSaveStart, kDefaultSaveEnd));
  EXPECT_FALSE(saveToDisk(app.machine, drive, "logo", 0x3000, 0x3100));
  const Actions::Outcome refused = saveToDisk(app.machine, drive, "EMPTY", 0x3000, 0x3000);
  ASSERT_TRUE(refused);
  EXPECT_EQ(*refused, (Actions::Message{"Error", "The end address must be after the start address."}));
  // The replace prefix reaches the drive, which replaces LOGO.
  EXPECT_FALSE(saveToDisk(app.machine, drive, "@:logo", 0x4000, 0x4010));
  const Actions::Outcome exists = saveToDisk(app.machine, drive, "LOGO", 0x4000, 0x4010);
  ASSERT_TRUE(exists);
  EXPECT_EQ(exists->text, drive.error);

  const std::vector<DiskDrive::Entry> files = drive.list();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0].name, "PICTURE");
  EXPECT_EQ(files[1].name, "LOGO");
  std::vector<unsigned char> got;
  ASSERT_TRUE(drive.readFile(0, got));
  EXPECT_EQ(got, FileFormats::savePrg(app.machine, 0x2000, 8000));
  ASSERT_TRUE(drive.readFile(1, got));
  EXPECT_EQ(got, FileFormats::savePrg(app.machine, 0x4000, 0x10));

  if (!haveCc1541()) GTEST_SKIP() << "cc1541 is not installed";
  const std::string copy = disk.file("copy.d64");
  std::filesystem::copy_file(image, copy);
  std::string out;
  EXPECT_EQ(run(commandLine({"cc1541", "-V", copy}), out), 0) << out;
  // 8002 bytes in 254-byte blocks, and one block.
  EXPECT_TRUE(std::regex_search(out, std::regex(R"(\n32 +"picture" +prg)"))) << out;
  EXPECT_TRUE(std::regex_search(out, std::regex(R"(\n1 +"logo" +prg)"))) << out;
}

TEST_F(DiskWinTest, LoadsReportAndCanBeUndone) {
  App app;
  DiskDrive& drive = app.drives[0];
  ASSERT_TRUE(drive.mountDirectory(disk.path().string()));
  const std::vector<unsigned char> prg = makePrg(0x3000, 0x123, 5);
  writeBytes(disk.file("DATA.prg"), prg);
  writeBytes(disk.file("SHORT.prg"), {0x00, 0x60});
  drive.rescanDirectory();
  const uint8_t before = app.machine.ram[0x3000];

  EXPECT_EQ(loadFileFromDisk(app, drive, 0), (Actions::Message{"Info", "$0123 bytes written from $3000 to $3123"}));
  EXPECT_TRUE(std::equal(prg.begin() + 2, prg.end(), app.machine.ram.begin() + 0x3000));
  EXPECT_EQ(app.undo.undoItems.back().description, "load file");
  app.undo.MakeUndo();
  EXPECT_EQ(app.machine.ram[0x3000], before);

  // A bad row is the drive's error, with no undo step.
  const size_t steps = app.undo.undoItems.size();
  const Actions::Message bad = loadFileFromDisk(app, drive, 7);
  EXPECT_EQ(bad, (Actions::Message{"Error", drive.error}));
  EXPECT_EQ(app.undo.undoItems.size(), steps);

  // As a Koala picture, a file of only its load address fails in the
  // format and keeps its step.
  const Actions::Outcome failed = loadImageFromDisk(app, drive, 1, 0);
  ASSERT_TRUE(failed);
  EXPECT_EQ(*failed, (Actions::Message{"Error", "Error"}));
  EXPECT_EQ(app.undo.undoItems.back().description, "load image");
}

TEST_F(DiskWinTest, ACopyOfAnUnreadableImageReportsAndHoldsNothing) {
  const std::string image = blankImage("copy.d64");
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(readImageCopy(image, bytes));
  EXPECT_EQ(bytes.size(), static_cast<size_t>(kD64Size));

  std::filesystem::remove(image);
  const Actions::Outcome gone = readImageCopy(image, bytes);
  ASSERT_TRUE(gone);
  EXPECT_EQ(*gone, (Actions::Message{"Error", "Could not read the disk image " + image + ": No such file or directory"}));
  EXPECT_TRUE(bytes.empty());

  writeBytes(image, {1, 2, 3});
  const Actions::Outcome cut = readImageCopy(image, bytes);
  ASSERT_TRUE(cut);
  EXPECT_NE(cut->text.find("3 bytes"), std::string::npos) << cut->text;
  EXPECT_TRUE(bytes.empty());
}

// The paths that reach one file are the drive mounts' tests; here the
// window's and a drop's message.
TEST_F(DiskWinTest, AnImageAnotherDriveHoldsIsRefusedFromTheWindowAndWhenDropped) {
  App app;
  const std::string image = blankImage("shared.d64");
  EXPECT_FALSE(mountImageFromWindow(app, 1, image));
  const Actions::Outcome second = mountImageFromWindow(app, 3, image);
  ASSERT_TRUE(second);
  EXPECT_EQ(*second, (Actions::Message{"Error", "Could not mount D64-file: The image is already mounted on device 9"}));
  EXPECT_EQ(app.drives[3].mode, DriveMode::None);

  App dropped;
  Actions::openDropped(dropped, image);
  EXPECT_TRUE(dropped.showMountDisk && dropped.popups.empty());
  EXPECT_EQ(dropped.drives[0].mode, DriveMode::Image);
  Actions::openDropped(dropped, image);
  EXPECT_EQ(dropped.drives[1].mode, DriveMode::None);
  ASSERT_EQ(dropped.popups.size(), 1u);
  EXPECT_EQ(dropped.popups[0].text, "Could not mount D64-file: The image is already mounted on device 8");
}

TEST_F(DiskWinTest, ANewMediumClearsTheSelectedRow) {
  App app;
  DiskDrive& drive = app.drives[0];
  SeenMedium seen;
  int selected = 5;
  forgetSelectionOnNewMedium(drive, seen, selected);  // nothing mounted yet: nothing seen differs
  EXPECT_EQ(selected, 5);
  ASSERT_TRUE(drive.mountD64(blankImage("a.d64")));
  // Each step, then whether the window forgets row 5 in its next frame.
  const std::pair<std::function<void()>, bool> steps[] = {
      {[] {}, true},
      {[] {}, false},
      {[&] { Actions::openDropped(app, blankImage("b.d64")); }, false},  // device 9 was free
      {[&] { for (int i = 1; i < kDriveCount; ++i) app.drives[i].mountDirectory(disk.path().string()); }, false},
      {[&] { Actions::openDropped(app, blankImage("c.d64")); }, true},  // all busy: replaces device 8
      {[&] { drive.unmount(); }, true},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    selected = 5;
    steps[i].first();
    forgetSelectionOnNewMedium(drive, seen, selected);
    EXPECT_EQ(selected, steps[i].second ? -1 : 5) << i;
  }
}

}  // namespace
