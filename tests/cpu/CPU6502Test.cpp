// Tests of the 6502 interpreter: the opcode table against an independently
// written per-mnemonic list, every documented opcode against a plain
// mnemonic-driven reference model on random states, decimal arithmetic
// against the well-known NMOS digit-by-digit formulation for all operands,
// hand-checked flag cases, the stops, the video-register mapping, the
// disassembly listing format and stepping back.
#include "cpu/CPU6502.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>

namespace {

// The documented NMOS instruction set, written per mnemonic as 6502
// references list it: mode name followed by opcode byte.
const char* const kReferenceSet[] = {
    "ADC imm 69 zp 65 zpx 75 abs 6D absx 7D absy 79 indx 61 indy 71",
    "AND imm 29 zp 25 zpx 35 abs 2D absx 3D absy 39 indx 21 indy 31",
    "ASL acc 0A zp 06 zpx 16 abs 0E absx 1E",
    "BCC rel 90", "BCS rel B0", "BEQ rel F0", "BMI rel 30",
    "BNE rel D0", "BPL rel 10", "BVC rel 50", "BVS rel 70",
    "BIT zp 24 abs 2C",
    "BRK imp 00",
    "CLC imp 18", "CLD imp D8", "CLI imp 58", "CLV imp B8",
    "CMP imm C9 zp C5 zpx D5 abs CD absx DD absy D9 indx C1 indy D1",
    "CPX imm E0 zp E4 abs EC",
    "CPY imm C0 zp C4 abs CC",
    "DEC zp C6 zpx D6 abs CE absx DE",
    "DEX imp CA", "DEY imp 88",
    "EOR imm 49 zp 45 zpx 55 abs 4D absx 5D absy 59 indx 41 indy 51",
    "INC zp E6 zpx F6 abs EE absx FE",
    "INX imp E8", "INY imp C8",
    "JMP abs 4C ind 6C",
    "JSR abs 20",
    "LDA imm A9 zp A5 zpx B5 abs AD absx BD absy B9 indx A1 indy B1",
    "LDX imm A2 zp A6 zpy B6 abs AE absy BE",
    "LDY imm A0 zp A4 zpx B4 abs AC absx BC",
    "LSR acc 4A zp 46 zpx 56 abs 4E absx 5E",
    "NOP imp EA",
    "ORA imm 09 zp 05 zpx 15 abs 0D absx 1D absy 19 indx 01 indy 11",
    "PHA imp 48", "PHP imp 08", "PLA imp 68", "PLP imp 28",
    "ROL acc 2A zp 26 zpx 36 abs 2E absx 3E",
    "ROR acc 6A zp 66 zpx 76 abs 6E absx 7E",
    "RTI imp 40", "RTS imp 60",
    "SBC imm E9 zp E5 zpx F5 abs ED absx FD absy F9 indx E1 indy F1",
    "SEC imp 38", "SED imp F8", "SEI imp 78",
    "STA zp 85 zpx 95 abs 8D absx 9D absy 99 indx 81 indy 91",
    "STX zp 86 zpy 96 abs 8E",
    "STY zp 84 zpx 94 abs 8C",
    "TAX imp AA", "TAY imp A8", "TSX imp BA", "TXA imp 8A", "TXS imp 9A", "TYA imp 98",
};

struct RefRow {
  std::string mnemonic = "---";
  int mode = 0;
};

const std::array<RefRow, 256>& referenceTable() {
  static const std::array<RefRow, 256> table = [] {
    const std::map<std::string, int> modes = {
        {"acc", 1}, {"imm", 2}, {"zp", 3}, {"zpx", 4}, {"zpy", 5}, {"abs", 6}, {"absx", 7},
        {"absy", 8}, {"imp", 9}, {"rel", 10}, {"indx", 11}, {"indy", 12}, {"ind", 13}};
    std::array<RefRow, 256> t;
    for (const char* line : kReferenceSet) {
      std::istringstream in(line);
      std::string mnemonic, mode, code;
      in >> mnemonic;
      while (in >> mode >> code) t[std::stoi(code, nullptr, 16)] = {mnemonic, modes.at(mode)};
    }
    return t;
  }();
  return table;
}

// A deliberately plain model of the processor: decodes through the table
// above and dispatches on the mnemonic text.
struct RefCpu {
  std::array<uint8_t, 65536> ram{};
  std::array<uint8_t, 47> vic{};
  uint16_t pc = 0;
  uint8_t a = 0, x = 0, y = 0, sp = 0, p = 0;
  bool stopped = false;
  std::string reason;

  uint8_t read(uint16_t ad) const { return ad >= 0xD000 && ad <= 0xD02E ? vic[ad - 0xD000] : ram[ad]; }
  void write(uint16_t ad, uint8_t v) {
    if (ad >= 0xD000 && ad <= 0xD02E)
      vic[ad - 0xD000] = v;
    else
      ram[ad] = v;
  }
  void flag(uint8_t bit, bool on) { p = on ? (p | bit) : (p & ~bit); }
  void nz(uint8_t v) {
    flag(0x80, v & 0x80);
    flag(0x02, v == 0);
  }
  void push(uint8_t v) { ram[0x100 + sp--] = v; }
  uint8_t pull() { return ram[0x100 + ++sp]; }
  uint16_t word(uint16_t ad) const { return ram[ad] | ram[uint16_t(ad + 1)] << 8; }

