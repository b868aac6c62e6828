// The processor on any memory contents: registers and memory from the
// input, then a few thousand steps. Only the 64 KB image and the video
// registers may change.
#include "cpu/CPU6502.h"
#include "tests/fuzz/FuzzUtil.h"

constexpr int kSteps = 3000;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  Machine m;
  CPU6502 cpu(m);
  cpu.pc = in.word();
  cpu.a = in.byte();
  cpu.x = in.byte();
  cpu.y = in.byte();
  cpu.sp = in.byte();
  cpu.p = in.byte();
  // The program repeats through memory from the start address on.
  const std::vector<uint8_t> code = in.rest();
  if (!code.empty())
    for (int i = 0; i < 0x10000; ++i) m.ram[static_cast<uint16_t>(cpu.pc + i)] = code[i % code.size()];
  for (int i = 0; i < kSteps && !cpu.stopped; ++i) cpu.step();
  return 0;
}
