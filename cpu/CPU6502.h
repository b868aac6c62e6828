// An instruction-level interpreter of the NMOS 6502 running on the document's
// 64 KB memory image, with its opcode table, disassembler, one-line
// assembler and number parser. The Processor window steps it, the monitor
// lists and assembles through it, and the source assembler uses a private
// one as its instruction encoder. No cycles, interrupts or undocumented
// opcodes: an opcode outside the documented set stops the processor.
#pragma once

#include "core/Machine.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>

// Addressing modes as stored in CPU6502::ops.
enum AddrMode : int {
  kAddrNone = 0,   // illegal opcode
  kAddrAcc = 1,
  kAddrImm = 2,
  kAddrZp = 3,
  kAddrZpX = 4,
  kAddrZpY = 5,
  kAddrAbs = 6,
  kAddrAbsX = 7,
  kAddrAbsY = 8,
  kAddrImp = 9,
  kAddrRel = 10,
  kAddrIndX = 11,  // (zp,X)
  kAddrIndY = 12,  // (zp),Y
  kAddrInd = 13,   // (abs), JMP only
};
constexpr int kAddrModeCount = 14;
constexpr int kMaxInstrLength = 3;  // opcode and a 16-bit operand

// Status register bits.
constexpr uint8_t kFlagC = 0x01;
constexpr uint8_t kFlagZ = 0x02;
constexpr uint8_t kFlagI = 0x04;
constexpr uint8_t kFlagD = 0x08;
constexpr uint8_t kFlagB = 0x10;
constexpr uint8_t kFlagU = 0x20;  // bit 5, always set in the register
constexpr uint8_t kFlagV = 0x40;
constexpr uint8_t kFlagN = 0x80;

constexpr uint16_t kCpuStartPc = 0xC000;
constexpr uint8_t kCpuStartSp = 0xFF;
constexpr uint8_t kCpuStartP = 0x24;
constexpr uint16_t kStackBase = 0x0100;
constexpr int kMaxParsedNumber = 0xFFFFFF;

constexpr char kStopBrk[] = "BRK";
constexpr char kStopIllegal[] = "Illegal opcode";
constexpr char kStopTopRts[] = "RTS from top level";

class CPU6502 {
public:
  struct Op {
    const char* mnemonic;
    int mode;
  };
  static const Op ops[256];

  uint16_t pc = kCpuStartPc;
  uint8_t a = 0;
  uint8_t x = 0;
  uint8_t y = 0;
  uint8_t sp = kCpuStartSp;
  uint8_t p = kCpuStartP;
  bool stopped = false;
  std::string stopReason;
  std::set<uint16_t> breakpoints;
  Machine& machine;

  explicit CPU6502(Machine& m) : machine(m) {}

  void reset();
  void step();

  uint8_t rd(uint16_t addr) const {
    unsigned reg = addr - unsigned{kVicBase};
    return reg < unsigned{kVicRegCount} ? machine.vicRegs[reg] : machine.ram[addr];
  }
  void wr(uint16_t addr, uint8_t value) {
    unsigned reg = addr - unsigned{kVicBase};
    if (reg < unsigned{kVicRegCount})
      machine.vicRegs[reg] = value;
    else
      machine.ram[addr] = value;
  }
  void push(uint8_t value) {
    machine.ram[kStackBase + sp] = value;
    --sp;
  }
  uint8_t pull() {
    ++sp;
    return machine.ram[kStackBase + sp];
  }
  void setNZ(uint8_t v) {
    p = static_cast<uint8_t>((p & ~(kFlagN | kFlagZ)) | (v & kFlagN) | (v == 0 ? kFlagZ : 0));
  }

  static int instrLength(int mode);
  std::string disassembleInstr(uint16_t addr, int* length = nullptr) const;
  std::string disassemble(uint16_t& addr) const;
  uint16_t backStep(uint16_t addr) const;
  std::string flagString() const;
  void toggleFlag(int bit);

  static bool isMnemonic(std::string_view text);
  static int findOpcode(std::string_view name, int mode);

  static bool parseNumber(std::string_view text, int& value, bool* wide = nullptr);
  int assemble(uint16_t addr, std::string_view line, bool write, std::string* error = nullptr);
  // The one-line assembler without writing: the instruction's bytes go to
  // `bytes` (the first `length` of them count); 0 and `error` on failure.
  static int encode(uint16_t addr, std::string_view line, uint8_t (&bytes)[kMaxInstrLength],
                    std::string* error = nullptr);

private:
  void adc(uint8_t m);
  void sbc(uint8_t m);
  void compare(uint8_t reg, uint8_t m);
};