  void addDecimal(uint8_t m) {
    // NMOS decimal addition as documented digit by digit: the low digit is
    // adjusted first, N and V come from the partly adjusted signed sum.
    int c = p & 1;
    int al = (a & 0x0F) + (m & 0x0F) + c;
    if (al >= 0x0A) al = ((al + 0x06) & 0x0F) + 0x10;
    int sum = (a & 0xF0) + (m & 0xF0) + al;
    int ssum = int8_t(a & 0xF0) + int8_t(m & 0xF0) + al;
    flag(0x80, sum & 0x80);
    flag(0x40, ssum < -128 || ssum > 127);
    flag(0x02, ((a + m + c) & 0xFF) == 0);
    if (sum >= 0xA0) sum += 0x60;
    flag(0x01, sum >= 0x100);
    a = uint8_t(sum);
  }
  void subDecimal(uint8_t m) {
    int c = p & 1;
    int bin = a - m - (1 - c);
    int al = (a & 0x0F) - (m & 0x0F) + c - 1;
    if (al < 0) al = ((al - 0x06) & 0x0F) - 0x10;
    int diff = (a & 0xF0) - (m & 0xF0) + al;
    if (diff < 0) diff -= 0x60;
    flag(0x01, bin >= 0);
    flag(0x02, (bin & 0xFF) == 0);
    flag(0x80, bin & 0x80);
    flag(0x40, ((a ^ m) & (a ^ bin) & 0x80) != 0);
    a = uint8_t(diff);
  }
  void addBinary(uint8_t m) {
    int c = p & 1;
    int sum = a + m + c;
    int ssum = int8_t(a) + int8_t(m) + c;
    flag(0x01, sum > 0xFF);
    flag(0x40, ssum < -128 || ssum > 127);
    a = uint8_t(sum);
    nz(a);
  }

