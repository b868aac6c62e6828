// Picture formats and PRG files: files built here from the layouts the
// C64 paint programs use (C64 addresses of each part, independent of the
// format table) must land where the video chip's registers place them.
#include "core/FileFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A reset document: bank 0, $D018 = $14, text mode, all memory 0.
Machine freshMachine() {
  Machine m;
  m.reset();
  return m;
}

// Distinct, recognisable contents per part.
Bytes pattern(int count, int seed) {
  Bytes b(count);
  for (int i = 0; i < count; ++i) b[i] = static_cast<uint8_t>(i * 7 + seed * 31 + (i >> 8));
  return b;
}

// A file image of the C64 range [load, load + size) with its load address.
struct FileImage {
  uint16_t load;
  Bytes bytes;
  FileImage(uint16_t loadAddress, int size) : load(loadAddress), bytes(size + 2, 0) {
    bytes[0] = static_cast<uint8_t>(loadAddress & 0xFF);
    bytes[1] = static_cast<uint8_t>(loadAddress >> 8);
  }
  void put(uint32_t c64Address, const Bytes& part) {
    std::copy(part.begin(), part.end(), bytes.begin() + 2 + (c64Address - load));
  }
  void put(uint32_t c64Address, uint8_t value) { bytes[2 + (c64Address - load)] = value; }
};

bool ramEquals(const Machine& m, uint32_t addr, const Bytes& want) {
  return std::equal(want.begin(), want.end(), m.ram.begin() + addr);
}

// Where the parts of a real file sit in the C64 memory it loads to; 0 for a
// part the format lacks.
struct Layout {
  int row;
  uint16_t load;
  int size;  // bytes after the load address
  uint32_t bitmap, screen, color, background, border, colorFill;
};

constexpr Layout kLayouts[] = {
    {0, 0x6000, 10001, 0x6000, 0x7F40, 0x8328, 0x8710, 0, 0},   // Koala
    {1, 0x2000, 8000, 0x2000, 0, 0, 0, 0, 0},                   // hires bitmap
    {2, 0x4000, 9000, 0x4000, 0x5F40, 0, 0, 0, 0},              // Interpaint hires
    {2, 0x2000, 9007, 0x2000, 0x3F40, 0, 0, 0, 0},              // Art Studio hires
    {7, 0x2000, 9216, 0x2000, 0x4000, 0, 0, 0, 0},              // Hi-Eddi
    {8, 0x1C00, 9216, 0x2000, 0x1C00, 0, 0, 0, 0},              // Doodle
    {8, 0x5C00, 9216, 0x6000, 0x5C00, 0, 0, 0, 0},              // Doodle, bank 1 copy
    {9, 0x6000, 8000, 0x6000, 0, 0, 0, 0, 0},                   // plain multicolour
    {10, 0x3F8E, 9330, 0x4000, 0x6000, 0, 0x5F40, 0x5F44, 0x5F43},  // Paint Magic
    {11, 0x1800, 10048, 0x2000, 0x1C00, 0x1800, 0x1FFF, 0, 0},  // Picasso 64
    {12, 0x5C00, 10240, 0x6000, 0x5C00, 0x8000, 0x7FFF, 0, 0},  // Rainbow Painter
    {13, 0x2000, 10016, 0x2000, 0x3F40, 0x4338, 0x4329, 0, 0},  // Advanced Art Studio
    {14, 0x7800, 10216, 0x7C00, 0x7800, 0x9C00, 0x7BF0, 0, 0},  // Saracen Paint
    {15, 0xA000, 10240, 0xA000, 0xC000, 0xC400, 0xBF80, 0, 0},  // Blazing Paddles
    {16, 0x18DC, 10020, 0x20C0, 0x18F0, 0x1CD8, 0, 0, 0},       // Micro Illustrator
    {17, 0x7EEF, 10275, 0x8000, 0x9F40, 0xA328, 0xA710, 0, 0},  // CDU-Paint
    {18, 0x4000, 10240, 0x4000, 0x6000, 0x6400, 0x67FF, 0, 0},  // Artist 64
    {19, 0x5800, 10048, 0x6000, 0x5C00, 0x5800, 0x5FE8, 0, 0},  // Vidcom 64
    {20, 0x3C00, 10216, 0x4000, 0x6000, 0x3C00, 0x5FFF, 0, 0},  // Image System
    {21, 0x4000, 10002, 0x4000, 0x5F40, 0x6328, 0x6711, 0, 0},  // Face Painter
    {22, 0x5800, 10049, 0x6000, 0x5C00, 0x5800, 0x7F40, 0, 0},  // Drazpaint
    {23, 0x8000, 19432, 0x8000, 0xC200, 0xC800, 0, 0, 0},       // Cheese
    {24, 0x6000, 10002, 0x6000, 0x7F40, 0x8328, 0x8711, 0, 0},  // Create with Garfield
};

