// Tests of the source assembler: passes, labels and variables, forward
// references, expressions, data directives, every message with its line,
// the summary texts, placement after a failed statement, and the bytes
// against 64tass for a source both accept.
#include "cpu/Assembler.h"
#include "tests/cpu/TassRunner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Build {
  Machine machine;
  Assembler as{machine};
  bool ok = false;

  explicit Build(const std::string& source) {
    machine.ram.fill(0xEE);
    ok = as.assemble(source);
  }
  // Bytes from addr, as "A9 01 60".
  std::string bytes(uint16_t addr, int count) const {
    std::string s;
    char buf[4];
    for (int i = 0; i < count; ++i) {
      std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", machine.ram[uint16_t(addr + i)]);
      s += buf;
    }
    return s;
  }
  // Messages as "line: text" (errors) or "text" (summary lines).
  std::vector<std::string> messages() const {
    std::vector<std::string> out;
    for (const auto& m : as.messages) {
      EXPECT_EQ(m.isError, m.line > 0);
      out.push_back(m.isError ? std::to_string(m.line) + ": " + m.text : m.text);
    }
    return out;
  }
  bool memoryUntouched() const {
    for (uint8_t b : machine.ram)
      if (b != 0xEE) return false;
    return true;
  }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST(Assembler, SummaryMessages) {
  Build empty("");
  EXPECT_TRUE(empty.ok);
  EXPECT_EQ(empty.messages(), (Lines{"Compiled OK!", "Final address: $C000"}));
  EXPECT_EQ(empty.as.codeStart, -1);

  Build code("; data first, then code\n.BYTE 1,2\n*=$1000\nstart lda #1\n rts\n");
  EXPECT_TRUE(code.ok);
  EXPECT_EQ(code.messages(), (Lines{"Compiled OK!", "Code start address: $1000", "Final address: $1003"}));
  EXPECT_EQ(code.bytes(0xC000, 2), "01 02");
  EXPECT_EQ(code.bytes(0x1000, 3), "A9 01 60");
  EXPECT_EQ(code.as.symbols.at("START"), 0x1000);

  Build crlf("\tLDA #1\r\n\tRTS\r\n");
  EXPECT_TRUE(crlf.ok);
  EXPECT_EQ(crlf.bytes(0xC000, 3), "A9 01 60");
}

TEST(Assembler, ForwardReferencesAndZeroPage) {
  Build r(
      "        LDX #5\n"
      "LOOP    DEX\n"
      "        BNE LOOP\n"
      "        BEQ DONE\n"
      "        LDA LATER\n"
      "LATER = $10\n"
      "        LDA LATER\n"
      "        LDA $00FF\n"
      "        LDA $05\n"
      "        STA $0005,X\n"
      "        LDX 3,Y\n"
      "        LDA LATER,Y\n"
      "DONE    RTS\n");
  ASSERT_TRUE(r.ok) << r.messages()[0];
  EXPECT_EQ(r.bytes(0xC000, 27),
            "A2 05 CA D0 FD F0 10 AD 10 00 A5 10 A5 FF A5 05 95 05 B6 03 B9 10 00 60 EE EE EE");

  Build ptr("        LDA (PTR),Y\nPTR = $FB\n");
  EXPECT_FALSE(ptr.ok);
  EXPECT_EQ(ptr.messages(), (Lines{"1: Bad zero page address:         LDA (PTR),Y"}));
  EXPECT_TRUE(ptr.memoryUntouched());

  Build stx(" STX later,Y ; no absolute,Y form\nlater = $10\n");
  EXPECT_EQ(stx.messages(), (Lines{"1: Illegal addressing mode:  STX later,Y ; no absolute,Y form"}));
}

TEST(Assembler, CaseQuotesAndComments) {
  Build r(
      " LDA #'a'\n"
      " .BYTE 'a', 'A'\n"
      " .TEXT \"A;B\" ; the semicolon in quotes stays\n"
      " lda \xC2\xA4" "10\n"
      " .text \"x\"\"y\"\n");
  ASSERT_TRUE(r.ok) << r.messages()[0];
  EXPECT_EQ(r.bytes(0xC000, 14), "A9 41 61 41 41 3B 42 A5 10 78 22 22 79 EE");

  Build single(" LDA #';'\n");
  EXPECT_EQ(single.messages(), (Lines{"1: Bad value: '"}));
}

