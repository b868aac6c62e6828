// The Processor and Assembler windows' rules, headless: a source assembled
// here runs in the processor to a breakpoint with the expected registers;
// steps and runs take the undo steps a user expects; a frame runs a
// bounded slice; a message's line selects that line of the source.
#include "app/App.h"
#include "app/CpuWindows.h"

#include "tests/app/AppTestUtil.h"

#include <gtest/gtest.h>
#include <imgui.h>

#include <functional>
#include <string>

namespace {

class CpuWindowsTest : public ScratchConfigTest {
protected:
  CpuWindowsTest() : ScratchConfigTest("cpuwin") {}
};

// Runs frames until running ends; the frame count stays small for code
// that ends soon, and a runaway fails instead of hanging.
int runToEnd(App& app, int maxFrames = 100) {
  int frames = 0;
  while (app.processorRunning && frames < maxFrames) {
    processorAdvance(app);
    ++frames;
  }
  return frames;
}

TEST_F(CpuWindowsTest, AssembledSourceRunsToABreakpointWithTheExpectedRegisters) {
  App app;
  app.assemblerSource =
      "*=$C100\n"
      "start   LDX #$05\n"     // C100
      "        LDY #$00\n"     // C102
      "loop    INY\n"          // C104
      "        DEX\n"          // C105
      "        BNE loop\n"     // C106
      "        LDA #$42\n"     // C108
      "        SEC\n"          // C10A
      "halt    STA $0400\n"    // C10B: breakpoint
      "        BRK\n";
  const AssemblyResult r = assembleSource(app);
  ASSERT_EQ(r.start, 0xC100);
  ASSERT_TRUE(canRunAssembled(r));
  app.machine.ram[0x0400] = 0x20;

  runAssembled(app, r.start);
  EXPECT_TRUE(app.showProcessor);
  EXPECT_FALSE(app.processorRunning);  // handing over does not start running
  toggleBreakpoint(app.cpu, 0xC10B);
  processorRun(app);
  ASSERT_TRUE(app.processorRunning);
  EXPECT_EQ(runToEnd(app), 1);

  EXPECT_FALSE(app.processorRunning);
  EXPECT_FALSE(app.cpu.stopped);
  EXPECT_EQ(app.cpu.pc, 0xC10B);
  EXPECT_EQ(app.cpu.a, 0x42);
  EXPECT_EQ(app.cpu.x, 0x00);
  EXPECT_EQ(app.cpu.y, 0x05);
  EXPECT_EQ(app.cpu.p & (kFlagC | kFlagZ | kFlagN), kFlagC);
  EXPECT_EQ(app.machine.ram[0x0400], 0x20);  // halted before the store

  // Running on from the breakpoint executes it and stops at BRK.
  processorRun(app);
  runToEnd(app);
  EXPECT_EQ(app.machine.ram[0x0400], 0x42);
  EXPECT_TRUE(app.cpu.stopped);
  EXPECT_EQ(app.cpu.stopReason, kStopBrk);
}

TEST_F(CpuWindowsTest, StepsAndRunsTakeTheirUndoSteps) {
  struct Case {
    const char* name;
    std::string actions;  // s = step, r = run
    std::vector<std::string> labels;
  } cases[] = {
      {"ten steps", "ssssssssss", {"cpu step"}},
      {"step run step", "srs", {"cpu step", "cpu run", "cpu step"}},
      {"run run", "rr", {"cpu run", "cpu run"}},
  };
  for (const Case& c : cases) {
    App app;
    // NOPs ending in BRK: nothing runs on past the end of the slice.
    for (int a = 0xC000; a < 0xC040; ++a) app.machine.ram[a] = 0xEA;
    app.machine.ram[0xC040] = 0x00;
    app.cpu.breakpoints = {0xC020};
    for (char a : c.actions) {
      if (a == 's') processorStep(app);
      if (a == 'r') {
        processorRun(app);
        runToEnd(app);
      }
    }
    std::vector<std::string> labels;
    for (const auto& item : app.undo.undoItems) labels.push_back(item.description);
    EXPECT_EQ(labels, c.labels) << c.name;
  }
}

TEST_F(CpuWindowsTest, UndoOfARunRestoresMemory) {
  App app;
  app.cpu.pc = 0xC000;
  const uint8_t code[] = {0xA9, 0x07, 0x8D, 0x00, 0x50, 0x00};  // LDA #7, STA $5000, BRK
  std::copy(std::begin(code), std::end(code), app.machine.ram.begin() + 0xC000);
  app.machine.ram[0x5000] = 1;
  processorRun(app);
  runToEnd(app);
  ASSERT_EQ(app.machine.ram[0x5000], 7);
  app.undo.MakeUndo();
  EXPECT_EQ(app.machine.ram[0x5000], 1);
}

TEST_F(CpuWindowsTest, BreakpointsHaltBeforeTheirInstruction) {
  // NOPs at $C000.. and the breakpoints of each case; Run from $C000.
  struct Case {
    const char* name;
    std::set<uint16_t> breakpoints;
    uint16_t haltPc;
  } cases[] = {
      {"next instruction", {0xC001}, 0xC001},
      {"on pc and further on", {0xC000, 0xC010}, 0xC010},
      {"two ahead, first wins", {0xC008, 0xC004}, 0xC004},
  };
  for (const Case& c : cases) {
    App app;
    for (int a = 0xC000; a < 0xC100; ++a) app.machine.ram[a] = 0xEA;
    app.cpu.pc = 0xC000;
    app.cpu.breakpoints = c.breakpoints;
    processorRun(app);
    runToEnd(app);
    EXPECT_FALSE(app.processorRunning) << c.name;
    EXPECT_EQ(app.cpu.pc, c.haltPc) << c.name;
  }
}

TEST_F(CpuWindowsTest, OneFrameRunsABoundedSlice) {
  App app;
  // loop: INX / JMP loop never ends by itself.
  const uint8_t code[] = {0xE8, 0x4C, 0x00, 0xC0};
  std::copy(std::begin(code), std::end(code), app.machine.ram.begin() + 0xC000);
  app.cpu.pc = 0xC000;
  processorRun(app);  // one INX
  processorAdvance(app);
  EXPECT_TRUE(app.processorRunning);
  EXPECT_EQ(app.cpu.x, (1 + kRunStepsPerFrame / 2) & 0xFF);
  EXPECT_EQ(app.cpu.pc, 0xC001);  // JMP and INX alternate from $C001
  // Stopping by hand keeps the state where it is.
  app.processorRunning = false;
  processorAdvance(app);
  EXPECT_EQ(app.cpu.x, (1 + kRunStepsPerFrame / 2) & 0xFF);
}

TEST_F(CpuWindowsTest, FollowingPcKeepsTheViewOrMovesIt) {
  App app;
  for (int a = 0xC000; a < 0xC100; ++a) app.machine.ram[a] = 0xEA;  // 1-byte rows
  app.machine.ram[0xC000] = 0x4C;  // JMP: a 3-byte first row
  struct Case {
    uint16_t pc;
    uint16_t top;
    int row;
  } cases[] = {{0xC000, 0xC000, 0}, {0xC003, 0xC000, 1}, {0xC015, 0xC000, 19}, {0xC016, 0xC016, 0}, {0xC001, 0xC001, 0}};
  for (const Case& c : cases) {
    uint16_t top = 0xC000;
    int row = 7;
    app.cpu.pc = c.pc;
    followPc(app.cpu, top, row);
    EXPECT_EQ(top, c.top) << std::hex << c.pc;
    EXPECT_EQ(row, c.row) << std::hex << c.pc;
    EXPECT_EQ(rowAddress(app.cpu, top, row), c.pc);
  }
}

TEST_F(CpuWindowsTest, PanesShowStackAndMemory) {
  App app;
  EXPECT_TRUE(stackLines(app.cpu).empty());
  app.cpu.push(0xAB);
  EXPECT_EQ(stackLines(app.cpu), std::vector<std::string>{"$01FF AB"});
  app.cpu.push(0x01);
  EXPECT_EQ(stackLines(app.cpu), (std::vector<std::string>{"$01FF AB", "$01FE 01"}));

  const char bytes[] = {'H', 'i', 0x00, 0x7F, 0x20, '~', static_cast<char>(0xC1), '0'};
  for (int i = 0; i < 8; ++i) app.machine.ram[(0xFFFC + i) & 0xFFFF] = static_cast<uint8_t>(bytes[i]);
  EXPECT_EQ(memoryLine(app.machine, 0xFFFC), "FFFC  48 69 00 7F 20 7E C1 30  Hi.. ~.0");
  app.machine.vicRegs[0] = 0x99;  // registers are not shown: the pane reads RAM
  app.machine.ram[0xD000] = 0x11;
  EXPECT_EQ(memoryLine(app.machine, 0x1D000).substr(0, 8), "D000  11");
}

TEST_F(CpuWindowsTest, RunInProcessorIsRefusedAfterAnyError) {
  struct Case {
    const char* source;
    bool codeWritten;
    bool runnable;
  } cases[] = {
      {"*=$C000\n LDA #$01\n RTS\n", true, true},
      {"*=$C000\n LDA #$01\n LDA #$01,Q\n RTS\n", true, false},  // code, but with an error
      {"*=$C000\n BNE nowhere\n", false, false},                  // an unknown label
      {"; nothing\n", false, false},                               // no code
  };
  for (const Case& c : cases) {
    App app;
    app.assemblerSource = c.source;
    const AssemblyResult r = assembleSource(app);
    EXPECT_EQ(r.start >= 0, c.codeWritten) << c.source;
    EXPECT_EQ(canRunAssembled(r), c.runnable) << c.source;
    ASSERT_FALSE(app.undo.undoItems.empty());
    EXPECT_EQ(app.undo.undoItems.back().description, "assemble");
  }
}

TEST_F(CpuWindowsTest, AMessageLineSelectsThatLine) {
  const std::string text = "; c\n*=$C000\nstart LDA #0\n\nRTS";
  struct Case {
    int line;
    int start, end;
  } cases[] = {{1, 0, 3}, {2, 4, 11}, {3, 12, 24}, {4, 25, 25}, {5, 26, 29}, {6, 29, 29}, {99, 29, 29}};
  for (const Case& c : cases) {
    const LineSpan s = lineSpan(text, c.line);
    EXPECT_EQ(s.start, c.start) << c.line;
    EXPECT_EQ(s.end, c.end) << c.line;
  }
  // A text ending in a newline: the line after it is the end of the text.
  EXPECT_EQ(lineSpan("a\n", 2).start, 2);

  // The editor's callback applies the jump once.
  std::string src = text;
  ImGuiInputTextCallbackData data;
  data.EventFlag = ImGuiInputTextFlags_CallbackAlways;
  data.Buf = src.data();
  data.BufTextLen = static_cast<int>(src.size());
  g_jumpLine = 3;
  resizeCallback(&data);
  EXPECT_EQ(data.SelectionStart, 12);
  EXPECT_EQ(data.SelectionEnd, 24);
  EXPECT_EQ(data.CursorPos, 24);
  EXPECT_EQ(g_jumpLine, -1);
}

TEST_F(CpuWindowsTest, FontSizeStaysWithinItsRange) {
  const std::pair<int, int> cases[] = {{7, 8}, {8, 8}, {12, 12}, {32, 32}, {33, 32}, {-5, 8}};
  for (auto [in, out] : cases) EXPECT_EQ(clampAsmFontSize(in), out) << in;
}

}  // namespace