void fillLayout(FileImage& f, const Layout& l, Bytes& bitmap, Bytes& screen, Bytes& color) {
  bitmap = pattern(kBitmapSize, l.row + 1);
  screen = pattern(kScreenCells, l.row + 50);
  color = pattern(kScreenCells, l.row + 100);
  if (l.bitmap) f.put(l.bitmap, bitmap);
  if (l.screen) f.put(l.screen, screen);
  if (l.color) f.put(l.color, color);
  if (l.background) f.put(l.background, 0x0B);
  if (l.border) f.put(l.border, 0x0C);
  if (l.colorFill) f.put(l.colorFill, 0x0D);
}

}  // namespace

TEST(FileFormats, TableNamesExtensionsAndDescriptions) {
  ASSERT_EQ(FileFormats::count(), 29);
  EXPECT_EQ(FileFormats::name(0), "Koala Image");
  EXPECT_EQ(FileFormats::name(10), "Paint Magick");
  EXPECT_EQ(FileFormats::name(21), "Face Printer");
  EXPECT_EQ(FileFormats::name(28), "Truepaint");
  EXPECT_EQ(FileFormats::name(-1), "");
  EXPECT_EQ(FileFormats::name(29), "");
  EXPECT_EQ(FileFormats::information(-5), "");
  EXPECT_TRUE(FileFormats::extensions(29).empty());

  EXPECT_EQ(FileFormats::information(0),
            "Multicolor bitmap\nKoala painter\n160x200 pixels\nAlso loads Run Paint and Gigapaint images");
  EXPECT_EQ(FileFormats::information(28), "320x200 pixels (?)\nInterlaced\nMulticolor\nNot tested!!!");
  EXPECT_EQ(FileFormats::information(14), "Low resolution bitmap\n160x200 pixels\nPossible load error !!!");
  EXPECT_EQ(FileFormats::extensions(1),
            (std::vector<std::string>{"hir", "hbm", "gih", "fgs", "mon", "gcd", "ish"}));
  EXPECT_EQ(FileFormats::extensions(6), std::vector<std::string>{"raw"});

  for (int i = 0; i < 29; ++i) {
    const auto& f = FileFormats::formats[i];
    const bool raw = i >= 3 && i <= 6;
    EXPECT_EQ(f.kind, raw ? FileFormats::kKindRaw : FileFormats::kKindChunk) << i;
    EXPECT_TRUE(f.gfxMode == kModeHires || f.gfxMode == kModeMultiBitmap) << i;
    EXPECT_EQ(f.chunks[6].type, FileFormats::End) << i;
  }
  EXPECT_EQ(FileFormats::formats[3].rawBits, 8);
  EXPECT_EQ(FileFormats::formats[6].rawBits, 1);
}

TEST(FileFormats, FindByExtension) {
  EXPECT_EQ(FileFormats::findByExtension("koa"), 0);
  EXPECT_EQ(FileFormats::findByExtension("KOA"), 0);
  EXPECT_EQ(FileFormats::findByExtension("gig"), 0);
  EXPECT_EQ(FileFormats::findByExtension("RAW"), 3);
  EXPECT_EQ(FileFormats::findByExtension("dd"), 8);
  EXPECT_EQ(FileFormats::findByExtension("dol"), 19);
  EXPECT_EQ(FileFormats::findByExtension("ipt"), 24);
  EXPECT_EQ(FileFormats::findByExtension("Mci"), 28);
  EXPECT_EQ(FileFormats::findByExtension("prg"), -1);
  EXPECT_EQ(FileFormats::findByExtension(""), -1);
  EXPECT_EQ(FileFormats::findByExtension("ko"), -1);
  EXPECT_EQ(FileFormats::findByExtension("koa;rpm"), -1);
}