TEST(Assembler, LabelsVariablesAndOrigin) {
  Build r(
      "start: rts\n"
      "_x.y\n"
      "Loop\tNOP\n"
      "COLOR = 14\n"
      "BASE=$0400\n"
      "        *= $1000\n"
      "        LDA #COLOR\n"
      "        STA BASE+1\n"
      "        *=*+2\n"
      "HERE    JMP HERE\n");
  ASSERT_TRUE(r.ok) << r.messages()[0];
  EXPECT_EQ(r.as.symbols.at("START"), 0xC000);
  EXPECT_EQ(r.as.symbols.at("_X.Y"), 0xC001);
  EXPECT_EQ(r.as.symbols.at("LOOP"), 0xC001);
  EXPECT_EQ(r.as.symbols.at("COLOR"), 14);
  EXPECT_EQ(r.as.symbols.at("HERE"), 0x1007);
  EXPECT_EQ(r.bytes(0xC000, 2), "60 EA");
  EXPECT_EQ(r.bytes(0x1000, 10), "A9 0E 8D 01 04 EE EE 4C 07 10");
  EXPECT_EQ(r.as.codeStart, 0xC000);
  EXPECT_EQ(r.as.finalAddr, 0x100A);

  Build fwdVar("X = Y + 1\nY = 2\n NOP\n");
  EXPECT_FALSE(fwdVar.ok);
  EXPECT_EQ(fwdVar.messages(), (Lines{"1: Variable uses an unknown symbol: X"}));
  EXPECT_TRUE(fwdVar.memoryUntouched());

  Build origin("*=LATER\nLATER NOP\n*$1000\n");
  EXPECT_EQ(origin.messages(), (Lines{"1: Bad address", "3: Syntax error"}));

  Build bad("1abc nop\n  nop\n");
  EXPECT_EQ(bad.messages(), (Lines{"1: Bad label: 1abc"}));
}

TEST(Assembler, DataDirectives) {
  Build r(
      "LBL .WORD $1234, LBL+2\n"
      " .WORDHL $1234\n"
      " .BYTE <$1234, >$1234, %101, 10,, 'z'\n"
      " .DATA 1\n"
      " .WORD <$1234\n"
      " .BYTE *-LBL\n"
      " .byte >LATER\n"
      "LATER\n");
  ASSERT_TRUE(r.ok) << r.messages()[0];
  EXPECT_EQ(r.bytes(0xC000, 17), "34 12 02 C0 12 34 34 12 05 0A 7A 01 34 00 0E C0 EE");
  EXPECT_EQ(r.as.codeStart, -1);
  EXPECT_EQ(r.messages(), (Lines{"Compiled OK!", "Final address: $C010"}));

  Build range(" .BYTE 255, 256\n");
  EXPECT_EQ(range.messages(), (Lines{"1: Byte value out of range: 256"}));
  EXPECT_TRUE(range.memoryUntouched());
}

TEST(Assembler, ErrorMessagesWithLineNumbers) {
  Build r(
      "A1 NOP\n"
      "A1 NOP\n"
      "lbl foo\n"
      " .Foo 1\n"
      " .BYTE\n"
      " .BYTE ,,\n"
      " .TEXT \"abc\n"
      " LDA ($10\n"
      " LDA #$100\n"
      "X =\n"
      "V = 1\n"
      "V = 2\n"
      " LDA #BAD+\n"
      " .BYTE 1+\n"
      " LDA 1/2\n"
      " STA #1\n"
      "XYZ $10\n");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.messages(), (Lines{
                              "2: Duplicate label: A1",
                              "3: Unknown mnemonic: foo",
                              "4: Unknown directive .Foo",
                              "5: Missing data",
                              "6: Missing data",
                              "7: Syntax error in .text",
                              "8: Missing )",
                              "9: Immediate value out of range",
                              "10: Bad value for X",
                              "12: Duplicate variable: V",
                              "13: Bad value: BAD+",
                              "14: Bad value: 1+",
                              "15: Bad value: 1/2",
                              "16: Illegal addressing mode:  STA #1",
                              "17: Unknown mnemonic: $10",
                          }));
  EXPECT_TRUE(r.memoryUntouched());

  // Second-pass failures: an undefined symbol and a branch too far.
  Build pass2(" JMP NOWHERE\n");
  EXPECT_EQ(pass2.messages(), (Lines{"1: Unknown symbol or bad value: NOWHERE"}));
}

