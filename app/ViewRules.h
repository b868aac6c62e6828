// The rules behind the "Second view", "Registers" and "Memory bitmap"
// windows that are worth testing without a window: the names of the 47
// video-chip registers, the second view's zoom steps and the scroll that
// centres the Screen window on a point, and how the memory bitmap paints
// all 64 KB as pixels and names the byte under the mouse. The windows
// (app/Views.cpp) ask these functions and draw the answers.
#pragma once

#include "core/Machine.h"

#include <cstdint>
#include <string>

// One description per register $D000 + i.
extern const char* const regNames[kVicRegCount];
// The colour registers $D020-$D02E show a swatch beside their name.
constexpr int kFirstColorRegister = 0x20;

// The register's 8 bits as "0"/"1", most significant first.
std::string RegisterBits(uint8_t value);

// ---- Second view ----------------------------------------------------------

constexpr int kSecondViewZoomMin = 1;
constexpr int kSecondViewZoomMax = 12;

// `zoom` moved by `step`, kept within 1-12.
int StepSecondViewZoom(int zoom, int step);

// The grey of the pulsing marks: from black to grey 250 and back once a
// second of interface time.
int PulseGrey(double time);

// The Screen window's scroll (screen pixels) that centres its visible area
// of `viewW` x `viewH` frame pixels on frame pixel (px, py) at its zoom
// `screenZoom`; never negative.
struct ScrollPos {
  float x = 0;
  float y = 0;
};
ScrollPos CentreScrollOn(float px, float py, float viewW, float viewH, int screenZoom);

// ---- Memory bitmap --------------------------------------------------------

constexpr int kMemBitmapWidthCount = 4;
extern const int kMemBitmapWidths[kMemBitmapWidthCount];  // 160, 320, 640, 1280
constexpr int kMemBitsPerByte = 8;

// Pixel count, width and height of the memory bitmap: one pixel per byte
// (65536) or per bit (524288), in rows of the chosen width; the last row
// is padded.
struct MemBitmapLayout {
  int count = 0;
  int width = 0;
  int height = 0;
};
MemBitmapLayout MemBitmapLayoutFor(bool oneBit, int widthSel);

// Pixel i (row-major) of the memory bitmap: in 8-bit mode a grey of the
// byte's value, in 1-bit mode white for a set bit (most significant bit
// first), else black; opaque black beyond the memory.
uint32_t MemBitmapPixel(const uint8_t* ram, bool oneBit, int i);
// All pixels of `layout` into `out` (width x height words).
void RenderMemBitmap(const uint8_t* ram, bool oneBit, const MemBitmapLayout& layout, uint32_t* out);

// The hover text for the whole pixel offset (x, y) from the image's
// top-left.
std::string MemBitmapTooltip(const uint8_t* ram, bool oneBit, int width, int x, int y);
