// One image file, one drive: a second drive asked to mount a file that
// another holds (under any path that reaches it) is refused, so no two
// cached directories ever write into the same image.
#include "disk/DriveMounts.h"

#include "tests/disk/DiskTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace disktest;

namespace {

TEST(DriveMountsTest, TheSameFileUnderAnyPathIsRefusedOnASecondDrive) {
  TempDir dir;
  const std::string image = dir.file("a.d64");
  writeBytes(image, DiskDrive::blankD64("A", "01"));
  writeBytes(dir.file("other.d64"), DiskDrive::blankD64("B", "02"));
  std::filesystem::create_symlink(image, dir.file("link.d64"));
  std::filesystem::create_hard_link(image, dir.file("hard.d64"));
  std::filesystem::create_directories(dir.file("sub"));

  const std::string held = "The image is already mounted on device 9";
  const std::pair<std::string, std::string> cases[] = {  // path, error ("": mounted)
      {image, held}, {dir.file("sub/../a.d64"), held}, {dir.file("link.d64"), held}, {dir.file("hard.d64"), held},
      {dir.file("other.d64"), ""},
      {dir.file("missing.d64"), D64::error_text(D64_ERR_OPEN)},  // fails in the drive with its own error
  };
  for (const auto& [path, error] : cases) {
    DiskDrive drives[4];
    ASSERT_TRUE(mountImageOn(drives, 4, 1, image)) << drives[1].error;  // device 9
    ASSERT_TRUE(drives[2].mountDirectory(dir.path().string()));
    EXPECT_EQ(mountImageOn(drives, 4, 2, path), error.empty()) << path;
    if (!error.empty()) {
      EXPECT_EQ(drives[2].error, error) << path;
    }
    if (error == held) {
      EXPECT_EQ(drives[2].mode, DriveMode::Directory) << path;  // left as it was
    }
    // The holder itself may mount its own file again.
    EXPECT_TRUE(mountImageOn(drives, 4, 1, image)) << drives[1].error;
  }
}

TEST(DriveMountsTest, TheHolderIsFoundByItsOpenFileAfterARename) {
  TempDir dir;
  const std::string image = dir.file("a.d64");
  writeBytes(image, DiskDrive::blankD64("A", "01"));
  DiskDrive drives[2];
  ASSERT_TRUE(mountImageOn(drives, 2, 0, image));
  std::filesystem::rename(image, dir.file("b.d64"));
  EXPECT_FALSE(mountImageOn(drives, 2, 1, dir.file("b.d64")));
  // Once unmounted, the other drive may take it, and saves through it land.
  drives[0].unmount();
  ASSERT_TRUE(mountImageOn(drives, 2, 1, dir.file("b.d64"))) << drives[1].error;
  ASSERT_TRUE(drives[1].writeFile("ONE", makePrg(0x1000, 10, 1))) << drives[1].error;
  ASSERT_EQ(drives[1].list().size(), 1u);
}

}  // namespace