// Every single-frame format, built from the program's own memory layout,
// lands at the bitmap, screen and colour memory the registers select.
TEST(FileFormats, RealLayoutsLandWhereTheRegistersPoint) {
  for (const Layout& l : kLayouts) {
    SCOPED_TRACE(FileFormats::name(l.row));
    FileImage f(l.load, l.size);
    Bytes bitmap, screen, color;
    fillLayout(f, l, bitmap, screen, color);
    Machine m = freshMachine();
    m.vicRegs[kRegBg0] = 6;
    m.vicRegs[kRegBorder] = 14;
    ASSERT_TRUE(FileFormats::load(m, l.row, f.bytes));
    EXPECT_EQ(m.gfxMode(), FileFormats::formats[l.row].gfxMode);
    ASSERT_EQ(m.bitmapAddr(), 0x2000u);
    ASSERT_EQ(m.screenAddr(), 0x0400u);
    EXPECT_TRUE(ramEquals(m, 0x2000, bitmap));
    EXPECT_EQ(ramEquals(m, 0x0400, screen), l.screen != 0);
    EXPECT_EQ(ramEquals(m, kColorRam, color), l.color != 0);
    EXPECT_EQ(m.vicRegs[kRegBg0], l.background ? 0x0B : 6);
    EXPECT_EQ(m.vicRegs[kRegBorder], l.border ? 0x0C : 14);
    if (l.colorFill) {
      EXPECT_EQ(m.ram[kColorRam], 0x0D);
      EXPECT_EQ(m.ram[kColorRam + 999], 0x0D);
      EXPECT_EQ(m.ram[kColorRam + 1000], 0);
    }
  }
}

TEST(FileFormats, ModeSwitchKeepsOtherRegisterBits) {
  Machine m = freshMachine();
  FileImage koala(0x6000, 10001);
  ASSERT_TRUE(FileFormats::load(m, 0, koala.bytes));
  EXPECT_EQ(m.vicRegs[kRegCtrl1], 0x3B);
  EXPECT_EQ(m.vicRegs[kRegCtrl2], 0x18);
  EXPECT_EQ(m.vicRegs[kRegMemPtr], 0x1C);
  FileImage doodle(0x5C00, 9216);
  ASSERT_TRUE(FileFormats::load(m, 8, doodle.bytes));
  EXPECT_EQ(m.gfxMode(), kModeHires);
  EXPECT_EQ(m.vicRegs[kRegCtrl2], 0x08);
}

TEST(FileFormats, BankAndMemPtrChooseTheTargets) {
  Machine m = freshMachine();
  m.bank = 3;
  m.vicRegs[kRegMemPtr] = 0x38;
  FileImage f(0x6000, 10001);
  Layout koala = kLayouts[0];
  Bytes bitmap, screen, color;
  fillLayout(f, koala, bitmap, screen, color);
  ASSERT_TRUE(FileFormats::load(m, 0, f.bytes));
  EXPECT_TRUE(ramEquals(m, 0xE000, bitmap));
  EXPECT_TRUE(ramEquals(m, 0xCC00, screen));
  EXPECT_TRUE(ramEquals(m, kColorRam, color));
  EXPECT_EQ(m.ram[0x6000], 0);  // the file's own load address plays no part
  EXPECT_EQ(m.ram[0x2000], 0);

  // The bitmap half follows the mode switch: $D018 = $60 becomes $68.
  m = freshMachine();
  m.bank = 2;
  m.vicRegs[kRegMemPtr] = 0x60;
  FileImage doodle(0x1C00, 9216);
  fillLayout(doodle, kLayouts[5], bitmap, screen, color);
  ASSERT_TRUE(FileFormats::load(m, 8, doodle.bytes));
  EXPECT_TRUE(ramEquals(m, 0xA000, bitmap));
  EXPECT_TRUE(ramEquals(m, 0x9800, screen));
}

