// Whole-file reader: fstat decides the size, so directories and special
// files never report the huge end positions that would break a resize.
#include "core/FileUtil.h"

#include <cstdio>
#include <sys/stat.h>

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
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
