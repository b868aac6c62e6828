// Video-chip rendering: golden pixels for the border, each graphics mode's
// colour sources, bank and $D018 addressing, the character ROM windows,
// glyphs and sprites; and whole frames against a slow per-pixel reference
// written straight from the chip's rules.
#include "core/Vic.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

constexpr uint32_t kSentinel = 0x12345678u;

uint32_t word(const Palette& p, int n) {
  n &= 15;
  return p.rgb[n][0] | (p.rgb[n][1] << 8) | (p.rgb[n][2] << 16) | 0xFF000000u;
}

// A character ROM whose glyphs differ: code c of the upper-case set has
// rows c ^ (row * 17), the lower-case set the complement.
void fillCharRom(Machine& m) {
  for (int c = 0; c < 256; ++c)
    for (int y = 0; y < 8; ++y) {
      m.charRom[c * 8 + y] = static_cast<uint8_t>(c ^ (y * 17));
      m.charRom[2048 + c * 8 + y] = static_cast<uint8_t>(~(c ^ (y * 17)));
    }
}

Machine resetMachine() {
  Machine m;
  fillCharRom(m);
  m.reset();
  return m;
}

// One frame pixel computed directly from memory and registers.
uint32_t refFramePixel(const Machine& m, const Palette& p, int x, int y) {
  const uint8_t* r = m.vicRegs.data();
  if (x < 32 || x >= 352 || y < 32 || y >= 232) return word(p, r[0x20]);
  const int px = (x - 32) % 8, py = (y - 32) % 8;
  const int i = (y - 32) / 8 * 40 + (x - 32) / 8;
  const int code = m.ram[(m.bank * 16 + (r[0x18] >> 4)) * 1024 + i];
  const int k = m.ram[0xD800 + i];
  const bool bmm = r[0x11] & 0x20, ecm = r[0x11] & 0x40, mcm = r[0x16] & 0x10;
  auto bit = [&](int b) { return (b >> (7 - px)) & 1; };
  auto pair = [&](int b) { return (b >> (6 - (px & 6))) & 3; };
  auto glyph = [&](int c) -> int {
    const int off = ((r[0x18] >> 1) & 7) * 2048;
    if ((off == 0x1000 || off == 0x1800) && (m.bank == 0 || m.bank == 2))
      return m.charRom[off - 0x1000 + c * 8 + py];
    return m.ram[m.bank * 16384 + off + c * 8 + py];
  };
  if (bmm) {
    const int b = m.ram[(m.bank * 2 + ((r[0x18] & 8) ? 1 : 0)) * 8192 + i * 8 + py];
    if (mcm) {
      const int colors[4] = {r[0x21], code >> 4, code & 15, k};
      return word(p, colors[pair(b)]);
    }
    return word(p, bit(b) ? code >> 4 : code & 15);
  }
  if (mcm && (k & 8)) {
    const int colors[4] = {r[0x21], r[0x22], r[0x23], k & 7};
    return word(p, colors[pair(glyph(code))]);
  }
  if (ecm) return word(p, bit(glyph(code & 63)) ? k : r[0x21 + (code >> 6)]);
  return word(p, bit(glyph(code)) ? k : r[0x21]);
}

std::vector<uint32_t> frameOf(const Machine& m, const Palette& p) {
  std::vector<uint32_t> f(kFramePixels + 16, kSentinel);
  Vic::renderFrame(m, p, f.data());
  for (int i = kFramePixels; i < kFramePixels + 16; ++i) EXPECT_EQ(f[i], kSentinel);
  f.resize(kFramePixels);
  return f;
}

uint32_t at(const std::vector<uint32_t>& f, int x, int y) { return f[y * kFrameWidth + x]; }

// Display pixel (x, y) of the 320x200 area inside a frame.
uint32_t disp(const std::vector<uint32_t>& f, int x, int y) {
  return at(f, kDisplayX + x, kDisplayY + y);
}

}  // namespace

