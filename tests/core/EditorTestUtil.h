// Shared set-up for the editor tests: a document in a chosen mode with an
// empty picture, and a reader of the pixels drawn in the drawing colour.
#pragma once

#include "core/Editor.h"

#include <set>
#include <utility>

namespace edtest {

constexpr uint32_t kScreen = 0x0400;  // video matrix with $D018 = $14, bank 0
constexpr uint32_t kBitmap = 0x2000;  // bitmap with $D018 bit 3 set, bank 0
constexpr int kPen = 1;
constexpr int kBackground = 6;  // $D021 at power-on

using PixelSet = std::set<std::pair<int, int>>;

// A machine, its history and an editor, in one of the graphics modes, with
// a space-filled screen or an empty bitmap and the drawing colour 1.
struct Doc {
  Machine m;
  UndoBuffer undo{m};
  Editor ed{m, undo};

  explicit Doc(int mode) {
    m.reset();
    m.setGfxMode(mode);
    m.pen = kPen;
    for (int i = 0; i < kScreenCells; ++i) m.ram[kScreen + i] = m.isBitmap() ? 0x00 : 0x20;
  }

  // Every mode pixel that shows the drawing colour.
  PixelSet drawn() const {
    int w, h;
    ed.pix.Resolution(w, h);
    PixelSet s;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (ed.pix.GetPixel(x, y) == kPen) s.insert({x, y});
    return s;
  }

  void drag(int tool, int x0, int y0, int x1, int y1, int button = 0) {
    ed.tool = tool;
    ed.mouseDown(x0, y0, button);
    ed.mouseMove(x1, y1);
    ed.mouseUp(x1, y1, button);
  }

  std::vector<std::string> labels() const {
    std::vector<std::string> out;
    for (const auto& item : undo.undoItems) out.push_back(item.description);
    return out;
  }
};

inline PixelSet pixels(std::initializer_list<std::pair<int, int>> list) { return PixelSet(list); }

}  // namespace edtest