  void step() {
    const RefRow& row = referenceTable()[ram[pc]];
    const std::string& mn = row.mnemonic;
    if (row.mode == 0) {
      stopped = true;
      reason = "Illegal opcode";
      return;
    }
    uint8_t b1 = ram[uint16_t(pc + 1)], b2 = ram[uint16_t(pc + 2)];
    uint16_t w = b1 | b2 << 8;
    uint16_t ea = 0;
    int len = 1;
    switch (row.mode) {
      case 2: ea = uint16_t(pc + 1); len = 2; break;
      case 3: ea = b1; len = 2; break;
      case 4: ea = (b1 + x) & 0xFF; len = 2; break;
      case 5: ea = (b1 + y) & 0xFF; len = 2; break;
      case 6: ea = w; len = 3; break;
      case 7: ea = uint16_t(w + x); len = 3; break;
      case 8: ea = uint16_t(w + y); len = 3; break;
      case 10: ea = uint16_t(pc + 2 + int8_t(b1)); len = 2; break;
      case 11: ea = ram[(b1 + x) & 0xFF] | ram[(b1 + x + 1) & 0xFF] << 8; len = 2; break;
      case 12: ea = uint16_t((ram[b1] | ram[(b1 + 1) & 0xFF] << 8) + y); len = 2; break;
      case 13: ea = ram[w] | ram[(w & 0xFF00) | ((w + 1) & 0xFF)] << 8; len = 3; break;
      default: break;
    }
    const uint16_t here = pc;
    pc = uint16_t(pc + len);
    const bool acc = row.mode == 1;
    auto load = [&] { return acc ? a : read(ea); };
    auto store = [&](uint8_t v) {
      if (acc)
        a = v;
      else
        write(ea, v);
    };
    auto cmp = [&](uint8_t r) {
      uint8_t m = read(ea);
      flag(0x80, uint8_t(r - m) & 0x80);
      flag(0x01, r >= m);
      flag(0x02, r == m);
    };
    const std::map<std::string, std::pair<uint8_t, bool>> branches = {
        {"BPL", {0x80, false}}, {"BMI", {0x80, true}}, {"BVC", {0x40, false}}, {"BVS", {0x40, true}},
        {"BCC", {0x01, false}}, {"BCS", {0x01, true}}, {"BNE", {0x02, false}}, {"BEQ", {0x02, true}}};
    if (auto it = branches.find(mn); it != branches.end()) {
      if (bool(p & it->second.first) == it->second.second) pc = ea;
    } else if (mn == "LDA") { a = read(ea); nz(a); }
    else if (mn == "LDX") { x = read(ea); nz(x); }
    else if (mn == "LDY") { y = read(ea); nz(y); }
    else if (mn == "STA") write(ea, a);
    else if (mn == "STX") write(ea, x);
    else if (mn == "STY") write(ea, y);
    else if (mn == "TAX") { x = a; nz(x); }
    else if (mn == "TAY") { y = a; nz(y); }
    else if (mn == "TXA") { a = x; nz(a); }
    else if (mn == "TYA") { a = y; nz(a); }
    else if (mn == "TSX") { x = sp; nz(x); }
    else if (mn == "TXS") sp = x;
    else if (mn == "AND") { a &= read(ea); nz(a); }
    else if (mn == "ORA") { a |= read(ea); nz(a); }
    else if (mn == "EOR") { a ^= read(ea); nz(a); }
    else if (mn == "BIT") {
      uint8_t m = read(ea);
      flag(0x02, (m & a) == 0);
      flag(0x80, m & 0x80);
      flag(0x40, m & 0x40);
    } else if (mn == "ADC") {
      if (p & 0x08) addDecimal(read(ea)); else addBinary(read(ea));
    } else if (mn == "SBC") {
      if (p & 0x08) subDecimal(read(ea)); else addBinary(uint8_t(~read(ea)));
    } else if (mn == "CMP") cmp(a);
    else if (mn == "CPX") cmp(x);
    else if (mn == "CPY") cmp(y);
    else if (mn == "INC") { uint8_t v = read(ea) + 1; write(ea, v); nz(v); }
    else if (mn == "DEC") { uint8_t v = read(ea) - 1; write(ea, v); nz(v); }
    else if (mn == "INX") nz(++x);
    else if (mn == "INY") nz(++y);
    else if (mn == "DEX") nz(--x);
    else if (mn == "DEY") nz(--y);
    else if (mn == "ASL") { uint8_t v = load(); flag(1, v & 0x80); v <<= 1; store(v); nz(v); }
    else if (mn == "LSR") { uint8_t v = load(); flag(1, v & 1); v >>= 1; store(v); nz(v); }
    else if (mn == "ROL") { uint8_t v = load(); int c = p & 1; flag(1, v & 0x80); v = uint8_t(v << 1 | c); store(v); nz(v); }
    else if (mn == "ROR") { uint8_t v = load(); int c = p & 1; flag(1, v & 1); v = uint8_t(v >> 1 | c << 7); store(v); nz(v); }
    else if (mn == "JMP") pc = ea;
    else if (mn == "JSR") { uint16_t r = uint16_t(here + 2); push(r >> 8); push(r & 0xFF); pc = ea; }
    else if (mn == "RTS") {
      if (sp >= 0xFE) { pc = here; stopped = true; reason = "RTS from top level"; }
      else { uint16_t lo = pull(); uint16_t hi = pull(); pc = uint16_t((hi << 8 | lo) + 1); }
    } else if (mn == "RTI") {
      p = (pull() & ~0x30) | 0x20;
      uint16_t lo = pull();
      uint16_t hi = pull();
      pc = uint16_t(hi << 8 | lo);
    } else if (mn == "PHA") push(a);
    else if (mn == "PHP") push(p | 0x30);
    else if (mn == "PLA") { a = pull(); nz(a); }
    else if (mn == "PLP") p = (pull() & ~0x30) | 0x20;
    else if (mn == "CLC") flag(0x01, false);
    else if (mn == "CLI") flag(0x04, false);
    else if (mn == "CLD") flag(0x08, false);
    else if (mn == "CLV") flag(0x40, false);
    else if (mn == "SEC") flag(0x01, true);
    else if (mn == "SEI") flag(0x04, true);
    else if (mn == "SED") flag(0x08, true);
    else if (mn == "BRK") { pc = here; stopped = true; reason = "BRK"; }
    else if (mn == "NOP") {}
    else ADD_FAILURE() << "reference lacks " << mn;
  }
};

struct Fixture {
  Machine machine;
  CPU6502 cpu{machine};
  // Places bytes at addr and points pc at them.
  void code(uint16_t addr, std::initializer_list<uint8_t> bytes) {
    uint16_t at = addr;
    for (uint8_t b : bytes) machine.ram[at++] = b;
    cpu.pc = addr;
  }
};

}  // namespace

