// The Processor and Assembler windows' rules, headless: assembled source
// runs to a breakpoint with the expected registers, steps and runs take
// their undo steps, a frame runs a bounded slice, and a message's line
// selects that line of the source.
#include "app/App.h"
#include "app/CpuWindows.h"

#include "tests/app/AppTestUtil.h"
#include "tests/app/ImGuiFrames.h"

#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

#include <random>
#include <set>
#include <string>

namespace {

class CpuWindowsTest : public ScratchConfigTest {
protected:
  CpuWindowsTest() : ScratchConfigTest("cpuwin") {}
};

// Runs frames until running ends; a runaway fails instead of hanging.
int runToEnd(App& app) {
  int frames = 0;
  for (; app.processorRunning && frames < 100; ++frames) processorAdvance(app);
  return frames;
}

void fillNops(App& app, int end) {
  std::fill(app.machine.ram.begin() + 0xC000, app.machine.ram.begin() + end, 0xEA);
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
  EXPECT_FALSE(app.cpu.stopped);
  EXPECT_EQ(app.cpu.pc, 0xC10B);
  EXPECT_EQ((std::array<int, 3>{app.cpu.a, app.cpu.x, app.cpu.y}), (std::array<int, 3>{0x42, 0, 5}));
  EXPECT_EQ(app.cpu.p & (kFlagC | kFlagZ | kFlagN), kFlagC);
  EXPECT_EQ(app.machine.ram[0x0400], 0x20);  // halted before the store

  // Running on executes the breakpoint's store and stops at BRK; undo of
  // that run restores memory.
  processorRun(app);
  runToEnd(app);
  EXPECT_EQ(app.machine.ram[0x0400], 0x42);
  EXPECT_TRUE(app.cpu.stopped);
  EXPECT_EQ(app.cpu.stopReason, kStopBrk);
  app.undo.MakeUndo();
  EXPECT_EQ(app.machine.ram[0x0400], 0x20);
}

TEST_F(CpuWindowsTest, StepsAndRunsTakeTheirUndoSteps) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"ssssssssss", {"cpu step"}},  // s = step, r = run
      {"srs", {"cpu step", "cpu run", "cpu step"}},
      {"rr", {"cpu run", "cpu run"}},
  };
  for (const auto& [actions, want] : cases) {
    App app;
    fillNops(app, 0xC040);  // then BRK: nothing runs on past the slice
    app.cpu.breakpoints = {0xC020};
    for (const char* a = actions; *a; ++a) {
      if (*a == 'r') processorRun(app), runToEnd(app);
      else processorStep(app);
    }
    std::vector<std::string> labels;
    for (const auto& item : app.undo.undoItems) labels.push_back(item.description);
    EXPECT_EQ(labels, want) << actions;
  }
}

TEST_F(CpuWindowsTest, BreakpointsHaltBeforeTheirInstruction) {
  const std::pair<std::set<uint16_t>, uint16_t> cases[] = {
      {{0xC001}, 0xC001}, {{0xC000, 0xC010}, 0xC010}, {{0xC008, 0xC004}, 0xC004}};  // not on pc; first wins
  for (const auto& [breakpoints, haltPc] : cases) {
    App app;
    fillNops(app, 0xC100);
    app.cpu.pc = 0xC000;
    app.cpu.breakpoints = breakpoints;
    processorRun(app);
    runToEnd(app);
    EXPECT_FALSE(app.processorRunning);
    EXPECT_EQ(app.cpu.pc, haltPc);
  }
}

TEST_F(CpuWindowsTest, OneFrameRunsABoundedSlice) {
  App app;
  const uint8_t code[] = {0xE8, 0x4C, 0x00, 0xC0};  // loop: INX / JMP loop
  std::copy(std::begin(code), std::end(code), app.machine.ram.begin() + 0xC000);
  app.cpu.pc = 0xC000;
  processorRun(app);  // one INX
  processorAdvance(app);
  EXPECT_TRUE(app.processorRunning);
  EXPECT_EQ(app.cpu.x, (1 + kRunStepsPerFrame / 2) & 0xFF);
  EXPECT_EQ(app.cpu.pc, 0xC001);  // JMP and INX alternate from $C001
  app.processorRunning = false;   // stopped by hand: the state stays
  processorAdvance(app);
  EXPECT_EQ(app.cpu.x, (1 + kRunStepsPerFrame / 2) & 0xFF);
}

