// Mouse tools, shapes, flood fill, typing, clipboards, block transforms and
// clearing of the screen editor.
#include "core/Editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

struct BrushPoint {
  int dx;
  int dy;
};

// Brush shapes as offsets around the mode pixel, in drawing order.
constexpr BrushPoint kBrushSquare[] = {
    {-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {0, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1},
};
constexpr BrushPoint kBrushDiamond[] = {
    {0, -2}, {-1, -1}, {0, -1}, {1, -1}, {-2, 0}, {-1, 0}, {0, 0},
    {1, 0},  {2, 0},   {-1, 1}, {0, 1},  {1, 1},  {0, 2},
};
// A chequered spray; the centre itself stays empty.
constexpr BrushPoint kBrushSpray[] = {
    {-1, -2}, {1, -2}, {-2, -1}, {0, -1}, {2, -1}, {-1, 0},
    {1, 0},   {-2, 1}, {0, 1},   {2, 1},  {-1, 2}, {1, 2},
};

constexpr int kSpaceCode = 32;
constexpr int kReverseBit = 128;
constexpr int kLowerCaseRomOffset = 2048;  // second half of the character ROM
constexpr uint8_t kD018LowerCase = 0x02;
// The bitmap occupies an 8 KB slot; clearing wipes all of it.
constexpr int kBitmapSlotSize = 8192;
constexpr int kCellRowBytes = kScreenCols * kBitmapCellBytes;  // 320 bitmap bytes per cell row

int clampInt(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }
int sign(int v) { return (v > 0) - (v < 0); }

uint8_t reverseBits(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i)
    if (b & (1 << i)) r |= static_cast<uint8_t>(0x80 >> i);
  return r;
}

// Multicolour pixels are bit pairs: mirroring keeps each pair intact.
uint8_t reversePairs(uint8_t b) {
  return static_cast<uint8_t>(((b & 0x03) << 6) | ((b & 0x0C) << 2) | ((b & 0x30) >> 2) | ((b & 0xC0) >> 6));
}

uint64_t mapBytes(uint64_t cell, uint8_t (*f)(uint8_t)) {
  uint64_t out = 0;
  for (int i = 0; i < kBitmapCellBytes; ++i)
    out |= static_cast<uint64_t>(f(static_cast<uint8_t>(cell >> (8 * i)))) << (8 * i);
  return out;
}

uint64_t reverseByteOrder(uint64_t cell) {
  uint64_t out = 0;
  for (int i = 0; i < kBitmapCellBytes; ++i)
    out |= ((cell >> (8 * i)) & 0xFF) << (8 * (kBitmapCellBytes - 1 - i));
  return out;
}

}  // namespace

Editor::Editor(Machine& m, UndoBuffer& u) : machine(m), undo(u), pix(m), textStamp_(u.changeCount) {}

// ---------------------------------------------------------------------------
// Memory of one cell

namespace {

uint32_t cellOffset(int cx, int cy) { return static_cast<uint32_t>(cy * kScreenCols + cx); }

uint32_t cellBitmapAddr(const Machine& m, int cx, int cy) {
  return m.bitmapAddr() + static_cast<uint32_t>(cy * kCellRowBytes + cx * kBitmapCellBytes);
}

uint64_t readCellBitmap(const Machine& m, int cx, int cy) {
  const uint32_t a = cellBitmapAddr(m, cx, cy);
  uint64_t v = 0;
  for (int i = 0; i < kBitmapCellBytes; ++i) v |= static_cast<uint64_t>(m.ram[a + i]) << (8 * i);
  return v;
}

void writeCellBitmap(Machine& m, int cx, int cy, uint64_t v) {
  const uint32_t a = cellBitmapAddr(m, cx, cy);
  for (int i = 0; i < kBitmapCellBytes; ++i) m.ram[a + i] = static_cast<uint8_t>(v >> (8 * i));
}

uint8_t& screenByte(Machine& m, int cx, int cy) { return m.ram[m.screenAddr() + cellOffset(cx, cy)]; }

// Rewrites every cell of the rectangle in place: in the bitmap modes its 8
// bitmap bytes (as one word) through `bitmapFn`, in the text modes its
// screen code through `textFn`.
template <class BitmapFn, class TextFn>
void rewriteCells(Machine& m, int l, int t, int r, int b, BitmapFn bitmapFn, TextFn textFn) {
  const bool bitmap = m.isBitmap();
  for (int cy = t; cy <= b; ++cy)
    for (int cx = l; cx <= r; ++cx) {
      if (bitmap)
        writeCellBitmap(m, cx, cy, bitmapFn(readCellBitmap(m, cx, cy)));
      else
        screenByte(m, cx, cy) = textFn(screenByte(m, cx, cy));
    }
}
uint8_t& colorByte(Machine& m, int cx, int cy) { return m.ram[kColorRam + cellOffset(cx, cy)]; }

// Screen byte of a bitmap cell drawn in the drawing colour on the background.
uint8_t penOnBackground(const Machine& m) {
  return static_cast<uint8_t>(((m.pen & 15) << 4) | (m.vicRegs[kRegBg0] & 15));
}

}  // namespace

