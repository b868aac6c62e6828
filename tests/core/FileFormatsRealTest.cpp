// Picture files as the C64 paint programs write them, rendered: each file
// is built here from the program's own memory layout (load address, where
// bitmap, video matrix, colour memory and the colour bytes sit, junk in the
// gaps), loaded through the row its extension selects and rendered with the
// default palette. Every pixel of the 320x200 screen must show the colour
// the drawing was made with: coloured stripes, a filled circle, the word
// "KOALA" and a band along the bottom, in colours that change from cell to
// cell.
#include "core/FileFormats.h"
#include "core/Palette.h"
#include "core/Vic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kWidth = kDisplayWidth;    // 320
constexpr int kHeight = kDisplayHeight;  // 200
constexpr int kColumns = 40;
constexpr int kRows = 25;

// What the drawing holds at a screen pixel, in screen pixel coordinates.
enum Shape { kNothing, kText, kStripeA, kStripeB, kStripeC, kCircle, kBand };

// 5x7 glyphs, bit 4 leftmost.
constexpr std::array<std::array<uint8_t, 7>, 4> kGlyphs = {{
    {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11},  // K
    {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E},  // O
    {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11},  // A
    {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F},  // L
}};
constexpr int kWord[] = {0, 1, 2, 3, 2};  // K O A L A

// The word: glyph dots 4 pixels wide and 2 rows tall, from (40, 50).
constexpr int kTextX = 40, kTextY = 50, kDotW = 4, kDotH = 2, kLetterStep = 24;
// The circle: centre (160, 124), radius 60 screen pixels.
constexpr int kCircleX = 160, kCircleY = 124, kRadius = 60;
constexpr int kStripeRows = 48;  // stripes 8 rows tall above this row
constexpr int kBandY = 188;      // the band from this row down

Shape shapeAt(int x, int y) {
  if (y >= kTextY && y < kTextY + 7 * kDotH && x >= kTextX && x < kTextX + 5 * kLetterStep) {
    const int letter = (x - kTextX) / kLetterStep, dx = (x - kTextX) % kLetterStep / kDotW;
    if (dx < 5 && (kGlyphs[kWord[letter]][(y - kTextY) / kDotH] >> (4 - dx)) & 1) return kText;
  }
  if (y < kStripeRows) return static_cast<Shape>(kStripeA + (y / 8) % 3);
  const int dx = x - kCircleX, dy = y - kCircleY;
  if (dx * dx + dy * dy <= kRadius * kRadius) return kCircle;
  if (y >= kBandY) return kBand;
  return kNothing;
}

// A picture in the C64's terms: bitmap, video matrix, colour memory and
// the colour registers, with the colour number every screen pixel should
// show.
struct Picture {
  bool multicolor = true;
  Bytes bitmap = Bytes(kBitmapSize, 0);
  Bytes screen = Bytes(kScreenCells, 0);
  Bytes color = Bytes(kScreenCells, 0);
  uint8_t background = 0;
  uint8_t border = 0;
  std::array<uint8_t, kWidth * kHeight> expected{};
};

// Multicolour: bit pair 01 takes the video matrix's high nibble, 10 its low
// nibble, 11 colour memory, 00 the background. The three cell colours step
// through 1-15 from cell to cell and never meet in one cell. `fill` >= 0
// gives every cell that colour-memory colour (one-colour formats); a
// mirrored picture with shifted matrix colours serves as a second frame.
Picture multicolorPicture(int fill = -1, bool mirrored = false, int shift = 0) {
  Picture p;
  p.background = 0;  // black, unlike the reset document's blue
  p.border = 12;
  for (int cy = 0; cy < kRows; ++cy) {
    for (int cx = 0; cx < kColumns; ++cx) {
      const int cell = cy * kColumns + cx;
      const int c1 = 1 + (cx + cy + shift) % 15, c2 = 1 + (cx + cy + 5 + shift) % 15;
      const int c3 = fill >= 0 ? fill : 1 + (cx + cy + 10) % 15;
      p.screen[cell] = static_cast<uint8_t>(c1 << 4 | c2);
      // Colour memory keeps only four bits; files carry junk above them.
      p.color[cell] = static_cast<uint8_t>(0xF0 | c3);
      const int colors[4] = {p.background, c1, c2, c3};
      for (int row = 0; row < 8; ++row) {
        const int y = cy * 8 + row;
        uint8_t byte = 0;
        for (int pair = 0; pair < 4; ++pair) {
          const int x = cx * 8 + pair * 2;
          int v = 0;
          switch (shapeAt(mirrored ? kWidth - 2 - x : x, y)) {
            case kText: v = 1; break;
            case kStripeA: v = 1; break;
            case kStripeB: v = 2; break;
            case kStripeC: v = 3; break;
            case kCircle: v = 3; break;
            case kBand: v = 2; break;
            case kNothing: v = 0; break;
          }
          byte = static_cast<uint8_t>(byte | v << (6 - pair * 2));
          p.expected[y * kWidth + x] = p.expected[y * kWidth + x + 1] = static_cast<uint8_t>(colors[v]);
        }
        p.bitmap[cell * 8 + row] = byte;
      }
    }
  }
  return p;
}

