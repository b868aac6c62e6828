// The Processor and Assembler windows: stepping and running the 6502 on the
// document's memory with breakpoints, register and flag editing, the
// disassembly, stack and memory panes; editing, loading, saving and
// assembling the source text kept in App and handing its start address to
// the processor. The rules the buttons and keys follow (undo steps, the run
// slice of one frame, breakpoints, the view that follows pc, the line a
// message jumps to) are plain functions here, so they run headless; the two
// draw functions are the thin windows around them.
#pragma once

#include "cpu/Assembler.h"
#include "cpu/CPU6502.h"

#include <cstdint>
#include <string>
#include <vector>

class App;
struct ImGuiInputTextCallbackData;

// At most this many instructions run in one frame, so the interface stays
// smooth while a program runs.
constexpr int kRunStepsPerFrame = 5000;
constexpr int kDisassemblyRows = 25;
constexpr int kFollowRows = 20;       // rows in which pc is found without moving the view
constexpr uint16_t kDefaultViewTop = 0xC000;
constexpr int kMemoryPaneLines = 8;
constexpr int kMemoryBytesPerLine = 8;
constexpr int kAsmFontSizeMin = 8;
constexpr int kAsmFontSizeMax = 32;
constexpr int kAsmFontSizeDefault = 12;

constexpr const char* kCpuStepLabel = "cpu step";
constexpr const char* kCpuRunLabel = "cpu run";
constexpr const char* kAssembleLabel = "assemble";

// "Step": one instruction. A series of steps shares one undo step, taken
// unless the newest undo step is already a step's.
void processorStep(App& app);
// "Run": one instruction (leaving a breakpoint at pc behind), then running
// continues in the following frames unless the processor stopped or pc
// reached a breakpoint.
void processorRun(App& app);
// One frame of running: up to maxSteps instructions, ending at a stop or
// before the instruction at a breakpoint. True when running ended.
bool processorAdvance(App& app, int maxSteps = kRunStepsPerFrame);
// Adds the address to the breakpoints, or removes it when present.
void toggleBreakpoint(CPU6502& cpu, uint16_t address);
// The address of disassembly row `row` below `top`, each row as long as
// the instruction found there.
uint16_t rowAddress(const CPU6502& cpu, uint16_t top, int row);
// Keeps pc in view: selects its row when it starts one of the first rows,
// otherwise puts it at the top.
void followPc(const CPU6502& cpu, uint16_t& viewTop, int& selRow);
// "%04X " address, eight " %02X" bytes, two blanks, the bytes as text.
std::string memoryLine(const Machine& m, int address);
// "$01%02X %02X" for each used stack slot, from $FF down to sp + 1.
std::vector<std::string> stackLines(const CPU6502& cpu);

// The result of "Compile".
struct AssemblyResult {
  std::vector<Assembler::Message> messages;
  int start = -1;  // code start, -1 when no code was produced
};
// Assembles the App's source into memory after the undo step "assemble".
AssemblyResult assembleSource(App& app);
// "Run in processor" is offered only for code that assembled without an
// error: half-assembled code must not be run.
bool canRunAssembled(const AssemblyResult& result);
// Hands the start address to the processor and shows its window in front.
void runAssembled(App& app, int start);

// The text a message's line selects: [start, end); start == end at the end
// of the text when the line is beyond the last one.
struct LineSpan {
  int start = 0;
  int end = 0;
};
LineSpan lineSpan(const std::string& text, int line);
int clampAsmFontSize(int size);

// The 1-based source line the editor selects in its next active frame;
// -1 = none.
extern int g_jumpLine;
// Input callback of the source editor: grows the string and applies
// g_jumpLine.
int resizeCallback(ImGuiInputTextCallbackData* data);

void drawProcessor(App& app);
void drawAssembler(App& app);