// ---------------------------------------------------------------------------
// Mouse

void Editor::modePixel(int x, int y, int& px, int& py) const {
  // Arithmetic shifts take the floor, so negative positions stay outside.
  if (!machine.isBitmap()) {
    px = x >> 2;
    py = y >> 2;
  } else if (machine.isMulticolor()) {
    px = x >> 1;
    py = y;
  } else {
    px = x;
    py = y;
  }
}

void Editor::takeToolUndo() {
  if (tool == kToolText) {
    undo.TakeScreenUndo("text");
    undoPending = false;
  } else if (tool == kToolFill) {
    undo.TakeScreenUndo("floodfill");
  } else {
    undo.TakeScreenUndo("drawing");
  }
}

void Editor::mouseDown(int x, int y, int button) {
  picking = button == kButtonPick;
  if (pasting) {
    if (button == kButtonDraw)
      dropPaste();
    else
      cancelPaste();
    return;
  }
  // A shape still on screen from an unfinished drag is withdrawn before
  // anything new starts, so its image is never saved as the document.
  cancelPreview();
  if (button == kButtonPick) {
    pickColor(x, y);
    return;
  }
  switch (tool) {
    case kToolText: {
      const int cx = clampInt(x / 8, 0, kScreenCols - 1);
      const int cy = clampInt(y / 8, 0, kScreenRows - 1);
      if (cx != cursorX || cy != cursorY) {
        cursorX = cx;
        cursorY = cy;
        undoPending = true;
      }
      break;
    }
    case kToolDot:
    case kToolDraw:
    case kToolLine:
    case kToolCircle:
    case kToolBox:
      takeToolUndo();
      dragStamp_ = undo.changeCount;
      dragging = true;
      lastX = lastY = -1;
      erasing = button != kButtonDraw;
      startX = clampInt(x, 0, kDisplayWidth - 1);
      startY = clampInt(y, 0, kDisplayHeight - 1);
      if (tool >= kToolLine) saveImage();
      mouseMove(x, y);
      break;
    case kToolFill:
      if (button == kButtonDraw) floodFill(x, y);
      break;
    case kToolSelect:
      if (button == kButtonDraw) {
        selX0 = selX1 = clampInt(x, 0, kDisplayWidth - 1) >> 3;
        selY0 = selY1 = clampInt(y, 0, kDisplayHeight - 1) >> 3;
        selActive = true;
        dragging = true;
      } else {
        selActive = false;
      }
      break;
    default:
      break;
  }
}

void Editor::mouseMove(int x, int y) {
  x = clampInt(x, 0, kDisplayWidth - 1);
  y = clampInt(y, 0, kDisplayHeight - 1);
  const int cx = x >> 3;
  const int cy = y >> 3;
  if (pasting) {
    // A preview whose memory or history changed underneath (an undo while
    // it showed) is abandoned, not redrawn over the changed document.
    if (undo.changeCount != dragStamp_ || !savedImageValid()) {
      pasting = false;
      dropSavedImage();
      return;
    }
    pasteX = cx;
    pasteY = cy;
    restoreImage();
    stamp(clipBlock, pasteX, pasteY);
    return;
  }
  if (tool == kToolDot || tool == kToolDraw) {
    cursorX = cx;
    cursorY = cy;
  }
  if (!dragging || picking) return;
  if (tool == kToolSelect) {
    selX1 = cx;
    selY1 = cy;
    return;
  }
  if (tool < kToolDot || tool > kToolBox) return;
  // A stroke or shape drawn after the history changed (an undo in mid-drag)
  // would land outside any undo step: the drag ends instead.
  if (undo.changeCount != dragStamp_) {
    dragging = false;
    dropSavedImage();
    return;
  }
  if (tool >= kToolLine) {
    if (!savedImageValid()) {
      dragging = false;
      dropSavedImage();
      return;
    }
    restoreImage();
    drawShape(startX, startY, x, y);
    return;
  }
  int px, py;
  modePixel(x, y, px, py);
  if (tool == kToolDot) {
    brushAt(px, py);
    return;
  }
  if (lastX != -1 && lastY != -1)
    brushLine(lastX, lastY, px, py);
  else
    brushAt(px, py);
  lastX = px;
  lastY = py;
}

