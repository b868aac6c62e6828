// Editor speed: a flood fill of the whole display in each graphics mode
// (the fill alternates between two colours so every run repaints all of
// it) and a long freehand pen stroke.
#include "core/Editor.h"

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t kScreen = 0x0400;

struct Doc {
  Machine m;
  UndoBuffer undo{m};
  Editor ed{m, undo};

  explicit Doc(int mode) {
    m.reset();
    m.setGfxMode(mode);
    for (int i = 0; i < kScreenCells; ++i) m.ram[kScreen + i] = m.isBitmap() ? 0x00 : 0x20;
  }
};

void BM_FloodFillWholeScreen(benchmark::State& state) {
  Doc d(static_cast<int>(state.range(0)));
  d.ed.tool = kToolFill;
  int pen = 1;
  for (auto _ : state) {
    d.m.pen = pen;
    d.ed.mouseDown(160, 100, 0);
    d.ed.mouseUp(160, 100, 0);
    pen = pen == 1 ? 2 : 1;
  }
  int w, h;
  d.ed.pix.Resolution(w, h);
  state.SetLabel(gfxModeNames[state.range(0)]);
  state.counters["pixels"] = w * h;
}
BENCHMARK(BM_FloodFillWholeScreen)
    ->Arg(kModeText)
    ->Arg(kModeMultiText)
    ->Arg(kModeExtBgText)
    ->Arg(kModeHires)
    ->Arg(kModeMultiBitmap)
    ->Unit(benchmark::kMicrosecond);

// A zigzag stroke of 2000 mouse positions across the whole display.
void BM_PenStroke(benchmark::State& state) {
  Doc d(static_cast<int>(state.range(0)));
  d.ed.tool = kToolDraw;
  d.ed.brush = static_cast<int>(state.range(1));
  d.m.pen = 1;
  for (auto _ : state) {
    d.ed.mouseDown(0, 0, 0);
    for (int i = 1; i < 2000; ++i) d.ed.mouseMove((i * 7) % kDisplayWidth, (i * 13) % kDisplayHeight);
    d.ed.mouseUp(0, 0, 0);
  }
  state.SetLabel(std::string(gfxModeNames[state.range(0)]) + ", brush " + std::to_string(state.range(1)));
}
BENCHMARK(BM_PenStroke)
    ->Args({kModeHires, 1})
    ->Args({kModeHires, 3})
    ->Args({kModeMultiBitmap, 4})
    ->Args({kModeText, 2})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
