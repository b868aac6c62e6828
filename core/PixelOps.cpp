// Per-mode pixel reads and writes, and multicolour slot allocation.
#include "core/PixelOps.h"

namespace {

// Quarter mask of a screen code; codes that are not quarter blocks count as empty.
int textMask(uint8_t code) {
  for (int i = 0; i < 16; ++i)
    if (textpixtab[i] == code) return i;
  return 0;
}

int textBit(int x, int y) { return 1 << ((1 - (y & 1)) * 2 + (1 - (x & 1))); }

// The 8 bitmap bytes of the cell holding multicolour pixel (x, y).
uint32_t multiCellAddr(const Machine& m, int x, int y) { return cellBitmapAddr(m, cellIndex(x >> 2, y >> 3)); }

bool inside(int x, int y, int w, int h) {
  return static_cast<unsigned>(x) < static_cast<unsigned>(w) &&
         static_cast<unsigned>(y) < static_cast<unsigned>(h);
}

}  // namespace

bool PixelStack::Pop(int& x, int& y, uint8_t& colour) {
  if (items.empty()) return false;
  const PixelMem& p = items.back();
  x = p.x;
  y = p.y;
  colour = p.colour;
  items.pop_back();
  return true;
}

// The registers decide, not the mode number: every text mode shares one rule.
int PixelOperator::GetPixel(int x, int y) const {
  if (!machine->isBitmap()) return GetPixelTextMode(x, y);
  if (machine->isMulticolor()) return GetPixelMulticolor(x, y);
  return GetPixelHires(x, y);
}

void PixelOperator::SetPixel(int x, int y, bool erase) {
  if (!machine->isBitmap())
    SetPixelTextMode(x, y, erase);
  else if (machine->isMulticolor())
    SetPixelMulticolor(x, y, erase);
  else
    SetPixelHires(x, y, erase);
}

void PixelOperator::Resolution(int& w, int& h) const {
  if (!machine->isBitmap()) {
    w = kTextPixelWidth;
    h = kTextPixelHeight;
  } else if (machine->isMulticolor()) {
    w = kMultiPixelWidth;
    h = kDisplayHeight;
  } else {
    w = kDisplayWidth;
    h = kDisplayHeight;
  }
}

int PixelOperator::GetPixelTextMode(int x, int y) const {
  if (!inside(x, y, kTextPixelWidth, kTextPixelHeight)) return -1;
  const Machine& m = *machine;
  uint32_t cell = cellIndex(x >> 1, y >> 1);
  int mask = textMask(m.ram[cellScreenAddr(m, cell)]);
  if (mask & textBit(x, y)) return m.ram[cellColorAddr(cell)] & 15;
  return m.vicRegs[kRegBg0] & 15;
}

void PixelOperator::SetPixelTextMode(int x, int y, bool erase) {
  if (!inside(x, y, kTextPixelWidth, kTextPixelHeight)) return;
  Machine& m = *machine;
  uint32_t cell = cellIndex(x >> 1, y >> 1);
  uint8_t& code = m.ram[cellScreenAddr(m, cell)];
  int mask = textMask(code);
  mask = erase ? (mask & ~textBit(x, y)) : (mask | textBit(x, y));
  code = textpixtab[mask];
  // The whole cell takes the drawing colour, also when erasing.
  m.ram[cellColorAddr(cell)] = static_cast<uint8_t>(m.pen & 15);
}

int PixelOperator::GetPixelHires(int x, int y) const {
  if (!inside(x, y, kDisplayWidth, kDisplayHeight)) return -1;
  const Machine& m = *machine;
  uint8_t screen = m.ram[cellScreenAddr(m, cellIndex(x >> 3, y >> 3))];
  if (m.ram[pixelBitmapAddr(m, x, y)] & sptab[x & 7]) return screen >> 4;
  return screen & 15;
}