// Hires: a set bit takes the video matrix's high nibble, a clear bit its
// low nibble. Stripes 4 rows tall alternate set and clear.
Picture hiresPicture() {
  Picture p;
  p.multicolor = false;
  p.border = 12;
  for (int cy = 0; cy < kRows; ++cy) {
    for (int cx = 0; cx < kColumns; ++cx) {
      const int cell = cy * kColumns + cx;
      const int fg = 1 + (cx + cy) % 15, bg = 1 + (cx + cy + 7) % 15;
      p.screen[cell] = static_cast<uint8_t>(fg << 4 | bg);
      for (int row = 0; row < 8; ++row) {
        const int y = cy * 8 + row;
        uint8_t byte = 0;
        for (int bit = 0; bit < 8; ++bit) {
          const int x = cx * 8 + bit;
          const Shape s = shapeAt(x, y);
          const bool set = s == kText || s == kCircle || s == kBand ||
                           ((s == kStripeA || s == kStripeB || s == kStripeC) && (y / 4) % 2 == 0);
          if (set) byte = static_cast<uint8_t>(byte | 0x80 >> bit);
          p.expected[y * kWidth + x] = static_cast<uint8_t>(set ? fg : bg);
        }
        p.bitmap[cell * 8 + row] = byte;
      }
    }
  }
  return p;
}

// The C64 memory range a file loads to, with its load address in front.
// The gaps between the parts hold junk, as they do in files saved from a
// running program.
struct FileImage {
  uint16_t load;
  Bytes bytes;
  FileImage(uint16_t loadAddress, size_t fileSize) : load(loadAddress), bytes(fileSize) {
    for (size_t i = 0; i < fileSize; ++i) bytes[i] = static_cast<uint8_t>(0xA5 ^ (i * 13));
    bytes[0] = static_cast<uint8_t>(loadAddress & 0xFF);
    bytes[1] = static_cast<uint8_t>(loadAddress >> 8);
  }
  void put(uint32_t address, const Bytes& part) {
    ASSERT_LE(2 + (address - load) + part.size(), bytes.size());
    std::copy(part.begin(), part.end(), bytes.begin() + 2 + (address - load));
  }
  void put(uint32_t address, uint8_t value) {
    ASSERT_LT(2 + (address - load), bytes.size());
    bytes[2 + (address - load)] = value;
  }
};

// Where a program keeps each part of its picture; 0 for a part its files
// lack.
struct RealLayout {
  const char* program;
  const char* extension;
  uint16_t load;
  size_t fileSize;  // load address included
  uint32_t bitmap, screen, color, background, border, colorFill;
};

