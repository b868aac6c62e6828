// The virtual disk drive: mounting, listing, reading and writing over a D64
// image or a host directory, and blank formatted images.
#include "disk/DiskDrive.h"

#include "core/Ascii.h"
#include "core/Machine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr char kHostExtension[] = ".prg";
constexpr size_t kHostExtensionSize = 4;

constexpr char const* kTypeNames[] = {"DEL", "SEQ", "PRG", "USR", "REL"};

bool hasPrgExtension(const std::string& file) {
  if (file.size() <= kHostExtensionSize) return false;  // ".prg" alone has no name
  for (size_t k = 0; k < kHostExtensionSize; ++k) {
    char c = file[file.size() - kHostExtensionSize + k];
    if (asciiLower(c) != kHostExtension[k]) return false;
  }
  return true;
}

// Whether a directory entry stands for a file of the drive: a regular
// file, reached through a symbolic link only when the link stays inside
// the directory. Listing and reading use the same rule.
bool usableHostFile(const fs::path& dir, const fs::path& file) {
  std::error_code ec;
  const fs::file_status own = fs::symlink_status(file, ec);
  if (ec) return false;
  if (!fs::is_symlink(own)) return fs::is_regular_file(own);
  const fs::path real = fs::canonical(file, ec);
  if (ec) return false;
  const fs::path base = fs::canonical(dir, ec);
  if (ec) return false;
  const fs::path inside = real.lexically_relative(base);
  if (inside.empty() || *inside.begin() == "..") return false;
  return fs::is_regular_file(fs::status(real, ec));
}

}  // namespace

char const* DiskDrive::typeName(int type) {
  if (type < 0 || type >= static_cast<int>(std::size(kTypeNames))) return "???";
  return kTypeNames[type];
}

std::string displayName(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    const auto b = static_cast<unsigned char>(c);
    if (b == kD64Pad)
      c = ' ';
    else if (b < 0x20 || b > 0x7E)
      c = '?';
  }
  return out;
}

bool DiskDrive::failWith(const char* text) {
  error = text;
  return false;
}

bool DiskDrive::safeHostName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

bool DiskDrive::mountD64(const std::string& imagePath) {
  unmount();
  if (!d64.mount(imagePath.c_str())) return failWith(d64.get_last_error());
  mode = DriveMode::Image;
  path = imagePath;
  return true;
}

bool DiskDrive::mountDirectory(const std::string& dirPath) {
  unmount();
  std::error_code ec;
  if (!fs::is_directory(fs::status(dirPath, ec))) return failWith("Directory not found");
  mode = DriveMode::Directory;
  path = dirPath;
  rescanDirectory();
  return true;
}

void DiskDrive::unmount() {
  if (mode == DriveMode::Image) d64.unmount();
  mode = DriveMode::None;
  path.clear();
  entries.clear();
}

void DiskDrive::rescanDirectory() {
  entries.clear();
  std::error_code ec;
  fs::directory_iterator it(path, ec);
  if (ec) return;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    std::string file = it->path().filename().string();
    if (!hasPrgExtension(file) || !usableHostFile(path, it->path())) continue;
    Entry e;
    e.name = file.substr(0, file.size() - kHostExtensionSize);
    // A name that could not be read back ("." from "..prg") is not listed.
    if (!safeHostName(e.name)) continue;
    std::error_code sizeEc;
    uintmax_t size = fs::file_size(it->path(), sizeEc);
    e.blocks = sizeEc ? 0 : static_cast<int>(std::min<uintmax_t>((size + kD64BlockData - 1) / kD64BlockData, INT32_MAX));
    e.type = kD64TypePrg;
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
}

bool DiskDrive::readOnly() const { return mode == DriveMode::Image ? d64.is_read_only() : false; }

std::string DiskDrive::diskName() {
  if (mode == DriveMode::Image) return d64.get_disk_name();
  if (mode == DriveMode::Directory) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
  }
  return {};
}

std::string DiskDrive::diskId() {
  if (mode == DriveMode::Image) return d64.get_disk_id();
  return {};
}