void PixelOperator::SetPixelHires(int x, int y, bool erase) {
  if (!inside(x, y, kDisplayWidth, kDisplayHeight)) return;
  Machine& m = *machine;
  uint8_t& byte = m.ram[pixelBitmapAddr(m, x, y)];
  if (erase)
    byte = static_cast<uint8_t>(byte & ~sptab[x & 7]);
  else
    byte = static_cast<uint8_t>(byte | sptab[x & 7]);
  // Foreground becomes the drawing colour, background the background
  // register, so the cell never keeps a stale colour pair.
  m.ram[cellScreenAddr(m, cellIndex(x >> 3, y >> 3))] =
      static_cast<uint8_t>(((m.pen & 15) << 4) | (m.vicRegs[kRegBg0] & 15));
}

int PixelOperator::GetPixelMulticolor(int x, int y) const {
  if (!inside(x, y, kMultiPixelWidth, kDisplayHeight)) return -1;
  const Machine& m = *machine;
  uint32_t cell = cellIndex(x >> 2, y >> 3);
  uint8_t byte = m.ram[multiCellAddr(m, x, y) + (y & 7)];
  switch ((byte & mcpixtab[x & 3]) >> mcshifttab[x & 3]) {
    case 0: return m.vicRegs[kRegBg0] & 15;
    case 1: return m.ram[cellScreenAddr(m, cell)] >> 4;
    case 2: return m.ram[cellScreenAddr(m, cell)] & 15;
    default: return m.ram[cellColorAddr(cell)] & 15;
  }
}

void PixelOperator::SetPixelMulticolor(int x, int y, bool erase) {
  if (!inside(x, y, kMultiPixelWidth, kDisplayHeight)) return;
  Machine& m = *machine;
  uint32_t cellAddr = multiCellAddr(m, x, y);
  uint8_t& byte = m.ram[cellAddr + (y & 7)];
  if (erase) {
    byte &= mcerasetab[x & 3];
    return;
  }
  int slot = AllocMultiColor(m.pen, x >> 2, y >> 3, &m.ram[cellAddr]);
  if (slot < 0) {
    pixelWarning = true;
    return;
  }
  byte = static_cast<uint8_t>((byte & mcerasetab[x & 3]) | mcsettab[x & 3][slot]);
}

int PixelOperator::AllocMultiColor(int colour, int cellX, int cellY, const uint8_t* cellBytes) {
  // A cell outside the screen has no slots (and no memory to touch).
  if (!inside(cellX, cellY, kScreenCols, kScreenRows)) return -1;
  Machine& m = *machine;
  colour &= 15;
  uint32_t cell = cellIndex(cellX, cellY);
  uint8_t& screen = m.ram[cellScreenAddr(m, cell)];
  uint8_t& colourMem = m.ram[cellColorAddr(cell)];

  // A colour already in one of the four slots is used as it is.
  if (colour == (m.vicRegs[kRegBg0] & 15)) return 0;
  if (colour == (colourMem & 15)) return 3;
  if (colour == (screen >> 4)) return 1;
  if (colour == (screen & 15)) return 2;
  if (fixedColors) return -1;

  int count[4] = {0, 0, 0, 0};
  for (int i = 0; i < kBitmapCellBytes; ++i)
    for (int p = 0; p < 4; ++p) ++count[(cellBytes[i] >> mcshifttab[p]) & 3];

  int slot;
  if (count[1] == 0) {
    slot = 1;
  } else if (count[2] == 0) {
    slot = 2;
  } else if (count[3] == 0) {
    slot = 3;
  } else {
    // All in use: take over the least used slot; on a tie the higher slot
    // wins. Its pixels change colour with it.
    slot = 3;
    if (count[2] < count[slot]) slot = 2;
    if (count[1] < count[slot]) slot = 1;
  }
  switch (slot) {
    case 1: screen = static_cast<uint8_t>((colour << 4) | (screen & 15)); break;
    case 2: screen = static_cast<uint8_t>((screen & 0xF0) | colour); break;
    default: colourMem = static_cast<uint8_t>(colour); break;
  }
  return slot;
}

void PixelOperator::SetPixelStacked(int x, int y, bool erase, PixelStack& stack) {
  stack.Push(x, y, static_cast<uint8_t>(GetPixel(x, y)));
  SetPixel(x, y, erase);
}
