// The one-line assembler and disassembler: an assembled line writes only
// its own bytes, and the disassembler reads back the same length.
#include "cpu/CPU6502.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  Machine m;
  m.ram.fill(0xEE);
  CPU6502 cpu(m);
  const uint16_t addr = in.word();
  const std::string line = in.text(in.left());
  std::string error;
  const auto before = m.ram;
  const int length = cpu.assemble(addr, line, true, &error);
  fuzz::check(length >= 0 && length <= 3, "instruction length");
  if (length == 0) {
    fuzz::check(m.ram == before, "a refused line writes nothing");
    return 0;
  }
  for (int i = 0; i < 0x10000; ++i) {
    const bool own = static_cast<uint16_t>(i - addr) < length;
    if (!own) fuzz::check(m.ram[i] == before[i], "only the instruction's bytes change");
  }
  int back = 0;
  cpu.disassembleInstr(addr, &back);
  fuzz::check(back == length, "the disassembler reads the same length");
  return 0;
}
