// Register names, second-view geometry and the memory bitmap; see
// ViewRules.h.
#include "app/ViewRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

const char* const regNames[kVicRegCount] = {
    "Sprite0 X Position",
    "Sprite0 Y Position",
    "Sprite1 X Position",
    "Sprite1 Y Position",
    "Sprite2 X Position",
    "Sprite2 Y Position",
    "Sprite3 X Position",
    "Sprite3 Y Position",
    "Sprite4 X Position",
    "Sprite4 Y Position",
    "Sprite5 X Position",
    "Sprite5 Y Position",
    "Sprite6 X Position",
    "Sprite6 Y Position",
    "Sprite7 X Position",
    "Sprite7 Y Position",
    "MSB of Sprite X Coord",
    "Y Scroll Mode",
    "Raster",
    "Light Pen X",
    "Light Pen Y",
    "Sprite Enable",
    "X Scroll Mode",
    "Sprite Expand Y",
    "Screen and Char Base Address",
    "IRQ",
    "IRQ Mask",
    "Background-Sprite Priority",
    "Multicolor Sprite",
    "Sprite Expand X",
    "Sprite-Sprite Collision",
    "Sprite-Background Collision",
    "Border Color",
    "Background Color 0",
    "Background Color 1",
    "Background Color 2",
    "Background Color 3",
    "Sprite Multicolor 0",
    "Sprite Multicolor 1",
    "Sprite0 Color",
    "Sprite1 Color",
    "Sprite2 Color",
    "Sprite3 Color",
    "Sprite4 Color",
    "Sprite5 Color",
    "Sprite6 Color",
    "Sprite7 Color",
};

std::string RegisterBits(uint8_t value) {
  std::string bits(8, '0');
  for (int b = 0; b < 8; ++b)
    if (value & (0x80 >> b)) bits[b] = '1';
  return bits;
}

int StepSecondViewZoom(int zoom, int step) {
  return std::clamp(zoom + step, kSecondViewZoomMin, kSecondViewZoomMax);
}

int PulseGrey(double time) {
  const double t = std::fmod(2.0 * time, 2.0);
  return static_cast<int>(std::fabs(t - 1.0) * 250);
}

ScrollPos CentreScrollOn(float px, float py, float viewW, float viewH, int screenZoom) {
  const float z = static_cast<float>(screenZoom);
  return {std::max(0.0f, (px - viewW / 2) * z), std::max(0.0f, (py - viewH / 2) * z)};
}

const int kMemBitmapWidths[kMemBitmapWidthCount] = {160, 320, 640, 1280};

MemBitmapLayout MemBitmapLayoutFor(bool oneBit, int widthSel) {
  MemBitmapLayout l;
  l.count = oneBit ? kRamSize * kMemBitsPerByte : kRamSize;
  l.width = kMemBitmapWidths[std::clamp(widthSel, 0, kMemBitmapWidthCount - 1)];
  l.height = (l.count + l.width - 1) / l.width;
  return l;
}

namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

uint32_t grey(uint8_t v) { return kOpaque | v << 16 | v << 8 | v; }

}  // namespace

uint32_t MemBitmapPixel(const uint8_t* ram, bool oneBit, int i) {
  if (i < 0) return kOpaque;
  if (!oneBit) return i < kRamSize ? grey(ram[i]) : kOpaque;
  if (i >= kRamSize * kMemBitsPerByte) return kOpaque;
  return (ram[i / 8] & (0x80 >> (i % 8))) ? kWhite : kOpaque;
}

void RenderMemBitmap(const uint8_t* ram, bool oneBit, const MemBitmapLayout& layout, uint32_t* out) {
  const int total = layout.width * layout.height;
  if (oneBit) {
    // Eight pixels per byte, most significant bit first.
    for (int a = 0; a < kRamSize; ++a) {
      const uint8_t v = ram[a];
      uint32_t* p = out + a * kMemBitsPerByte;
      for (int b = 0; b < kMemBitsPerByte; ++b) p[b] = (v & (0x80 >> b)) ? kWhite : kOpaque;
    }
  } else {
    for (int a = 0; a < kRamSize; ++a) out[a] = grey(ram[a]);
  }
  std::fill(out + layout.count, out + total, kOpaque);
}

std::string MemBitmapTooltip(const uint8_t* ram, bool oneBit, int width, int x, int y) {
  const int i = width * y + x;
  char buf[96];
  if (oneBit) {
    std::snprintf(buf, sizeof buf, "Memory position $%04X (%d) bit %d\nXY: (%d, %d)", i / 8, i / 8, i % 8, x, y);
  } else {
    std::snprintf(buf, sizeof buf, "Memory position $%04X (%d) = $%02X\nXY: (%d, %d)", i & 0xFFFF, i,
                  ram[i & 0xFFFF], x, y);
  }
  return buf;
}
