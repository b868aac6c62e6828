// Execution, opcode table, disassembly and stepping back of the 6502
// interpreter. Number parsing and the one-line assembler live in
// CPUAssemble.cpp.
#include "cpu/CPU6502.h"

#include <cstdio>

// One row per opcode byte: the documented NMOS 6502 set; every other byte is
// "---" with no addressing mode and stops the processor.
const CPU6502::Op CPU6502::ops[256] = {
    {"BRK", kAddrImp},     // $00
    {"ORA", kAddrIndX},    // $01
    {"---", kAddrNone},    // $02
    {"---", kAddrNone},    // $03
    {"---", kAddrNone},    // $04
    {"ORA", kAddrZp},      // $05
    {"ASL", kAddrZp},      // $06
    {"---", kAddrNone},    // $07
    {"PHP", kAddrImp},     // $08
    {"ORA", kAddrImm},     // $09
    {"ASL", kAddrAcc},     // $0A
    {"---", kAddrNone},    // $0B
    {"---", kAddrNone},    // $0C
    {"ORA", kAddrAbs},     // $0D
    {"ASL", kAddrAbs},     // $0E
    {"---", kAddrNone},    // $0F
    {"BPL", kAddrRel},     // $10
    {"ORA", kAddrIndY},    // $11
    {"---", kAddrNone},    // $12
    {"---", kAddrNone},    // $13
    {"---", kAddrNone},    // $14
    {"ORA", kAddrZpX},     // $15
    {"ASL", kAddrZpX},     // $16
    {"---", kAddrNone},    // $17
    {"CLC", kAddrImp},     // $18
    {"ORA", kAddrAbsY},    // $19
    {"---", kAddrNone},    // $1A
    {"---", kAddrNone},    // $1B
    {"---", kAddrNone},    // $1C
    {"ORA", kAddrAbsX},    // $1D
    {"ASL", kAddrAbsX},    // $1E
    {"---", kAddrNone},    // $1F
    {"JSR", kAddrAbs},     // $20
    {"AND", kAddrIndX},    // $21
    {"---", kAddrNone},    // $22
    {"---", kAddrNone},    // $23
    {"BIT", kAddrZp},      // $24
    {"AND", kAddrZp},      // $25
    {"ROL", kAddrZp},      // $26
    {"---", kAddrNone},    // $27
    {"PLP", kAddrImp},     // $28
    {"AND", kAddrImm},     // $29
    {"ROL", kAddrAcc},     // $2A
    {"---", kAddrNone},    // $2B
    {"BIT", kAddrAbs},     // $2C
    {"AND", kAddrAbs},     // $2D
    {"ROL", kAddrAbs},     // $2E
    {"---", kAddrNone},    // $2F
    {"BMI", kAddrRel},     // $30
    {"AND", kAddrIndY},    // $31
    {"---", kAddrNone},    // $32
    {"---", kAddrNone},    // $33
    {"---", kAddrNone},    // $34
    {"AND", kAddrZpX},     // $35
    {"ROL", kAddrZpX},     // $36
    {"---", kAddrNone},    // $37
    {"SEC", kAddrImp},     // $38
    {"AND", kAddrAbsY},    // $39
    {"---", kAddrNone},    // $3A
    {"---", kAddrNone},    // $3B
    {"---", kAddrNone},    // $3C
    {"AND", kAddrAbsX},    // $3D
    {"ROL", kAddrAbsX},    // $3E
    {"---", kAddrNone},    // $3F
    {"RTI", kAddrImp},     // $40
    {"EOR", kAddrIndX},    // $41
    {"---", kAddrNone},    // $42
    {"---", kAddrNone},    // $43
    {"---", kAddrNone},    // $44
    {"EOR", kAddrZp},      // $45
    {"LSR", kAddrZp},      // $46
    {"---", kAddrNone},    // $47
    {"PHA", kAddrImp},     // $48
    {"EOR", kAddrImm},     // $49
    {"LSR", kAddrAcc},     // $4A
    {"---", kAddrNone},    // $4B
    {"JMP", kAddrAbs},     // $4C
    {"EOR", kAddrAbs},     // $4D
    {"LSR", kAddrAbs},     // $4E
    {"---", kAddrNone},    // $4F
    {"BVC", kAddrRel},     // $50
    {"EOR", kAddrIndY},    // $51
    {"---", kAddrNone},    // $52
    {"---", kAddrNone},    // $53
    {"---", kAddrNone},    // $54
    {"EOR", kAddrZpX},     // $55
    {"LSR", kAddrZpX},     // $56
    {"---", kAddrNone},    // $57
    {"CLI", kAddrImp},     // $58
    {"EOR", kAddrAbsY},    // $59
    {"---", kAddrNone},    // $5A
    {"---", kAddrNone},    // $5B
    {"---", kAddrNone},    // $5C
    {"EOR", kAddrAbsX},    // $5D
    {"LSR", kAddrAbsX},    // $5E
    {"---", kAddrNone},    // $5F
    {"RTS", kAddrImp},     // $60
    {"ADC", kAddrIndX},    // $61
    {"---", kAddrNone},    // $62
    {"---", kAddrNone},    // $63
    {"---", kAddrNone},    // $64
    {"ADC", kAddrZp},      // $65
    {"ROR", kAddrZp},      // $66
    {"---", kAddrNone},    // $67
    {"PLA", kAddrImp},     // $68
    {"ADC", kAddrImm},     // $69
    {"ROR", kAddrAcc},     // $6A
    {"---", kAddrNone},    // $6B
    {"JMP", kAddrInd},     // $6C
    {"ADC", kAddrAbs},     // $6D
    {"ROR", kAddrAbs},     // $6E
    {"---", kAddrNone},    // $6F
    {"BVS", kAddrRel},     // $70
    {"ADC", kAddrIndY},    // $71
    {"---", kAddrNone},    // $72
    {"---", kAddrNone},    // $73
    {"---", kAddrNone},    // $74
    {"ADC", kAddrZpX},     // $75
    {"ROR", kAddrZpX},     // $76
    {"---", kAddrNone},    // $77
    {"SEI", kAddrImp},     // $78
    {"ADC", kAddrAbsY},    // $79
    {"---", kAddrNone},    // $7A
    {"---", kAddrNone},    // $7B
    {"---", kAddrNone},    // $7C
    {"ADC", kAddrAbsX},    // $7D
    {"ROR", kAddrAbsX},    // $7E
    {"---", kAddrNone},    // $7F
    {"---", kAddrNone},    // $80
    {"STA", kAddrIndX},    // $81
    {"---", kAddrNone},    // $82
    {"---", kAddrNone},    // $83
    {"STY", kAddrZp},      // $84
    {"STA", kAddrZp},      // $85
    {"STX", kAddrZp},      // $86
    {"---", kAddrNone},    // $87
    {"DEY", kAddrImp},     // $88
    {"---", kAddrNone},    // $89
    {"TXA", kAddrImp},     // $8A
    {"---", kAddrNone},    // $8B
    {"STY", kAddrAbs},     // $8C
    {"STA", kAddrAbs},     // $8D
    {"STX", kAddrAbs},     // $8E
    {"---", kAddrNone},    // $8F
    {"BCC", kAddrRel},     // $90
    {"STA", kAddrIndY},    // $91
    {"---", kAddrNone},    // $92
    {"---", kAddrNone},    // $93
    {"STY", kAddrZpX},     // $94
    {"STA", kAddrZpX},     // $95
    {"STX", kAddrZpY},     // $96
    {"---", kAddrNone},    // $97
    {"TYA", kAddrImp},     // $98
    {"STA", kAddrAbsY},    // $99
    {"TXS", kAddrImp},     // $9A
    {"---", kAddrNone},    // $9B
    {"---", kAddrNone},    // $9C
    {"STA", kAddrAbsX},    // $9D
    {"---", kAddrNone},    // $9E
    {"---", kAddrNone},    // $9F
    {"LDY", kAddrImm},     // $A0
    {"LDA", kAddrIndX},    // $A1
    {"LDX", kAddrImm},     // $A2
    {"---", kAddrNone},    // $A3
    {"LDY", kAddrZp},      // $A4
    {"LDA", kAddrZp},      // $A5
    {"LDX", kAddrZp},      // $A6
    {"---", kAddrNone},    // $A7
    {"TAY", kAddrImp},     // $A8
    {"LDA", kAddrImm},     // $A9
    {"TAX", kAddrImp},     // $AA
    {"---", kAddrNone},    // $AB
    {"LDY", kAddrAbs},     // $AC
    {"LDA", kAddrAbs},     // $AD
    {"LDX", kAddrAbs},     // $AE
    {"---", kAddrNone},    // $AF
    {"BCS", kAddrRel},     // $B0
    {"LDA", kAddrIndY},    // $B1
    {"---", kAddrNone},    // $B2
    {"---", kAddrNone},    // $B3
    {"LDY", kAddrZpX},     // $B4
    {"LDA", kAddrZpX},     // $B5
    {"LDX", kAddrZpY},     // $B6
    {"---", kAddrNone},    // $B7
    {"CLV", kAddrImp},     // $B8
    {"LDA", kAddrAbsY},    // $B9
    {"TSX", kAddrImp},     // $BA
    {"---", kAddrNone},    // $BB
    {"LDY", kAddrAbsX},    // $BC
    {"LDA", kAddrAbsX},    // $BD
    {"LDX", kAddrAbsY},    // $BE
    {"---", kAddrNone},    // $BF
    {"CPY", kAddrImm},     // $C0
    {"CMP", kAddrIndX},    // $C1
    {"---", kAddrNone},    // $C2
    {"---", kAddrNone},    // $C3
    {"CPY", kAddrZp},      // $C4
    {"CMP", kAddrZp},      // $C5
    {"DEC", kAddrZp},      // $C6
    {"---", kAddrNone},    // $C7
    {"INY", kAddrImp},     // $C8
    {"CMP", kAddrImm},     // $C9
    {"DEX", kAddrImp},     // $CA
    {"---", kAddrNone},    // $CB
    {"CPY", kAddrAbs},     // $CC
    {"CMP", kAddrAbs},     // $CD
    {"DEC", kAddrAbs},     // $CE
    {"---", kAddrNone},    // $CF
    {"BNE", kAddrRel},     // $D0
    {"CMP", kAddrIndY},    // $D1
    {"---", kAddrNone},    // $D2
    {"---", kAddrNone},    // $D3
    {"---", kAddrNone},    // $D4
    {"CMP", kAddrZpX},     // $D5
    {"DEC", kAddrZpX},     // $D6
    {"---", kAddrNone},    // $D7
    {"CLD", kAddrImp},     // $D8
    {"CMP", kAddrAbsY},    // $D9
    {"---", kAddrNone},    // $DA
    {"---", kAddrNone},    // $DB
    {"---", kAddrNone},    // $DC
    {"CMP", kAddrAbsX},    // $DD
    {"DEC", kAddrAbsX},    // $DE
    {"---", kAddrNone},    // $DF
    {"CPX", kAddrImm},     // $E0
    {"SBC", kAddrIndX},    // $E1
    {"---", kAddrNone},    // $E2
    {"---", kAddrNone},    // $E3
    {"CPX", kAddrZp},      // $E4
    {"SBC", kAddrZp},      // $E5
    {"INC", kAddrZp},      // $E6
    {"---", kAddrNone},    // $E7
    {"INX", kAddrImp},     // $E8
    {"SBC", kAddrImm},     // $E9
    {"NOP", kAddrImp},     // $EA
    {"---", kAddrNone},    // $EB
    {"CPX", kAddrAbs},     // $EC
    {"SBC", kAddrAbs},     // $ED
    {"INC", kAddrAbs},     // $EE
    {"---", kAddrNone},    // $EF
    {"BEQ", kAddrRel},     // $F0
    {"SBC", kAddrIndY},    // $F1
    {"---", kAddrNone},    // $F2
    {"---", kAddrNone},    // $F3
    {"---", kAddrNone},    // $F4
    {"SBC", kAddrZpX},     // $F5
    {"INC", kAddrZpX},     // $F6
    {"---", kAddrNone},    // $F7
    {"SED", kAddrImp},     // $F8
    {"SBC", kAddrAbsY},    // $F9
    {"---", kAddrNone},    // $FA
    {"---", kAddrNone},    // $FB
    {"---", kAddrNone},    // $FC
    {"SBC", kAddrAbsX},    // $FD
    {"INC", kAddrAbsX},    // $FE
    {"---", kAddrNone},    // $FF
};