void Editor::mouseUp(int x, int y, int button) {
  const bool wasDragging = dragging;
  dragging = false;
  if (button != kButtonPick && wasDragging && tool >= kToolLine && tool <= kToolBox &&
      undo.changeCount == dragStamp_ && savedImageValid()) {
    restoreImage();
    drawShape(startX, startY, clampInt(x, 0, kDisplayWidth - 1), clampInt(y, 0, kDisplayHeight - 1));
  }
  if (!pasting) dropSavedImage();
  picking = false;
}

void Editor::pickColor(int x, int y) {
  if (tool == kToolText) {
    const int cx = x / 8;
    const int cy = y / 8;
    if (y >= -7 && y <= kDisplayHeight - 1 && cx >= 0 && cx < kScreenCols)
      machine.pen = colorByte(machine, cx, cy) & 15;
    return;
  }
  int px, py;
  modePixel(x, y, px, py);
  const int c = pix.GetPixel(px, py);
  if (c != -1) machine.pen = c;
}

bool Editor::takePixelWarning() {
  const bool w = pix.pixelWarning;
  pix.pixelWarning = false;
  return w;
}

void Editor::selectAll() {
  selX0 = 0;
  selY0 = 0;
  selX1 = kScreenCols - 1;
  selY1 = kScreenRows - 1;
  selActive = true;
}

void Editor::selRect(int& left, int& top, int& right, int& bottom) const {
  left = clampInt(std::min(selX0, selX1), 0, kScreenCols - 1);
  right = clampInt(std::max(selX0, selX1), 0, kScreenCols - 1);
  top = clampInt(std::min(selY0, selY1), 0, kScreenRows - 1);
  bottom = clampInt(std::max(selY0, selY1), 0, kScreenRows - 1);
}

void Editor::cellColors(int x, int y, int out[4]) const {
  const int cx = clampInt(x, 0, kDisplayWidth - 1) >> 3;
  const int cy = clampInt(y, 0, kDisplayHeight - 1) >> 3;
  const Machine& m = machine;
  const uint8_t scr = m.ram[m.screenAddr() + cellOffset(cx, cy)];
  const uint8_t col = m.ram[kColorRam + cellOffset(cx, cy)];
  const auto reg = [&](int r) { return m.vicRegs[r] & 15; };
  if (m.isBitmap()) {
    out[0] = m.isMulticolor() ? reg(kRegBg0) : -1;
    out[1] = scr >> 4;
    out[2] = scr & 15;
    out[3] = m.isMulticolor() ? col & 15 : -1;
    return;
  }
  // In extended background text the top two bits of the code choose the
  // cell's background register.
  out[0] = m.isExtBg() ? reg(kRegBg0 + (scr >> 6)) : reg(kRegBg0);
  out[1] = m.isMulticolor() ? reg(kRegBg1) : -1;
  out[2] = m.isMulticolor() ? reg(kRegBg2) : -1;
  out[3] = col & 15;
}

void Editor::setCellColor(int slot, int x, int y, int colour) {
  if (slot < 0 || slot > 3) return;
  cancelPreview();
  // Clamped like cellColors, so no write leaves the colour memory.
  const int cx = clampInt(x, 0, kDisplayWidth - 1) >> 3;
  const int cy = clampInt(y, 0, kDisplayHeight - 1) >> 3;
  Machine& m = machine;
  const uint8_t c = static_cast<uint8_t>(colour & 15);
  uint8_t& scr = screenByte(m, cx, cy);
  switch (slot) {
    case 0:
      if (m.isExtBg() && !m.isBitmap())
        m.vicRegs[kRegBg0 + (scr >> 6)] = c;
      else
        m.vicRegs[kRegBg0] = c;
      break;
    case 1:
      if (m.isBitmap())
        scr = static_cast<uint8_t>((c << 4) | (scr & 0x0F));
      else if (m.isMulticolor())
        m.vicRegs[kRegBg1] = c;
      break;
    case 2:
      if (m.isBitmap())
        scr = static_cast<uint8_t>((scr & 0xF0) | c);
      else if (m.isMulticolor())
        m.vicRegs[kRegBg2] = c;
      break;
    case 3:
      colorByte(m, cx, cy) = c;
      break;
  }
}

// ---------------------------------------------------------------------------
// Brushes and shapes