TEST(CPU6502, OpcodeTableMatchesTheDocumentedSet) {
  int documented = 0;
  for (int op = 0; op < 256; ++op) {
    const RefRow& ref = referenceTable()[op];
    EXPECT_EQ(CPU6502::ops[op].mnemonic, ref.mnemonic) << "opcode " << op;
    EXPECT_EQ(CPU6502::ops[op].mode, ref.mode) << "opcode " << op;
    documented += ref.mode != 0;
  }
  EXPECT_EQ(documented, 151);
  EXPECT_EQ(CPU6502::findOpcode("LDA", kAddrImm), 0xA9);
  EXPECT_EQ(CPU6502::findOpcode("lda", kAddrImm), -1);
  EXPECT_EQ(CPU6502::findOpcode("LDX", kAddrZpY), 0xB6);
  EXPECT_EQ(CPU6502::findOpcode("JMP", kAddrInd), 0x6C);
  EXPECT_EQ(CPU6502::findOpcode("ASL", kAddrAcc), 0x0A);
  EXPECT_EQ(CPU6502::findOpcode("---", kAddrNone), 0x02);
  EXPECT_EQ(CPU6502::findOpcode("LDA", kAddrZpY), -1);
  EXPECT_TRUE(CPU6502::isMnemonic("lda"));
  EXPECT_TRUE(CPU6502::isMnemonic("Brk"));
  EXPECT_FALSE(CPU6502::isMnemonic("---"));
  EXPECT_FALSE(CPU6502::isMnemonic("LDAX"));
  EXPECT_FALSE(CPU6502::isMnemonic("XYZ"));
  const int lengths[] = {1, 1, 2, 2, 2, 2, 3, 3, 3, 1, 2, 2, 2, 3};
  for (int mode = 0; mode < 14; ++mode) EXPECT_EQ(CPU6502::instrLength(mode), lengths[mode]);
  EXPECT_EQ(CPU6502::instrLength(14), 1);
  EXPECT_EQ(CPU6502::instrLength(-1), 1);
}

// Every documented opcode (and every illegal one) from random states,
// with operands biased towards the video registers, page and stack edges.
TEST(CPU6502, EveryOpcodeMatchesTheReferenceModel) {
  std::mt19937 rng(6502);
  auto rnd = [&rng](int n) { return int(rng() % unsigned(n)); };
  static Machine machine;
  CPU6502 cpu(machine);
  static RefCpu ref;
  static std::array<uint8_t, 65536> base;
  for (int op = 0; op < 256; ++op) {
    for (auto& b : base) b = uint8_t(rng());
    const int trials = referenceTable()[op].mode ? 300 : 3;
    for (int trial = 0; trial < trials; ++trial) {
      uint16_t pc = uint16_t(rng());
      if (trial % 17 == 0) pc = 0xFFFE;
      // Zero-page pointers that often land on the video registers.
      for (int z = 0; z < 256; ++z) base[z] = (z & 1) && rnd(2) ? 0xD0 : uint8_t(rnd(0x30));
      base[pc] = uint8_t(op);
      base[uint16_t(pc + 1)] = uint8_t(rng());
      base[uint16_t(pc + 2)] = rnd(3) == 0 ? 0xD0 : uint8_t(rng());
      if (base[uint16_t(pc + 2)] == 0xD0) base[uint16_t(pc + 1)] = uint8_t(rnd(0x40));
      machine.ram = base;
      ref.ram = base;
      for (int r = 0; r < 47; ++r) machine.vicRegs[r] = ref.vic[r] = uint8_t(rng());
      cpu.pc = ref.pc = pc;
      cpu.a = ref.a = uint8_t(rng());
      cpu.x = ref.x = uint8_t(rng());
      cpu.y = ref.y = uint8_t(rng());
      cpu.sp = ref.sp = trial % 5 == 0 ? uint8_t(0xFC + rnd(4)) : uint8_t(rng());
      cpu.p = ref.p = uint8_t(rng());
      cpu.stopped = ref.stopped = false;
      cpu.stopReason.clear();
      ref.reason.clear();
      cpu.step();
      ref.step();
      SCOPED_TRACE(testing::Message() << "opcode $" << std::hex << op << " pc $" << pc);
      ASSERT_EQ(cpu.pc, ref.pc);
      ASSERT_EQ(cpu.a, ref.a);
      ASSERT_EQ(cpu.x, ref.x);
      ASSERT_EQ(cpu.y, ref.y);
      ASSERT_EQ(cpu.sp, ref.sp);
      ASSERT_EQ(cpu.p, ref.p);
      ASSERT_EQ(cpu.stopped, ref.stopped);
      ASSERT_EQ(cpu.stopReason, ref.reason);
      ASSERT_TRUE(machine.ram == ref.ram);
      ASSERT_TRUE(machine.vicRegs == ref.vic);
    }
  }
}

// Decimal ADC and SBC for all operand pairs and both carries.
TEST(CPU6502, DecimalModeMatchesNmosForAllOperands) {
  Fixture f;
  RefCpu ref;
  for (int op : {0x69, 0xE9}) {
    for (int a = 0; a < 256; ++a) {
      for (int m = 0; m < 256; ++m) {
        for (int c = 0; c < 2; ++c) {
          f.code(0x1000, {uint8_t(op), uint8_t(m)});
          f.cpu.a = ref.a = uint8_t(a);
          f.cpu.p = ref.p = uint8_t(0x28 | c);
          f.cpu.step();
          if (op == 0x69)
            ref.addDecimal(uint8_t(m));
          else
            ref.subDecimal(uint8_t(m));
          ASSERT_EQ(f.cpu.a, ref.a) << std::hex << op << " " << a << " " << m << " " << c;
          ASSERT_EQ(f.cpu.p, ref.p) << std::hex << op << " " << a << " " << m << " " << c;
        }
      }
    }
  }
  // Valid BCD operands give the BCD sum and difference.
  for (int a = 0; a < 100; ++a) {
    for (int m = 0; m < 100; ++m) {
      auto bcd = [](int v) { return uint8_t((v / 10) << 4 | v % 10); };
      f.code(0x1000, {0x69, bcd(m)});
      f.cpu.a = bcd(a);
      f.cpu.p = 0x28;
      f.cpu.step();
      ASSERT_EQ(f.cpu.a, bcd((a + m) % 100));
      ASSERT_EQ(f.cpu.p & kFlagC, a + m > 99 ? 1 : 0);
      f.code(0x1000, {0xE9, bcd(m)});
      f.cpu.a = bcd(a);
      f.cpu.p = 0x29;
      f.cpu.step();
      ASSERT_EQ(f.cpu.a, bcd((a - m + 100) % 100));
      ASSERT_EQ(f.cpu.p & kFlagC, a >= m ? 1 : 0);
    }
  }
}

