// Host-directory drives: the input describes files, folders, pipes and
// links (inside and out of the directory) with any byte in their names.
// Every listed name reads (or is refused for its size), names whose file
// lies outside never read, a file written reads back, and a write that
// fails leaves the directory as it was.
#include "disk/DiskDrive.h"
#include "tests/fuzz/FuzzUtil.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The scratch directory of this process, in memory where the system has
// it; removed again when the process exits, which libFuzzer does through
// exit() at the end of a timed run (a crash keeps it for a look).
fs::path scratchRoot() {
  static const struct Root {
    fs::path path;
    ~Root() {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  } root{[] {
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path r = base / ("tilvox-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(r / "outside");
    std::ofstream(r / "outside" / "secret.prg", std::ios::binary) << "\x01\x08secret";
    return r;
  }()};
  return root.path;
}

std::string hostName(fuzz::Input& in) {
  std::string name = in.text(in.byte() % 24);
  for (char& c : name)
    if (c == '/' || c == '\0') c = '_';
  if (in.byte() & 1) name += (in.left() & 1) ? ".prg" : ".PrG";
  return name;
}

// A new regular file; a name made earlier as something else (a pipe
// above all, which would block the write until a reader came) is left.
void makeFile(const fs::path& p, const std::string& bytes) {
  const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return;
  if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) fuzz::fail("scratch file write");
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const fs::path dir = scratchRoot() / "dir";
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir);
  std::vector<std::string> outsideLinks;
  for (int n = 0; n < 8 && in.left() > 1; ++n) {
    const uint8_t kind = in.byte() % 6;
    const std::string name = hostName(in);
    if (name.empty() || name == "." || name == "..") continue;
    const fs::path p = dir / name;
    switch (kind) {
      case 0:
      case 1: makeFile(p, in.text(in.byte())); break;
      case 2: fs::create_directory(p, ec); break;
      case 3: ::mkfifo(p.c_str(), 0600); break;
      case 4:
        fs::create_symlink("../outside/secret.prg", p, ec);
        if (!ec) outsideLinks.push_back(name);
        break;
      case 5: fs::create_symlink(hostName(in), p, ec); break;
    }
  }

  DiskDrive drive;
  fuzz::check(drive.mountDirectory(dir.string()), "the directory mounts");
  const std::vector<DiskDrive::Entry> list = drive.list();
  std::vector<unsigned char> got;
  for (size_t i = 0; i < list.size(); ++i) {
    if (!drive.readFile(static_cast<int>(i), got))
      fuzz::check(drive.error == "Cannot read file" || drive.error == "File too large", "every listed name reads");
  }
  for (const std::string& link : outsideLinks) {
    const std::string stem = link.size() > 4 ? link.substr(0, link.size() - 4) : link;
    if (drive.readFile(stem, got))
      fuzz::check(std::string(got.begin(), got.end()) != "\x01\x08secret", "no link out is followed");
  }
  const std::string newName = hostName(in);
  const std::vector<unsigned char> prg = {0x01, 0x08, 0xAB};
  const std::vector<std::string> before = fuzz::namesIn(dir);
  if (drive.writeFile(newName, prg)) {
    fuzz::check(drive.readFile(newName, got) && got == prg, "a written file reads back");
  } else {
    fuzz::check(fuzz::namesIn(dir) == before, "a failed write leaves the directory as it was");
  }
  return 0;
}