void Editor::brushAt(int x, int y) {
  const bool e = erasing;
  switch (brush) {
    case 2:
      for (const BrushPoint& p : kBrushSquare) pix.SetPixel(x + p.dx, y + p.dy, e);
      break;
    case 3:
      for (const BrushPoint& p : kBrushDiamond) pix.SetPixel(x + p.dx, y + p.dy, e);
      break;
    case 4: {
      // Odd coordinates move up to the next even value, so the chequer
      // stays on one fixed grid however the strokes wander.
      const int sx = x + (x & 1);
      const int sy = y + (y & 1);
      for (const BrushPoint& p : kBrushSpray) pix.SetPixel(sx + p.dx, sy + p.dy, e);
      break;
    }
    default:
      pix.SetPixel(x, y, e);
      break;
  }
}

void Editor::brushLine(int x0, int y0, int x1, int y1) {
  const int dx = x1 - x0;
  const int dy = y1 - y0;
  const int adx = std::abs(dx);
  const int ady = std::abs(dy);
  if (dx == 0 && dy == 0) {
    brushAt(x0, y0);
  } else if (adx <= ady) {
    for (int k = 0; k <= ady; ++k) brushAt(x0 + k * dx / ady, y0 + k * sign(dy));
  } else {
    for (int k = 0; k <= adx; ++k) brushAt(x0 + k * sign(dx), y0 + k * dy / adx);
  }
}

void Editor::drawShape(int x0, int y0, int x1, int y1) {
  if (tool == kToolBox && shapeModifier) {
    const int side = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    x1 = x1 - x0 < 0 ? x0 - side : x0 + side;
    y1 = y1 - y0 < 0 ? y0 - side : y0 + side;
  }
  int mx0, my0, mx1, my1;
  modePixel(x0, y0, mx0, my0);
  modePixel(x1, y1, mx1, my1);
  switch (tool) {
    case kToolLine:
      brushLine(mx0, my0, mx1, my1);
      break;
    case kToolBox:
      rectangle(mx0, my0, mx1, my1, fillShapes);
      break;
    case kToolCircle: {
      const int dx = x1 - x0;
      const int dy = y1 - y0;
      int rx, ry;
      if (shapeModifier) {
        rx = std::abs(dx);
        ry = std::abs(dy);
      } else {
        rx = ry = static_cast<int>(std::sqrt(static_cast<double>(dx) * dx + static_cast<double>(dy) * dy) + 0.5);
      }
      // Radii are measured in display pixels; convert to the mode's pixels.
      if (!machine.isBitmap()) {
        rx /= 4;
        ry /= 4;
      } else if (machine.isMulticolor()) {
        rx /= 2;
      }
      ellipse(mx0, my0, rx, ry, fillShapes);
      break;
    }
    default:
      break;
  }
}

void Editor::rectangle(int x0, int y0, int x1, int y1, bool filled) {
  const int l = std::min(x0, x1);
  const int r = std::max(x0, x1);
  const int t = std::min(y0, y1);
  const int b = std::max(y0, y1);
  // A filled shape always sets its pixels, whichever button drew it.
  if (filled) {
    for (int y = t; y <= b; ++y)
      for (int x = l; x <= r; ++x) pix.SetPixel(x, y, false);
    return;
  }
  brushLine(l, t, r, t);
  brushLine(r, t, r, b);
  brushLine(r, b, l, b);
  brushLine(l, b, l, t);
}

void Editor::ellipse(int cx, int cy, int rx, int ry, bool filled) {
  if (rx == 0 && ry == 0) {
    brushAt(cx, cy);
    return;
  }
  if (rx == 0 || ry == 0) {
    brushLine(cx - rx, cy - ry, cx + rx, cy + ry);
    return;
  }
  const auto plot = [&](int64_t x, int64_t y) {
    const int ix = static_cast<int>(x);
    const int iy = static_cast<int>(y);
    if (filled) {
      for (int px = cx - ix; px <= cx + ix; ++px) pix.SetPixel(px, cy + iy, false);
      for (int px = cx - ix; px <= cx + ix; ++px) pix.SetPixel(px, cy - iy, false);
    } else {
      brushAt(cx + ix, cy + iy);
      brushAt(cx - ix, cy + iy);
      brushAt(cx + ix, cy - iy);
      brushAt(cx - ix, cy - iy);
    }
  };
  // Integer midpoint ellipse: region 1 steps x while the slope is shallow,
  // region 2 steps y down to the axis.
  const int64_t a2 = static_cast<int64_t>(rx) * rx;
  const int64_t b2 = static_cast<int64_t>(ry) * ry;
  int64_t x = 0;
  int64_t y = ry;
  int64_t d = b2 - a2 * ry + a2 / 4;
  int64_t dx = 0;
  int64_t dy = 2 * a2 * ry;
  while (dx < dy) {
    plot(x, y);
    ++x;
    dx += 2 * b2;
    if (d < 0) {
      d += dx + b2;
    } else {
      --y;
      dy -= 2 * a2;
      d += dx - dy + b2;
    }
  }
  d = (b2 * (2 * x + 1) * (2 * x + 1)) / 4 + a2 * (y - 1) * (y - 1) - a2 * b2;
  while (y >= 0) {
    plot(x, y);
    --y;
    if (d > 0) {
      dy -= 2 * a2;
      d += a2 - dy;
    } else {
      ++x;
      dx += 2 * b2;
      dy -= 2 * a2;
      d += dx - dy + a2;
    }
  }
}

