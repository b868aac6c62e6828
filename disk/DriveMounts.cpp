// The one-image-one-drive rule over the set of virtual drives.
#include "disk/DriveMounts.h"

#include <cstdio>
#include <sys/stat.h>

namespace {

struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
};

bool idOfPath(const std::string& path, FileId& id) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  id = {st.st_dev, st.st_ino};
  return true;
}

// The file a drive holds open: taken from the open handle, so a renamed
// or replaced path still names what the drive writes into.
bool idOfDrive(const DiskDrive& drive, FileId& id) {
  if (drive.mode != DriveMode::Image) return false;
  struct stat st {};
  if (drive.d64.mount_fp && ::fstat(::fileno(drive.d64.mount_fp), &st) == 0) {
    id = {st.st_dev, st.st_ino};
    return true;
  }
  return idOfPath(drive.path, id);
}

bool operator==(const FileId& a, const FileId& b) { return a.device == b.device && a.inode == b.inode; }

}  // namespace

int driveHoldingImage(const DiskDrive* drives, int count, const std::string& path, int except) {
  FileId wanted;
  if (!idOfPath(path, wanted)) return -1;
  for (int i = 0; i < count; ++i) {
    FileId held;
    if (i != except && idOfDrive(drives[i], held) && held == wanted) return i;
  }
  return -1;
}

bool mountImageOn(DiskDrive* drives, int count, int index, const std::string& path) {
  const int holder = driveHoldingImage(drives, count, path, index);
  if (holder >= 0) {
    drives[index].error = "The image is already mounted on device " + std::to_string(kFirstDriveDevice + holder);
    return false;
  }
  return drives[index].mountD64(path);
}