// clang-format off
constexpr RealLayout kMulticolorLayouts[] = {
    {"Koala Painter",       "koa", 0x6000, 10003, 0x6000, 0x7F40, 0x8328, 0x8710, 0,      0},
    {"Run Paint",           "rpm", 0x6000, 10006, 0x6000, 0x7F40, 0x8328, 0x8710, 0,      0},
    {"Advanced Art Studio", "ocp", 0x2000, 10018, 0x2000, 0x3F40, 0x4338, 0x4329, 0,      0},
    {"Face Painter",        "fpt", 0x4000, 10004, 0x4000, 0x5F40, 0x6328, 0x6711, 0,      0},
    {"Blazing Paddles",     "pi",  0xA000, 10242, 0xA000, 0xC000, 0xC400, 0xBF80, 0,      0},
    {"Image System",        "ism", 0x3C00, 10218, 0x4000, 0x6000, 0x3C00, 0x5FFF, 0,      0},
    {"Saracen Paint",       "sar", 0x7800, 10219, 0x7C00, 0x7800, 0x9C00, 0x7BF0, 0,      0},
    {"Vidcom 64",           "vid", 0x5800, 10050, 0x6000, 0x5C00, 0x5800, 0x5FE8, 0,      0},
    {"Drazpaint",           "drp", 0x5800, 10051, 0x6000, 0x5C00, 0x5800, 0x7F40, 0,      0},
    {"Artist 64",           "a64", 0x4000, 10242, 0x4000, 0x6000, 0x6400, 0x67FF, 0,      0},
    {"Rainbow Painter",     "rp",  0x5C00, 10242, 0x6000, 0x5C00, 0x8000, 0x7FFF, 0,      0},
    {"Picasso 64",          "p64", 0x1800, 10050, 0x2000, 0x1C00, 0x1800, 0x1FFF, 0,      0},
    {"CDU-Paint",           "cdu", 0x7EEF, 10277, 0x8000, 0x9F40, 0xA328, 0xA710, 0,      0},
    {"Micro Illustrator",   "mil", 0x18DC, 10022, 0x20C0, 0x18F0, 0x1CD8, 0,      0,      0},
    {"Paint Magic",         "pmg", 0x3F8E, 9332,  0x4000, 0x6000, 0,      0x5F40, 0x5F44, 0x5F43},
    {"Interpaint multicolour", "ipt", 0x4000, 10003, 0x4000, 0x5F40, 0x6328, 0x6710, 0,   0},
};

constexpr RealLayout kHiresLayouts[] = {
    {"Art Studio",          "art", 0x2000, 9009,  0x2000, 0x3F40, 0, 0, 0x4328, 0},
    {"Interpaint hires",    "iph", 0x4000, 9002,  0x4000, 0x5F40, 0, 0, 0,      0},
    {"Doodle",              "dd",  0x5C00, 9218,  0x6000, 0x5C00, 0, 0, 0,      0},
    {"Doodle at $1C00",     "dd",  0x1C00, 9218,  0x2000, 0x1C00, 0, 0, 0,      0},
    {"Hi-Eddi",             "hed", 0x2000, 9218,  0x2000, 0x4000, 0, 0, 0,      0},
};
// clang-format on

FileImage buildFile(const RealLayout& l, const Picture& p) {
  FileImage f(l.load, l.fileSize);
  if (l.bitmap) f.put(l.bitmap, p.bitmap);
  if (l.screen) f.put(l.screen, p.screen);
  if (l.color) f.put(l.color, p.color);
  if (l.background) f.put(l.background, static_cast<uint8_t>(0xF0 | p.background));
  if (l.border) f.put(l.border, p.border);
  if (l.colorFill) f.put(l.colorFill, p.color[0]);
  return f;
}

// The document a user loads into: reset, then the colours a fresh document
// shows ($D021 blue), so that a colour byte the loader misses shows up.
Machine freshDocument() {
  Machine m;
  m.reset();
  m.vicRegs[kRegBg0] = 6;
  m.vicRegs[kRegBorder] = 14;
  return m;
}

std::vector<uint32_t> render(const Machine& m) {
  static const Palette palette;
  std::vector<uint32_t> out(kWidth * kHeight);
  Vic::renderScreen(m, palette, out.data(), kWidth);
  return out;
}

uint32_t word(int colour) {
  static const Palette palette;
  return Vic::paletteWord(palette, colour);
}