// The connected region of the target colour is found first and only then
// painted: setting one pixel can recolour the rest of its cell (a hires
// screen byte, a text cell's colour, a reused multicolour slot), which
// would otherwise hide the region's remaining pixels from the search.
void Editor::floodFill(int x, int y) {
  cancelPreview();
  int px, py;
  modePixel(x, y, px, py);
  const int target = pix.GetPixel(px, py);
  if (target < 0 || target == (machine.pen & 15)) return;
  undo.TakeScreenUndo("floodfill");
  dragging = false;

  int w, h;
  pix.Resolution(w, h);
  // The mode cannot change during the fill: pick its pixel rule once.
  int (PixelOperator::*get)(int, int) const = &PixelOperator::GetPixelHires;
  void (PixelOperator::*set)(int, int, bool) = &PixelOperator::SetPixelHires;
  if (!machine.isBitmap()) {
    get = &PixelOperator::GetPixelTextMode;
    set = &PixelOperator::SetPixelTextMode;
  } else if (machine.isMulticolor()) {
    get = &PixelOperator::GetPixelMulticolor;
    set = &PixelOperator::SetPixelMulticolor;
  }
  // Each pixel's colour is read at most once and cached here.
  enum : uint8_t { kUnseen = 0, kTarget = 1, kOther = 2, kInRegion = 3 };
  std::vector<uint8_t> state(static_cast<size_t>(w) * h, kUnseen);
  const auto isTarget = [&](int qx, int qy) {
    uint8_t& st = state[static_cast<size_t>(qy) * w + qx];
    if (st == kUnseen) st = (pix.*get)(qx, qy) == target ? kTarget : kOther;
    return st == kTarget;
  };
  // Span search: each seed grows into the whole run of its row, and the
  // rows above and below get one seed per run of target pixels beside it.
  struct Seed {
    int x;
    int y;
  };
  std::vector<Seed> seeds;
  seeds.reserve(256);
  seeds.push_back({px, py});
  for (int steps = 0; steps < kFloodFillMaxSteps && !seeds.empty(); ++steps) {
    const Seed sd = seeds.back();
    seeds.pop_back();
    if (!isTarget(sd.x, sd.y)) continue;
    uint8_t* row = &state[static_cast<size_t>(sd.y) * w];
    int l = sd.x;
    int r = sd.x;
    while (l > 0 && isTarget(l - 1, sd.y)) --l;
    while (r < w - 1 && isTarget(r + 1, sd.y)) ++r;
    std::fill(row + l, row + r + 1, kInRegion);
    for (int ny : {sd.y - 1, sd.y + 1}) {
      if (ny < 0 || ny >= h) continue;
      bool inRun = false;
      for (int qx = l; qx <= r; ++qx) {
        const bool t = isTarget(qx, ny);
        if (t && !inRun) seeds.push_back({qx, ny});
        inRun = t;
      }
    }
  }
  for (int qy = 0; qy < h; ++qy) {
    const uint8_t* row = &state[static_cast<size_t>(qy) * w];
    for (int qx = 0; qx < w; ++qx)
      if (row[qx] == kInRegion) (pix.*set)(qx, qy, false);
  }
}

// ---------------------------------------------------------------------------
// Saved image of rubber-band shapes and the paste preview

void Editor::saveImage() {
  Machine& m = machine;
  savedScreenAddr_ = m.screenAddr();
  savedBitmapAddr_ = m.bitmapAddr();
  if (m.isBitmap())
    savedBitmap.assign(m.ram.begin() + savedBitmapAddr_, m.ram.begin() + savedBitmapAddr_ + kBitmapSize);
  else
    savedBitmap.clear();
  savedScreen.assign(m.ram.begin() + savedScreenAddr_, m.ram.begin() + savedScreenAddr_ + kScreenCells);
  savedColor.assign(m.ram.begin() + kColorRam, m.ram.begin() + kColorRam + kScreenCells);
}