TEST_F(CpuWindowsTest, FollowingPcKeepsTheViewOrMovesIt) {
  App app;
  fillNops(app, 0xC100);           // 1-byte rows
  app.machine.ram[0xC000] = 0x4C;  // JMP: a 3-byte first row, so row n >= 1 is $C002 + n
  const std::tuple<int, int, int, bool, int, int> cases[] = {  // pc, top, rows, startAtPc; the top and row wanted
      {0xC000, 0xC000, 20, false, 0xC000, 0},  // on a row: the view stays
      {0xC003, 0xC000, 20, false, 0xC000, 1},
      {0xC015, 0xC000, 20, false, 0xC000, 19},  // the last row
      {0xC016, 0xC000, 20, false, 0xC00C, 10},  // just below: scrolled to the middle row
      {0xC007, 0xC000, 5, false, 0xC005, 2},
      {0xC00B, 0xC000, 5, false, 0xC009, 2},    // the end of the next screenful
      {0xC00C, 0xC000, 5, false, 0xC00C, 0},    // farther: pc heads the view
      {0xC001, 0xC000, 20, false, 0xC001, 0},   // inside the JMP the view decoded
      {0xC004, 0xC010, 20, false, 0xC004, 0},   // above the view
      {0xC003, 0xC000, 1, false, 0xC003, 0},
      {0xC003, 0xC000, 20, true, 0xC003, 0},    // code handed over: it starts the view
  };
  for (const auto& [pc, firstTop, rows, startAtPc, wantTop, wantRow] : cases) {
    uint16_t top = static_cast<uint16_t>(firstTop);
    int row = 7;
    app.cpu.pc = static_cast<uint16_t>(pc);
    followPc(app.cpu, top, row, rows, startAtPc);
    EXPECT_EQ(std::make_pair(int{top}, row), std::make_pair(wantTop, wantRow)) << std::hex << pc;
    EXPECT_EQ(rowAddress(app.cpu, top, row), pc);
  }
}

// The row of pc in a view from `top`; `rows` when it is on none of them.
int rowOfPc(const App& app, uint16_t top, int rows) {
  int row = 0;
  while (row < rows && rowAddress(app.cpu, top, row) != app.cpu.pc) ++row;
  return row;
}

// On any memory, from any first address: the new first address is pc or
// one of the addresses the old view decodes onward, and pc is on a row.
TEST_F(CpuWindowsTest, AFollowedViewStartsOnAnInstructionOfTheOldOne) {
  App app;
  std::mt19937 rng(64);
  for (int i = 0; i < 2000; ++i) {
    for (int a = 0; a < 0x100; ++a) app.machine.ram[0xC000 + a] = static_cast<uint8_t>(rng());
    const uint16_t top = static_cast<uint16_t>(0xC000 + rng() % 0x20);
    const int rows = 1 + static_cast<int>(rng() % kDisassemblyRows);
    app.cpu.pc = static_cast<uint16_t>(0xC000 + rng() % 0x80);
    std::set<int> decoded;  // the rows from top and the screenful after them
    for (int r = 0, a = top; r < 2 * rows; ++r) {
      decoded.insert(a);
      a += CPU6502::instrLength(CPU6502::ops[app.machine.ram[a]].mode);
    }
    const uint16_t newTop = disassemblyTop(app.cpu, top, rows);
    EXPECT_TRUE(newTop == app.cpu.pc || decoded.count(newTop)) << std::hex << top << " " << newTop;
    EXPECT_LT(rowOfPc(app, newTop, rows), rows);
  }
}

