// Pixel access per graphics mode: reads and writes single drawing pixels of
// the document in the coordinates of the current mode, so that the drawing
// tools work alike everywhere. Text modes offer 80x50 quarter-block pixels,
// the multicolour bitmap 160x200 double-wide pixels, the hires bitmap
// 320x200. Setting a pixel also maintains the screen nibbles and colour
// memory that make it visible in the drawing colour. The editor owns one
// PixelOperator; the mode is taken from the registers at every call.
#pragma once

#include "core/Machine.h"
#include "core/MemoryLayout.h"

#include <cstdint>
#include <vector>

// Text pixel sizes: each character cell holds 2x2 quarter-block pixels.
constexpr int kTextPixelWidth = kScreenCols * 2;   // 80
constexpr int kTextPixelHeight = kScreenRows * 2;  // 50
constexpr int kMultiPixelWidth = kDisplayWidth / 2;  // 160

// Screen code showing a 4-bit quarter mask (top-left 8, top-right 4,
// bottom-left 2, bottom-right 1); mask 0 is the space, 15 the reversed space.
inline constexpr uint8_t textpixtab[16] = {
    0x20, 0x6C, 0x7B, 0x62, 0x7C, 0xE1, 0xFF, 0xFE,
    0x7E, 0x7F, 0x61, 0xFC, 0xE2, 0xFB, 0xEC, 0xE0,
};
// Bit of pixel column x & 7 in a hires, character or sprite byte (bit 7 leftmost).
inline constexpr uint8_t sptab[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
// Multicolour bit pair of column x & 3, its shift, and the byte mask clearing it.
inline constexpr uint8_t mcpixtab[4] = {0xC0, 0x30, 0x0C, 0x03};
inline constexpr uint8_t mcshifttab[4] = {6, 4, 2, 0};
inline constexpr uint8_t mcerasetab[4] = {0x3F, 0xCF, 0xF3, 0xFC};
// Slot value 0-3 moved into the pair of column x & 3 (one row per column).
inline constexpr uint8_t mcsettab[4][4] = {
    {0x00, 0x40, 0x80, 0xC0},
    {0x00, 0x10, 0x20, 0x30},
    {0x00, 0x04, 0x08, 0x0C},
    {0x00, 0x01, 0x02, 0x03},
};

// One saved pixel: its position and the colour it had before a change.
struct PixelMem {
  int x = 0;
  int y = 0;
  uint8_t colour = 0;
};

// Last-in first-out record of pixels changed by SetPixelStacked.
class PixelStack {
public:
  std::vector<PixelMem> items;

  void Push(int x, int y, uint8_t colour) { items.push_back({x, y, colour}); }
  // False when empty; otherwise removes the newest entry and returns its fields.
  bool Pop(int& x, int& y, uint8_t& colour);
};

class PixelOperator {
public:
  // A multicolour pixel whose colour is in none of the cell's four slots
  // fails instead of taking a slot.
  bool fixedColors = false;
  // Raised when a multicolour pixel found no slot; the editor reads and clears it.
  bool pixelWarning = false;
  Machine* machine;

  explicit PixelOperator(Machine* m) : machine(m) {}
  explicit PixelOperator(Machine& m) : machine(&m) {}

  // Colour 0-15 of the pixel in the current mode's coordinates; -1 outside.
  int GetPixel(int x, int y) const;
  // Sets (erase false) or clears (erase true) a pixel; ignores positions outside.
  void SetPixel(int x, int y, bool erase);

  int GetPixelTextMode(int x, int y) const;     // 80x50
  int GetPixelHires(int x, int y) const;        // 320x200
  int GetPixelMulticolor(int x, int y) const;   // 160x200
  void SetPixelTextMode(int x, int y, bool erase);
  void SetPixelHires(int x, int y, bool erase);
  void SetPixelMulticolor(int x, int y, bool erase);

  // Slot 0-3 of the cell (cellX 0-39, cellY 0-24) that shows the colour,
  // taking a free or the least used slot when needed; -1 when no slot may
  // be taken. cellBytes are the cell's 8 bitmap bytes.
  int AllocMultiColor(int colour, int cellX, int cellY, const uint8_t* cellBytes);

  // Drawing-pixel size of the current mode.
  void Resolution(int& w, int& h) const;

  // Records the pixel's previous colour on the stack, then sets it.
  void SetPixelStacked(int x, int y, bool erase, PixelStack& stack);
};