// The saved image may be written back only onto the memory layout it came
// from: same video matrix, same bitmap, same kind of mode.
bool Editor::savedImageValid() const {
  if (savedScreen.empty()) return false;
  if (machine.screenAddr() != savedScreenAddr_) return false;
  if (machine.isBitmap() != !savedBitmap.empty()) return false;
  return savedBitmap.empty() || machine.bitmapAddr() == savedBitmapAddr_;
}

void Editor::restoreImage() {
  if (savedScreen.empty()) return;
  Machine& m = machine;
  std::copy(savedBitmap.begin(), savedBitmap.end(), m.ram.begin() + savedBitmapAddr_);
  std::copy(savedScreen.begin(), savedScreen.end(), m.ram.begin() + savedScreenAddr_);
  std::copy(savedColor.begin(), savedColor.end(), m.ram.begin() + kColorRam);
}

void Editor::dropSavedImage() {
  savedBitmap.clear();
  savedScreen.clear();
  savedColor.clear();
}

void Editor::cancelPreview() {
  // Restore only when nothing else changed the document since the preview
  // began; otherwise the saved bytes are stale and are simply dropped.
  if (!savedScreen.empty() && undo.changeCount == dragStamp_ && savedImageValid()) restoreImage();
  dropSavedImage();
  pasting = false;
  dragging = false;
}

// ---------------------------------------------------------------------------
// Typing and keys

void Editor::clampCursor() {
  cursorX = clampInt(cursorX, 0, kScreenCols - 1);
  cursorY = clampInt(cursorY, 0, kScreenRows - 1);
}

// Typed changes share one step until the cursor is placed anew
// (undoPending) or the history changed by anything but typing (undo, redo,
// another step, clearing), which would otherwise leave the new text
// outside any step.
void Editor::takeTypingUndoIfNeeded() {
  if (!undoPending && undo.changeCount == textStamp_) return;
  takeToolUndo();
  textStamp_ = undo.changeCount;
}

void Editor::typeChar(uint8_t code) {
  cancelPreview();
  clampCursor();
  takeTypingUndoIfNeeded();
  Machine& m = machine;
  const int cx = cursorX;
  const int cy = cursorY;
  if (!m.isBitmap()) {
    if (insertMode && cx < kScreenCols - 1) {
      for (int c = kScreenCols - 2; c >= cx; --c) {
        screenByte(m, c + 1, cy) = screenByte(m, c, cy);
        colorByte(m, c + 1, cy) = colorByte(m, c, cy);
      }
    }
    screenByte(m, cx, cy) = code;
    colorByte(m, cx, cy) = static_cast<uint8_t>(m.pen);
  } else {
    // The ROM glyph, whatever character set the memory holds.
    const int base = (m.vicRegs[kRegMemPtr] & kD018LowerCase) ? kLowerCaseRomOffset : 0;
    const uint32_t a = cellBitmapAddr(m, cx, cy);
    for (int i = 0; i < kBitmapCellBytes; ++i) m.ram[a + i] = m.charRom[base + code * kBitmapCellBytes + i];
    screenByte(m, cx, cy) = penOnBackground(m);
  }
  if (++cursorX >= kScreenCols) {
    cursorX = 0;
    if (++cursorY >= kScreenRows) cursorY = 0;
  }
}

void Editor::deleteAtCursor() {
  Machine& m = machine;
  if (m.isBitmap()) return;
  const int cy = cursorY;
  for (int c = cursorX; c < kScreenCols - 1; ++c) {
    screenByte(m, c, cy) = screenByte(m, c + 1, cy);
    colorByte(m, c, cy) = colorByte(m, c + 1, cy);
  }
  screenByte(m, kScreenCols - 1, cy) = kSpaceCode;
}

