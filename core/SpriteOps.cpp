// Sprite block operations of the sprite windows; see SpriteOps.h.
#include "core/SpriteOps.h"

#include "core/GlyphBits.h"
#include "core/Vic.h"

#include <algorithm>
#include <cstdio>

namespace SpriteOps {

namespace {

// Every block lies inside the image: (3 x 256 + 255) x 64 + 63 = $FFFF.
uint8_t* blockBytes(Machine& m, int block) { return m.ram.data() + m.spriteBlockAddr(static_cast<uint8_t>(block)); }
const uint8_t* blockBytes(const Machine& m, int block) {
  return m.ram.data() + m.spriteBlockAddr(static_cast<uint8_t>(block));
}

uint8_t& pointerByte(Machine& m, int n) { return m.ram[(m.spritePtrAddr() + (n & 7)) & 0xFFFF]; }

}  // namespace

int pointer(const Machine& m, int n) { return m.ram[(m.spritePtrAddr() + (n & 7)) & 0xFFFF]; }

void setPointer(Machine& m, int n, int block) { pointerByte(m, n) = static_cast<uint8_t>(block); }

void pointerRange(const Machine& m, int& first, int& last) {
  first = last = pointer(m, 0);
  for (int n = 1; n < kHardwareSprites; ++n) {
    first = std::min(first, pointer(m, n));
    last = std::max(last, pointer(m, n));
  }
}

int users(const Machine& m, int block) {
  int mask = 0;
  for (int n = 0; n < kHardwareSprites; ++n)
    if (pointer(m, n) == (block & 255)) mask |= 1 << n;
  return mask;
}

int firstUser(const Machine& m, int block) {
  const int mask = users(m, block);
  for (int n = 0; n < kHardwareSprites; ++n)
    if (mask & (1 << n)) return n;
  return -1;
}

bool editorMulticolor(const Machine& m, int block) {
  const int n = firstUser(m, block);
  return n >= 0 && (m.vicRegs[kRegSpriteMulti] & (1 << n));
}

std::string blockLabel(const Machine& m, int block) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "$%04X", static_cast<unsigned>(m.spriteBlockAddr(static_cast<uint8_t>(block))));
  std::string text = buf;
  const int mask = users(m, block);
  for (int n = 0; n < kHardwareSprites; ++n) {
    if (!(mask & (1 << n))) continue;
    std::snprintf(buf, sizeof buf, " (SPRITE %d)", n);
    text += buf;
  }
  return text;
}

int stepBlock(int block, int delta) { return (block + delta) & 255; }

void copy(const Machine& m, int block, SpriteClip& clip) {
  std::copy_n(blockBytes(m, block), kSpriteBlockSize, clip.begin());
}

void cut(Machine& m, int block, SpriteClip& clip) {
  copy(m, block, clip);
  clear(m, block);
}

void paste(Machine& m, int block, const SpriteClip& clip) { std::copy(clip.begin(), clip.end(), blockBytes(m, block)); }

void clear(Machine& m, int block) { std::fill_n(blockBytes(m, block), kSpriteBlockSize, 0); }

void invert(Machine& m, int block) {
  uint8_t* b = blockBytes(m, block);
  for (int i = 0; i < kSpriteBlockSize; ++i) b[i] ^= 0xFF;
}

void flip(Machine& m, int block) {
  uint8_t* b = blockBytes(m, block);
  for (int y = 0; y < kSpriteHeight / 2; ++y)
    std::swap_ranges(b + y * kSpriteRowBytes, b + (y + 1) * kSpriteRowBytes,
                     b + (kSpriteHeight - 1 - y) * kSpriteRowBytes);
}

void mirror(Machine& m, int block, bool multicolor) {
  uint8_t* b = blockBytes(m, block);
  for (int y = 0; y < kSpriteHeight; ++y) {
    uint8_t* row = b + y * kSpriteRowBytes;
    const uint8_t left = row[0], middle = row[1], right = row[2];
    row[0] = mirrorByte(right, multicolor);
    row[1] = mirrorByte(middle, multicolor);
    row[2] = mirrorByte(left, multicolor);
  }
}

void paintPixel(Machine& m, int block, int x, int y, bool erase, bool multicolor, int pen) {
  x = std::clamp(x, 0, kSpriteWidth - 1);
  y = std::clamp(y, 0, kSpriteHeight - 1);
  uint8_t& b = blockBytes(m, block)[y * kSpriteRowBytes + (x >> 3)];
  b = paintBits(b, x & 7, erase, multicolor, pen);
}

void clearPointed(Machine& m) {
  for (int n = 0; n < kHardwareSprites; ++n) clear(m, pointer(m, n));
}

namespace {
void setBit(uint8_t& reg, int n, bool on) {
  reg = on ? static_cast<uint8_t>(reg | (1 << n)) : static_cast<uint8_t>(reg & ~(1 << n));
}
}  // namespace

void assign(Machine& m, int n, int block, int color, bool multicolor) {
  n &= 7;
  setPointer(m, n, block);
  m.vicRegs[kRegSprite0Color + n] = static_cast<uint8_t>(color & 15);
  setBit(m.vicRegs[kRegSpriteMulti], n, multicolor);
}

void setMulticolor(Machine& m, int block, bool on) {
  const int mask = users(m, block);
  for (int n = 0; n < kHardwareSprites; ++n)
    if (mask & (1 << n)) setBit(m.vicRegs[kRegSpriteMulti], n, on);
}

void pickColor(Machine& m, int block, int& spriteColor, bool multicolor, int pen, bool rightButton,
               int colour) {
  colour &= 15;
  if (rightButton) {
    m.vicRegs[kRegBg0] = static_cast<uint8_t>(colour);
  } else if (multicolor && pen == kPenColor1) {
    m.vicRegs[kRegSpriteMc0] = static_cast<uint8_t>(colour);
  } else if (multicolor && pen == kPenColor3) {
    m.vicRegs[kRegSpriteMc1] = static_cast<uint8_t>(colour);
  } else {
    spriteColor = colour;
    const int mask = users(m, block);
    for (int n = 0; n < kHardwareSprites; ++n)
      if (mask & (1 << n)) m.vicRegs[kRegSprite0Color + n] = static_cast<uint8_t>(colour);
  }
}

void correctSaveRange(int& first, int& last) {
  if (last < first) last = first;
}

std::string saveRangeSummary(const Machine& m, int first, int last) {
  const int count = last - first + 1;
  const unsigned start = (m.bank * 256u + static_cast<unsigned>(first)) * kSpriteBlockSize;
  const unsigned end = (m.bank * 256u + static_cast<unsigned>(last) + 1) * kSpriteBlockSize - 1;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d sprite%s, $%04X-$%04X", count, count == 1 ? "" : "s", start, end);
  return buf;
}

}  // namespace SpriteOps