// Hand-checked results: {bytes, a, x, y, p in, memory $0010 in} ->
// {a, x, y, p, memory $0010 out}.
TEST(CPU6502, InstructionResultsAndFlags) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint8_t a, x, y, p, m;
    uint8_t ea, ex, ey, ep, em;
  };
  const Case cases[] = {
      {{0xA9, 0x00}, 0x55, 0, 0, 0x24, 0, 0x00, 0, 0, 0x26, 0},          // LDA #0 sets Z
      {{0xA9, 0x80}, 0x00, 0, 0, 0x26, 0, 0x80, 0, 0, 0xA4, 0},          // LDA #$80 sets N
      {{0x69, 0x50}, 0x50, 0, 0, 0x24, 0, 0xA0, 0, 0, 0xE4, 0},          // ADC overflow
      {{0x69, 0x01}, 0xFF, 0, 0, 0x24, 0, 0x00, 0, 0, 0x27, 0},          // ADC carry out, Z
      {{0x69, 0x80}, 0x80, 0, 0, 0x25, 0, 0x01, 0, 0, 0x65, 0},          // -128 + -128 + 1
      {{0xE9, 0x01}, 0x00, 0, 0, 0x25, 0, 0xFF, 0, 0, 0xA4, 0},          // SBC borrow
      {{0xE9, 0x01}, 0x80, 0, 0, 0x25, 0, 0x7F, 0, 0, 0x65, 0},          // SBC overflow
      {{0xE9, 0x00}, 0x05, 0, 0, 0x24, 0, 0x04, 0, 0, 0x25, 0},          // SBC without carry
      {{0xC9, 0x10}, 0x10, 0, 0, 0x24, 0, 0x10, 0, 0, 0x27, 0},          // CMP equal
      {{0xC9, 0x20}, 0x10, 0, 0, 0x25, 0, 0x10, 0, 0, 0xA4, 0},          // CMP less
      {{0xE0, 0x01}, 0, 0x80, 0, 0x24, 0, 0, 0x80, 0, 0x25, 0},          // CPX greater
      {{0xC0, 0xFF}, 0, 0, 0x00, 0x24, 0, 0, 0, 0x00, 0x24, 0},          // CPY 0 vs $FF
      {{0x24, 0x10}, 0x01, 0, 0, 0x24, 0xC0, 0x01, 0, 0, 0xE6, 0xC0},    // BIT
      {{0x24, 0x10}, 0x01, 0, 0, 0xE6, 0x01, 0x01, 0, 0, 0x24, 0x01},    // BIT clears N V Z
      {{0x0A}, 0x81, 0, 0, 0x24, 0, 0x02, 0, 0, 0x25, 0},                // ASL A
      {{0x06, 0x10}, 0, 0, 0, 0x24, 0x40, 0, 0, 0, 0xA4, 0x80},          // ASL zp
      {{0x4A}, 0x01, 0, 0, 0xA4, 0, 0x00, 0, 0, 0x27, 0},                // LSR A
      {{0x2A}, 0x80, 0, 0, 0x25, 0, 0x01, 0, 0, 0x25, 0},                // ROL A
      {{0x6A}, 0x01, 0, 0, 0x25, 0, 0x80, 0, 0, 0xA5, 0},                // ROR A
      {{0x66, 0x10}, 0, 0, 0, 0x24, 0x01, 0, 0, 0, 0x27, 0x00},          // ROR zp
      {{0xE6, 0x10}, 0, 0, 0, 0x24, 0xFF, 0, 0, 0, 0x26, 0x00},          // INC wraps
      {{0xC6, 0x10}, 0, 0, 0, 0x24, 0x00, 0, 0, 0, 0xA4, 0xFF},          // DEC wraps
      {{0xCA}, 0, 0x00, 0, 0x24, 0, 0, 0xFF, 0, 0xA4, 0},                // DEX
      {{0xC8}, 0, 0, 0xFF, 0x24, 0, 0, 0, 0x00, 0x26, 0},                // INY
      {{0x29, 0x0F}, 0xF0, 0, 0, 0x24, 0, 0x00, 0, 0, 0x26, 0},          // AND
      {{0x09, 0x80}, 0x01, 0, 0, 0x24, 0, 0x81, 0, 0, 0xA4, 0},          // ORA
      {{0x49, 0xFF}, 0xFF, 0, 0, 0x24, 0, 0x00, 0, 0, 0x26, 0},          // EOR
      {{0xAA}, 0x80, 0x00, 0, 0x24, 0, 0x80, 0x80, 0, 0xA4, 0},          // TAX
      {{0x9A}, 0, 0x00, 0, 0x24, 0, 0, 0x00, 0, 0x24, 0},                // TXS keeps flags
      {{0x85, 0x10}, 0x42, 0, 0, 0x24, 0, 0x42, 0, 0, 0x24, 0x42},       // STA
      {{0x38}, 0, 0, 0, 0x24, 0, 0, 0, 0, 0x25, 0},                      // SEC
      {{0xB8}, 0, 0, 0, 0x64, 0, 0, 0, 0, 0x24, 0},                      // CLV
      {{0xF8}, 0, 0, 0, 0x24, 0, 0, 0, 0, 0x2C, 0},                      // SED
      {{0x58}, 0, 0, 0, 0x24, 0, 0, 0, 0, 0x20, 0},                      // CLI
      {{0x69, 0x01}, 0x09, 0, 0, 0x2C, 0, 0x10, 0, 0, 0x2C, 0},          // decimal 09+01
      {{0x69, 0x01}, 0x99, 0, 0, 0x2C, 0, 0x00, 0, 0, 0xAD, 0},          // decimal 99+01
      {{0xE9, 0x01}, 0x00, 0, 0, 0x2D, 0, 0x99, 0, 0, 0xAC, 0},          // decimal 00-01
  };
  for (const Case& c : cases) {
    Fixture f;
    f.machine.ram[0x10] = c.m;
    f.cpu.a = c.a;
    f.cpu.x = c.x;
    f.cpu.y = c.y;
    f.cpu.p = c.p;
    for (size_t i = 0; i < c.bytes.size(); ++i) f.machine.ram[0x2000 + i] = c.bytes[i];
    f.cpu.pc = 0x2000;
    f.cpu.step();
    std::string where = f.cpu.disassembleInstr(0x2000);
    EXPECT_EQ(f.cpu.a, c.ea) << where;
    EXPECT_EQ(f.cpu.x, c.ex) << where;
    EXPECT_EQ(f.cpu.y, c.ey) << where;
    EXPECT_EQ(f.cpu.p, c.ep) << where;
    EXPECT_EQ(f.machine.ram[0x10], c.em) << where;
    EXPECT_EQ(f.cpu.pc, 0x2000 + c.bytes.size()) << where;
    EXPECT_FALSE(f.cpu.stopped) << where;
  }
}

