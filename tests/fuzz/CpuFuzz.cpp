// The processor on any memory contents: registers and memory from the
// input, then a few thousand steps. Only the 64 KB image and the video
// registers may change: the character ROM, bank, drawing colour, monitor
// screen and power-on image stay, and the RAM under $D000-$D02E too, since
// the processor reaches the registers there instead.
#include "cpu/CPU6502.h"
#include "tests/fuzz/FuzzUtil.h"

#include <algorithm>

constexpr int kSteps = 3000;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  Machine m;
  // Something in every part, so that a stray write shows.
  for (size_t i = 0; i < m.charRom.size(); ++i) m.charRom[i] = static_cast<uint8_t>(i * 13 + 5);
  m.monitorScreen.fill(0x51);
  m.powerOnImage.assign(64, 0xEE);
  m.bank = 2;
  m.pen = 7;
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
  const Machine before = m;
  for (int i = 0; i < kSteps && !cpu.stopped; ++i) cpu.step();

  fuzz::check(m.charRom == before.charRom, "the character ROM stays");
  fuzz::check(m.bank == before.bank && m.pen == before.pen, "bank and drawing colour stay");
  fuzz::check(m.monitorScreen == before.monitorScreen, "the monitor screen stays");
  fuzz::check(m.powerOnImage == before.powerOnImage, "the power-on image stays");
  fuzz::check(std::equal(m.ram.begin() + kVicBase, m.ram.begin() + kVicBase + kVicRegCount,
                         before.ram.begin() + kVicBase),
              "the RAM under the video registers stays");
  return 0;
}
