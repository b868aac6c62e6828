// Builds the 4 KB character set C64Chars.bin from a readable glyph source.
//
// Source format: between glyphs, blank lines and lines starting with '#'
// are ignored; a line "upper N" or "lower N" (N = screen code 0-127) starts
// a glyph, and the next 8 lines draw it with '.' for a clear and any other
// character for a set pixel, leftmost column = bit 7. Those 8 rows are
// taken as they are, so a row may start with '#' (column 0 set).
//
// Output: upper-case/graphics set (codes 0-255) then lower-case set. In the
// lower-case set, codes 65-90 repeat the upper-case letters of codes 1-26
// and every code the source leaves out repeats the upper-case set's glyph.
// Codes 128-255 of each half are the bit inverse of codes 0-127, so 160 is
// the solid block.
#include <array>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Glyph = std::array<unsigned char, 8>;
constexpr int kCodes = 128;

struct Source {
  std::array<std::optional<Glyph>, kCodes> upper;
  std::array<std::optional<Glyph>, kCodes> lower;
};

bool parse(const char* path, Source& src) {
  std::ifstream in(path);
  if (!in) {
    std::fprintf(stderr, "mkcharset: cannot read %s\n", path);
    return false;
  }
  std::string line;
  int lineNo = 0;
  auto readLine = [&](std::string& out) {
    if (!std::getline(in, out)) return false;
    ++lineNo;
    if (!out.empty() && out.back() == '\r') out.pop_back();
    return true;
  };
  auto next = [&](std::string& out) {
    while (readLine(out))
      if (!out.empty() && out[0] != '#') return true;
    return false;
  };
  while (next(line)) {
    std::istringstream head(line);
    std::string set;
    int code = -1;
    head >> set >> code;
    if ((set != "upper" && set != "lower") || code < 0 || code >= kCodes) {
      std::fprintf(stderr, "%s:%d: expected 'upper N' or 'lower N'\n", path, lineNo);
      return false;
    }
    Glyph g{};
    for (int row = 0; row < 8; ++row) {
      std::string bits;
      if (!readLine(bits) || bits.size() < 8) {
        std::fprintf(stderr, "%s:%d: glyph %s %d needs 8 rows of 8 columns\n", path, lineNo, set.c_str(), code);
        return false;
      }
      for (int col = 0; col < 8; ++col)
        if (bits[col] != '.') g[row] |= static_cast<unsigned char>(0x80 >> col);
    }
    (set == "upper" ? src.upper : src.lower)[code] = g;
  }
  return true;
}

// A glyph the source does not draw: a hollow box, never blank or solid.
Glyph fallback() { return {0xFF, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0xFF}; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mkcharset SOURCE OUT\n");
    return 2;
  }
  Source src;
  if (!parse(argv[1], src)) return 1;

  std::vector<unsigned char> rom(4096, 0);
  auto put = [&](int half, int code, const Glyph& g) {
    for (int row = 0; row < 8; ++row) {
      rom[half * 2048 + code * 8 + row] = g[row];
      rom[half * 2048 + (code + 128) * 8 + row] = static_cast<unsigned char>(~g[row]);
    }
  };
  for (int code = 0; code < kCodes; ++code) {
    const Glyph up = src.upper[code] ? *src.upper[code] : (code == 32 ? Glyph{} : fallback());
    put(0, code, up);
    Glyph low = up;
    if (src.lower[code]) low = *src.lower[code];
    else if (code >= 65 && code <= 90 && src.upper[code - 64]) low = *src.upper[code - 64];
    put(1, code, low);
  }

  FILE* f = std::fopen(argv[2], "wb");
  if (!f || std::fwrite(rom.data(), 1, rom.size(), f) != rom.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "mkcharset: cannot write %s\n", argv[2]);
    // No part of the file is left for a later build to take as done.
    if (f) std::remove(argv[2]);
    return 1;
  }
  return 0;
}