TEST(CPU6502, StopsAndStack) {
  Fixture f;
  f.code(0xC000, {0x02});
  f.cpu.step();
  EXPECT_TRUE(f.cpu.stopped);
  EXPECT_EQ(f.cpu.stopReason, "Illegal opcode");
  EXPECT_EQ(f.cpu.pc, 0xC000);

  f.cpu.stopped = false;
  f.code(0xC000, {0xEA});
  f.cpu.step();
  EXPECT_EQ(f.cpu.pc, 0xC001);
  EXPECT_FALSE(f.cpu.stopped);

  f.code(0xC000, {0x00, 0x00});
  f.cpu.p = 0x24;
  f.cpu.sp = 0xFF;
  f.cpu.step();
  EXPECT_TRUE(f.cpu.stopped);
  EXPECT_EQ(f.cpu.stopReason, "BRK");
  EXPECT_EQ(f.cpu.pc, 0xC000);
  EXPECT_EQ(f.cpu.sp, 0xFF);
  EXPECT_EQ(f.cpu.p, 0x24);

  for (uint8_t sp : {0xFF, 0xFE}) {
    f.cpu.stopped = false;
    f.cpu.stopReason.clear();
    f.code(0xC000, {0x60});
    f.cpu.sp = sp;
    f.cpu.step();
    EXPECT_TRUE(f.cpu.stopped);
    EXPECT_EQ(f.cpu.stopReason, "RTS from top level");
    EXPECT_EQ(f.cpu.pc, 0xC000);
    EXPECT_EQ(f.cpu.sp, sp);
  }
  f.cpu.stopped = false;
  f.machine.ram[0x1FE] = 0x33;
  f.machine.ram[0x1FF] = 0x12;
  f.code(0xC000, {0x60});
  f.cpu.sp = 0xFD;
  f.cpu.step();
  EXPECT_FALSE(f.cpu.stopped);
  EXPECT_EQ(f.cpu.pc, 0x1234);
  EXPECT_EQ(f.cpu.sp, 0xFF);

  // JSR pushes the return address minus one, high byte first.
  f.code(0xC100, {0x20, 0x00, 0xC2});
  f.cpu.sp = 0xFF;
  f.cpu.step();
  EXPECT_EQ(f.cpu.pc, 0xC200);
  EXPECT_EQ(f.cpu.sp, 0xFD);
  EXPECT_EQ(f.machine.ram[0x1FF], 0xC1);
  EXPECT_EQ(f.machine.ram[0x1FE], 0x02);

  // A JSR whose own operand lies where it pushes still jumps to the
  // target it was written with.
  f.code(0x01FD, {0x20, 0x34, 0x12});
  f.cpu.sp = 0xFF;
  f.cpu.step();
  EXPECT_EQ(f.cpu.pc, 0x1234);
  EXPECT_EQ(f.machine.ram[0x1FF], 0x01);
  EXPECT_EQ(f.machine.ram[0x1FE], 0xFF);

  // PHP pushes B and bit 5 set; PLP clears B and sets bit 5.
  f.code(0xC000, {0x08, 0xA9, 0xFF, 0x48, 0x28});
  f.cpu.p = 0x24;
  f.cpu.sp = 0xFF;
  f.cpu.step();
  EXPECT_EQ(f.machine.ram[0x1FF], 0x34);
  f.cpu.step();
  f.cpu.step();
  f.cpu.step();
  EXPECT_EQ(f.cpu.p, 0xEF);
  EXPECT_EQ(f.cpu.sp, 0xFE);

  // The stack pointer wraps inside page 1.
  f.code(0xC000, {0x48});
  f.cpu.sp = 0x00;
  f.cpu.a = 0x77;
  f.cpu.step();
  EXPECT_EQ(f.machine.ram[0x100], 0x77);
  EXPECT_EQ(f.cpu.sp, 0xFF);

  f.cpu.a = f.cpu.x = f.cpu.y = 9;
  f.cpu.sp = 3;
  f.cpu.p = 0xFF;
  f.cpu.pc = 0x1234;
  f.cpu.stopped = true;
  f.cpu.breakpoints.insert(0x1000);
  f.cpu.reset();
  EXPECT_EQ(f.cpu.a + f.cpu.x + f.cpu.y, 0);
  EXPECT_EQ(f.cpu.sp, 0xFF);
  EXPECT_EQ(f.cpu.p, 0x24);
  EXPECT_EQ(f.cpu.pc, 0x1234);
  EXPECT_TRUE(f.cpu.stopped);
  EXPECT_EQ(f.cpu.breakpoints.size(), 1u);

  Machine m2;
  CPU6502 fresh(m2);
  EXPECT_EQ(fresh.pc, 0xC000);
  EXPECT_EQ(fresh.sp, 0xFF);
  EXPECT_EQ(fresh.p, 0x24);
  EXPECT_FALSE(fresh.stopped);
  EXPECT_TRUE(fresh.stopReason.empty());
}

