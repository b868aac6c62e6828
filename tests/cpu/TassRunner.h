// Runs Debian's 64tass on a source text for the cross-check tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

constexpr char kTassPath[] = "/usr/bin/64tass";

inline bool tassAvailable() { return access(kTassPath, X_OK) == 0; }

// Assembles source with 64tass into raw bytes (no load address), from the
// lowest address written to the highest. Returns false when it fails.
inline bool runTass(const std::string& source, const std::string& name, std::vector<uint8_t>& bytes) {
  const std::string dir = testing::TempDir();
  const std::string src = dir + name + ".asm";
  const std::string bin = dir + name + ".bin";
  {
    std::ofstream out(src, std::ios::binary);
    out << source;
  }
  std::remove(bin.c_str());
  const std::string cmd = std::string(kTassPath) + " -q -Wno-jmp-bug -b -o '" + bin + "' '" + src + "' 2>&1";
  if (std::system(cmd.c_str()) != 0) return false;
  std::ifstream in(bin, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !bytes.empty();
}
