// Whole-file reader: fstat decides the size, so directories and special
// files never report the huge end positions that would break a resize.
#include "core/FileUtil.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
  // Opened without blocking: a named pipe must not hang the program until
  // some writer appears; like any other special file it reads as empty.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    ::close(fd);
    return false;
  }
  struct stat st {};
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
    std::fclose(f);
    out.clear();
    return true;
  }
  const uint64_t size = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
  if (size > kMaxWholeFileSize) {
    std::fclose(f);
    return false;
  }
  out.resize(size);
  const size_t got = size ? std::fread(out.data(), 1, size, f) : 0;
  out.resize(got);
  std::fclose(f);
  return true;
}
