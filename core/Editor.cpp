// Mouse dispatch, previews, typing, clipboards and clearing of the screen
// editor; the shapes, the flood-fill search and the block transforms it
// applies live in Shapes and CellBlock.
#include "core/Editor.h"

#include "core/MemoryLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kLowerCaseRomOffset = 2048;  // second half of the character ROM
constexpr uint8_t kD018LowerCase = 0x02;

int clampInt(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

// Screen byte of a bitmap cell drawn in the drawing colour on the background.
uint8_t penOnBackground(const Machine& m) {
  return static_cast<uint8_t>(((m.pen & 15) << 4) | (m.vicRegs[kRegBg0] & 15));
}

}  // namespace

Editor::Editor(Machine& m, UndoBuffer& u) : machine(m), undo(u), pix(m), textStamp_(u.changeCount) {}

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
    stampBlock(machine, clipBlock, pasteX, pasteY);
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
  const ShapePen stroke = pen();
  if (tool == kToolDot) {
    stroke.dot(px, py);
    return;
  }
  if (lastX != -1 && lastY != -1)
    stroke.line(lastX, lastY, px, py);
  else
    stroke.dot(px, py);
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
      machine.pen = cellColorByte(machine, cx, cy) & 15;
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
  const uint8_t scr = cellScreenByte(m, cx, cy);
  const uint8_t col = cellColorByte(m, cx, cy);
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
  uint8_t& scr = cellScreenByte(m, cx, cy);
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
      cellColorByte(m, cx, cy) = c;
      break;
  }
}

// ---------------------------------------------------------------------------
// Brushes and shapes

// The brush and setter of the current drag, in the current mode's pixels.
ShapePen Editor::pen() {
  return ShapePen(brush, erasing, [this](int x, int y, bool erase) { pix.SetPixel(x, y, erase); });
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
      pen().line(mx0, my0, mx1, my1);
      break;
    case kToolBox:
      pen().rectangle(mx0, my0, mx1, my1, fillShapes);
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
      pen().ellipse(mx0, my0, rx, ry, fillShapes);
      break;
    }
    default:
      break;
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
  const std::vector<uint8_t> region =
      floodFillRegion(w, h, px, py, [&](int qx, int qy) { return (pix.*get)(qx, qy) == target; });
  for (int qy = 0; qy < h; ++qy) {
    const uint8_t* row = &region[static_cast<size_t>(qy) * w];
    for (int qx = 0; qx < w; ++qx)
      if (row[qx]) (pix.*set)(qx, qy, false);
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
        cellScreenByte(m, c + 1, cy) = cellScreenByte(m, c, cy);
        cellColorByte(m, c + 1, cy) = cellColorByte(m, c, cy);
      }
    }
    cellScreenByte(m, cx, cy) = code;
    cellColorByte(m, cx, cy) = static_cast<uint8_t>(m.pen);
  } else {
    // The ROM glyph, whatever character set the memory holds.
    const int base = (m.vicRegs[kRegMemPtr] & kD018LowerCase) ? kLowerCaseRomOffset : 0;
    const uint32_t a = cellBitmapAddr(m, cellIndex(cx, cy));
    for (int i = 0; i < kBitmapCellBytes; ++i) m.ram[a + i] = m.charRom[base + code * kBitmapCellBytes + i];
    cellScreenByte(m, cx, cy) = penOnBackground(m);
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
    cellScreenByte(m, c, cy) = cellScreenByte(m, c + 1, cy);
    cellColorByte(m, c, cy) = cellColorByte(m, c + 1, cy);
  }
  cellScreenByte(m, kScreenCols - 1, cy) = kSpaceCode;
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
    const uint32_t a = cellBitmapAddr(m, cellIndex(cursorX, cursorY));
    for (int i = 0; i < kBitmapCellBytes; ++i) charClip.bitmap[i] = m.ram[a + i];
  }
  charClip.code = cellScreenByte(m, cursorX, cursorY);
  charClip.color = cellColorByte(m, cursorX, cursorY);
}

void Editor::pasteChar() {
  cancelPreview();
  clampCursor();
  undo.TakeScreenUndo("paste");
  Machine& m = machine;
  if (m.isBitmap()) {
    const uint32_t a = cellBitmapAddr(m, cellIndex(cursorX, cursorY));
    for (int i = 0; i < kBitmapCellBytes; ++i) m.ram[a + i] = charClip.bitmap[i];
  }
  cellScreenByte(m, cursorX, cursorY) = charClip.code;
  cellColorByte(m, cursorX, cursorY) = charClip.color;
}

// ---------------------------------------------------------------------------
// Blocks

void Editor::copyBlock() {
  if (!selActive) return;
  int l, t, r, b;
  selRect(l, t, r, b);
  clipBlock = grabBlock(machine, l, t, r, b);
}

void Editor::cutBlock() {
  if (!selActive) return;
  // The clipboard takes the document, not a preview still stamped on it.
  cancelPreview();
  copyBlock();
  clearBlock();
}

// The common start of the block transforms: nothing without a selection;
// otherwise any preview is withdrawn, the step is taken and the selected
// rectangle returned.
bool Editor::beginBlockChange(const char* label, int& l, int& t, int& r, int& b) {
  if (!selActive) return false;
  cancelPreview();
  undo.TakeScreenUndo(label);
  selRect(l, t, r, b);
  return true;
}

void Editor::clearBlock() {
  int l, t, r, b;
  if (beginBlockChange("clear block", l, t, r, b)) clearCells(machine, l, t, r, b);
}

void Editor::invertBlock() {
  int l, t, r, b;
  if (beginBlockChange("invert block", l, t, r, b)) invertCells(machine, l, t, r, b);
}

void Editor::flipBlockX() {
  int l, t, r, b;
  if (!beginBlockChange("flip block", l, t, r, b)) return;
  Block blk = grabBlock(machine, l, t, r, b);
  ::flipBlockX(blk, machine.isMulticolor());
  stampBlock(machine, blk, l, t);
}

void Editor::flipBlockY() {
  int l, t, r, b;
  if (!beginBlockChange("flip block", l, t, r, b)) return;
  Block blk = grabBlock(machine, l, t, r, b);
  ::flipBlockY(blk);
  stampBlock(machine, blk, l, t);
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
  stampBlock(machine, clipBlock, pasteX, pasteY);
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