std::vector<DiskDrive::Entry> DiskDrive::list() {
  std::vector<Entry> out;
  if (mode == DriveMode::Image) {
    int count = d64.get_file_count();
    for (int i = 0; i < count; ++i) {
      Entry e;
      char const* name = d64.get_file_name(i);
      e.name = name ? name : "";
      e.blocks = d64.get_file_size(i, D64_SIZETYPE_BLOCK);
      e.type = d64.get_file_type(i);
      out.push_back(std::move(e));
    }
  } else if (mode == DriveMode::Directory) {
    out = entries;
  }
  return out;
}

bool DiskDrive::readFile(int index, std::vector<unsigned char>& out) {
  out.clear();
  if (mode == DriveMode::Image) {
    if (index < 0 || index >= d64.get_file_count()) return failWith("Invalid file number");
    std::vector<unsigned char> buf(kDriveLoadBufferSize, 0);
    int n = d64.load_data(index, buf.data(), kDriveLoadBufferSize, 0, 0, true);
    // A file of only its load address loads 0 bytes and is still a file;
    // the error number tells failure.
    if (n < 1 && d64.get_last_errorid() != D64_ERR_NONE) return failWith(d64.get_last_error());
    uint16_t address = d64.get_last_start_address();
    out.push_back(static_cast<unsigned char>(address & 0xFF));
    out.push_back(static_cast<unsigned char>(address >> 8));
    out.insert(out.end(), buf.begin() + address, buf.begin() + address + std::max(n, 0));
    return true;
  }
  if (mode == DriveMode::Directory) {
    if (index < 0 || index >= static_cast<int>(entries.size())) return failWith("Invalid file number");
    return readFile(std::string(entries[index].name), out);
  }
  return failWith("Disk is not mounted");
}

bool DiskDrive::readFile(const std::string& name, std::vector<unsigned char>& out) {
  out.clear();
  if (mode == DriveMode::Image) {
    // The image's own lookup: a read finds the file a save of the same
    // name would replace.
    int i = d64.find_file(name.c_str());
    if (i < 0) return failWith("File not found");
    return readFile(i, out);
  }
  if (mode == DriveMode::Directory) return readHostFile(name, out);
  return failWith("Disk is not mounted");
}

fs::path DiskDrive::hostFileFor(const std::string& name) const {
  const fs::path exact = fs::path(path) / (name + kHostExtension);
  if (usableHostFile(path, exact)) return exact;
  // The extension in any mix of cases, as the listing accepts it; of
  // several spellings the first in byte order.
  std::string best;
  std::error_code ec;
  fs::directory_iterator it(path, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.size() != name.size() + kHostExtensionSize || file.compare(0, name.size(), name) != 0) continue;
    if (!hasPrgExtension(file) || !usableHostFile(path, it->path())) continue;
    if (best.empty() || file < best) best = file;
  }
  return best.empty() ? fs::path() : fs::path(path) / best;
}

bool DiskDrive::readHostFile(const std::string& name, std::vector<unsigned char>& out) {
  if (!safeHostName(name)) return failWith("Invalid file name");
  fs::path file = hostFileFor(name);
  if (file.empty()) return failWith("File not found");
  // Opened without blocking: a named pipe behind a ".prg" name must not
  // hang the editor waiting for a writer; it simply reads as empty.
  int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  FILE* f = fd >= 0 ? ::fdopen(fd, "rb") : nullptr;
  if (!f) {
    if (fd >= 0) ::close(fd);
    return failWith("File not found");
  }
  // No PRG file is larger than 64 KB plus its load address; a bigger file
  // (or an endless one such as a device) is refused rather than read.
  struct stat st {};
  if (::fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode) && static_cast<uintmax_t>(st.st_size) > kMaxPrgFileSize) {
    std::fclose(f);
    return failWith("File too large");
  }
  unsigned char chunk[kHostReadChunk];
  bool tooLarge = false;
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, f);
    if (n == 0) break;
    if (out.size() + n > kMaxPrgFileSize) {
      tooLarge = true;
      break;
    }
    out.insert(out.end(), chunk, chunk + n);
  }
  std::fclose(f);
  if (tooLarge) {
    out.clear();
    return failWith("File too large");
  }
  if (out.size() < 2) {
    out.clear();
    return failWith("Cannot read file");
  }
  return true;
}