// Empty when every pixel shows the picture's colour, else the count of
// wrong pixels and the first of them.
std::string compare(const std::vector<uint32_t>& shown, const Picture& p) {
  int wrong = 0;
  char first[96] = "";
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int want = p.expected[y * kWidth + x];
      if (shown[y * kWidth + x] == word(want)) continue;
      if (wrong++ == 0) {
        int got = -1;
        for (int c = 0; c < kPaletteColors; ++c)
          if (shown[y * kWidth + x] == word(c)) got = c;
        std::snprintf(first, sizeof first, "(%d, %d) shows colour %d, wants %d", x, y, got, want);
      }
    }
  }
  if (wrong == 0) return "";
  char text[160];
  std::snprintf(text, sizeof text, "%d wrong pixels, first %s", wrong, first);
  return text;
}

Machine loadByExtension(const char* extension, const Bytes& file, Machine m = freshDocument()) {
  const int row = FileFormats::findByExtension(extension);
  EXPECT_GE(row, 0) << extension;
  EXPECT_TRUE(FileFormats::load(m, row, file)) << extension;
  return m;
}

}  // namespace

// A few pixels named by what they show, then the whole screen.
TEST(FileFormatsReal, KoalaPictureShowsItsDrawing) {
  const Picture p = multicolorPicture();
  const FileImage f = buildFile(kMulticolorLayouts[0], p);
  ASSERT_EQ(f.bytes.size(), FileFormats::kKoalaFileSize);
  const Machine m = loadByExtension("koa", f.bytes);
  const std::vector<uint32_t> shown = render(m);
  auto at = [&](int x, int y) { return shown[y * kWidth + x]; };
  // Cell (20, 15) holds the circle's centre: colour memory 1 + 45 % 15.
  EXPECT_EQ(at(160, 124), word(1));
  // The top stripe in cell (0, 0): video matrix high nibble, white.
  EXPECT_EQ(at(0, 0), word(1));
  // The second stripe in cell (3, 1): low nibble 1 + 9 % 15.
  EXPECT_EQ(at(26, 9), word(10));
  // The stem of the K in cell (5, 6): high nibble 1 + 11.
  EXPECT_EQ(at(40, 50), word(12));
  // Inside the O, outside the circle: the background, black.
  EXPECT_EQ(at(72, 56), word(0));
  // The band along the bottom of cell (39, 24): low nibble 1 + 68 % 15.
  EXPECT_EQ(at(319, 199), word(9));
  EXPECT_EQ(compare(shown, p), "");
}

TEST(FileFormatsReal, MulticolorProgramsShowTheirPictures) {
  for (const RealLayout& l : kMulticolorLayouts) {
    SCOPED_TRACE(l.program);
    const Picture p = l.colorFill ? multicolorPicture(13) : multicolorPicture();
    const FileImage f = buildFile(l, p);
    // A file without a background byte keeps the document's.
    Machine before = freshDocument();
    if (!l.background) before.vicRegs[kRegBg0] = p.background;
    Machine m = loadByExtension(l.extension, f.bytes, before);
    EXPECT_EQ(m.gfxMode(), kModeMultiBitmap);
    EXPECT_EQ(compare(render(m), p), "");
    if (l.border) {
      EXPECT_EQ(m.vicRegs[kRegBorder], p.border);
    }
  }
}

TEST(FileFormatsReal, HiresProgramsShowTheirPictures) {
  for (const RealLayout& l : kHiresLayouts) {
    SCOPED_TRACE(l.program);
    const Picture p = hiresPicture();
    const FileImage f = buildFile(l, p);
    Machine m = loadByExtension(l.extension, f.bytes);
    EXPECT_EQ(m.gfxMode(), kModeHires);
    EXPECT_EQ(compare(render(m), p), "");
  }
}

// Bitmap-only files keep the document's colours.
TEST(FileFormatsReal, BitmapOnlyFilesKeepTheColours) {
  Picture p = hiresPicture();
  FileImage f(0x2000, 8002);
  f.put(0x2000, p.bitmap);
  Machine m = freshDocument();
  std::copy(p.screen.begin(), p.screen.end(), m.ram.begin() + 0x0400);
  ASSERT_TRUE(FileFormats::load(m, FileFormats::findByExtension("hbm"), f.bytes));
  EXPECT_EQ(compare(render(m), p), "");

  p = multicolorPicture();
  FileImage mf(0x6000, 8002);
  mf.put(0x6000, p.bitmap);
  m = freshDocument();
  std::copy(p.screen.begin(), p.screen.end(), m.ram.begin() + 0x0400);
  std::copy(p.color.begin(), p.color.end(), m.ram.begin() + kColorRam);
  m.vicRegs[kRegBg0] = p.background;
  ASSERT_TRUE(FileFormats::load(m, FileFormats::findByExtension("mbm"), mf.bytes));
  EXPECT_EQ(compare(render(m), p), "");
}