TEST(Vic, ResetFrameShowsBorderAndScreenCodeZeroEverywhere) {
  const Machine m = resetMachine();
  const Palette p;
  const auto f = frameOf(m, p);
  // Entry 14 of "Tilvox" is 7C70DA: red in the lowest byte, alpha 255 on top.
  EXPECT_EQ(word(p, 14), 0xFFDA707Cu);
  for (auto [x, y] : {std::pair{0, 0}, {383, 263}, {31, 100}, {352, 100}, {100, 31},
                      {100, 232}, {383, 0}, {0, 263}, {351, 31}, {32, 232}})
    EXPECT_EQ(at(f, x, y), 0xFFDA707Cu) << x << "," << y;
  // Screen code 0 of the upper-case ROM set: row y is y * 17; set bits in
  // colour 0, the rest in background entry 6.
  for (int cell = 0; cell < kScreenCells; ++cell)
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool set = (y * 17) & (0x80 >> x);
        ASSERT_EQ(disp(f, cell % 40 * 8 + x, cell / 40 * 8 + y), set ? word(p, 0) : word(p, 6))
            << cell << " " << x << "," << y;
      }
  EXPECT_EQ(disp(f, 0, 0), word(p, 6));
  EXPECT_EQ(disp(f, 319, 199), word(p, 0));  // row 7 = $77, bit 0 set
}

TEST(Vic, HiresBitmapTakesSetBitsFromUpperNibble) {
  Machine m = resetMachine();
  m.setGfxMode(kModeHires);  // bank 0, $D018 $1C: matrix $0400, bitmap $2000
  const Palette p;
  const int i = 3 * 40 + 5;
  m.ram[0x0400 + i] = 0x10;
  m.ram[0x2000 + i * 8 + 2] = 0x81;
  const auto f = frameOf(m, p);
  EXPECT_EQ(disp(f, 40, 26), word(p, 1));
  EXPECT_EQ(disp(f, 47, 26), word(p, 1));
  EXPECT_EQ(disp(f, 41, 26), word(p, 0));
  EXPECT_EQ(disp(f, 40, 25), word(p, 0));
  m.ram[0x0400 + i] = 0x7A;
  const auto g = frameOf(m, p);
  EXPECT_EQ(disp(g, 40, 26), word(p, 7));
  EXPECT_EQ(disp(g, 41, 26), word(p, 10));
}

TEST(Vic, MulticolorBitmapPairsTakeBackgroundNibblesAndColorRam) {
  Machine m = resetMachine();
  m.setGfxMode(kModeMultiBitmap);
  m.vicRegs[kRegBg0] = 0x3B;  // only the low nibble counts
  const Palette p;
  const int i = 999;
  m.ram[0x0400 + i] = 0x52;
  m.ram[0xD800 + i] = 0xF9;  // colour RAM: low nibble 9
  m.ram[0x2000 + i * 8 + 7] = 0x1B;  // pairs 00 01 10 11
  const auto f = frameOf(m, p);
  const int x0 = 312, y = 199;
  const uint32_t expect[8] = {word(p, 11), word(p, 11), word(p, 5), word(p, 5),
                              word(p, 2),  word(p, 2),  word(p, 9), word(p, 9)};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(disp(f, x0 + x, y), expect[x]) << x;
}

TEST(Vic, MulticolorTextUsesColorRamBitThree) {
  Machine m = resetMachine();
  m.setGfxMode(kModeMultiText);
  m.vicRegs[kRegBg0] = 6;
  m.vicRegs[kRegBg1] = 1;
  m.vicRegs[kRegBg2] = 2;
  const Palette p;
  // Cell 0: colour 7 (bit 3 clear) is hires in colour 7.
  // Cell 1: colour 15 is multicolour, pair 11 in colour 7.
  // Screen code $1B: ROM row 0 = $1B = pairs 00 01 10 11.
  m.ram[0x0400] = 0x1B;
  m.ram[0x0401] = 0x1B;
  m.ram[0xD800] = 7;
  m.ram[0xD801] = 15;
  const auto f = frameOf(m, p);
  const uint32_t hires[8] = {word(p, 6), word(p, 6), word(p, 6), word(p, 7),
                             word(p, 7), word(p, 6), word(p, 7), word(p, 7)};
  const uint32_t multi[8] = {word(p, 6), word(p, 6), word(p, 1), word(p, 1),
                             word(p, 2), word(p, 2), word(p, 7), word(p, 7)};
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(disp(f, x, 0), hires[x]) << x;
    EXPECT_EQ(disp(f, 8 + x, 0), multi[x]) << x;
  }
}