namespace {

constexpr int kModeLength[kAddrModeCount] = {1, 1, 2, 2, 2, 2, 3, 3, 3, 1, 2, 2, 2, 3};

}  // namespace

int CPU6502::instrLength(int mode) {
  return mode >= 0 && mode < kAddrModeCount ? kModeLength[mode] : 1;
}

void CPU6502::reset() {
  a = 0;
  x = 0;
  y = 0;
  sp = kCpuStartSp;
  p = kCpuStartP;
}

void CPU6502::adc(uint8_t m) {
  const int c = p & kFlagC;
  uint8_t keep = p & (kFlagI | kFlagD | kFlagB | kFlagU);
  if (!(p & kFlagD)) {
    int r = a + m + c;
    uint8_t res = static_cast<uint8_t>(r);
    uint8_t f = keep;
    if (r > 0xFF) f |= kFlagC;
    if (res == 0) f |= kFlagZ;
    f |= res & kFlagN;
    if ((a ^ r) & ~(a ^ m) & 0x80) f |= kFlagV;
    a = res;
    p = f;
    return;
  }
  // NMOS decimal mode: N and V come from the high digit before its decimal
  // adjustment, Z from the binary sum.
  int lo = (a & 0x0F) + (m & 0x0F) + c;
  int hi = (a >> 4) + (m >> 4);
  if (lo > 9) {
    lo += 6;
    hi += 1;
  }
  uint8_t f = keep;
  if (((a + m + c) & 0xFF) == 0) f |= kFlagZ;
  if (hi & 0x08) f |= kFlagN;
  if ((a ^ (hi << 4)) & ~(a ^ m) & 0x80) f |= kFlagV;
  if (hi > 9) {
    hi += 6;
    f |= kFlagC;
  }
  a = static_cast<uint8_t>((hi << 4) | (lo & 0x0F));
  p = f;
}