// A statement that fails in the second pass keeps its first-pass size, so
// every later statement still lands where its labels point.
TEST(Assembler, FailedStatementKeepsLaterAddresses) {
  std::string source =
      "        BNE FAR ; too far\n"
      "        LDA #1\n"
      "        JMP NEXT\n"
      "NEXT    LDX #2\n"
      "        .BYTE AFTER\n"
      "AFTER   LDY #3\n";
  for (int i = 0; i < 130; ++i) source += "        NOP\n";
  source += "FAR     RTS\n";
  Build r(source);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.messages(), (Lines{"1: Branch out of range:         BNE FAR ; too far",
                                 "5: Byte value out of range: AFTER"}));
  EXPECT_EQ(r.bytes(0xC000, 2), "EE EE");
  EXPECT_EQ(r.bytes(0xC002, 5), "A9 01 4C 07 C0");
  EXPECT_EQ(r.bytes(0xC007, 2), "A2 02");
  EXPECT_EQ(r.as.symbols.at("AFTER"), 0xC00A);
  EXPECT_EQ(r.bytes(0xC00A, 2), "A0 03");
  EXPECT_EQ(r.bytes(0xC00C + 130, 1), "60");
  EXPECT_EQ(r.as.finalAddr, 0xC00C + 131);
}

TEST(Assembler, Expressions) {
  Machine machine;
  Assembler as(machine);
  as.symbols["FOO"] = 0x1234;
  as.symbols["A.B_C"] = 2;
  struct Case {
    const char* text;
    bool ok;
    int value;
    bool unresolved;
  };
  const Case cases[] = {
      {"1+2-3", true, 0, false},     {" foo + 1 ", true, 0x1235, false},
      {"0-1", true, 0xFFFF, false},  {"$FFFF+2", true, 1, false},
      {"%11+'A'", true, 68, false},  {"a.b_c-1", true, 1, false},
      {"*", true, 0xC000, false},    {"UNKNOWN+1", true, 0, true},
      {"$FFFFFF", true, 0xFFFF, false},
      {"", false, 0, false},         {"1+", false, 0, false},
      {"1 2", false, 0, false},      {"(1)", false, 0, false},
      {"-1", false, 0, false},       {"1*2", false, 0, false},
      {"'A", false, 0, false},       {"$", false, 0, false},
      {"12A", false, 0, false},
  };
  for (const Case& c : cases) {
    int value = -1;
    bool unresolved = false;
    as.finalPass = false;
    EXPECT_EQ(as.evalExpr(c.text, value, unresolved), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(unresolved, c.unresolved) << c.text;
      if (!c.unresolved) {
        EXPECT_EQ(value, c.value) << c.text;
      }
    }
  }
  bool unresolved = false;
  int value = 0;
  as.finalPass = true;
  EXPECT_FALSE(as.evalExpr("UNKNOWN", value, unresolved));
  EXPECT_EQ(Assembler::trim(" \t x y \r\n"), "x y");

  // "*" is the location counter as it stands, also when a statement is
  // handed over on its own; in a data list every item sees the first byte.
  as.pc = 0x1234;
  ASSERT_TRUE(as.evalExpr("*+1", value, unresolved));
  EXPECT_EQ(value, 0x1235);
  machine.ram.fill(0);
  as.pc = 0x2000;
  EXPECT_TRUE(as.line(1, " .BYTE <*, >*, <*"));
  EXPECT_TRUE(as.line(2, "here .WORD *, *"));
  EXPECT_EQ(as.pc, 0x2007);
  const uint8_t expected[] = {0x00, 0x20, 0x00, 0x03, 0x20, 0x03, 0x20};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(machine.ram[0x2000 + i], expected[i]) << i;
}

// The same source through 64tass and through our assembler gives the same
// bytes: every addressing mode, labels without colons, constants, origin,
// data directives, byte selection and + - expressions.
TEST(Assembler, MatchesTass) {
  if (!tassAvailable()) GTEST_SKIP() << "64tass is not installed; cross-check skipped";
  const std::string source =
      "ZP       = $FB\n"
      "LOW      = $04\n"
      "SCREEN   = $0400\n"
      "COLOR    = SCREEN+$D400-$0400\n"
      "         *= $C000\n"
      "START    LDA #$01\n"
      "         LDA ZP\n"
      "         LDA LOW\n"
      "         LDA ZP,X\n"
      "         LDX ZP,Y\n"
      "         STX LOW,Y\n"
      "         LDA SCREEN\n"
      "         LDA SCREEN+40,X\n"
      "         LDA SCREEN-1,Y\n"
      "         LDA (ZP,X)\n"
      "         LDA (ZP),Y\n"
      "         STA (LOW),Y\n"
      "         JMP (VECTOR)\n"
      "         ASL A\n"
      "         ROL\n"
      "         LSR ZP\n"
      "         ROR SCREEN,X\n"
      "         INC COLOR\n"
      "         DEC LOW,X\n"
      "         BIT $D011\n"
      "         CPX #<TABLE\n"
      "         CPY #>TABLE\n"
      "         LDA #>COLOR+1\n"
      "LOOP     DEX\n"
      "         BNE LOOP\n"
      "         BPL FORWARD\n"
      "         BCC *+4\n"
      "         NOP\n"
      "         NOP\n"
      "         JSR SUB\n"
      "         JMP START\n"
      "FORWARD  CLC\n"
      "         ADC TABLE+2\n"
      "         SBC TABLE-START+START,Y\n"
      "SUB      PHA\n"
      "         PLA\n"
      "         RTS\n"
      "VECTOR   .WORD START, SUB+1\n"
      "TABLE    .BYTE 1, $02, %11, <VECTOR, >VECTOR, 'a', 'Z'\n"
      "         .TEXT \"Hello, C64!\"\n"
      "         .BYTE TABLE-VECTOR\n"
      "         .WORD *\n";
  Build ours(source);
  ASSERT_TRUE(ours.ok) << ours.messages()[0];
  std::vector<uint8_t> tass;
  ASSERT_TRUE(runTass(source, "crosscheck", tass));
  const int size = ours.as.finalAddr - 0xC000;
  ASSERT_EQ(int(tass.size()), size);
  for (int i = 0; i < size; ++i)
    ASSERT_EQ(tass[i], ours.machine.ram[0xC000 + i]) << "at $" << std::hex << 0xC000 + i;
}