TEST(Vic, ExtendedBackgroundPicksRegisterByTopBits) {
  Machine m = resetMachine();
  m.setGfxMode(kModeExtBgText);
  m.vicRegs[kRegBg0] = 0;
  m.vicRegs[kRegBg1] = 1;
  m.vicRegs[kRegBg2] = 2;
  m.vicRegs[kRegBg3] = 3;
  const Palette p;
  // Codes $01, $41, $81, $C1 all show glyph 1 (row 0 = $01: only the last
  // pixel set) over $D021-$D024.
  const uint8_t codes[4] = {0x01, 0x41, 0x81, 0xC1};
  for (int c = 0; c < 4; ++c) {
    m.ram[0x0400 + c] = codes[c];
    m.ram[0xD800 + c] = 5;
  }
  const auto f = frameOf(m, p);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(disp(f, c * 8, 0), word(p, c)) << c;
    EXPECT_EQ(disp(f, c * 8 + 7, 0), word(p, 5)) << c;
    // Row 1 of glyph 1 is 1 ^ 17 = $10.
    EXPECT_EQ(disp(f, c * 8 + 3, 1), word(p, 5)) << c;
    EXPECT_EQ(disp(f, c * 8 + 4, 1), word(p, c)) << c;
  }

  // Under MCM and ECM a cell with colour bit 3 set is multicolour with the
  // full code; one with bit 3 clear takes the ECM background and glyph.
  m.vicRegs[kRegCtrl2] |= kBitMCM;
  m.ram[0xD800 + 3] = 0x0E;  // multicolour, pair 11 in colour 6
  const auto g = frameOf(m, p);
  EXPECT_EQ(disp(g, 8, 0), word(p, 1));   // code $41, ECM background $D022
  EXPECT_EQ(disp(g, 15, 0), word(p, 5));
  // Code $C1, ROM row 0 = $C1: pairs 11 00 00 01.
  EXPECT_EQ(disp(g, 24, 0), word(p, 6));
  EXPECT_EQ(disp(g, 25, 0), word(p, 6));
  EXPECT_EQ(disp(g, 26, 0), word(p, 0));
  EXPECT_EQ(disp(g, 30, 0), word(p, 1));
}

TEST(Vic, BitmapOfBankThreeUpperHalfReadsE000ToFF3F) {
  Machine m = resetMachine();
  m.setGfxMode(kModeHires);
  m.bank = 3;
  m.vicRegs[kRegMemPtr] = 0x38;  // matrix slot 3: $CC00; bitmap $E000
  const Palette p;
  m.ram[0xCC00] = 0x21;
  m.ram[0xCC00 + 999] = 0x43;
  m.ram[0xE000] = 0x80;
  m.ram[0xFF3F] = 0x01;
  m.ram[0xFF40] = 0xFF;  // beyond the 8000 bytes: never shown
  const auto f = frameOf(m, p);
  EXPECT_EQ(disp(f, 0, 0), word(p, 2));
  EXPECT_EQ(disp(f, 1, 0), word(p, 1));
  EXPECT_EQ(disp(f, 319, 199), word(p, 4));
  EXPECT_EQ(disp(f, 318, 199), word(p, 3));
  m.vicRegs[kRegMemPtr] = 0x30;  // bit 3 clear: the lower half, $C000
  m.ram[0xC000] = 0x40;
  const auto g = frameOf(m, p);
  EXPECT_EQ(disp(g, 0, 0), word(p, 1));
  EXPECT_EQ(disp(g, 1, 0), word(p, 2));
}

TEST(Vic, CharacterRomAppearsOnlyInBanksZeroAndTwo) {
  Machine m = resetMachine();
  const Palette p;
  m.vicRegs[kRegBg0] = 0;
  auto firstRow = [&](int code) {
    for (int c = 0; c < 1000; ++c) m.ram[m.screenAddr() + c] = static_cast<uint8_t>(code);
    for (int c = 0; c < 1000; ++c) m.ram[0xD800 + c] = 1;
    const auto f = frameOf(m, p);
    int b = 0;
    for (int x = 0; x < 8; ++x)
      if (disp(f, x, 0) == word(p, 1)) b |= 0x80 >> x;
    return b;
  };
  // $D018 $14: character slot $1000, upper case; $16: $1800, lower case.
  for (int bank : {0, 2}) {
    m.bank = static_cast<uint16_t>(bank);
    m.vicRegs[kRegMemPtr] = 0x14;
    EXPECT_EQ(firstRow(0x35), 0x35) << bank;
    m.vicRegs[kRegMemPtr] = 0x16;
    EXPECT_EQ(firstRow(0x35), 0xCA) << bank;
  }
  // Banks 1 and 3 read the same slot from RAM: $5000, $D000 (+ $800).
  m.bank = 1;
  m.vicRegs[kRegMemPtr] = 0x14;
  m.ram[0x5000 + 0x35 * 8] = 0x5A;
  EXPECT_EQ(firstRow(0x35), 0x5A);
  m.bank = 3;
  m.ram[0xD000 + 0x35 * 8] = 0xA5;
  EXPECT_EQ(firstRow(0x35), 0xA5);
  // Slot 0 of bank 0 is RAM too.
  m.bank = 0;
  m.vicRegs[kRegMemPtr] = 0x10;
  m.ram[0x35 * 8] = 0x3C;
  EXPECT_EQ(firstRow(0x35), 0x3C);
}

