// Helpers shared by the disk tests: temporary directories, whole files,
// sector access inside an image held in memory, and the cc1541 peer.
#pragma once

#include "disk/D64.h"
#include "disk/DiskDrive.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace disktest {

namespace fs = std::filesystem;

class TempDir {
public:
  TempDir() {
    path_ = fs::temp_directory_path() /
            ("tilvox_disk_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
  fs::path path_;
  static inline int counter_ = 0;
};

inline void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<unsigned char> readBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline size_t sectorOffset(int t, int s) { return static_cast<size_t>(D64::track[t] + D64::sector[s]); }

inline const unsigned char* sectorAt(const std::vector<unsigned char>& img, int t, int s) {
  return img.data() + sectorOffset(t, s);
}

// A file's sector chain, read from the image bytes.
inline std::vector<std::pair<int, int>> chainOf(const std::vector<unsigned char>& img, int t, int s) {
  std::vector<std::pair<int, int>> chain;
  while (t != 0 && chain.size() < 700) {
    chain.push_back({t, s});
    const unsigned char* sec = sectorAt(img, t, s);
    t = sec[0];
    s = sec[1];
  }
  return chain;
}

// PRG bytes: load address, then `size` pseudo-random data bytes.
inline std::vector<unsigned char> makePrg(uint16_t address, size_t size, unsigned seed) {
  std::vector<unsigned char> prg = {static_cast<unsigned char>(address & 0xFF), static_cast<unsigned char>(address >> 8)};
  unsigned x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    prg.push_back(static_cast<unsigned char>(x >> 16));
  }
  return prg;
}

// prefix followed by the number, e.g. "F12".
inline std::string numbered(const char* prefix, int i) {
  std::string s(prefix);
  s += std::to_string(i);
  return s;
}

inline bool haveCc1541() { return ::access("/usr/bin/cc1541", X_OK) == 0; }

// Runs a shell command; returns its exit status and fills `output` with
// its standard output and error.
inline int run(const std::string& command, std::string& output) {
  output.clear();
  FILE* p = ::popen((command + " 2>&1").c_str(), "r");
  if (!p) return -1;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
  int status = ::pclose(p);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

// A shell command line: each word quoted, joined by spaces.
inline std::string commandLine(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) {
    if (!line.empty()) line += ' ';
    line += quote(w);
  }
  return line;
}

}  // namespace disktest