TEST(CPU6502, AddressingEdgesAndVideoRegisters) {
  Fixture f;
  f.machine.vicRegs[0x20] = 0x0E;
  f.machine.ram[0xD020] = 0x99;
  f.code(0xC000, {0xAD, 0x20, 0xD0});
  f.cpu.step();
  EXPECT_EQ(f.cpu.a, 0x0E);

  f.cpu.a = 0x55;
  f.code(0xC000, {0x8D, 0x2F, 0xD0, 0x8D, 0x00, 0xD0, 0xEE, 0x2E, 0xD0});
  f.machine.ram[0xD000] = 0x11;
  f.cpu.step();
  f.cpu.step();
  f.cpu.step();
  EXPECT_EQ(f.machine.ram[0xD02F], 0x55);
  EXPECT_EQ(f.machine.vicRegs[0], 0x55);
  EXPECT_EQ(f.machine.ram[0xD000], 0x11);
  EXPECT_EQ(f.machine.vicRegs[0x2E], 1);

  // JMP ($10FF) takes its high byte from $1000.
  f.machine.ram[0x10FF] = 0x34;
  f.machine.ram[0x1000] = 0x12;
  f.machine.ram[0x1100] = 0x56;
  f.code(0xC000, {0x6C, 0xFF, 0x10});
  f.cpu.step();
  EXPECT_EQ(f.cpu.pc, 0x1234);

  // LDA ($FF,X) with X = 0 takes its pointer from $FF and $00.
  f.machine.ram[0xFF] = 0x00;
  f.machine.ram[0x00] = 0x30;
  f.machine.ram[0x3000] = 0xAB;
  f.code(0xC000, {0xA1, 0xFF});
  f.cpu.x = 0;
  f.cpu.step();
  EXPECT_EQ(f.cpu.a, 0xAB);

  // (zp),Y wraps the pointer in page 0 and the address at 16 bits.
  f.machine.ram[0xFF] = 0xF0;
  f.machine.ram[0x00] = 0xFF;
  f.machine.ram[0x0010] = 0x5A;
  f.code(0xC000, {0xB1, 0xFF});
  f.cpu.y = 0x20;
  f.cpu.step();
  EXPECT_EQ(f.cpu.a, 0x5A);

  f.machine.ram[0x0010] = 0x77;
  f.code(0xC000, {0xB5, 0xF0, 0xBD, 0xF0, 0xFF});
  f.cpu.x = 0x20;
  f.cpu.step();
  EXPECT_EQ(f.cpu.a, 0x77);
  f.cpu.a = 0;
  f.cpu.step();
  EXPECT_EQ(f.cpu.a, 0x77);

  // Branches: offset $FE loops on itself, $80 goes back 126 bytes.
  f.code(0xC000, {0xD0, 0xFE});
  f.cpu.p = 0x24;
  f.cpu.step();
  EXPECT_EQ(f.cpu.pc, 0xC000);
  f.code(0xC000, {0xD0, 0x80});
  f.cpu.step();
  EXPECT_EQ(f.cpu.pc, 0xBF82);
  f.code(0xC000, {0xF0, 0x80});
  f.cpu.step();
  EXPECT_EQ(f.cpu.pc, 0xC002);

  // Instruction bytes come from RAM even inside the register range.
  f.machine.ram[0xD010] = 0xE8;
  f.machine.vicRegs[0x10] = 0x02;
  f.cpu.pc = 0xD010;
  f.cpu.x = 0;
  f.cpu.step();
  EXPECT_EQ(f.cpu.x, 1);
  EXPECT_FALSE(f.cpu.stopped);
}

