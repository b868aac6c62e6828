// D64 images: a small image made by the drive's own writer, patched by the
// input (mostly on the directory track), mounted from memory, listed, read
// and written. A file saved must read back, before and after a new mount,
// and every other file whose sectors the image marks as its own must read
// as before.
#include "disk/DiskDrive.h"
#include "tests/fuzz/FuzzUtil.h"

#include <algorithm>
#include <set>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr int kDirTrackBytes = 19 * kD64SectorSize;

// An in-memory file with a path the image class can open.
struct MemFile {
  int fd = ::memfd_create("tilvox-fuzz", 0);
  std::string path = "/proc/self/fd/" + std::to_string(fd);
  void put(const std::vector<uint8_t>& bytes) {
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
      fuzz::fail("memfd write");
  }
  std::vector<uint8_t> get() const {
    std::vector<uint8_t> out(static_cast<size_t>(::lseek(fd, 0, SEEK_END)));
    if (::pread(fd, out.data(), out.size(), 0) != static_cast<ssize_t>(out.size())) fuzz::fail("memfd read");
    return out;
  }
};

MemFile& file() {
  static MemFile f;
  return f;
}

// A blank image holding three files written through the drive.
const std::vector<uint8_t>& baseImage() {
  static const std::vector<uint8_t> image = [] {
    file().put(DiskDrive::blankD64("fuzz", "fz"));
    DiskDrive drive;
    if (!drive.mountD64(file().path)) fuzz::fail("base image mounts");
    std::vector<unsigned char> prg = {0x01, 0x08};
    for (int i = 0; i < 600; ++i) prg.push_back(static_cast<unsigned char>(i * 7));
    drive.writeFile("ONE", prg);
    drive.writeFile("TWO", std::vector<unsigned char>(prg.begin(), prg.begin() + 40));
    drive.writeFile("THREE", {0x00, 0xC0});
    drive.unmount();
    return file().get();
  }();
  return image;
}

using Sector = std::pair<int, int>;

// A chain of sectors from (t, s), walked as the image class walks one: while
// the track is 1-35 and the sector on it, at most once round the disk.
std::set<Sector> chainFrom(const std::vector<uint8_t>& image, int t, int s) {
  std::set<Sector> chain;
  for (int n = 0; n < kD64SectorTotal && t >= 1 && t <= kD64Tracks && s < D64::sector_count[t]; ++n) {
    chain.insert({t, s});
    const uint8_t* sec = &image[D64::track[t] + D64::sector[s]];
    t = sec[0];
    s = sec[1];
    if (t == 0) break;
  }
  return chain;
}

bool markedUsed(const std::vector<uint8_t>& image, Sector ts) {
  const uint8_t* bam = &image[D64::track[kD64DirTrack] + D64::sector[kD64BamSector]];
  const uint8_t* map = bam + kBamTrackEntries + kBamTrackEntrySize * (ts.first - 1) + 1;
  return !(map[ts.second >> 3] & (1 << (ts.second & 7)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  std::vector<uint8_t> image = baseImage();
  const uint8_t flags = in.byte();
  while (in.left() >= 3) {
    const uint8_t where = in.byte();
    const uint16_t at = in.word();
    // Most patches land on the directory track, where the structure is.
    size_t offset = (where & 0x80) ? D64::track[kD64DirTrack] + at % kDirTrackBytes
                                   : (static_cast<size_t>(where) << 16 | at) % image.size();
    const std::vector<uint8_t> patch = in.bytes(1 + (where & 0x1F));
    for (uint8_t b : patch) image[offset++ % image.size()] = b;
  }
  if (flags & 1) image.resize(kD64SizeErrorBytes, 0);  // read-only kind
  if (flags & 2) image.resize(image.size() - 1 - flags / 4);  // a size no disk has
  file().put(image);

  DiskDrive drive;
  if (!drive.mountD64(file().path)) return 0;
  const std::vector<DiskDrive::Entry> list = drive.list();
  std::vector<unsigned char> got;
  std::vector<std::pair<bool, std::vector<unsigned char>>> before;
  for (size_t i = 0; i < list.size(); ++i) {
    const bool read = drive.readFile(static_cast<int>(i), got);
    before.emplace_back(read, got);
    drive.readFile(list[i].name, got);
  }
  drive.diskName();
  drive.diskId();

  const std::vector<unsigned char> prg = {0x00, 0x20, flags, 1, 2, 3, 4, 5, 6, 7};
  const std::string name = (flags & 0x10) && !list.empty() ? "@:" + list[0].name : std::string("NEW");
  const std::string plain = name.compare(0, 2, "@:") == 0 ? name.substr(2) : name;

  // Sectors a save may write: the BAM sector, the directory chain (18/1
  // always), the chain of the file it replaces, and whatever the BAM calls
  // free. A file kept clear of all of them must not change; a scratched
  // entry is a free slot that a new file may take.
  const unsigned char* dir = drive.d64.get_directory();
  const int replaced = name != plain ? drive.d64.find_file(plain.c_str()) : -1;
  std::set<Sector> written = chainFrom(image, kD64DirTrack, kD64FirstDirSector);
  written.insert({kD64DirTrack, kD64BamSector});
  auto chainOf = [&](int i) {
    const unsigned char* e = dir + i * kD64EntrySize;
    return chainFrom(image, e[kEntryTrack], e[kEntrySector]);
  };
  if (replaced >= 0) written.merge(chainOf(replaced));
  std::vector<int> kept;
  for (int i = 0; i < static_cast<int>(list.size()); ++i) {
    const std::set<Sector> chain = chainOf(i);
    const bool clear =
        std::all_of(chain.begin(), chain.end(), [&](Sector ts) { return markedUsed(image, ts) && !written.count(ts); });
    if (clear && i != replaced && dir[i * kD64EntrySize + kEntryType] != kD64TypeScratched) kept.push_back(i);
  }
  auto othersStay = [&](const char* what) {
    for (int i : kept) {
      const bool read = drive.readFile(i, got);
      fuzz::check(read == before[i].first && (!read || got == before[i].second), what);
    }
  };

  if (!drive.writeFile(name, prg)) return 0;
  fuzz::check(drive.readFile(plain, got) && got == prg, "a saved file reads back");
  othersStay("the other files read as before");
  fuzz::check(drive.mountD64(file().path), "an image saved to mounts again");
  fuzz::check(drive.readFile(plain, got) && got == prg, "a saved file reads back after a new mount");
  othersStay("the other files read as before after a new mount");
  return 0;
}
