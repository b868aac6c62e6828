// The "Mount disk" window: one tab per virtual drive (devices 8-11) to mount
// a D64 image or a host directory, create blank images, list the medium,
// load a file into memory as a PRG or as a C64 picture and save a memory
// range to it. The rules behind its buttons (undo steps, messages, the save
// range presets, the copy of an image) are plain functions here so they
// run headless; drawMountDisk is the thin window around them.
#pragma once

#include "app/FileCompletions.h"
#include "core/Machine.h"
#include "disk/DiskDrive.h"

#include <cstdint>
#include <string>
#include <vector>

class App;

constexpr int kDiskNameChars = 16;   // file and disk names on a 1541 disk
constexpr int kDiskIdChars = 2;
constexpr int kDefaultSaveStart = 0x2000;
constexpr int kDefaultSaveEnd = 0x2000 + 8000;  // one bitmap, end exclusive
constexpr const char* kLoadFileLabel = "load file";
constexpr const char* kLoadImageLabel = "load image";

// The memory range "Save to disk" writes: [start, end).
struct SaveRange {
  int start = 0;
  int end = 0;
};
// The four buttons that take the range from the video chip's state.
enum class RangePreset { Bitmap, VideoMatrix, ColorMemory, Charset };
SaveRange presetRange(const Machine& m, RangePreset preset);

// "Mount D64...": mounts unless another drive holds the same image file;
// the message to show on failure.
Actions::Outcome mountImageFromWindow(App& app, int drive, const std::string& path);
// "Load": the selected file as a PRG to its load address (undo "load file").
Actions::Message loadFileFromDisk(App& app, DiskDrive& drive, int row);
// "Load as image": the selected file in a picture format (undo "load image").
Actions::Outcome loadImageFromDisk(App& app, DiskDrive& drive, int row, int format);
// "Save to disk": memory [start, end) as a PRG under the name upper-cased.
Actions::Outcome saveToDisk(const Machine& m, DiskDrive& drive, const std::string& name, int start, int end);
// The default file name of "Create D64 image": the disk name lower-cased
// with ".d64".
std::string newImageFileName(const std::string& diskName);
// The bytes of the mounted image file for "Save copy..."; an error message
// when the file can no longer be read whole as a D64 image.
Actions::Outcome readImageCopy(const std::string& path, std::vector<uint8_t>& bytes);

// The medium a drive held when the window last looked. A different one
// (mounted here, by a dropped image or by unmounting) clears the drive's
// selected row, so no row of the old listing stays chosen in the new one.
struct SeenMedium {
  int mode = DriveMode::None;
  std::string path;
};
void forgetSelectionOnNewMedium(const DiskDrive& drive, SeenMedium& seen, int& selected);

void drawMountDisk(App& app);
