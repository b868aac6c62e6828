// Tests of number parsing and the one-line assembler: operand forms,
// zero page against absolute, branch ranges and every message.
#include "cpu/CPU6502.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Asm {
  Machine machine;
  CPU6502 cpu{machine};
  std::string error;

  // Assembles with writing on and returns the bytes, or the message.
  std::string run(const std::string& line, uint16_t addr = 0xC000) {
    machine.ram.fill(0xEE);
    error = "(none)";
    int length = cpu.assemble(addr, line, true, &error);
    if (length == 0) {
      for (int i = 0; i < 3; ++i) EXPECT_EQ(machine.ram[uint16_t(addr + i)], 0xEE) << line;
      return error;
    }
    std::string hex;
    char buf[4];
    for (int i = 0; i < length; ++i) {
      std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", machine.ram[uint16_t(addr + i)]);
      hex += buf;
    }
    return hex;
  }
};

}  // namespace

TEST(CPUAssemble, OperandFormsAndModes) {
  Asm t;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"lda #$0a", "A9 0A"},
      {"LDA # $0A", "A9 0A"},
      {"LDA #%101", "A9 05"},
      {"LDA #10", "A9 0A"},
      {"ASL", "0A"},
      {"ASL A", "0A"},
      {"CLC A", "18"},
      {"CLC", "18"},
      {"RTS", "60"},
      {"LDA $FF", "A5 FF"},
      {"LDA $00FF", "AD FF 00"},
      {"LDA 0255", "AD FF 00"},
      {"LDA 256", "AD 00 01"},
      {"LDA $10,X", "B5 10"},
      {"LDA $10,Y", "B9 10 00"},
      {"LDA $1234,X", "BD 34 12"},
      {"LDA $0010,X", "BD 10 00"},
      {"JMP $10", "4C 10 00"},
      {"JMP ($1234)", "6C 34 12"},
      {"JSR $FFD2", "20 D2 FF"},
      {"LDX $10,Y", "B6 10"},
      {"LDX $1000,Y", "BE 00 10"},
      {"STX $10,Y", "96 10"},
      {"LDA ($FB),Y", "B1 FB"},
      {"LDA ($FB , X)", "A1 FB"},
      {"STA ($20,X)", "81 20"},
      {"BNE $C000", "D0 FE"},
      {"BEQ $C081", "F0 7F"},
      {"BCC $BF82", "90 80"},
      {"C000 LDA #1", "A9 01"},
      {"A C000 LDA #1", "A9 01"},
      {"INC $D020", "EE 20 D0"},
      {"ROR $10,X", "76 10"},
      {"CPX #$FF", "E0 FF"},
      {"BIT $2C", "24 2C"},
  };
  for (const auto& [line, bytes] : cases) EXPECT_EQ(t.run(line), bytes) << line;
}

TEST(CPUAssemble, Messages) {
  Asm t;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"LDA", "Illegal addressing mode"},
      {"LDA A", "Illegal addressing mode"},
      {"STX $1000,Y", "Illegal addressing mode"},
      {"BNE $10,X", "Illegal addressing mode"},
      {"STA #$10", "Illegal addressing mode"},
      {"LDA ($1234)", "Illegal addressing mode"},
      {"BNE $C082", "Branch out of range"},
      {"BNE $BF81", "Branch out of range"},
      {"LDA ($100),Y", "Bad zero page address"},
      {"LDA ($100,X)", "Bad zero page address"},
      {"LDA ($ZZ),Y", "Bad zero page address"},
      {"JMP ($10000)", "Address out of range"},
      {"JMP ($XYZ)", "Bad address"},
      {"JMP ($C000", "Syntax error"},
      {"LDA #256", "Value out of range"},
      {"LDA #", "Bad value"},
      {"LDA #X", "Bad value"},
      {"LDA #-1", "Bad value"},
      {"LDA $1G", "Bad address"},
      {"LDA $10000", "Address out of range"},
      {"LDA $10000,X", "Address out of range"},
      {"XYZ $10", "Unknown mnemonic"},
      {"", "Unknown mnemonic"},
      {"LDA\t#1", "Unknown mnemonic"},
  };
  for (const auto& [line, message] : cases) EXPECT_EQ(t.run(line), message) << line;

  // Without writing only the length comes back; without an error string a
  // failure is still 0.
  t.machine.ram.fill(0);
  EXPECT_EQ(t.cpu.assemble(0xC000, "JMP $1234", false, nullptr), 3);
  EXPECT_EQ(t.machine.ram[0xC000], 0);
  EXPECT_EQ(t.cpu.assemble(0xC000, "XYZ", true, nullptr), 0);
  EXPECT_EQ(t.cpu.assemble(0xC000, "XYZ", true), 0);
  EXPECT_EQ(t.cpu.assemble(0xC000, "RTS", false), 1);
  // Bytes wrap at the top of memory and bypass the video registers.
  t.cpu.assemble(0xFFFF, "LDA $1234", true, nullptr);
  EXPECT_EQ(t.machine.ram[0xFFFF], 0xAD);
  EXPECT_EQ(t.machine.ram[0x0000], 0x34);
  EXPECT_EQ(t.machine.ram[0x0001], 0x12);
  t.machine.vicRegs[0] = 0x77;
  t.cpu.assemble(0xD000, "NOP", true, nullptr);
  EXPECT_EQ(t.machine.ram[0xD000], 0xEA);
  EXPECT_EQ(t.machine.vicRegs[0], 0x77);
}

TEST(CPUAssemble, ParseNumber) {
  struct Case {
    const char* text;
    bool ok;
    int value;
    bool wide;
  };
  const Case cases[] = {
      {" $1f ", true, 31, false}, {"%101", true, 5, false},  {"%1101", true, 13, false},
      {"%0101", true, 5, true},   {"$FF", true, 255, false}, {"$0FF", true, 255, true},
      {"$00", true, 0, true},     {"$0", true, 0, false},    {"$1234", true, 0x1234, true},
      {"$123", true, 0x123, true}, {"16777215", true, 16777215, false},
      {"$FFFFFF", true, 0xFFFFFF, true}, {"0255", true, 255, true}, {"0", true, 0, false},
      {"255", true, 255, false},  {"16777216", false, 0, false}, {"$1000000", false, 0, false},
      {"12A", false, 0, false},   {"$", false, 0, false},   {"%", false, 0, false},
      {"", false, 0, false},      {"   ", false, 0, false}, {"%102", false, 0, false},
      {"-1", false, 0, false},    {"+1", false, 0, false},  {"$1G", false, 0, false},
      {"1 2", false, 0, false},
  };
  for (const Case& c : cases) {
    int value = -7;
    bool wide = !c.wide;
    EXPECT_EQ(CPU6502::parseNumber(c.text, value, &wide), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
      EXPECT_EQ(wide, c.wide) << c.text;
    } else {
      EXPECT_EQ(value, -7) << c.text;
    }
  }
  int value = 0;
  EXPECT_TRUE(CPU6502::parseNumber("$c0", value));
  EXPECT_EQ(value, 0xC0);
}