TEST(FileFormats, InterlacedFramesGoToBanksZeroAndOne) {
  // Truepaint: $9C00 screen 1, $9FE8 background, $A000 bitmap 1,
  // $C000 bitmap 2, $E000 screen 2, $E400 colour memory.
  FileImage f(0x9C00, 19432);
  const Bytes bmp1 = pattern(8000, 1), bmp2 = pattern(8000, 2);
  const Bytes scr1 = pattern(1000, 3), scr2 = pattern(1000, 4), col = pattern(1000, 5);
  f.put(0x9C00, scr1);
  f.put(0x9FE8, 0x07);
  f.put(0xA000, bmp1);
  f.put(0xC000, bmp2);
  f.put(0xE000, scr2);
  f.put(0xE400, col);
  Machine m = freshMachine();
  m.bank = 3;  // ignored by the interlace targets
  m.vicRegs[kRegMemPtr] = 0x20;
  ASSERT_TRUE(FileFormats::load(m, 28, f.bytes));
  EXPECT_EQ(m.gfxMode(), kModeMultiBitmap);
  EXPECT_TRUE(ramEquals(m, 0x2000, bmp1));
  EXPECT_TRUE(ramEquals(m, 0x0800, scr1));
  EXPECT_TRUE(ramEquals(m, 0x6000, bmp2));
  EXPECT_TRUE(ramEquals(m, 0x4800, scr2));
  EXPECT_TRUE(ramEquals(m, kColorRam, col));
  EXPECT_EQ(m.vicRegs[kRegBg0], 0x07);

  // Hires Interlace: $2000 bitmap 1, $3F40 screen 1, $4400 screen 2,
  // $6000 bitmap 2.
  FileImage h(0x2000, 24384);
  h.put(0x2000, bmp1);
  h.put(0x3F40, scr1);
  h.put(0x4400, scr2);
  h.put(0x6000, bmp2);
  m = freshMachine();
  ASSERT_TRUE(FileFormats::load(m, 26, h.bytes));
  EXPECT_TRUE(ramEquals(m, 0x2000, bmp1));
  EXPECT_TRUE(ramEquals(m, 0x0400, scr1));
  EXPECT_TRUE(ramEquals(m, 0x6000, bmp2));
  EXPECT_TRUE(ramEquals(m, 0x4400, scr2));

  // Drazlace: $5800 colour, $5C00 screen, $6000 bitmap 1, $7F40
  // background, $8000 bitmap 2.
  FileImage d(0x5800, 18240);
  d.put(0x5800, col);
  d.put(0x5C00, scr1);
  d.put(0x6000, bmp1);
  d.put(0x7F40, 0x09);
  d.put(0x8000, bmp2);
  m = freshMachine();
  ASSERT_TRUE(FileFormats::load(m, 27, d.bytes));
  EXPECT_TRUE(ramEquals(m, 0x2000, bmp1));
  EXPECT_TRUE(ramEquals(m, 0x0400, scr1));
  EXPECT_TRUE(ramEquals(m, 0x6000, bmp2));
  EXPECT_TRUE(ramEquals(m, kColorRam, col));
  EXPECT_EQ(m.vicRegs[kRegBg0], 0x09);
}

