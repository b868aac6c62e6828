// Rendering speed of the video-chip renderer: the full 384x264 frame in
// each of the five graphics modes, with all eight hardware sprites switched
// on, expanded and multicoloured in the registers, over memory filled with
// varied bytes so every colour path of each mode is taken. The frame is
// drawn up to twice per displayed frame, so it must stay far below 1 ms.
// Also the Sprites window's strip of the eight hardware sprites.
#include "core/Vic.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

Machine benchMachine(int mode) {
  Machine m;
  m.reset();
  uint32_t x = 0x12345678u;  // xorshift: fixed, varied content
  for (int i = 0; i < kRamSize; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    m.ram[i] = static_cast<uint8_t>(x);
  }
  for (int i = 0; i < kCharRomSize; ++i) m.charRom[i] = static_cast<uint8_t>(i * 37 + (i >> 3));
  m.setGfxMode(mode);
  m.vicRegs[kRegSpriteEnable] = 0xFF;
  m.vicRegs[kRegSpriteXExpand] = 0xAA;
  m.vicRegs[kRegSpriteYExpand] = 0x55;
  m.vicRegs[kRegSpriteMulti] = 0x0F;
  m.vicRegs[kRegSpritePriority] = 0x33;
  m.vicRegs[0x10] = 0xC0;  // x MSB of sprites 6 and 7
  for (int n = 0; n < 8; ++n) {
    m.vicRegs[n * 2] = static_cast<uint8_t>(24 + n * 40);
    m.vicRegs[n * 2 + 1] = static_cast<uint8_t>(50 + n * 20);
    m.ram[m.spritePtrAddr() + n] = static_cast<uint8_t>(n + 32);
  }
  return m;
}

void BM_RenderFrame(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const Machine m = benchMachine(mode);
  const Palette pal;
  std::vector<uint32_t> frame(kFramePixels);
  for (auto _ : state) {
    Vic::renderFrame(m, pal, frame.data());
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(gfxModeNames[mode]);
  state.SetItemsProcessed(state.iterations() * kFramePixels);
}
BENCHMARK(BM_RenderFrame)->DenseRange(0, kGfxModeCount - 1)->Unit(benchmark::kMicrosecond);

void BM_RenderSpriteStrip(benchmark::State& state) {
  const Machine m = benchMachine(kModeText);
  const Palette pal;
  constexpr int kStripWidth = 220;  // eight sprites, 28 pixels apart
  std::vector<uint32_t> strip(kStripWidth * kSpriteHeight);
  for (auto _ : state) {
    for (int n = 0; n < 8; ++n)
      Vic::renderSprite(m, pal, m.ram[m.spritePtrAddr() + n], m.vicRegs[kRegSprite0Color + n],
                        m.vicRegs[kRegBg0], (m.vicRegs[kRegSpriteMulti] >> n) & 1,
                        strip.data() + 28 * n, kStripWidth);
    benchmark::DoNotOptimize(strip.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_RenderSpriteStrip)->Unit(benchmark::kMicrosecond);

}  // namespace
