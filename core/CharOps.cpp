// Character operations of the character-set windows; see CharOps.h.
#include "core/CharOps.h"

#include "core/GlyphBits.h"
#include "core/MemoryLayout.h"

#include <algorithm>
#include <cstdio>

namespace CharOps {

namespace {

constexpr uint8_t kSlotBits = 0x0E;  // $D018 bits 1-3

uint8_t* bytes(Machine& m, int code) { return m.ram.data() + charAddress(m, code); }

}  // namespace

uint32_t charAddress(const Machine& m, int code) { return (m.charsetAddr() + (code & 255) * 8u) & 0xFFF8u; }

bool multicolor(const Machine& m) { return m.isMulticolor(); }

int slot(const Machine& m) { return (m.vicRegs[kRegMemPtr] >> 1) & 7; }

void copy(const Machine& m, int code, CharClip& clip) {
  std::copy_n(m.charData(static_cast<uint8_t>(code)), kCharBytes, clip.begin());
}

void cut(Machine& m, int code, CharClip& clip) {
  copy(m, code, clip);
  clear(m, code);
}

bool paste(Machine& m, int code, const CharClip& clip) {
  if (m.charsetIsRom()) return false;
  std::copy(clip.begin(), clip.end(), bytes(m, code));
  return true;
}

bool clear(Machine& m, int code) {
  if (m.charsetIsRom()) return false;
  std::fill_n(bytes(m, code), kCharBytes, 0);
  return true;
}

bool copyFromRom(Machine& m, int code, int romSet) {
  if (m.charsetIsRom()) return false;
  const uint8_t* rom = m.charRom.data() + (romSet & 1) * kCharsetSize + (code & 255) * kCharBytes;
  std::copy_n(rom, kCharBytes, bytes(m, code));
  return true;
}

bool invert(Machine& m, int code) {
  if (m.charsetIsRom()) return false;
  uint8_t* b = bytes(m, code);
  for (int i = 0; i < kCharBytes; ++i) b[i] ^= 0xFF;
  return true;
}

bool flip(Machine& m, int code) {
  if (m.charsetIsRom()) return false;
  uint8_t* b = bytes(m, code);
  std::reverse(b, b + kCharBytes);
  return true;
}

bool mirror(Machine& m, int code, bool multicolor) {
  if (m.charsetIsRom()) return false;
  uint8_t* b = bytes(m, code);
  for (int i = 0; i < kCharBytes; ++i) b[i] = mirrorByte(b[i], multicolor);
  return true;
}

bool paintPixel(Machine& m, int code, int x, int y, bool erase, bool multicolor, int pen) {
  if (m.charsetIsRom()) return false;
  x = std::clamp(x, 0, kCellSize - 1);
  y = std::clamp(y, 0, kCellSize - 1);
  uint8_t& b = bytes(m, code)[y];
  b = paintBits(b, x, erase, multicolor, pen);
  return true;
}

bool clearCharset(Machine& m) {
  if (m.charsetIsRom()) return false;
  std::fill_n(m.ram.data() + m.charsetAddr(), kCharsetSize, 0);
  return true;
}

bool loadRomCharset(Machine& m, int romSet) {
  if (m.charsetIsRom()) return false;
  std::copy_n(m.charRom.data() + (romSet & 1) * kCharsetSize, kCharsetSize, m.ram.data() + m.charsetAddr());
  return true;
}

void setSlot(Machine& m, int s) {
  uint8_t& r = m.vicRegs[kRegMemPtr];
  r = static_cast<uint8_t>((r & ~kSlotBits) | ((s & 7) << 1));
}

void setMulticolor(Machine& m, bool on) {
  uint8_t& r = m.vicRegs[kRegCtrl2];
  r = on ? static_cast<uint8_t>(r | kBitMCM) : static_cast<uint8_t>(r & ~kBitMCM);
  if (on) m.pen &= 7;
}

std::string slotLabel(const Machine& m, int s) {
  const unsigned start = charsetSlotAddr(m, s);
  const bool rom = m.slotIsRom(s);
  char buf[48];
  std::snprintf(buf, sizeof buf, "%d ($%04X-$%04X)%s", s + 1, start, start + kCharsetSize - 1, rom ? " ROM" : "");
  return buf;
}

void charColors(const Machine& m, const Palette& pal, uint32_t colors[kCellColors], bool multicolor) {
  colors[0] = Vic::paletteWord(pal, m.vicRegs[kRegBg0] & 15);
  if (multicolor) {
    colors[1] = Vic::paletteWord(pal, m.vicRegs[kRegBg1] & 15);
    colors[2] = Vic::paletteWord(pal, m.vicRegs[kRegBg2] & 15);
    colors[3] = Vic::paletteWord(pal, m.pen & 7);
  } else {
    colors[1] = Vic::paletteWord(pal, m.pen & 15);
    colors[2] = colors[3] = colors[1];
  }
}

int charAtCanvas(int x, int y) {
  const int column = x / kCharPitch;
  if (x < 0 || y < 0 || column >= kCharsetColumns || y >= kCharsetRows * kCharPitch) return -1;
  return (y / kCharPitch) * kCharsetColumns + column;
}

bool colorRefused(bool multicolor, int pen, bool rightButton, int colour) {
  return multicolor && !rightButton && pen == kPenColor3 && colour > 7;
}

const char* colorUndoLabel(bool multicolor, int pen, bool rightButton) {
  if (rightButton) return "background color";
  if (multicolor && (pen == kPenColor1 || pen == kPenColor2)) return "char color";
  return nullptr;
}

void pickColor(Machine& m, bool multicolor, int pen, bool rightButton, int colour) {
  colour &= 15;
  if (rightButton) m.vicRegs[kRegBg0] = static_cast<uint8_t>(colour);
  else if (multicolor && pen == kPenColor1) m.vicRegs[kRegBg1] = static_cast<uint8_t>(colour);
  else if (multicolor && pen == kPenColor2) m.vicRegs[kRegBg2] = static_cast<uint8_t>(colour);
  else if (!colorRefused(multicolor, pen, rightButton, colour)) m.pen = colour;
}

}  // namespace CharOps
