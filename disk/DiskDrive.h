// One virtual disk drive (devices 8-11): empty, a D64 image through its
// D64 object, or a host directory whose ".prg" files stand for the PRG
// files of a disk. One vocabulary over both media for the mount-disk
// window, the monitor's load and save commands, dropped images and the
// self-test: list, read a file into a PRG byte vector (load address first),
// write one under a name, disk name and ID, and blank formatted images.
// Failures return false and leave a text in `error`; nothing throws.
#pragma once

#include "disk/D64.h"

#include <filesystem>
#include <string>
#include <vector>

namespace DriveMode {
enum : int {
  None = 0,       // nothing mounted
  Image = 1,      // a D64 image
  Directory = 2,  // a host directory of .prg files
};
}

// Largest PRG file read from a host directory: 64 KB plus the load address.
constexpr size_t kMaxPrgFileSize = 65536 + 2;
// Reading an image file loads into 64 KB plus 512: a file may run past
// $FFFF by up to that much.
constexpr int kDriveLoadBufferSize = 0x10200;
// Host files are read in pieces of this size.
constexpr size_t kHostReadChunk = 4096;

// A disk name, ID or file name as shown: the shifted space that pads names
// and sits between the disk ID and the DOS type ($A0) is a blank, as in a
// C64 directory listing; any other byte outside $20-$7E becomes "?".
std::string displayName(const std::string& name);

class DiskDrive {
public:
  struct Entry {
    std::string name;
    int blocks = 0;  // 254-byte blocks
    int type = kD64TypePrg;  // 0 DEL, 1 SEQ, 2 PRG, 3 USR, 4 REL
  };

  int mode = DriveMode::None;
  D64 d64;
  std::string path;
  std::string error;
  std::vector<Entry> entries;  // Directory mode listing, sorted by name

  static char const* typeName(int type);

  bool mountD64(const std::string& imagePath);
  bool mountDirectory(const std::string& dirPath);
  void unmount();
  void rescanDirectory();

  bool readOnly() const;
  std::string diskName();
  std::string diskId();
  std::vector<Entry> list();

  bool readFile(int index, std::vector<unsigned char>& out);
  bool readFile(const std::string& name, std::vector<unsigned char>& out);
  bool writeFile(const std::string& name, const std::vector<unsigned char>& prg);

  static std::vector<unsigned char> blankD64(const std::string& name, const std::string& id);

  // Whether a name can stand for a file inside a host directory: no path
  // separator, no NUL, not "." or "..", not empty.
  static bool safeHostName(const std::string& name);

private:
  bool failWith(const char* text);
  bool readHostFile(const std::string& name, std::vector<unsigned char>& out);
  // The host file that stands for a name: name.prg, else the name with the
  // extension in another mix of cases; empty when there is none.
  std::filesystem::path hostFileFor(const std::string& name) const;
};