void CPU6502::sbc(uint8_t m) {
  if (!(p & kFlagD)) {
    adc(static_cast<uint8_t>(m ^ 0xFF));
    return;
  }
  // NMOS decimal mode: the flags all come from the binary difference.
  const int borrow = 1 - (p & kFlagC);
  int t = a - m - borrow;
  int lo = (a & 0x0F) - (m & 0x0F) - borrow;
  int hi = (a >> 4) - (m >> 4);
  if (lo < 0) {
    lo -= 6;
    hi -= 1;
  }
  if (hi < 0) hi -= 6;
  uint8_t f = p & (kFlagI | kFlagD | kFlagB | kFlagU);
  if (t >= 0) f |= kFlagC;
  if ((t & 0xFF) == 0) f |= kFlagZ;
  f |= t & kFlagN;
  if ((a ^ m) & (a ^ t) & 0x80) f |= kFlagV;
  a = static_cast<uint8_t>((hi << 4) | (lo & 0x0F));
  p = f;
}

void CPU6502::compare(uint8_t reg, uint8_t m) {
  uint8_t r = static_cast<uint8_t>(reg - m);
  uint8_t f = p & ~(kFlagN | kFlagZ | kFlagC);
  f |= r & kFlagN;
  if (reg >= m) {
    f |= kFlagC;
    if (r == 0) f |= kFlagZ;
  }
  p = f;
}