void Editor::editKey(int key, bool shift) {
  clampCursor();
  const auto wrap = [](int v, int n) { return (v % n + n) % n; };
  switch (key) {
    case EditKey::Insert:
      insertMode = !insertMode;
      break;
    case EditKey::Delete:
      cancelPreview();
      takeTypingUndoIfNeeded();
      deleteAtCursor();
      break;
    case EditKey::Backspace:
      if (cursorX == 0) {
        cursorX = kScreenCols - 1;
        cursorY = std::max(cursorY - 1, 0);
        break;
      }
      --cursorX;
      cancelPreview();
      takeTypingUndoIfNeeded();
      deleteAtCursor();
      break;
    case EditKey::Up:
      cursorY = wrap(cursorY + (shift ? 1 : -1), kScreenRows);
      break;
    case EditKey::Down:
      cursorY = wrap(cursorY + (shift ? -1 : 1), kScreenRows);
      break;
    case EditKey::Left:
      cursorX = wrap(cursorX + (shift ? 1 : -1), kScreenCols);
      break;
    case EditKey::Right:
      cursorX = wrap(cursorX + (shift ? -1 : 1), kScreenCols);
      break;
    case EditKey::Return:
      cursorX = 0;
      cursorY = wrap(cursorY + 1, kScreenRows);
      break;
    case EditKey::Home:
      cursorX = 0;
      if (shift) cursorY = 0;
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------------------
// One-cell clipboard

void Editor::copyChar() {
  clampCursor();
  Machine& m = machine;
  if (m.isBitmap()) {
    const uint32_t a = cellBitmapAddr(m, cursorX, cursorY);
    for (int i = 0; i < kBitmapCellBytes; ++i) charClip.bitmap[i] = m.ram[a + i];
  }
  charClip.code = screenByte(m, cursorX, cursorY);
  charClip.color = colorByte(m, cursorX, cursorY);
}

void Editor::pasteChar() {
  cancelPreview();
  clampCursor();
  undo.TakeScreenUndo("paste");
  Machine& m = machine;
  if (m.isBitmap()) {
    const uint32_t a = cellBitmapAddr(m, cursorX, cursorY);
    for (int i = 0; i < kBitmapCellBytes; ++i) m.ram[a + i] = charClip.bitmap[i];
  }
  screenByte(m, cursorX, cursorY) = charClip.code;
  colorByte(m, cursorX, cursorY) = charClip.color;
}

// ---------------------------------------------------------------------------
// Blocks

Editor::Block Editor::grab(int left, int top, int right, int bottom) const {
  Machine& m = machine;
  Block b;
  b.width = right - left + 1;
  b.height = bottom - top + 1;
  b.isBitmap = m.isBitmap();
  for (int cy = top; cy <= bottom; ++cy) {
    for (int cx = left; cx <= right; ++cx) {
      if (b.isBitmap) b.bitmap.push_back(readCellBitmap(m, cx, cy));
      b.screen.push_back(screenByte(m, cx, cy));
      b.color.push_back(colorByte(m, cx, cy));
    }
  }
  return b;
}

void Editor::stamp(const Block& b, int cx, int cy) {
  if (b.width < 1 || b.height < 1) return;
  Machine& m = machine;
  const bool bitmap = b.isBitmap && m.isBitmap();
  for (int r = 0; r < b.height; ++r) {
    const int ty = cy + r;
    if (ty < 0 || ty >= kScreenRows) continue;
    for (int c = 0; c < b.width; ++c) {
      const int tx = cx + c;
      if (tx < 0 || tx >= kScreenCols) continue;
      const size_t i = static_cast<size_t>(r) * b.width + c;
      if (bitmap) writeCellBitmap(m, tx, ty, b.bitmap[i]);
      screenByte(m, tx, ty) = b.screen[i];
      colorByte(m, tx, ty) = b.color[i];
    }
  }
}

void Editor::copyBlock() {
  if (!selActive) return;
  int l, t, r, b;
  selRect(l, t, r, b);
  clipBlock = grab(l, t, r, b);
}

void Editor::cutBlock() {
  if (!selActive) return;
  // The clipboard takes the document, not a preview still stamped on it.
  cancelPreview();
  copyBlock();
  clearBlock();
}

void Editor::clearBlock() {
  if (!selActive) return;
  cancelPreview();
  undo.TakeScreenUndo("clear block");
  int l, t, r, b;
  selRect(l, t, r, b);
  rewriteCells(machine, l, t, r, b, [](uint64_t) { return uint64_t{0}; }, [](uint8_t) { return kSpaceCode; });
}

void Editor::invertBlock() {
  if (!selActive) return;
  cancelPreview();
  undo.TakeScreenUndo("invert block");
  int l, t, r, b;
  selRect(l, t, r, b);
  rewriteCells(machine, l, t, r, b, [](uint64_t bits) { return ~bits; },
               [](uint8_t code) { return static_cast<uint8_t>(code + kReverseBit); });
}

void Editor::flipBlockX() {
  if (!selActive) return;
  cancelPreview();
  undo.TakeScreenUndo("flip block");
  int l, t, r, b;
  selRect(l, t, r, b);
  Block blk = grab(l, t, r, b);
  uint8_t (*mirror)(uint8_t) = machine.isMulticolor() ? reversePairs : reverseBits;
  for (int row = 0; row < blk.height; ++row) {
    const size_t first = static_cast<size_t>(row) * blk.width;
    std::reverse(blk.screen.begin() + first, blk.screen.begin() + first + blk.width);
    std::reverse(blk.color.begin() + first, blk.color.begin() + first + blk.width);
    if (blk.isBitmap) {
      std::reverse(blk.bitmap.begin() + first, blk.bitmap.begin() + first + blk.width);
      for (int c = 0; c < blk.width; ++c) blk.bitmap[first + c] = mapBytes(blk.bitmap[first + c], mirror);
    }
  }
  stamp(blk, l, t);
}

void Editor::flipBlockY() {
  if (!selActive) return;
  cancelPreview();
  undo.TakeScreenUndo("flip block");
  int l, t, r, b;
  selRect(l, t, r, b);
  Block blk = grab(l, t, r, b);
  for (int row = 0; row < blk.height / 2; ++row) {
    const size_t a = static_cast<size_t>(row) * blk.width;
    const size_t z = static_cast<size_t>(blk.height - 1 - row) * blk.width;
    std::swap_ranges(blk.screen.begin() + a, blk.screen.begin() + a + blk.width, blk.screen.begin() + z);
    std::swap_ranges(blk.color.begin() + a, blk.color.begin() + a + blk.width, blk.color.begin() + z);
    if (blk.isBitmap)
      std::swap_ranges(blk.bitmap.begin() + a, blk.bitmap.begin() + a + blk.width, blk.bitmap.begin() + z);
  }
  for (uint64_t& cell : blk.bitmap) cell = reverseByteOrder(cell);
  stamp(blk, l, t);
}

bool Editor::startPaste() {
  if (clipBlock.width == 0) return false;
  // A preview already showing is withdrawn before the new one starts.
  cancelPreview();
  undo.TakeScreenUndo("paste block");
  dragStamp_ = undo.changeCount;
  saveImage();
  pasting = true;
  if (selActive) {
    pasteX = std::min(selX0, selX1);
    pasteY = std::min(selY0, selY1);
  } else {
    pasteX = 0;
    pasteY = 0;
  }
  stamp(clipBlock, pasteX, pasteY);
  return true;
}

void Editor::dropPaste() {
  pasting = false;
  selX0 = std::max(pasteX, 0);
  selY0 = std::max(pasteY, 0);
  selX1 = std::min(pasteX + clipBlock.width - 1, kScreenCols - 1);
  selY1 = std::min(pasteY + clipBlock.height - 1, kScreenRows - 1);
  selActive = true;
  dropSavedImage();
}

void Editor::cancelPaste() {
  if (!pasting) return;
  cancelPreview();
}

// ---------------------------------------------------------------------------
// Clearing

std::string Editor::clearDescription() const {
  char line[80];
  std::string s = "This will erase:\n";
  const uint32_t scr = machine.screenAddr();
  std::snprintf(line, sizeof line, "Videomem at $%04X - $%04X (1000 bytes)\n", scr, scr + kScreenCells - 1);
  s += line;
  if (machine.isBitmap()) {
    const uint32_t bmp = machine.bitmapAddr();
    std::snprintf(line, sizeof line, "Bitmapmem at $%04X - $%04X (8192 bytes)\n", bmp, bmp + kBitmapSlotSize - 1);
    s += line;
  }
  if (!machine.isBitmap() || machine.isMulticolor()) s += "Colormem at $D800 - $DBE7 (1000 bytes)\n";
  return s;
}

void Editor::clearScreen(int mode, int value) {
  cancelPreview();
  undo.TakeScreenUndo("clear");
  Machine& m = machine;
  const bool bitmap = m.isBitmap();
  uint8_t screenFill;
  uint8_t otherFill;
  switch (mode) {
    case kClearZero:
      screenFill = otherFill = 0;
      break;
    case kClearFF:
      screenFill = otherFill = 255;
      break;
    case kClearValue:
      screenFill = otherFill = static_cast<uint8_t>(value & 255);
      break;
    default:
      screenFill = bitmap ? penOnBackground(m) : kSpaceCode;
      otherFill = 0;
      break;
  }
  std::fill_n(m.ram.begin() + m.screenAddr(), kScreenCells, screenFill);
  // The whole 8 KB bitmap slot, as the Clear dialog announces it.
  if (bitmap) std::fill_n(m.ram.begin() + m.bitmapAddr(), kBitmapSlotSize, otherFill);
  if (!bitmap || m.isMulticolor()) std::fill_n(m.ram.begin() + kColorRam, kScreenCells, otherFill);
  cursorX = 0;
}