TEST(FileFormats, ShortAndInvalidInput) {
  Machine m = freshMachine();
  const Machine before = m;
  EXPECT_FALSE(FileFormats::load(m, -1, Bytes(100, 1)));
  EXPECT_FALSE(FileFormats::load(m, 29, Bytes(100, 1)));
  EXPECT_FALSE(FileFormats::load(m, 0, Bytes{}));
  EXPECT_FALSE(FileFormats::load(m, 3, Bytes{}));
  EXPECT_EQ(m.vicRegs, before.vicRegs);
  EXPECT_EQ(m.ram, before.ram);

  // A chunk file with no byte after its load address fails, yet the mode
  // is already switched.
  EXPECT_FALSE(FileFormats::load(m, 0, Bytes{0x00, 0x60}));
  EXPECT_EQ(m.gfxMode(), kModeMultiBitmap);
  m = freshMachine();
  EXPECT_FALSE(FileFormats::load(m, 8, Bytes{0x00}));
  EXPECT_EQ(m.gfxMode(), kModeHires);
  EXPECT_EQ(m.ram, before.ram);

  // One data byte is enough to load.
  m = freshMachine();
  EXPECT_TRUE(FileFormats::load(m, 0, Bytes{0x00, 0x60, 0xAA}));
  EXPECT_EQ(m.ram[0x2000], 0xAA);
  EXPECT_EQ(m.ram[0x2001], 0);

  // A Koala file cut to 5000 bytes: 4998 bitmap bytes, nothing else.
  FileImage f(0x6000, 10001);
  Bytes bitmap, screen, color;
  fillLayout(f, kLayouts[0], bitmap, screen, color);
  f.bytes.resize(5000);
  m = freshMachine();
  m.ram[0x2000 + 4998] = 0x55;
  ASSERT_TRUE(FileFormats::load(m, 0, f.bytes));
  EXPECT_TRUE(std::equal(bitmap.begin(), bitmap.begin() + 4998, m.ram.begin() + 0x2000));
  EXPECT_EQ(m.ram[0x2000 + 4998], 0x55);
  EXPECT_EQ(m.ram[0x0400], 0);
  EXPECT_EQ(m.ram[kColorRam], 0);
  EXPECT_EQ(m.vicRegs[kRegBg0], 6);

  // Truepaint of 18000 bytes: colour memory lies beyond the data, the
  // background byte at the start does not; screen 2 is cut short.
  Bytes tp(18000, 0x33);
  m = freshMachine();
  ASSERT_TRUE(FileFormats::load(m, 28, tp));
  EXPECT_EQ(m.vicRegs[kRegBg0], 0x33);
  EXPECT_EQ(m.ram[kColorRam], 0);
  EXPECT_EQ(m.ram[0x4400 + 17998 - 17408 - 1], 0x33);
  EXPECT_EQ(m.ram[0x4400 + 17998 - 17408], 0);
}

TEST(FileFormats, RawPixelsBecomeBitmapBits) {
  // 1 bit per pixel, 8000 bytes: each byte is one 8-pixel run of a row,
  // which is exactly one bitmap byte.
  Machine m = freshMachine();
  const Bytes one = pattern(8000, 9);
  ASSERT_TRUE(FileFormats::load(m, 6, one));
  EXPECT_EQ(m.gfxMode(), kModeHires);
  for (int y = 0; y < 200; ++y)
    for (int cx = 0; cx < 40; ++cx)
      ASSERT_EQ(m.ram[0x2000 + (y / 8) * 320 + cx * 8 + (y % 8)], one[y * 40 + cx]) << y << "," << cx;

  // 8 bits per pixel, one row: any non-zero value sets, zero clears, and
  // the rows below stay.
  m = freshMachine();
  std::fill_n(m.ram.begin() + 0x2000, 8000, 0xFF);
  Bytes row(320, 0);
  row[0] = 1;
  row[1] = 2;
  row[2] = 15;
  row[3] = 255;
  row[319] = 0x80;
  ASSERT_TRUE(FileFormats::load(m, 3, row));
  EXPECT_EQ(m.ram[0x2000], 0xF0);
  EXPECT_EQ(m.ram[0x2000 + 39 * 8], 0x01);
  EXPECT_EQ(m.ram[0x2000 + 8], 0x00);
  EXPECT_EQ(m.ram[0x2001], 0xFF);  // pixel row 1

  // 4 and 2 bits: the first pixel of a byte sits in its top bits.
  m = freshMachine();
  ASSERT_TRUE(FileFormats::load(m, 4, Bytes{0x10, 0x01, 0x00, 0xF0}));
  EXPECT_EQ(m.ram[0x2000], 0x92);  // pixels 0, 3 and 6 set
  m = freshMachine();
  ASSERT_TRUE(FileFormats::load(m, 5, Bytes{0x01, 0x40}));
  EXPECT_EQ(m.ram[0x2000], 0x18);

  // A raw picture follows the bank and $D018 like any other.
  m = freshMachine();
  m.bank = 3;
  ASSERT_TRUE(FileFormats::load(m, 6, Bytes(8000, 0xFF)));
  EXPECT_EQ(m.ram[0xE000], 0xFF);
  EXPECT_EQ(m.ram[0xFF3F], 0xFF);
  EXPECT_EQ(m.ram[0xFF40], 0x00);
}