void CPU6502::step() {
  uint8_t* const ram = machine.ram.data();
  const uint16_t pc0 = pc;
  const uint8_t op = ram[pc0];
// Operand bytes, read only by the instructions that use them: reading them
// up front for every opcode costs registers and time on the common path.
#define OP1 ram[static_cast<uint16_t>(pc0 + 1)]
#define OPW static_cast<uint16_t>(OP1 | (ram[static_cast<uint16_t>(pc0 + 2)] << 8))
  // Pointers of the indirect zero-page modes wrap inside page 0.
  auto zpWord = [ram](uint8_t z) -> uint16_t {
    return static_cast<uint16_t>(ram[z] | (ram[static_cast<uint8_t>(z + 1)] << 8));
  };

// Effective addresses, evaluated only where an instruction uses them.
#define EA_IMM static_cast<uint16_t>(pc0 + 1)
#define EA_ZP static_cast<uint16_t>(OP1)
#define EA_ZPX static_cast<uint16_t>(static_cast<uint8_t>(OP1 + x))
#define EA_ZPY static_cast<uint16_t>(static_cast<uint8_t>(OP1 + y))
#define EA_ABS OPW
#define EA_ABSX static_cast<uint16_t>(OPW + x)
#define EA_ABSY static_cast<uint16_t>(OPW + y)
#define EA_INDX zpWord(static_cast<uint8_t>(OP1 + x))
#define EA_INDY static_cast<uint16_t>(zpWord(OP1) + y)

// Read instruction: m is the operand byte.
#define RD(opc, len, ea, body)               \
  case opc: {                                \
    pc = static_cast<uint16_t>(pc0 + (len)); \
    const uint8_t m = rd(ea);                \
    body;                                    \
  } break;
// Read-modify-write instruction: body changes m, which is written back.
#define RMW(opc, len, ea, body)              \
  case opc: {                                \
    pc = static_cast<uint16_t>(pc0 + (len)); \
    const uint16_t e = (ea);                 \
    uint8_t m = rd(e);                       \
    body;                                    \
    wr(e, m);                                \
  } break;
#define ST(opc, len, ea, reg)                \
  case opc:                                  \
    pc = static_cast<uint16_t>(pc0 + (len)); \
    wr(ea, reg);                             \
    break;
#define IMP(opc, body)                   \
  case opc:                              \
    pc = static_cast<uint16_t>(pc0 + 1); \
    body;                                \
    break;
// A real conditional jump rather than a conditional move: predicted, it
// lets the next instruction start before the flags are known. The empty
// asm statement keeps the compiler from turning the branch into a cmov.
#define BRANCH(opc, cond)                                                 \
  case opc:                                                               \
    if (cond) {                                                           \
      asm("");                                                            \
      pc = static_cast<uint16_t>(pc0 + 2 + static_cast<int8_t>(OP1));      \
    } else {                                                              \
      pc = static_cast<uint16_t>(pc0 + 2);                                \
    }                                                                     \
    break;

// The eight modes of the ALU group (ORA AND EOR ADC LDA CMP SBC) at their
// fixed offsets from the group's base opcode.
#define GROUP1(base, body)                   \
  RD(base + 0x01, 2, EA_INDX, body)          \
  RD(base + 0x05, 2, EA_ZP, body)            \
  RD(base + 0x09, 2, EA_IMM, body)           \
  RD(base + 0x0D, 3, EA_ABS, body)           \
  RD(base + 0x11, 2, EA_INDY, body)          \
  RD(base + 0x15, 2, EA_ZPX, body)           \
  RD(base + 0x19, 3, EA_ABSY, body)          \
  RD(base + 0x1D, 3, EA_ABSX, body)
// The shifts and rotates: accumulator, zp, abs, zp,X and abs,X.
#define SHIFT(base, body)                    \
  case base + 0x0A: {                        \
    pc = static_cast<uint16_t>(pc0 + 1);     \
    uint8_t m = a;                           \
    body;                                    \
    a = m;                                   \
  } break;                                   \
  RMW(base + 0x06, 2, EA_ZP, body)           \
  RMW(base + 0x0E, 3, EA_ABS, body)          \
  RMW(base + 0x16, 2, EA_ZPX, body)          \
  RMW(base + 0x1E, 3, EA_ABSX, body)

  switch (op) {
    GROUP1(0x00, a |= m; setNZ(a))
    GROUP1(0x20, a &= m; setNZ(a))
    GROUP1(0x40, a ^= m; setNZ(a))
    GROUP1(0x60, adc(m))
    GROUP1(0xA0, a = m; setNZ(a))
    GROUP1(0xC0, compare(a, m))
    GROUP1(0xE0, sbc(m))

    ST(0x81, 2, EA_INDX, a)
    ST(0x85, 2, EA_ZP, a)
    ST(0x8D, 3, EA_ABS, a)
    ST(0x91, 2, EA_INDY, a)
    ST(0x95, 2, EA_ZPX, a)
    ST(0x99, 3, EA_ABSY, a)
    ST(0x9D, 3, EA_ABSX, a)
    ST(0x86, 2, EA_ZP, x)
    ST(0x8E, 3, EA_ABS, x)
    ST(0x96, 2, EA_ZPY, x)
    ST(0x84, 2, EA_ZP, y)
    ST(0x8C, 3, EA_ABS, y)
    ST(0x94, 2, EA_ZPX, y)

    RD(0xA2, 2, EA_IMM, x = m; setNZ(x))
    RD(0xA6, 2, EA_ZP, x = m; setNZ(x))
    RD(0xAE, 3, EA_ABS, x = m; setNZ(x))
    RD(0xB6, 2, EA_ZPY, x = m; setNZ(x))
    RD(0xBE, 3, EA_ABSY, x = m; setNZ(x))
    RD(0xA0, 2, EA_IMM, y = m; setNZ(y))
    RD(0xA4, 2, EA_ZP, y = m; setNZ(y))
    RD(0xAC, 3, EA_ABS, y = m; setNZ(y))
    RD(0xB4, 2, EA_ZPX, y = m; setNZ(y))
    RD(0xBC, 3, EA_ABSX, y = m; setNZ(y))

    RD(0xE0, 2, EA_IMM, compare(x, m))
    RD(0xE4, 2, EA_ZP, compare(x, m))
    RD(0xEC, 3, EA_ABS, compare(x, m))
    RD(0xC0, 2, EA_IMM, compare(y, m))
    RD(0xC4, 2, EA_ZP, compare(y, m))
    RD(0xCC, 3, EA_ABS, compare(y, m))

#define BIT_BODY                                                                          \
  p = static_cast<uint8_t>((p & ~(kFlagN | kFlagV | kFlagZ)) | (m & (kFlagN | kFlagV)) | \
                           ((m & a) == 0 ? kFlagZ : 0))
    RD(0x24, 2, EA_ZP, BIT_BODY)
    RD(0x2C, 3, EA_ABS, BIT_BODY)
#undef BIT_BODY

    RMW(0xC6, 2, EA_ZP, --m; setNZ(m))
    RMW(0xCE, 3, EA_ABS, --m; setNZ(m))
    RMW(0xD6, 2, EA_ZPX, --m; setNZ(m))
    RMW(0xDE, 3, EA_ABSX, --m; setNZ(m))
    RMW(0xE6, 2, EA_ZP, ++m; setNZ(m))
    RMW(0xEE, 3, EA_ABS, ++m; setNZ(m))
    RMW(0xF6, 2, EA_ZPX, ++m; setNZ(m))
    RMW(0xFE, 3, EA_ABSX, ++m; setNZ(m))

#define SET_C(cond) p = static_cast<uint8_t>((p & ~kFlagC) | ((cond) ? kFlagC : 0))
    SHIFT(0x00, SET_C(m & 0x80); m = static_cast<uint8_t>(m << 1); setNZ(m))
    SHIFT(0x40, SET_C(m & 0x01); m = static_cast<uint8_t>(m >> 1); setNZ(m))
    SHIFT(0x20, const uint8_t cin = p & kFlagC; SET_C(m & 0x80);
          m = static_cast<uint8_t>((m << 1) | cin); setNZ(m))
    SHIFT(0x60, const uint8_t cin = p & kFlagC; SET_C(m & 0x01);
          m = static_cast<uint8_t>((m >> 1) | (cin << 7)); setNZ(m))

    BRANCH(0x10, !(p & kFlagN))
    BRANCH(0x30, p & kFlagN)
    BRANCH(0x50, !(p & kFlagV))
    BRANCH(0x70, p & kFlagV)
    BRANCH(0x90, !(p & kFlagC))
    BRANCH(0xB0, p & kFlagC)
    BRANCH(0xD0, !(p & kFlagZ))
    BRANCH(0xF0, p & kFlagZ)

    case 0x4C:
      pc = OPW;
      break;
    case 0x6C: {
      // The pointer's high byte comes from the same page (no carry into the
      // high byte of the pointer).
      const uint16_t t = OPW;
      pc = static_cast<uint16_t>(ram[t] | (ram[(t & 0xFF00) | ((t + 1) & 0xFF)] << 8));
    } break;
    case 0x20: {
      // The target is read before the pushes, which may overwrite it.
      const uint16_t target = OPW;
      const uint16_t ret = static_cast<uint16_t>(pc0 + 2);
      push(static_cast<uint8_t>(ret >> 8));
      push(static_cast<uint8_t>(ret));
      pc = target;
    } break;
    case 0x60:
      // An RTS with fewer than two bytes on the stack ends the program.
      if (sp > 0xFD) {
        stopped = true;
        stopReason = kStopTopRts;
        break;
      } else {
        const uint8_t lo = pull();
        const uint8_t hi = pull();
        pc = static_cast<uint16_t>((lo | (hi << 8)) + 1);
      }
      break;
    case 0x40: {
      p = static_cast<uint8_t>((pull() & ~(kFlagB | kFlagU)) | kFlagU);
      const uint8_t lo = pull();
      const uint8_t hi = pull();
      pc = static_cast<uint16_t>(lo | (hi << 8));
    } break;
    case 0x00:
      stopped = true;
      stopReason = kStopBrk;
      break;

    IMP(0x48, push(a))
    IMP(0x08, push(p | kFlagB | kFlagU))
    IMP(0x68, a = pull(); setNZ(a))
    IMP(0x28, p = static_cast<uint8_t>((pull() & ~(kFlagB | kFlagU)) | kFlagU))
    IMP(0xAA, x = a; setNZ(x))
    IMP(0xA8, y = a; setNZ(y))
    IMP(0x8A, a = x; setNZ(a))
    IMP(0x98, a = y; setNZ(a))
    IMP(0xBA, x = sp; setNZ(x))
    IMP(0x9A, sp = x)
    IMP(0xE8, ++x; setNZ(x))
    IMP(0xC8, ++y; setNZ(y))
    IMP(0xCA, --x; setNZ(x))
    IMP(0x88, --y; setNZ(y))
    IMP(0x18, p &= ~kFlagC)
    IMP(0x58, p &= ~kFlagI)
    IMP(0xD8, p &= ~kFlagD)
    IMP(0xB8, p &= ~kFlagV)
    IMP(0x38, p |= kFlagC)
    IMP(0x78, p |= kFlagI)
    IMP(0xF8, p |= kFlagD)
    IMP(0xEA, (void)0)

    default:
      stopped = true;
      stopReason = kStopIllegal;
      break;
  }
#undef SET_C
#undef SHIFT
#undef GROUP1
#undef BRANCH
#undef IMP
#undef ST
#undef RMW
#undef RD
#undef EA_IMM
#undef EA_ZP
#undef EA_ZPX
#undef EA_ZPY
#undef EA_ABS
#undef EA_ABSX
#undef EA_ABSY
#undef EA_INDX
#undef EA_INDY
#undef OPW
#undef OP1
}