bool DiskDrive::writeFile(const std::string& name, const std::vector<unsigned char>& prg) {
  if (prg.size() < 2) return failWith("Nothing to save");
  if (mode == DriveMode::None) return failWith("Disk is not mounted");
  if (mode == DriveMode::Image) {
    std::vector<unsigned char> mem(kRamSize, 0);
    long address = prg[0] | (prg[1] << 8);
    long length = static_cast<long>(prg.size()) - 2;
    if (address + length > kRamSize) length = kRamSize - address;  // data past $FFFF is cut off
    // A file on an image holds at most 65535 data bytes; 64 KB from $0000
    // would silently lose its last byte.
    if (length > 0xFFFF) return failWith("File too large");
    std::copy(prg.begin() + 2, prg.begin() + 2 + length, mem.begin() + address);
    d64.save_data(name.c_str(), mem.data(), kRamSize, static_cast<unsigned short>(address),
                  static_cast<unsigned short>(length));
    // A file of only its load address saves 0 data bytes; the error number
    // tells failure.
    if (d64.get_last_errorid() != D64_ERR_NONE) return failWith(d64.get_last_error());
    return true;
  }
  if (!safeHostName(name)) return failWith("Invalid file name");
  fs::path file = fs::path(path) / (name + kHostExtension);
  std::error_code ec;
  // symlink_status: a dangling link counts as existing, so a write never
  // follows one out of the directory.
  if (fs::exists(fs::symlink_status(file, ec))) return failWith("File already exists");
  FILE* f = std::fopen(file.c_str(), "wbx");
  if (!f) return failWith("Cannot create file");
  bool ok = std::fwrite(prg.data(), 1, prg.size(), f) == prg.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    // Part of a file (the disk filled up) would list and load as if it
    // were whole and block a second try under the name: it goes. "x"
    // made it new above, so nothing that was there before is removed.
    fs::remove(file, ec);
    return failWith("Cannot create file");
  }
  rescanDirectory();
  return true;
}

std::vector<unsigned char> DiskDrive::blankD64(const std::string& name, const std::string& id) {
  std::vector<unsigned char> img(kD64Size, 0);
  unsigned char* bam = &img[D64::track[kD64DirTrack] + D64::sector[kD64BamSector]];
  bam[kBamDirTrack] = kD64DirTrack;
  bam[kBamDirSector] = kD64FirstDirSector;
  bam[kBamDosVersion] = 'A';
  for (int t = 1; t <= kD64Tracks; ++t) {
    unsigned char* entry = bam + kBamTrackEntries + kBamTrackEntrySize * (t - 1);
    int n = D64::sector_count[t];
    entry[0] = static_cast<unsigned char>(n);
    for (int s = 0; s < n; ++s) entry[1 + (s >> 3)] |= static_cast<unsigned char>(1 << (s & 7));
  }
  // The BAM and the first directory sector are in use.
  unsigned char* dirEntry = bam + kBamTrackEntries + kBamTrackEntrySize * (kD64DirTrack - 1);
  dirEntry[1] &= static_cast<unsigned char>(~((1 << kD64BamSector) | (1 << kD64FirstDirSector)));
  dirEntry[0] = static_cast<unsigned char>(D64::sector_count[kD64DirTrack] - 2);
  std::memset(bam + kBamDiskName, kD64Pad, kBamHeaderEnd - kBamDiskName);
  for (size_t k = 0; k < name.size() && k < static_cast<size_t>(kD64NameSize); ++k)
    bam[kBamDiskName + k] = asciiUpper(name[k]);
  for (size_t k = 0; k < 2; ++k) bam[kBamDiskId + k] = k < id.size() ? asciiUpper(id[k]) : '0';
  bam[kBamDiskId + 2] = kD64Pad;
  bam[kBamDosType] = '2';
  bam[kBamDosType + 1] = 'A';
  unsigned char* dir = &img[D64::track[kD64DirTrack] + D64::sector[kD64FirstDirSector]];
  dir[0] = 0;
  dir[1] = 0xFF;  // an empty, last directory sector
  return img;
}