TEST(CPU6502, DisassemblyListingAndBackStep) {
  Fixture f;
  auto& ram = f.machine.ram;
  const std::vector<uint8_t> program = {
      0xA9, 0x0A,        // LDA #$0A
      0xB6, 0x10,        // LDX $10,Y
      0x6C, 0xFF, 0x10,  // JMP ($10FF)
      0x0A,              // ASL
      0x02,              // ---
      0xD0, 0xFE,        // BNE to itself
      0x9D, 0x00, 0xD0,  // STA $D000,X
      0xB1, 0xFB,        // LDA ($FB),Y
      0x81, 0x20,        // STA ($20,X)
      0xBE, 0x34, 0x12,  // LDX $1234,Y
      0x00,              // BRK
  };
  for (size_t i = 0; i < program.size(); ++i) ram[0xC000 + i] = program[i];
  const char* const expected[] = {
      "C000 A9 0A     LDA #$0A",
      "C002 B6 10     LDX $10,Y",
      "C004 6C FF 10  JMP ($10FF)",
      "C007 0A        ASL",
      "C008 02        ---",
      "C009 D0 FE     BNE $C009",
      "C00B 9D 00 D0  STA $D000,X",
      "C00E B1 FB     LDA ($FB),Y",
      "C010 81 20     STA ($20,X)",
      "C012 BE 34 12  LDX $1234,Y",
      "C015 00        BRK",
  };
  uint16_t addr = 0xC000;
  for (const char* line : expected) EXPECT_EQ(f.cpu.disassemble(addr), line);
  EXPECT_EQ(addr, 0xC016);
  EXPECT_EQ(std::string(expected[4]).size(), 18u);

  int length = 0;
  EXPECT_EQ(f.cpu.disassembleInstr(0xC004, &length), "JMP ($10FF)");
  EXPECT_EQ(length, 3);
  EXPECT_EQ(f.cpu.disassembleInstr(0xC008, &length), "---");
  EXPECT_EQ(length, 1);

  // A branch at the top of memory wraps its target.
  ram[0xFFFE] = 0x10;
  ram[0xFFFF] = 0x05;
  EXPECT_EQ(f.cpu.disassembleInstr(0xFFFE), "BPL $0005");
  addr = 0xFFFF;
  ram[0x0000] = 0x34;
  ram[0x0001] = 0x12;
  ram[0xFFFF] = 0xAD;
  EXPECT_EQ(f.cpu.disassemble(addr), "FFFF AD 34 12  LDA $1234");
  EXPECT_EQ(addr, 0x0002);

  // Stepping back prefers the three-byte form, then the two-byte one.
  EXPECT_EQ(f.cpu.backStep(0xC007), 0xC004);
  EXPECT_EQ(f.cpu.backStep(0xC004), 0xC002);
  EXPECT_EQ(f.cpu.backStep(0xC009), 0xC008);
  EXPECT_EQ(f.cpu.backStep(0xC015), 0xC012);
  ram[0x0000] = 0x00;
  ram[0x0001] = 0x00;
  ram[0xFFFE] = 0xAD;
  EXPECT_EQ(f.cpu.backStep(0x0001), 0xFFFE);
}

TEST(CPU6502, FlagString) {
  Fixture f;
  EXPECT_EQ(f.cpu.flagString(), "00100100");
  f.cpu.p = 0xDB;
  EXPECT_EQ(f.cpu.flagString(), "11-11011");
  f.cpu.toggleFlag(5);
  EXPECT_EQ(f.cpu.flagString(), "11111011");
  f.cpu.toggleFlag(0);
  f.cpu.toggleFlag(7);
  EXPECT_EQ(f.cpu.p, 0x7A);
}