std::string CPU6502::disassembleInstr(uint16_t addr, int* length) const {
  const auto& ram = machine.ram;
  const Op& o = ops[ram[addr]];
  const uint8_t b1 = ram[static_cast<uint16_t>(addr + 1)];
  const uint8_t b2 = ram[static_cast<uint16_t>(addr + 2)];
  const int word = b1 | (b2 << 8);
  char operand[16] = "";
  switch (o.mode) {
    case kAddrImm: std::snprintf(operand, sizeof operand, "#$%02X", b1); break;
    case kAddrZp: std::snprintf(operand, sizeof operand, "$%02X", b1); break;
    case kAddrZpX: std::snprintf(operand, sizeof operand, "$%02X,X", b1); break;
    case kAddrZpY: std::snprintf(operand, sizeof operand, "$%02X,Y", b1); break;
    case kAddrAbs: std::snprintf(operand, sizeof operand, "$%04X", word); break;
    case kAddrAbsX: std::snprintf(operand, sizeof operand, "$%04X,X", word); break;
    case kAddrAbsY: std::snprintf(operand, sizeof operand, "$%04X,Y", word); break;
    case kAddrRel:
      std::snprintf(operand, sizeof operand, "$%04X",
                    static_cast<uint16_t>(addr + 2 + static_cast<int8_t>(b1)));
      break;
    case kAddrIndX: std::snprintf(operand, sizeof operand, "($%02X,X)", b1); break;
    case kAddrIndY: std::snprintf(operand, sizeof operand, "($%02X),Y", b1); break;
    case kAddrInd: std::snprintf(operand, sizeof operand, "($%04X)", word); break;
    default: break;
  }
  if (length) *length = instrLength(o.mode);
  std::string text = o.mnemonic;
  if (operand[0]) {
    text += ' ';
    text += operand;
  }
  return text;
}

