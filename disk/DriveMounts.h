// Mounting an image on one of several drives without giving the same image
// file to two of them. Each drive's D64 caches its BAM and directory, so two
// drives on one file would each write from their own cache and undo the
// other's saves. The file's identity is its device and inode, so another
// path to it (a link, "./", a second name) is caught as well.
#pragma once

#include "disk/DiskDrive.h"

#include <string>

// Device number of the first drive; drive i is device kFirstDriveDevice + i.
constexpr int kFirstDriveDevice = 8;

// The index of a drive other than `except` that holds the image file at
// `path`, or -1.
int driveHoldingImage(const DiskDrive* drives, int count, const std::string& path, int except);

// Mounts the image at `path` on drives[index], refusing (with the drive's
// error set and its medium left as it was) when another drive holds the
// same file.
bool mountImageOn(DiskDrive* drives, int count, int index, const std::string& path);