TEST(Vic, FramesMatchPerPixelReferenceInEveryModeAndBank) {
  std::mt19937 rng(1234);
  Palette p;
  for (int round = 0; round < 40; ++round) {
    Machine m;
    for (auto& b : m.charRom) b = static_cast<uint8_t>(rng());
    for (auto& b : m.ram) b = static_cast<uint8_t>(rng());
    for (auto& r : m.vicRegs) r = static_cast<uint8_t>(rng());
    m.bank = static_cast<uint16_t>(round & 3);
    m.setGfxMode(round / 4 % 5);
    if (round % 7 == 3) m.vicRegs[kRegMemPtr] = static_cast<uint8_t>((rng() & 0xF0) | 0x04);
    p.set(round % 11);
    const auto f = frameOf(m, p);
    int bad = 0;
    for (int y = 0; y < kFrameHeight && bad < 5; ++y)
      for (int x = 0; x < kFrameWidth && bad < 5; ++x)
        if (at(f, x, y) != refFramePixel(m, p, x, y)) {
          ++bad;
          ADD_FAILURE() << "round " << round << " pixel " << x << "," << y;
        }
  }
}

TEST(Vic, ScreenAndCellWriteOnlyTheirAreaAndAgreeWithFrame) {
  std::mt19937 rng(99);
  Machine m;
  m.reset();
  for (auto& b : m.ram) b = static_cast<uint8_t>(rng());
  m.setGfxMode(kModeMultiBitmap);
  const Palette p;
  const auto f = frameOf(m, p);

  constexpr int kStride = 330;
  std::vector<uint32_t> screen(kStride * kDisplayHeight, kSentinel);
  Vic::renderScreen(m, p, screen.data(), kStride);
  for (int y = 0; y < kDisplayHeight; ++y) {
    for (int x = 0; x < kDisplayWidth; ++x) ASSERT_EQ(screen[y * kStride + x], disp(f, x, y));
    for (int x = kDisplayWidth; x < kStride; ++x) ASSERT_EQ(screen[y * kStride + x], kSentinel);
  }

  std::vector<uint32_t> cell(10 * 9, kSentinel);
  Vic::renderCell(m, p, 39, 24, cell.data() + 10 + 1, 10);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 10; ++x) {
      const bool inside = y >= 1 && x >= 1 && x < 9;
      EXPECT_EQ(cell[y * 10 + x], inside ? disp(f, 312 + x - 1, 192 + y - 1) : kSentinel)
          << x << "," << y;
    }
  // Outside the 40x25 grid nothing is drawn.
  const std::vector<uint32_t> before = cell;
  for (auto [c, r] : {std::pair{40, 0}, {0, 25}, {-1, 3}, {3, -1}})
    Vic::renderCell(m, p, c, r, cell.data() + 10 + 1, 10);
  EXPECT_EQ(cell, before);
}

TEST(Vic, CharDataHiresAndMulticolor) {
  const uint8_t glyph[8] = {0x80, 0x01, 0xE4, 0, 0, 0, 0, 0xFF};
  const uint32_t colors[4] = {10, 11, 12, 13};
  std::vector<uint32_t> out(9 * 8, kSentinel);
  Vic::renderCharData(glyph, false, colors, out.data(), 9);
  EXPECT_EQ(out[0], 11u);
  EXPECT_EQ(out[1], 10u);
  EXPECT_EQ(out[9 + 7], 11u);
  EXPECT_EQ(out[9 + 6], 10u);
  EXPECT_EQ(out[7 * 9 + 3], 11u);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(out[y * 9 + 8], kSentinel);

  Vic::renderCharData(glyph, true, colors, out.data(), 9);
  // $E4 = pairs 11 10 01 00.
  const uint32_t row2[8] = {13, 13, 12, 12, 11, 11, 10, 10};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(out[2 * 9 + x], row2[x]) << x;
  EXPECT_EQ(out[0], 12u);   // $80: pair 10
  EXPECT_EQ(out[1], 12u);
  EXPECT_EQ(out[2], 10u);
  EXPECT_EQ(out[9 + 7], 11u);  // $01: last pair 01
}

