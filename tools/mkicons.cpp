// Draws the tool glyphs (24-bit BMP files), the window icon (PNG) and the
// about box's pictures (24-bit BMP files, each text pixel drawn as a square
// block) from their text pictures in assets/src/icons.txt and
// assets/src/about.txt.
//   mkicons <pictures.txt> <output directory>
#include <stb_image_write.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Rgba {
  uint8_t r, g, b, a;
};

constexpr char kKeyChar = '.';
constexpr int kBmpHeaderSize = 54;
constexpr int kMaxScale = 8;

void put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(x & 0xFF);
  v.push_back((x >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& v, uint32_t x) {
  put16(v, x & 0xFFFF);
  put16(v, x >> 16);
}

// An uncompressed bottom-up 24-bit BMP with rows padded to 4 bytes.
std::vector<uint8_t> makeBmp(const std::vector<Rgba>& px, int w, int h) {
  const uint32_t stride = (w * 3 + 3) & ~3u;
  const uint32_t dataSize = stride * h;
  std::vector<uint8_t> v;
  v.push_back('B');
  v.push_back('M');
  put32(v, kBmpHeaderSize + dataSize);
  put32(v, 0);
  put32(v, kBmpHeaderSize);
  put32(v, 40);  // BITMAPINFOHEADER
  put32(v, w);
  put32(v, h);
  put16(v, 1);
  put16(v, 24);
  put32(v, 0);  // no compression
  put32(v, dataSize);
  put32(v, 2835);  // 72 dpi
  put32(v, 2835);
  put32(v, 0);
  put32(v, 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) {
      const Rgba& c = px[y * w + x];
      v.push_back(c.b);
      v.push_back(c.g);
      v.push_back(c.r);
    }
    for (uint32_t pad = w * 3; pad < stride; ++pad) v.push_back(0);
  }
  return v;
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mkicons <icons.txt> <output directory>\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "mkicons: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string outDir = argv[2];
  std::map<char, Rgba> legend;
  std::string line;
  int lineNo = 0;
  int written = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ls(line);
    std::string word;
    ls >> word;
    if (word == "color") {
      std::string ch;
      int r, g, b, a;
      if (!(ls >> ch >> r >> g >> b >> a) || ch.size() != 1) {
        std::fprintf(stderr, "mkicons: line %d: bad colour\n", lineNo);
        return 1;
      }
      legend[ch[0]] = Rgba{uint8_t(r), uint8_t(g), uint8_t(b), uint8_t(a)};
      continue;
    }
    if (word != "bmp" && word != "png" && word != "picture") {
      std::fprintf(stderr, "mkicons: line %d: unknown '%s'\n", lineNo, word.c_str());
      return 1;
    }
    const bool bmp = word == "bmp";
    const bool picture = word == "picture";
    std::string name;
    ls >> name;
    int scale = 1;
    if (picture && (!(ls >> scale) || scale < 1 || scale > kMaxScale)) {
      std::fprintf(stderr, "mkicons: line %d: a picture needs a scale of 1-%d\n", lineNo, kMaxScale);
      return 1;
    }
    std::vector<std::string> rows;
    while (std::getline(in, line)) {
      ++lineNo;
      if (line == "end") break;
      if (!rows.empty() && line.size() != rows[0].size()) {
        std::fprintf(stderr, "mkicons: line %d: row of %s has %zu columns, not %zu\n", lineNo, name.c_str(),
                     line.size(), rows[0].size());
        return 1;
      }
      rows.push_back(line);
    }
    if (rows.empty() || rows[0].empty()) {
      std::fprintf(stderr, "mkicons: %s is empty\n", name.c_str());
      return 1;
    }
    const int w = static_cast<int>(rows[0].size());
    const int h = static_cast<int>(rows.size());
    if (bmp && rows[h - 1][0] != kKeyChar) {
      std::fprintf(stderr, "mkicons: %s: the bottom-left pixel must be the key colour\n", name.c_str());
      return 1;
    }
    std::vector<Rgba> px;
    for (const std::string& row : rows) {
      std::vector<Rgba> line;
      for (char c : row) {
        auto it = legend.find(c);
        if (it == legend.end()) {
          std::fprintf(stderr, "mkicons: %s: colour '%c' has no legend entry\n", name.c_str(), c);
          return 1;
        }
        line.insert(line.end(), scale, it->second);
      }
      for (int i = 0; i < scale; ++i) px.insert(px.end(), line.begin(), line.end());
    }
    const std::string path = outDir + "/" + name;
    bool ok;
    if (bmp || picture) {
      ok = writeBytes(path, makeBmp(px, w * scale, h * scale));
    } else {
      ok = stbi_write_png(path.c_str(), w, h, 4, px.data(), w * 4) != 0;
    }
    if (!ok) {
      std::fprintf(stderr, "mkicons: cannot write %s\n", path.c_str());
      // No part of the picture is left for a later build to take as done.
      std::remove(path.c_str());
      return 1;
    }
    ++written;
  }
  std::printf("mkicons: %d pictures\n", written);
  return 0;
}