// Raw pictures: one value per pixel, rows of 320 from the top, no load
// address. Loading by extension reads 8 bits a pixel; the packed depths
// come from their own rows.
TEST(FileFormatsReal, RawPicturesShowTheirPixels) {
  Picture p = hiresPicture();
  auto pixel = [&](int x, int y) {
    const int cell = (y / 8) * kColumns + x / 8;
    return (p.bitmap[cell * 8 + y % 8] >> (7 - x % 8)) & 1;
  };
  for (const int bits : {8, 4, 2, 1}) {
    SCOPED_TRACE(bits);
    const int perByte = 8 / bits;
    Bytes raw(kWidth * kHeight / perByte, 0);
    for (int i = 0; i < kWidth * kHeight; ++i) {
      // Set pixels carry different non-zero values, as grey levels would.
      const int value = pixel(i % kWidth, i / kWidth) ? 1 + i % ((1 << bits) - 1) : 0;
      raw[i / perByte] = static_cast<uint8_t>(raw[i / perByte] | value << (perByte - 1 - i % perByte) * bits);
    }
    Machine m = freshDocument();
    std::copy(p.screen.begin(), p.screen.end(), m.ram.begin() + 0x0400);
    const int row = bits == 8 ? FileFormats::findByExtension("raw") : 3 + (bits == 4) + 2 * (bits == 2) + 3 * (bits == 1);
    ASSERT_EQ(FileFormats::formats[row].rawBits, bits);
    ASSERT_TRUE(FileFormats::load(m, row, raw));
    EXPECT_EQ(compare(render(m), p), "");
  }
}

// Interlaced pictures: the first frame shows in the document's bank, the
// second in the next bank up.
TEST(FileFormatsReal, InterlacedFramesShowInBanksZeroAndOne) {
  const Picture first = multicolorPicture(), second = multicolorPicture(-1, true, 2);

  // Truepaint: $9C00 screen 1, $9FE8 background, $A000 bitmap 1,
  // $C000 bitmap 2, $E000 screen 2, $E400 colour memory.
  FileImage t(0x9C00, 19434);
  t.put(0x9C00, first.screen);
  t.put(0x9FE8, first.background);
  t.put(0xA000, first.bitmap);
  t.put(0xC000, second.bitmap);
  t.put(0xE000, second.screen);
  t.put(0xE400, first.color);
  Machine m = loadByExtension("mci", t.bytes);
  EXPECT_EQ(compare(render(m), first), "");
  ASSERT_EQ(first.color, second.color);  // one colour memory serves both frames
  m.bank = 1;
  EXPECT_EQ(compare(render(m), second), "");

  // Drazlace: $5800 colour, $5C00 screen, $6000 bitmap 1, $7F40
  // background, $8000 bitmap 2; both frames share the colours.
  FileImage d(0x5800, 18242);
  d.put(0x5800, first.color);
  d.put(0x5C00, first.screen);
  d.put(0x6000, first.bitmap);
  d.put(0x7F40, first.background);
  d.put(0x8000, second.bitmap);
  m = loadByExtension("drl", d.bytes);
  EXPECT_EQ(compare(render(m), first), "");
  EXPECT_TRUE(std::equal(second.bitmap.begin(), second.bitmap.end(), m.ram.begin() + 0x6000));

  // A packed Drazlace file (the packer's signature after the load address)
  // is refused and leaves the document as it was.
  const std::string signature = "DRAZLACE! 1.0";
  std::copy(signature.begin(), signature.end(), d.bytes.begin() + 2);
  const Machine before = freshDocument();
  Machine packed = before;
  EXPECT_FALSE(FileFormats::load(packed, FileFormats::findByExtension("drl"), d.bytes));
  EXPECT_EQ(packed.ram, before.ram);
  EXPECT_EQ(packed.vicRegs, before.vicRegs);
}
