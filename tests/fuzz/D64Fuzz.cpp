// D64 images: a small image made by the drive's own writer, patched by the
// input (mostly on the directory track), mounted from memory, listed, read
// and written. A file saved must read back, before and after a new mount.
#include "disk/DiskDrive.h"
#include "tests/fuzz/FuzzUtil.h"

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
  for (size_t i = 0; i < list.size(); ++i) {
    drive.readFile(static_cast<int>(i), got);
    drive.readFile(list[i].name, got);
  }
  drive.diskName();
  drive.diskId();

  const std::vector<unsigned char> prg = {0x00, 0x20, flags, 1, 2, 3, 4, 5, 6, 7};
  const std::string name = (flags & 0x10) && !list.empty() ? "@:" + list[0].name : std::string("NEW");
  if (!drive.writeFile(name, prg)) return 0;
  const std::string plain = name.compare(0, 2, "@:") == 0 ? name.substr(2) : name;
  fuzz::check(drive.readFile(plain, got) && got == prg, "a saved file reads back");
  fuzz::check(drive.mountD64(file().path), "an image saved to mounts again");
  fuzz::check(drive.readFile(plain, got) && got == prg, "a saved file reads back after a new mount");
  return 0;
}