TEST_F(CpuWindowsTest, PanesShowStackAndMemory) {
  App app;
  EXPECT_TRUE(stackLines(app.cpu).empty());
  app.cpu.push(0xAB);
  app.cpu.push(0x01);
  EXPECT_EQ(stackLines(app.cpu), (std::vector<std::string>{"$01FF AB", "$01FE 01"}));

  const uint8_t bytes[] = {'H', 'i', 0x00, 0x7F, 0x20, '~', 0xC1, '0'};
  for (int i = 0; i < 8; ++i) app.machine.ram[(0xFFFC + i) & 0xFFFF] = bytes[i];
  EXPECT_EQ(memoryLine(app.machine, 0xFFFC), "FFFC  48 69 00 7F 20 7E C1 30  Hi.. ~.0");
  app.machine.vicRegs[0] = 0x99;  // registers are not shown: the pane reads RAM
  app.machine.ram[0xD000] = 0x11;
  EXPECT_EQ(memoryLine(app.machine, 0x1D000).substr(0, 8), "D000  11");
}

TEST_F(CpuWindowsTest, RunInProcessorIsRefusedAfterAnyError) {
  const struct {
    const char* source;
    bool codeWritten, runnable;
  } cases[] = {
      {"*=$C000\n LDA #$01\n RTS\n", true, true},
      {"*=$C000\n LDA #$01\n LDA #$01,Q\n RTS\n", true, false},  // code, but with an error
      {"*=$C000\n BNE nowhere\n", false, false},                  // an unknown label
      {"; nothing\n", false, false},
  };
  for (const auto& c : cases) {
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
  const std::array<int, 3> cases[] = {{1, 0, 3}, {2, 4, 11}, {3, 12, 24}, {4, 25, 25},
                                      {5, 26, 29}, {6, 29, 29}, {99, 29, 29}};
  for (const auto& [line, start, end] : cases) {
    const LineSpan s = lineSpan(text, line);
    EXPECT_EQ(std::make_pair(s.start, s.end), std::make_pair(start, end)) << line;
  }
  EXPECT_EQ(lineSpan("a\n", 2).start, 2);  // the line after a final newline

  // The editor's callback applies the jump once.
  std::string src = text;
  ImGuiInputTextCallbackData data;
  data.EventFlag = ImGuiInputTextFlags_CallbackAlways;
  data.Buf = src.data();
  data.BufTextLen = static_cast<int>(src.size());
  g_jumpLine = 3;
  resizeCallback(&data);
  EXPECT_EQ((std::array<int, 3>{data.SelectionStart, data.SelectionEnd, data.CursorPos}),
            (std::array<int, 3>{12, 24, 24}));
  EXPECT_EQ(g_jumpLine, -1);
}

TEST_F(CpuWindowsTest, FontSizeStaysWithinItsRange) {
  const std::pair<int, int> cases[] = {{7, 8}, {8, 8}, {12, 12}, {32, 32}, {33, 32}, {-5, 8}};
  for (auto [in, out] : cases) EXPECT_EQ(clampAsmFontSize(in), out) << in;
}

// Docked in one group with the Assembler, as the default layout has them,
// the Processor comes out from behind the Assembler's tab and takes the
// keyboard when code is handed over.
TEST_F(CpuWindowsTest, RunInProcessorBringsTheProcessorToTheFront) {
  ImGuiFrames ui(ImGuiConfigFlags_DockingEnable);
  App app;
  app.showProcessor = app.showAssembler = true;
  const ImGuiID group = ImHashStr("group");
  ui.frame([&] {
    ImGui::DockBuilderAddNode(group, ImGuiDockNodeFlags_DockSpace);
    ImGui::DockBuilderSetNodeSize(group, ImVec2(600, 800));
    ImGui::DockBuilderDockWindow("###Processor", group);
    ImGui::DockBuilderDockWindow("Assembler", group);
    ImGui::DockBuilderFinish(group);
  });
  const auto draw = [&] {
    ImGui::DockSpaceOverViewport(group);
    if (app.showProcessor) drawProcessor(app);
    if (app.showAssembler) drawAssembler(app);
  };
  for (int i = 0; i < 3; ++i) ui.frame(draw);
  ImGui::SetWindowFocus("Assembler");
  for (int i = 0; i < 2; ++i) ui.frame(draw);
  const ImGuiWindow* processor = ImGui::FindWindowByName("###Processor");
  ASSERT_FALSE(processor->DockTabIsVisible);

  runAssembled(app, 0xC000);
  for (int i = 0; i < 2; ++i) ui.frame(draw);
  EXPECT_TRUE(processor->DockTabIsVisible);
  EXPECT_EQ(GImGui->NavWindow, processor);
}

// The seven flag boxes move as one group: at every interface scale they
// share one row, behind the registers where all of them fit there, else at
// the start of a row of their own. Each box's place is read from the
// keyboard cursor's rectangle, which follows the item it is put on.
TEST_F(CpuWindowsTest, FlagBoxesWrapAsOneGroup) {
  ImGuiFrames ui;
  App app;
  const auto draw = [&] { drawProcessor(app); };
  const char* const kFlags[] = {"N##f7", "V##f6", "B##f4", "D##f3", "I##f2", "Z##f1", "C##f0"};
  for (int i = 0; i < 2; ++i) ui.frame(draw);  // past the window's first keyboard cursor
  ImGuiWindow* w = ImGui::FindWindowByName("###Processor");
  std::set<bool> placesSeen;  // behind the registers or at the start of a row
  for (float scale : {1.0f, 1.25f, 1.5f, 1.75f, 2.0f}) {
    ImGui::GetStyle().FontScaleMain = scale;
    std::set<float> rows;
    float firstX = 0;
    for (const char* flag : kFlags) {
      ImGui::SetFocusID(w->GetID(flag), w);
      ui.frame(draw);
      rows.insert(w->NavRectRel[0].Min.y);
      if (flag == kFlags[0]) firstX = w->NavRectRel[0].Min.x;
    }
    EXPECT_EQ(rows.size(), 1u) << scale;
    placesSeen.insert(firstX > 0);
  }
  EXPECT_EQ(placesSeen.size(), 2u);
}

// The disassembly child of the Processor window.
const ImGuiWindow* disassemblyPane() {
  for (const ImGuiWindow* w : GImGui->Windows)
    if (std::string(w->Name).find("/##dis_") != std::string::npos) return w;
  return nullptr;
}

// Scrolled away first, the disassembly starts at the program handed over
// by "Run in processor", and pc's row stays among the rows on screen
// through a series of F7 steps, at both interface scales. Every row it
// lists is on screen: the pane has nothing to scroll.
TEST_F(CpuWindowsTest, PcStaysOnScreenAfterRunInProcessorAndSteps) {
  for (float scale : {1.0f, 2.0f}) {
    ImGuiFrames ui;
    ImGui::GetIO().ConfigInputTrickleEventQueue = false;
    ImGui::GetStyle().FontScaleMain = scale;
    App app;
    g_processorView = ProcessorView();
    app.showProcessor = true;
    app.assemblerSource.clear();
    for (int i = 0; i < 30; ++i) app.assemblerSource += " LDA #$01\n STA $D020\n INX\n";
    const auto draw = [&] { drawProcessor(app); };
    ui.frame(draw);
    g_processorView.top = 0x2000;  // scrolled away
    ui.frame(draw);

    runAssembled(app, assembleSource(app).start);
    for (int i = 0; i < 2; ++i) ui.frame(draw);
    EXPECT_EQ(g_processorView.top, 0xC000) << scale;
    std::set<uint16_t> tops;
    for (int step = 0; step < 20; ++step) {
      ui.frame(draw, ImGuiKey_F7);
      ui.frame(draw);
      EXPECT_LT(rowOfPc(app, g_processorView.top, g_processorView.rows), g_processorView.rows) << scale << " " << step;
      EXPECT_EQ(disassemblyPane()->ScrollMax.y, 0) << scale;
      tops.insert(g_processorView.top);
    }
    EXPECT_EQ(app.cpu.pc, 0xC000 + 6 * 6 + 5);  // 20 steps: 6 rounds, a LDA and a STA
    EXPECT_GT(tops.size(), 1u) << scale;          // the steps went past the last row
  }
}

// Lines of an ordinary source, cut to `size` bytes.
std::string sourceOf(size_t size) {
  std::string text;
  while (text.size() < size) text += "start   LDA #$00 ; a line of an ordinary source\n";
  text.resize(size);
  return text;
}

// A source larger than the program takes is refused whole with the message,
// loaded or typed or pasted in the editor: the source and the last
// Compile's messages stay, and the next change that fits clears the
// message. Sources of exactly the bound are taken.
TEST_F(CpuWindowsTest, ASourcePastTheBoundIsRefusedWhole) {
  const char* const kTooLarge = "The source is larger than 2 MB.";
  ImGuiFrames ui;
  ImGuiIO& io = ImGui::GetIO();
  io.ConfigInputTrickleEventQueue = false;
  App app;
  app.showAssembler = true;
  app.assemblerSource = " LDA #1,Q\n RTS\n";
  AssemblerView& view = g_assemblerView = AssemblerView();
  view.last = assembleSource(app);
  const auto texts = [&view] {
    std::vector<std::string> t;
    for (const Assembler::Message& m : view.last.messages) t.push_back(m.text);
    return t;
  };
  const std::vector<std::string> compiled = texts();
  ASSERT_FALSE(compiled.empty());
  const std::pair<size_t, const char*> loads[] = {
      {300, ""}, {kAsmMaxSourceBytes + 1, kTooLarge}, {kAsmMaxSourceBytes, ""}, {kAsmMaxSourceBytes - 2, ""}};
  for (const auto& [size, refusal] : loads) {
    const std::string before = app.assemblerSource, file = sourceOf(size);
    loadSource(app, view, std::vector<uint8_t>(file.begin(), file.end()));
    EXPECT_EQ(view.refusal, refusal) << size;
    EXPECT_TRUE(app.assemblerSource == (*refusal ? before : file)) << size;
    EXPECT_EQ(texts(), compiled) << size;
  }
  const std::string text = app.assemblerSource;
  const auto draw = [&] { drawAssembler(app); };
  g_jumpLine = 1 << 30;  // the editor takes the keyboard, the cursor at the end
  for (int i = 0; i < 3; ++i) ui.frame(draw);
  // Typed ('\b' a backspace, '^' a paste of the rest), the size after it and whether it was refused.
  const std::tuple<const char*, size_t, bool> edits[] = {
      {"a", kAsmMaxSourceBytes - 1, false},     {"b", kAsmMaxSourceBytes, false},
      {"c", kAsmMaxSourceBytes, true},          {"\b\b", kAsmMaxSourceBytes - 2, false},
      {"^wxyz", kAsmMaxSourceBytes - 2, true}, {"^xy", kAsmMaxSourceBytes, false}};
  for (const auto& [typed, size, refused] : edits) {
    for (const char* t = typed; *t; ++t) {
      const bool paste = *t == '^';
      if (paste) ImGui::SetClipboardText(t + 1);
      else if (*t != '\b') io.AddInputCharacter(static_cast<unsigned>(*t));
      io.AddKeyEvent(ImGuiMod_Ctrl, paste);
      ui.frame(draw, paste ? ImGuiKey_V : *t == '\b' ? ImGuiKey_Backspace : ImGuiKey_None);
      io.AddKeyEvent(ImGuiMod_Ctrl, false);
      ui.frame(draw);
      if (paste) break;
    }
    EXPECT_EQ(app.assemblerSource.size(), size) << typed;
    EXPECT_EQ(app.assemblerSource.compare(0, text.size(), text), 0) << typed;
    EXPECT_EQ(view.refusal, refused ? kTooLarge : "") << typed;
  }
  EXPECT_EQ(app.assemblerSource.substr(text.size()), "xy");
}

}  // namespace
