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
constexpr int kDisassemblyRows = 25;  // at most; fewer where the pane is lower
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
// The first address of a disassembly of `rows` visible rows that begins at
// `top`, chosen so that pc's row is visible. With pc on one of the rows
// the view stays. With pc a little below them (on the instructions the
// view decodes onward, within another screenful) it scrolls on by whole
// instructions until pc is on the middle row, so a series of steps keeps
// the instructions ahead in sight. Anywhere else (above the view, far
// below it, between the instructions the view decodes) pc heads the view,
// and so it does at once with `startAtPc`, when code is handed to the
// processor. The first row therefore always starts an instruction as the
// view decoded it from its top, or at pc.
uint16_t disassemblyTop(const CPU6502& cpu, uint16_t top, int rows, bool startAtPc = false);
// Keeps pc in view as disassemblyTop says and selects its row.
void followPc(const CPU6502& cpu, uint16_t& viewTop, int& selRow, int rows, bool startAtPc = false);
// The rows the disassembly shows in a pane with this much room for them,
// each `lineHeight` high and `spacing` apart: all that fit, 1 to
// kDisassemblyRows, so that none is hidden below the pane's edge.
int disassemblyRowsFitting(float height, float lineHeight, float spacing);
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

// What the Assembler window shows beside the source: the result of the
// last Compile and the message of a refused load or edit.
struct AssemblerView {
  AssemblyResult last;
  std::string refusal;
};
// The Assembler window's, kept for the process.
extern AssemblerView g_assemblerView;
// The refusal of a source of this many bytes, in the words the Assembler
// window shows it; empty when the program takes a source that large.
std::string sourceSizeError(size_t bytes);
// "Load...": the file's bytes become the source. A file larger than the
// program takes is refused: the source and the last Compile's messages
// stay as they were, and the view shows why.
void loadSource(App& app, AssemblerView& view, const std::vector<uint8_t>& bytes);

// The text a message's line selects: [start, end); start == end at the end
// of the text when the line is beyond the last one.
struct LineSpan {
  int start = 0;
  int end = 0;
};
LineSpan lineSpan(const std::string& text, int line);
int clampAsmFontSize(int size);

// The Processor window's own state, kept for the process: where the
// disassembly is and whether it follows pc.
struct ProcessorView {
  bool follow = true;            // bring pc into view; every frame while running
  uint16_t top = kDefaultViewTop;
  int selRow = 0;
  int rows = kDisassemblyRows;   // the rows the disassembly showed in its last frame
  int memAddr = 0;
  uint16_t shownPc = kCpuStartPc;  // pc when the last frame ended
};
extern ProcessorView g_processorView;

// The 1-based source line the editor selects in its next active frame;
// -1 = none.
extern int g_jumpLine;
// What the source editor's callback works on.
struct SourceEdit {
  std::string* text;     // the source
  std::string* refusal;  // the view's message of a refused edit
};
// Input callback of the source editor: grows the string, refuses an edit
// that would take the text past the largest source the program takes, and
// applies g_jumpLine.
int resizeCallback(ImGuiInputTextCallbackData* data);

void drawProcessor(App& app);
void drawAssembler(App& app);