TEST(Assembler, StopsAtTheTopOfMemory) {
  struct Case {
    const char* source;
    bool ok;
    Lines messages;
  };
  const Case cases[] = {
      {"*=$FFFE\n.byte 1,2,3,4\n", false, {"2: Code runs past the top of memory ($FFFF)"}},
      {"*=$FFFE\nlda $1234\n", false, {"2: Code runs past the top of memory ($FFFF)"}},
      {"*=$FFFF\nnop\nnop\n", false, {"3: Code runs past the top of memory ($FFFF)"}},
      {"*=$FFFF\nbne *\n", false, {"2: Code runs past the top of memory ($FFFF)"}},
      {"*=$FFFE\n.text \"abc\"\n", false, {"2: Code runs past the top of memory ($FFFF)"}},
      {"*=$FFFD\nlda $1234\n", true, {"Compiled OK!", "Code start address: $FFFD", "Final address: $10000"}},
      {"*=$FFFF\nnop\n*=$1000\nnop\n", true, {"Compiled OK!", "Code start address: $FFFF", "Final address: $1001"}},
  };
  for (const Case& c : cases) {
    Build b(c.source);
    EXPECT_EQ(b.ok, c.ok) << c.source;
    EXPECT_EQ(b.messages(), c.messages) << c.source;
    // Nothing wraps onto the start of memory.
    EXPECT_EQ(b.bytes(0x0000, 4), "EE EE EE EE") << c.source;
  }
  Build top("*=$FFFD\nlda $1234\n");
  EXPECT_EQ(top.bytes(0xFFFD, 3), "AD 34 12");
}

TEST(Assembler, KeepsTheFirstThousandMessages) {
  std::string source;
  for (int i = 0; i < 5000; ++i) source += "1bad nop\n";
  Build b(source);
  EXPECT_FALSE(b.ok);
  ASSERT_EQ(b.as.messages.size(), kAsmMaxMessages + 1);
  EXPECT_EQ(b.as.messages[999].line, 1000);
  EXPECT_EQ(b.as.messages.back().text, "... and 4000 more errors");
  // A second run starts counting afresh.
  EXPECT_FALSE(b.as.assemble("1bad nop\n"));
  EXPECT_EQ(b.as.messages.size(), 1u);
}

// Thousands of labels, each used before or after its own line: every one
// keeps its address, names are found in either case, and a name defined
// twice is still told apart from all the others.
TEST(Assembler, ThousandsOfLabelsKeepTheirAddresses) {
  constexpr int kLabels = 3000;
  const auto target = [](int i) { return (i * 7919) % kLabels; };  // a jumbled order, forward and back
  std::string source;
  for (int i = 0; i < kLabels; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "L%d .WORD %c%d\n", i, i % 2 ? 'l' : 'L', target(i));
    source += line;
  }
  Build b(source);
  ASSERT_TRUE(b.ok) << b.messages()[0];
  EXPECT_EQ(b.as.symbols.size(), size_t{kLabels});
  for (int i = 0; i < kLabels; ++i)
    ASSERT_EQ(b.machine.ram[0xC000 + 2 * i] | b.machine.ram[0xC001 + 2 * i] << 8, 0xC000 + 2 * target(i)) << i;
  Build twice(source + "l1234 NOP\n");
  EXPECT_EQ(twice.messages(), (Lines{"3001: Duplicate label: L1234"}));
}
