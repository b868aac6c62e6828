// The monitor console under random rows: the input is typed as the
// Monitor window types it (bytes 1-9 are editing keys, a line feed runs the
// row, a vertical tab lets a listing run, form feed clears the screen) on a
// machine with a blank D64 image on device 8, a host directory on device 9
// and host callbacks on device 6. Nothing may crash, the machine may change
// only its memory image and the console screen, and the only files on disk
// afterwards are the image (of its fixed size) and files inside the host
// directory.
#include "cpu/Monitor.h"
#include "disk/DiskDrive.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kRunRow = '\n';
constexpr uint8_t kLetListRun = '\v';
constexpr uint8_t kClearScreen = '\f';
constexpr int kTicksPerRun = 600;

void check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// Media sit two folders deep inside a jail, so a name that climbed out of
// the host directory would still land where the jail's listing sees it.
struct Media {
  fs::path jail, image, host;
  std::vector<unsigned char> blank = DiskDrive::blankD64("fuzz", "01");
  Media() {
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    jail = base / ("tilvox-monitor-fuzz-" + std::to_string(::getpid()));
    image = jail / "a" / "b" / "disk.d64";
    host = jail / "a" / "b" / "host";
  }
  ~Media() {
    std::error_code ec;
    fs::remove_all(jail, ec);
  }
  void reset() {
    std::error_code ec;
    fs::remove_all(jail, ec);
    fs::create_directories(host);
    std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(blank.data()),
                                                 static_cast<std::streamsize>(blank.size()));
  }
  void checkNothingElseWritten() const {
    for (const auto& e : fs::recursive_directory_iterator(jail)) {
      const fs::path& p = e.path();
      if (p == jail / "a" || p == jail / "a" / "b" || p == image || p == host) continue;
      check(p.parent_path() == host && e.is_regular_file(), "a file written outside the media");
    }
    check(fs::file_size(image) == blank.size(), "the image keeps its size");
  }
};

Media& media() {
  static Media m;
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Media& md = media();
  md.reset();
  auto machine = std::make_unique<Machine>();
  for (int i = 0; i < kCharRomSize; ++i) machine->charRom[i] = static_cast<uint8_t>(i * 13);
  machine->vicRegs[kRegBorder] = 14;
  const auto romBefore = machine->charRom;
  const auto regsBefore = machine->vicRegs;
  CPU6502 cpu(*machine);
  Monitor mon(*machine, cpu);
  DiskDrive drives[2];
  check(drives[0].mountD64(md.image.string()), "the image mounts");
  check(drives[1].mountDirectory(md.host.string()), "the directory mounts");
  mon.getDrive = [&drives](int device) { return device == 8 || device == 9 ? &drives[device - 8] : nullptr; };
  bool found = false;
  const std::vector<uint8_t> hostFile = {0xF0, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  mon.hostLoad = [&](const std::string&) {
    found = !found;
    mon.hostLoadDone(found ? &hostFile : nullptr);
  };
  mon.hostSave = [&](const std::string&, const std::vector<uint8_t>& prg) {
    check(prg.size() >= 3 && prg.size() <= 0x10001, "a saved range lies inside memory");
    mon.hostSaveDone(true, static_cast<int>(prg.size()) - 2);
  };
  int goes = 0;
  mon.onGo = [&goes](uint16_t) { ++goes; };

  for (size_t i = 0; i < size; ++i) {
    const uint8_t b = data[i];
    if (b >= EditKey::Insert && b <= EditKey::Home) {
      mon.editKey(static_cast<EditKey>(b), (i & 1) != 0);
    } else if (b == kRunRow) {
      mon.enter();
    } else if (b == kLetListRun) {
      for (int t = 0; t < kTicksPerRun && mon.listing; ++t) mon.tick();
    } else if (b == kClearScreen) {
      mon.clear();
    } else {
      const int code = Monitor::typedCode(b);
      mon.typeChar(static_cast<uint8_t>(code >= 0 ? code : b));
    }
    check(mon.col >= 0 && mon.col < kMonitorCols && mon.row >= 0 && mon.row < kMonitorRows, "the cursor stays on screen");
  }
  check(machine->charRom == romBefore, "the character ROM is untouched");
  check(machine->vicRegs == regsBefore, "the video registers are untouched");
  check(machine->bank == 0 && machine->pen == 14, "bank and pen are untouched");
  drives[0].unmount();
  md.checkNothingElseWritten();
  return 0;
}
