// Writes the power-on memory image C64Raw.bin: 64 KB of zeros with the
// text screen at $0400 cleared to spaces and colour memory set to light
// blue, the state a freshly started C64 shows. No ROM bytes are included.
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mkpoweron OUT\n");
    return 2;
  }
  constexpr int kScreen = 0x0400, kColor = 0xD800, kCells = 1000;
  constexpr unsigned char kSpace = 32, kLightBlue = 14;
  std::vector<unsigned char> ram(65536, 0);
  for (int i = 0; i < kCells; ++i) {
    ram[kScreen + i] = kSpace;
    ram[kColor + i] = kLightBlue;
  }
  FILE* f = std::fopen(argv[1], "wb");
  if (!f || std::fwrite(ram.data(), 1, ram.size(), f) != ram.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "mkpoweron: cannot write %s\n", argv[1]);
    // No part of the file is left for a later build to take as done.
    if (f) std::remove(argv[1]);
    return 1;
  }
  return 0;
}
