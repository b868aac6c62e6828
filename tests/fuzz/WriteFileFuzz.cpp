// Whole-file saves with failures on purpose: the input picks the file (an
// ordinary one, one with a second hard link, none yet, or one whose
// directory refuses new names), the old and new sizes, how much space the
// disk has left, how many bytes a read or write moves, and which system
// calls fail at which use. After a reported failure every name shows the
// old bytes (or still nothing); after a success the new ones; links stay
// links, no temporary file is left behind, and a temporary file that finds
// no space fails the save.
#include "platform/Platform.h"
#include "tests/SaveFaults.h"
#include "tests/fuzz/FuzzUtil.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

enum Kind { Ordinary, Linked, Absent, RefusingDirectory, kKindCount };

constexpr int kErrors[] = {ENOSPC, EDQUOT, EFBIG, EIO,     EINTR,  EACCES,
                           EPERM,  ENAMETOOLONG, EOPNOTSUPP, ENOSYS, EINVAL, EMFILE};
constexpr int kMaxFaults = 4;

// The directory of the saves, removed again when the run ends.
struct ScratchDir {
  fs::path path;
  ScratchDir() {
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    path = base / ("tilvox-fuzz-save-" + std::to_string(::getpid()));
  }
  ~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

std::vector<uint8_t> bytes(size_t size, uint8_t seed) {
  std::vector<uint8_t> out(size);
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return out;
}

std::vector<uint8_t> contents(const fs::path& p) {
  std::vector<uint8_t> out;
  if (!Platform::readFile(p.string(), out)) fuzz::fail("a file the save had is gone");
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const int kind = in.byte() % kKindCount;
  const size_t oldSize = in.word(), newSize = in.word();
  const uint8_t seed = in.byte();
  savefaults::Plan plan;
  const uint16_t space = in.word();
  if (!(space & 0x8000)) plan.space = space;
  const uint8_t chunk = in.byte();
  if (chunk & 0x80) plan.chunk = 1 + (chunk & 0x7F) * 64u;
  // The refusal only chooses the way of saving; the failure after it is
  // the one that has to leave the old file alone.
  if (kind == RefusingDirectory) plan.faults.push_back({savefaults::Mkostemp, 1, EACCES});
  plan.quietAfter = kind == RefusingDirectory ? 2 : 1;
  for (int n = 0; n < kMaxFaults && in.left() >= 3; ++n) {
    const int call = in.byte() % savefaults::kCallCount;
    const int use = 1 + in.byte() % 8;
    plan.faults.push_back({call, use, kErrors[in.byte() % std::size(kErrors)]});
  }

  static const ScratchDir scratch;
  const fs::path& dir = scratch.path;
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  const fs::path a = dir / "a.prg", b = dir / "b.prg";
  const std::vector<uint8_t> old = bytes(oldSize, seed), fresh = bytes(newSize, static_cast<uint8_t>(seed + 1));
  if (kind != Absent && !Platform::writeFile(a.string(), old)) fuzz::fail("the old file is written");
  if (kind == Linked) fs::create_hard_link(a, b);
  const std::vector<std::string> names = fuzz::namesIn(dir);
  struct stat before {};
  ::stat(a.c_str(), &before);

  const bool saved = [&] {
    savefaults::Injector faults(plan);
    return Platform::writeFile(a.string(), fresh);
  }();

  // No room for the temporary file fails the save rather than sending it
  // to write in place.
  const auto tempFault = std::find_if(plan.faults.begin(), plan.faults.end(),
                                      [](auto& f) { return f.call == savefaults::Mkostemp && f.use == 1; });
  const bool noRoomForTemp = (kind == Ordinary || kind == Absent) && tempFault != plan.faults.end() &&
                             (tempFault->error == ENOSPC || tempFault->error == EDQUOT);
  fuzz::check(!(saved && noRoomForTemp), "no room for the temporary file fails the save");
  if (saved) {
    fuzz::check(contents(a) == fresh, "a save that succeeds leaves the new bytes");
    std::vector<std::string> now = names;
    if (kind == Absent) now.push_back("a.prg");
    fuzz::check(fuzz::namesIn(dir) == now, "a save leaves no temporary file");
  } else {
    fuzz::check(fuzz::namesIn(dir) == names, "a failed save leaves no file of its own");
    if (kind != Absent) fuzz::check(contents(a) == old, "a failed save keeps the old bytes");
  }
  if (kind == Linked) {
    struct stat after {};
    fuzz::check(::stat(a.c_str(), &after) == 0 && after.st_ino == before.st_ino && after.st_nlink == 2,
                "a hard-linked file stays linked");
    fuzz::check(contents(b) == (saved ? fresh : old), "both names show the same bytes");
  }
  return 0;
}