std::string CPU6502::disassemble(uint16_t& addr) const {
  // Address, the instruction's bytes, then the instruction text from column 15.
  constexpr size_t kTextColumn = 15;
  int length = 1;
  std::string text = disassembleInstr(addr, &length);
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X ", addr);
  std::string line = buf;
  for (int i = 0; i < length; ++i) {
    std::snprintf(buf, sizeof buf, "%02X ", machine.ram[static_cast<uint16_t>(addr + i)]);
    line += buf;
  }
  line.resize(kTextColumn, ' ');
  line += text;
  addr = static_cast<uint16_t>(addr + length);
  return line;
}

uint16_t CPU6502::backStep(uint16_t addr) const {
  const uint16_t three = static_cast<uint16_t>(addr - 3);
  const uint16_t two = static_cast<uint16_t>(addr - 2);
  if (instrLength(ops[machine.ram[three]].mode) == 3) return three;
  const int mode2 = ops[machine.ram[two]].mode;
  if (instrLength(mode2) == 2) return two;
  return static_cast<uint16_t>(addr - 1);
}

std::string CPU6502::flagString() const {
  std::string s(8, '0');
  for (int bit = 7; bit >= 0; --bit) {
    const bool set = p & (1 << bit);
    s[7 - bit] = set ? '1' : (bit == 5 ? '-' : '0');
  }
  return s;
}

void CPU6502::toggleFlag(int bit) {
  if (bit >= 0 && bit <= 7) p = static_cast<uint8_t>(p ^ (1 << bit));
}