TEST(Vic, SpriteDataHiresMulticolorAndTransparentZero) {
  uint8_t data[kSpriteDataBytes] = {};
  data[0] = 0x80;            // row 0: leftmost pixel
  data[2] = 0x01;            // row 0: rightmost pixel
  data[20 * 3 + 1] = 0x1B;   // row 20, pixels 8-15: pairs 00 01 10 11
  constexpr int kStride = 26;
  std::vector<uint32_t> out(kStride * kSpriteHeight, kSentinel);
  Vic::renderSpriteData(data, false, 7, 3, 5, 6, out.data(), kStride);
  EXPECT_EQ(out[0], 7u);
  EXPECT_EQ(out[1], 3u);
  EXPECT_EQ(out[23], 7u);
  EXPECT_EQ(out[24], kSentinel);
  EXPECT_EQ(out[20 * kStride + 11], 7u);
  EXPECT_EQ(out[20 * kStride + 10], 3u);

  Vic::renderSpriteData(data, true, 7, 3, 5, 6, out.data(), kStride);
  const uint32_t row20[8] = {3, 3, 5, 5, 7, 7, 6, 6};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(out[20 * kStride + 8 + x], row20[x]) << x;
  EXPECT_EQ(out[0], 7u);  // $80: pair 10, the sprite colour
  EXPECT_EQ(out[1], 7u);
  EXPECT_EQ(out[22], 5u);  // $01: last pair 01
  EXPECT_EQ(out[23], 5u);

  // A zero word is not written: background 0 keeps what was there.
  std::vector<uint32_t> keep(kStride * kSpriteHeight, kSentinel);
  Vic::renderSpriteData(data, true, 7, 0, 0, 6, keep.data(), kStride);
  EXPECT_EQ(keep[0], 7u);
  EXPECT_EQ(keep[2], kSentinel);
  EXPECT_EQ(keep[22], kSentinel);  // multicolour 0 passed as 0
  EXPECT_EQ(keep[20 * kStride + 12], 7u);
  EXPECT_EQ(keep[20 * kStride + 14], 6u);
}

TEST(Vic, SpriteBlockOfBankInPaletteColours) {
  Machine m = resetMachine();
  m.vicRegs[kRegSpriteMc0] = 0x14;  // & 15: 4
  m.vicRegs[kRegSpriteMc1] = 9;
  const Palette p;
  m.bank = 3;
  m.ram[0xFFC0] = 0x6C;  // block 255 of bank 3: pairs 01 10 11 00
  m.ram[0xFFFE] = 0xFF;  // row 20, last byte
  m.ram[0xFFFF] = 0xFF;  // the 64th byte is not part of the picture
  constexpr int kStride = 24;
  std::vector<uint32_t> out(kStride * kSpriteHeight + 4, kSentinel);
  Vic::renderSprite(m, p, 255, 2, 6, true, out.data(), kStride);
  const uint32_t row0[8] = {word(p, 4), word(p, 4), word(p, 2), word(p, 2),
                            word(p, 9), word(p, 9), word(p, 6), word(p, 6)};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(out[x], row0[x]) << x;
  EXPECT_EQ(out[20 * kStride + 23], word(p, 9));
  for (int i = kStride * kSpriteHeight; i < kStride * kSpriteHeight + 4; ++i)
    EXPECT_EQ(out[i], kSentinel);

  // Hires with colour 0 and background 0: every pixel written, opaque black.
  m.bank = 1;
  m.ram[(256 + 13) * 64] = 0xF0;
  Vic::renderSprite(m, p, 13, 0, 0, false, out.data(), kStride);
  for (int i = 0; i < kStride * kSpriteHeight; ++i) ASSERT_EQ(out[i], 0xFF000000u) << i;
  Vic::renderSprite(m, p, 13, 1, 0, false, out.data(), kStride);
  EXPECT_EQ(out[3], word(p, 1));
  EXPECT_EQ(out[4], 0xFF000000u);
}
