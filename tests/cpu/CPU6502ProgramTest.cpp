// Whole programs on the interpreter: a self-checking 6502 program that
// exercises every instruction group, assembled by our source assembler and
// by 64tass (the two must agree byte for byte) and run until it settles in
// its success or failure loop.
#include "cpu/Assembler.h"
#include "cpu/CPU6502.h"
#include "tests/cpu/TassRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

std::string readSource(const char* name) {
  std::ifstream in(std::string(TILVOX_TEST_SOURCE_DIR) + "/tests/cpu/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs until the processor reaches one of the two addresses, performing the
// interrupt sequence through $FFFE when a BRK stops it.
int runProgram(CPU6502& cpu, uint16_t success, uint16_t fail, int limit) {
  auto& ram = cpu.machine.ram;
  for (int n = 0; n < limit; ++n) {
    if (cpu.pc == success || cpu.pc == fail) return n;
    cpu.step();
    if (!cpu.stopped) continue;
    if (cpu.stopReason != "BRK") {
      ADD_FAILURE() << cpu.stopReason << " at " << std::hex << cpu.pc;
      return -1;
    }
    cpu.stopped = false;
    const uint16_t ret = static_cast<uint16_t>(cpu.pc + 2);
    cpu.push(static_cast<uint8_t>(ret >> 8));
    cpu.push(static_cast<uint8_t>(ret));
    cpu.push(cpu.p | kFlagB | kFlagU);
    cpu.p |= kFlagI;
    cpu.pc = static_cast<uint16_t>(ram[0xFFFE] | ram[0xFFFF] << 8);
  }
  ADD_FAILURE() << "program did not finish";
  return -1;
}

}  // namespace

TEST(CPU6502Program, SelfCheckingProgramPasses) {
  const std::string source = readSource("selfcheck.asm");
  ASSERT_FALSE(source.empty());
  Machine machine;
  Assembler assembler(machine);
  ASSERT_TRUE(assembler.assemble(source)) << assembler.messages.front().text;
  const uint16_t success = static_cast<uint16_t>(assembler.symbols.at("SUCCESS"));
  const uint16_t fail = static_cast<uint16_t>(assembler.symbols.at("FAIL"));
  const std::vector<uint8_t> ours(machine.ram.begin() + 0xC000, machine.ram.begin() + assembler.finalAddr);

  if (tassAvailable()) {
    std::vector<uint8_t> tass;
    ASSERT_TRUE(runTass(source, "selfcheck", tass));
    for (size_t i = 0; i < std::min(ours.size(), tass.size()); ++i)
      ASSERT_EQ(tass[i], ours[i]) << "64tass and our assembler differ at $" << std::hex << 0xC000 + i;
    ASSERT_EQ(tass.size(), ours.size());
  }

  CPU6502 cpu(machine);
  cpu.pc = 0xC000;
  const int steps = runProgram(cpu, success, fail, 100000);
  EXPECT_GT(steps, 0);
  int checks = 0;
  for (size_t at = source.find("JSR CHECK"); at != std::string::npos; at = source.find("JSR CHECK", at + 1))
    ++checks;
  EXPECT_EQ(cpu.pc, success) << "failed check number " << int(machine.ram[0x02] + 1);
  EXPECT_EQ(machine.ram[0x02], checks);
  EXPECT_EQ(machine.vicRegs[0x20], 0x07);
  EXPECT_EQ(machine.ram[0xD020], 0x00);
  EXPECT_EQ(cpu.sp, 0xFF);
}

// A loop with a subroutine call, ending in an RTS from the top level.
TEST(CPU6502Program, SubroutineLoopEndsAtTopLevelRts) {
  Machine machine;
  Assembler assembler(machine);
  ASSERT_TRUE(assembler.assemble(
      "        LDX #0\n"
      "LOOP    JSR STORE\n"
      "        INX\n"
      "        CPX #200\n"
      "        BNE LOOP\n"
      "        RTS\n"
      "STORE   TXA\n"
      "        EOR #$FF\n"
      "        STA $2000,X\n"
      "        RTS\n"));
  CPU6502 cpu(machine);
  int steps = 0;
  while (!cpu.stopped && steps < 10000) {
    cpu.step();
    ++steps;
  }
  EXPECT_EQ(cpu.stopReason, "RTS from top level");
  EXPECT_EQ(cpu.pc, 0xC00A);
  EXPECT_EQ(steps, 1 + 200 * 8 + 1);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(machine.ram[0x2000 + i], 0xFF ^ i);
}