TEST(FileFormats, KoalaWriterLayoutAndRoundTrip) {
  Machine m = freshMachine();
  m.bank = 1;
  m.vicRegs[kRegMemPtr] = 0x28;  // screen $4800, bitmap $6000
  m.setGfxMode(kModeMultiBitmap);
  const Bytes bitmap = pattern(8000, 11), screen = pattern(1000, 12), color = pattern(1000, 13);
  std::copy(bitmap.begin(), bitmap.end(), m.ram.begin() + 0x6000);
  std::copy(screen.begin(), screen.end(), m.ram.begin() + 0x4800);
  std::copy(color.begin(), color.end(), m.ram.begin() + kColorRam);
  m.vicRegs[kRegBg0] = 0x05;

  const Bytes file = FileFormats::saveKoala(m);
  ASSERT_EQ(file.size(), 10003u);
  EXPECT_EQ(file[0], 0x00);
  EXPECT_EQ(file[1], 0x60);
  EXPECT_TRUE(std::equal(bitmap.begin(), bitmap.end(), file.begin() + 2));
  EXPECT_TRUE(std::equal(screen.begin(), screen.end(), file.begin() + 8002));
  EXPECT_TRUE(std::equal(color.begin(), color.end(), file.begin() + 9002));
  EXPECT_EQ(file[10002], 0x05);

  Machine back = freshMachine();
  ASSERT_TRUE(FileFormats::load(back, 0, file));
  EXPECT_TRUE(ramEquals(back, 0x2000, bitmap));
  EXPECT_TRUE(ramEquals(back, 0x0400, screen));
  EXPECT_TRUE(ramEquals(back, kColorRam, color));
  EXPECT_EQ(back.vicRegs[kRegBg0], 0x05);
  EXPECT_EQ(FileFormats::saveKoala(back), file);
}

TEST(FileFormats, DoodleWriterLayoutAndRoundTrip) {
  Machine m = freshMachine();
  m.setGfxMode(kModeHires);  // screen $0400, bitmap $2000
  const Bytes bitmap = pattern(8000, 21), block = pattern(1024, 22);
  std::copy(bitmap.begin(), bitmap.end(), m.ram.begin() + 0x2000);
  std::copy(block.begin(), block.end(), m.ram.begin() + 0x0400);

  const Bytes file = FileFormats::saveDoodle(m);
  ASSERT_EQ(file.size(), 9026u);
  EXPECT_EQ(file[0], 0x00);  // load address $1C00: screen block, then the bitmap at $2000
  EXPECT_EQ(file[1], 0x1C);
  EXPECT_TRUE(std::equal(block.begin(), block.end(), file.begin() + 2));  // sprite pointers too
  EXPECT_TRUE(std::equal(bitmap.begin(), bitmap.end(), file.begin() + 1026));

  Machine back = freshMachine();
  back.bank = 2;
  back.vicRegs[kRegMemPtr] = 0x70;
  ASSERT_TRUE(FileFormats::load(back, 8, file));
  EXPECT_TRUE(ramEquals(back, 0xA000, bitmap));
  EXPECT_TRUE(std::equal(block.begin(), block.begin() + 1000, back.ram.begin() + 0x9C00));
  EXPECT_EQ(back.ram[0x9C00 + 1000], 0);  // only the 1000 screen bytes load
}

TEST(FileFormats, PrgLoadClipsAndReportsShortFiles) {
  Machine m = freshMachine();
  int addr = 0;
  EXPECT_EQ(FileFormats::loadPrg(m, Bytes{0x00, 0xC0, 0x01, 0x02}, addr), 2);
  EXPECT_EQ(addr, 0xC000);
  EXPECT_EQ(m.ram[0xC000], 1);
  EXPECT_EQ(m.ram[0xC001], 2);
  EXPECT_EQ(m.ram[0xC002], 0);

  EXPECT_EQ(FileFormats::loadPrg(m, Bytes{0xFF, 0xFF, 0x01, 0x02, 0x03}, addr), 1);
  EXPECT_EQ(addr, 0xFFFF);
  EXPECT_EQ(m.ram[0xFFFF], 1);
  EXPECT_EQ(m.ram[0x0000], 0);  // no wrap to the bottom

  const auto ram = m.ram;
  addr = 0x1234;
  EXPECT_EQ(FileFormats::loadPrg(m, Bytes{0x42}, addr), 0);
  EXPECT_EQ(addr, 0x1234);
  EXPECT_EQ(FileFormats::loadPrg(m, Bytes{}, addr), 0);
  EXPECT_EQ(addr, 0x1234);
  EXPECT_EQ(m.ram, ram);

  EXPECT_EQ(FileFormats::loadPrg(m, Bytes{0x00, 0xC0}, addr), 0);
  EXPECT_EQ(addr, 0xC000);
  EXPECT_EQ(m.ram, ram);
}

TEST(FileFormats, PrgSaveCutsAtTopOfMemoryAndRoundTrips) {
  Machine m = freshMachine();
  const Bytes top = pattern(16, 30);
  std::copy(top.begin(), top.end(), m.ram.begin() + 0xFFF0);

  const Bytes file = FileFormats::savePrg(m, 0xFFF0, 100);
  ASSERT_EQ(file.size(), 18u);
  EXPECT_EQ(file[0], 0xF0);
  EXPECT_EQ(file[1], 0xFF);
  EXPECT_TRUE(std::equal(top.begin(), top.end(), file.begin() + 2));
  EXPECT_EQ(FileFormats::savePrg(m, 0xD800, 0), (Bytes{0x00, 0xD8}));
  EXPECT_EQ(FileFormats::savePrg(m, 0xD800, 1000).size(), 1002u);
  EXPECT_EQ(FileFormats::savePrg(m, 0, 0x10000).size(), 0x10002u);
  EXPECT_EQ(FileFormats::savePrg(m, 0x1000, -5).size(), 2u);

  const Bytes area = pattern(2048, 31);
  std::copy(area.begin(), area.end(), m.ram.begin() + 0x3000);
  Machine other = freshMachine();
  int addr = 0;
  EXPECT_EQ(FileFormats::loadPrg(other, FileFormats::savePrg(m, 0x3000, 2048), addr), 2048);
  EXPECT_EQ(addr, 0x3000);
  EXPECT_TRUE(ramEquals(other, 0x3000, area));
}

// Files of any size and content, in any bank and register setting, load
// through every row without touching memory outside the 64 KB image (the
// sanitizer build watches the accesses) and leave the registers the mode
// switch alone changes.
TEST(FileFormats, ArbitraryFilesLoadSafelyThroughEveryRow) {
  std::mt19937 rng(2026);
  const size_t sizes[] = {0, 1, 2, 3, 100, 8002, 9009, 10003, 10004, 17474, 33602, 70000};
  for (int row = 0; row < FileFormats::count(); ++row) {
    for (size_t size : sizes) {
      Bytes data(size);
      for (auto& b : data) b = static_cast<uint8_t>(rng());
      Machine m;
      m.reset();
      m.bank = static_cast<uint16_t>(rng() & 3);
      m.vicRegs[0x18] = static_cast<uint8_t>(rng());
      const auto regsBefore = m.vicRegs;
      FileFormats::load(m, row, data);
      for (int r = 0; r < kVicRegCount; ++r) {
        if (r == 0x11 || r == 0x16 || r == 0x18 || r == 0x20 || r == 0x21) continue;
        EXPECT_EQ(m.vicRegs[r], regsBefore[r]) << "row " << row << " size " << size << " reg " << r;
      }
    }
  }
}
