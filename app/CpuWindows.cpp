// The Processor and Assembler windows and the headless rules behind their
// buttons and keys. The processor advances only here, in frames in which
// the Processor window is visible, a bounded slice per frame.
#include "app/CpuWindows.h"

#include "app/App.h"
#include "app/Theme.h"
#include "app/Widgets.h"
#include "platform/FileDialog.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>

int g_jumpLine = -1;
ProcessorView g_processorView;
AssemblerView g_assemblerView;

namespace {

constexpr float kProcessorWidth = 620;  // first use, grown with the interface scale
constexpr float kProcessorHeight = 520;
constexpr float kAssemblerWidth = 620;
constexpr float kAssemblerHeight = 560;
constexpr float kPcFieldWidth = 56;
constexpr float kRegFieldWidth = 32;
constexpr float kRegisterGap = 14;
constexpr float kStackPaneWidth = 130;  // at least; wider where its lines need it
// The longest lines the disassembly and stack panes show, which their
// widths are measured from.
constexpr const char* kWidestDisassembly = "C000 B9 00 C0  LDA $C000,Y";
constexpr const char* kWidestStackLine = "$01FF FF";
constexpr int kStackLinesBelow = 4;  // the stack pane's height where it moves below the disassembly
constexpr int kPanesBelowDisassembly = 9;  // text lines of the memory row and pane
constexpr int kMinDisassemblyRows = 4;
constexpr float kFontFieldWidth = 70;
constexpr int kLinesBelowEditor = 7;
constexpr int kStackSlotBase = 0x100;
constexpr int kStackAlign = 0xF8;  // the memory pane shows whole 8-byte lines
constexpr const char kFlagLetters[] = "NV-BDIZC";
constexpr int kUnusedFlagBit = 5;  // reads as 1 and has no box
constexpr int kFlagCount = 7;

const ImVec4 kStopColor(0.7f, 0.3f, 0.0f, 1.0f);
const ImVec4 kErrorColor(0.75f, 0.0f, 0.0f, 1.0f);
const ImVec4 kInfoColor(0.0f, 0.45f, 0.0f, 1.0f);
constexpr ImU32 kBreakpointBar = IM_COL32(150, 30, 30, 255);
constexpr ImU32 kPcBar = IM_COL32(150, 140, 30, 200);
constexpr float kRowHighlightAlpha = 0.45f;

// Code was handed to the processor ("Run in processor"): the Processor
// window's next frame shows it from its first instruction.
bool g_codeHandedOver = false;

bool isPrintable(uint8_t b) { return b >= 0x20 && b <= 0x7E; }

bool stopsAt(const CPU6502& cpu) { return cpu.stopped || cpu.breakpoints.count(cpu.pc) != 0; }

std::vector<FileIO::Filter> sourceFilters() {
  return {{"Source (*.asm;*.s;*.txt)", {"asm", "s", "txt", "src"}}, {"All files", {}}};
}

}  // namespace

// ---- processor rules ----

void processorStep(App& app) {
  const auto& items = app.undo.undoItems;
  const bool continuing = !items.empty() && items.back().description == kCpuStepLabel;
  app.change(continuing ? UndoStep::none() : UndoStep::of(UndoKind::All, kCpuStepLabel), [&app] {
    app.cpu.stopped = false;
    app.cpu.step();
  });
}

void processorRun(App& app) {
  app.change(UndoStep::of(UndoKind::All, kCpuRunLabel), [&app] {
    app.cpu.stopped = false;
    app.cpu.step();
  });
  // A breakpoint right behind the first instruction halts there too: the
  // frame's slice only looks at pc after its own steps.
  app.processorRunning = !stopsAt(app.cpu);
}

bool processorAdvance(App& app, int maxSteps) {
  if (!app.processorRunning) return false;
  bool ended = false;
  // The run's undo step was taken by Run; each slice only withdraws a
  // paste preview, which must not be put back over what the code wrote.
  app.change(UndoStep::none(), [&] {
    CPU6502& cpu = app.cpu;
    for (int i = 0; i < maxSteps; ++i) {
      cpu.step();
      if (stopsAt(cpu)) {
        ended = true;
        break;
      }
    }
  });
  if (ended) app.processorRunning = false;
  return ended;
}

void toggleBreakpoint(CPU6502& cpu, uint16_t address) {
  if (!cpu.breakpoints.erase(address)) cpu.breakpoints.insert(address);
}

uint16_t rowAddress(const CPU6502& cpu, uint16_t top, int row) {
  uint16_t a = top;
  for (int i = 0; i < row; ++i) {
    int length = 1;
    cpu.disassembleInstr(a, &length);
    a = static_cast<uint16_t>(a + length);
  }
  return a;
}

uint16_t disassemblyTop(const CPU6502& cpu, uint16_t top, int rows, bool startAtPc) {
  if (startAtPc) return cpu.pc;
  rows = std::clamp(rows, 1, kDisassemblyRows);
  // The view's rows and the screenful after them, as the view decodes them.
  uint16_t row[2 * kDisassemblyRows];
  uint16_t a = top;
  for (int r = 0; r < 2 * rows; ++r) {
    row[r] = a;
    if (a == cpu.pc) return r < rows ? top : row[r - rows / 2];
    a = rowAddress(cpu, a, 1);
  }
  return cpu.pc;
}

void followPc(const CPU6502& cpu, uint16_t& viewTop, int& selRow, int rows, bool startAtPc) {
  viewTop = disassemblyTop(cpu, viewTop, rows, startAtPc);
  selRow = 0;
  for (uint16_t a = viewTop; a != cpu.pc && selRow < kDisassemblyRows - 1; a = rowAddress(cpu, a, 1)) ++selRow;
}

int disassemblyRowsFitting(float height, float lineHeight, float spacing) {
  const int rows = static_cast<int>((height + spacing) / (lineHeight + spacing));
  return std::clamp(rows, 1, kDisassemblyRows);
}

std::string memoryLine(const Machine& m, int address) {
  const int a = address & 0xFFFF;
  char buf[8];
  std::snprintf(buf, sizeof buf, "%04X ", a);
  std::string line = buf;
  std::string text;
  for (int i = 0; i < kMemoryBytesPerLine; ++i) {
    const uint8_t b = m.ram[(a + i) & 0xFFFF];
    std::snprintf(buf, sizeof buf, " %02X", b);
    line += buf;
    text += isPrintable(b) ? static_cast<char>(b) : '.';
  }
  return line + "  " + text;
}

std::vector<std::string> stackLines(const CPU6502& cpu) {
  std::vector<std::string> lines;
  for (int offset = 0xFF; offset > cpu.sp; --offset) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "$01%02X %02X", offset, cpu.machine.ram[kStackSlotBase + offset]);
    lines.emplace_back(buf);
  }
  return lines;
}

// ---- assembler rules ----

AssemblyResult assembleSource(App& app) {
  AssemblyResult result;
  app.change(UndoStep::of(UndoKind::All, kAssembleLabel), [&] {
    Assembler as(app.machine);
    as.assemble(app.assemblerSource);
    result.messages = as.messages;
    result.start = as.codeStart;
  });
  return result;
}

bool canRunAssembled(const AssemblyResult& result) {
  if (result.start < 0) return false;
  return std::none_of(result.messages.begin(), result.messages.end(),
                      [](const Assembler::Message& m) { return m.isError; });
}

void runAssembled(App& app, int start) {
  app.cpu.stopped = false;
  app.cpu.pc = static_cast<uint16_t>(start);
  app.showProcessor = true;
  g_codeHandedOver = true;
  // Docked in the same group as the Assembler, the Processor would stay
  // behind its tab; the user is to see the program start.
  app.focusProcessor = true;
}

std::string sourceSizeError(size_t bytes) {
  if (bytes <= kAsmMaxSourceBytes) return {};
  return "The source is larger than " + std::to_string(kAsmMaxSourceMegabytes) + " MB.";
}

void loadSource(App& app, AssemblerView& view, const std::vector<uint8_t>& bytes) {
  view.refusal = sourceSizeError(bytes.size());
  if (view.refusal.empty()) app.assemblerSource.assign(bytes.begin(), bytes.end());
}

LineSpan lineSpan(const std::string& text, int line) {
  const int length = static_cast<int>(text.size());
  // Line n starts after the (n - 1)-th newline; the scan stops at the end.
  size_t start = 0;
  for (int n = 1; n < line; ++n) {
    const size_t newline = text.find('\n', start);
    if (newline == std::string::npos) return {length, length};
    start = newline + 1;
  }
  if (start >= text.size()) return {length, length};
  const size_t end = text.find('\n', start);
  return {static_cast<int>(start), end == std::string::npos ? length : static_cast<int>(end)};
}

int clampAsmFontSize(int size) { return std::clamp(size, kAsmFontSizeMin, kAsmFontSizeMax); }

int resizeCallback(ImGuiInputTextCallbackData* data) {
  if (data->EventFlag == ImGuiInputTextFlags_CallbackResize) {
    std::string* text = static_cast<SourceEdit*>(data->UserData)->text;
    text->resize(data->BufTextLen);
    data->Buf = text->data();
  } else if (data->EventFlag == ImGuiInputTextFlags_CallbackEdit) {
    // The field writes an edit back to the source after this callback, so
    // the source still holds the text from before it. An edit that grows
    // the text past the bound (typing at it, a paste that crosses it) is
    // undone whole, the cursor put where the new text went in.
    const SourceEdit& edit = *static_cast<SourceEdit*>(data->UserData);
    const std::string& before = *edit.text;
    const size_t length = static_cast<size_t>(data->BufTextLen);
    *edit.refusal = length > before.size() ? sourceSizeError(length) : std::string();
    if (!edit.refusal->empty()) {
      const int added = static_cast<int>(length - before.size());
      const int cursor = std::clamp(data->CursorPos - added, 0, static_cast<int>(before.size()));
      data->DeleteChars(0, data->BufTextLen);
      data->InsertChars(0, before.data(), before.data() + before.size());
      data->CursorPos = data->SelectionStart = data->SelectionEnd = cursor;
    }
  } else if (data->EventFlag == ImGuiInputTextFlags_CallbackAlways && g_jumpLine >= 1) {
    const LineSpan span = lineSpan(std::string(data->Buf, data->BufTextLen), g_jumpLine);
    data->SelectionStart = span.start;
    data->SelectionEnd = span.end;
    data->CursorPos = span.end;
    g_jumpLine = -1;
  }
  return 0;
}

// ---- windows ----

namespace {

bool windowKeysActive() {
  return ImGui::IsWindowFocused(ImGuiFocusedFlags_RootAndChildWindows) && !ImGui::GetIO().WantTextInput;
}

// The rows of buttons, registers and flags wrap where the window is too
// narrow for them (a large interface scale), so every control stays in
// reach.
void processorButtons(App& app, bool& follow, uint16_t viewTop, int selRow, bool keys) {
  CPU6502& cpu = app.cpu;
  if (app.processorRunning) {
    if (ImGui::Button("Stop") || (keys && ImGui::IsKeyPressed(ImGuiKey_Escape, false))) {
      app.processorRunning = false;
      follow = true;
    }
  } else {
    if (ImGui::Button("Step (F7)") || (keys && ImGui::IsKeyPressed(ImGuiKey_F7, true))) {
      processorStep(app);
      follow = true;
    }
    Widgets::SameLineIfFits(Widgets::ButtonWidth("Run (F9)"));
    if (ImGui::Button("Run (F9)") || (keys && ImGui::IsKeyPressed(ImGuiKey_F9, false))) {
      processorRun(app);
      if (!app.processorRunning) follow = true;
    }
  }
  const uint16_t selected = rowAddress(cpu, viewTop, selRow);
  Widgets::SameLineIfFits(Widgets::ButtonWidth("Breakpoint (F5)"));
  if (ImGui::Button("Breakpoint (F5)") || (keys && ImGui::IsKeyPressed(ImGuiKey_F5, false)))
    toggleBreakpoint(cpu, selected);
  Widgets::SameLineIfFits(Widgets::ButtonWidth("PC here (G)"));
  if (ImGui::Button("PC here (G)") || (keys && ImGui::IsKeyPressed(ImGuiKey_G, false))) cpu.pc = selected;
  Widgets::SameLineIfFits(Widgets::ButtonWidth("Reset regs"));
  if (ImGui::Button("Reset regs")) {
    cpu.reset();
    cpu.stopped = false;
  }
  Widgets::SameLineIfFits(Widgets::CheckboxWidth("Follow PC"));
  ImGui::Checkbox("Follow PC", &follow);
  if (cpu.stopped && !cpu.stopReason.empty()) {
    const std::string stopped = "Stopped: " + cpu.stopReason;
    Widgets::SameLineIfFits(ImGui::CalcTextSize(stopped.c_str()).x);
    ImGui::TextColored(kStopColor, "%s", stopped.c_str());
  }
}

void registerRow(CPU6502& cpu, bool& follow) {
  const float s = Classic::Scale();
  const float gap = kRegisterGap * s;
  const float spacing = ImGui::GetStyle().ItemSpacing.x;
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted("PC");
  ImGui::SameLine();
  int pc = cpu.pc;
  if (Widgets::HexWordInput("##pc", pc, kPcFieldWidth * s)) {
    cpu.pc = static_cast<uint16_t>(pc);
    follow = true;
  }
  struct Reg {
    const char* name;
    uint8_t* value;
  };
  const Reg regs[] = {{"A", &cpu.a}, {"X", &cpu.x}, {"Y", &cpu.y}, {"SP", &cpu.sp}};
  for (const Reg& r : regs) {
    // A register's name stays with its field.
    Widgets::SameLineIfFits(ImGui::CalcTextSize(r.name).x + spacing + kRegFieldWidth * s, gap);
    ImGui::AlignTextToFramePadding();
    ImGui::TextUnformatted(r.name);
    ImGui::SameLine();
    ImGui::PushID(r.name);
    int v = *r.value;
    if (Widgets::HexByteInput("##r", v, kRegFieldWidth * s)) *r.value = static_cast<uint8_t>(v);
    ImGui::PopID();
  }
  // The flags move to a row of their own together when they do not fit
  // behind the registers.
  char labels[kFlagCount][16];
  float flagsWidth = 0;
  for (int i = 0, bit = 7; bit >= 0; --bit) {
    if (bit == kUnusedFlagBit) continue;
    std::snprintf(labels[i], sizeof labels[i], "%c##f%d", kFlagLetters[7 - bit], bit);
    flagsWidth += (i > 0 ? spacing : 0) + Widgets::CheckboxWidth(labels[i]);
    ++i;
  }
  Widgets::SameLineIfFits(flagsWidth, gap);
  for (int i = 0, bit = 7; bit >= 0; --bit) {
    if (bit == kUnusedFlagBit) continue;
    if (i > 0) Widgets::SameLineIfFits(Widgets::CheckboxWidth(labels[i]));
    bool set = (cpu.p >> bit) & 1;
    if (ImGui::Checkbox(labels[i], &set)) cpu.toggleFlag(bit);
    ++i;
  }
}

// The width a bordered pane needs for lines as wide as `widest`: its
// padding and room for the scroll bar of a pane taller than its place.
float paneWidth(const char* widest) {
  const ImGuiStyle& style = ImGui::GetStyle();
  return ImGui::CalcTextSize(widest).x + 2 * style.WindowPadding.x + style.ScrollbarSize;
}

// The pane lists as many rows as fit, so every row is on screen and
// following pc can tell which are; too narrow even for the disassembly
// alone, it scrolls across. With `startAtPc` (code was just handed over)
// pc heads the view.
void disassemblyPane(CPU6502& cpu, ProcessorView& view, bool startAtPc, bool running, bool keys, ImVec2 size) {
  ImGui::BeginChild("##dis", size, ImGuiChildFlags_Borders,
                    ImGuiWindowFlags_NoScrollWithMouse | ImGuiWindowFlags_HorizontalScrollbar);
  const float lineHeight = ImGui::GetTextLineHeight();
  const int rows =
      disassemblyRowsFitting(ImGui::GetContentRegionAvail().y, lineHeight, ImGui::GetStyle().ItemSpacing.y);
  view.rows = rows;
  view.selRow = std::min(view.selRow, rows - 1);
  if (view.follow) {
    followPc(cpu, view.top, view.selRow, rows, startAtPc);
    // After a step, a jump of pc or a stop the view follows once; while
    // running it follows in every frame.
    if (!running) view.follow = false;
  }
  if (keys && ImGui::IsKeyPressed(ImGuiKey_UpArrow, true)) {
    if (view.selRow == 0)
      view.top = cpu.backStep(view.top);
    else
      --view.selRow;
  }
  if (keys && ImGui::IsKeyPressed(ImGuiKey_DownArrow, true)) {
    if (view.selRow < rows - 1)
      ++view.selRow;
    else
      view.top = rowAddress(cpu, view.top, 1);
  }
  const float wheel = ImGui::GetIO().MouseWheel;
  if (ImGui::IsWindowHovered() && wheel != 0)
    view.top = wheel > 0 ? cpu.backStep(view.top) : rowAddress(cpu, view.top, 1);
  // The selection and hover highlights let the breakpoint and pc bars
  // behind them show through.
  const ImGuiCol highlights[] = {ImGuiCol_Header, ImGuiCol_HeaderHovered, ImGuiCol_HeaderActive};
  for (ImGuiCol c : highlights) {
    ImVec4 col = ImGui::GetStyleColorVec4(c);
    col.w *= kRowHighlightAlpha;
    ImGui::PushStyleColor(c, col);
  }
  ImDrawList* dl = ImGui::GetWindowDrawList();
  const float width = ImGui::GetContentRegionAvail().x;
  uint16_t a = view.top;
  for (int row = 0; row < rows; ++row) {
    const uint16_t rowAddr = a;
    const std::string text = cpu.disassemble(a);
    const ImVec2 p = ImGui::GetCursorScreenPos();
    if (cpu.breakpoints.count(rowAddr)) dl->AddRectFilled(p, ImVec2(p.x + width, p.y + lineHeight), kBreakpointBar);
    if (rowAddr == cpu.pc) dl->AddRectFilled(p, ImVec2(p.x + width, p.y + lineHeight), kPcBar);
    ImGui::PushID(row);
    if (ImGui::Selectable(text.c_str(), row == view.selRow, ImGuiSelectableFlags_AllowDoubleClick)) {
      view.selRow = row;
      if (ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left)) toggleBreakpoint(cpu, rowAddr);
    }
    ImGui::PopID();
  }
  ImGui::PopStyleColor(static_cast<int>(std::size(highlights)));
  ImGui::EndChild();
}

void stackPane(const CPU6502& cpu, float height) {
  ImGui::BeginChild("##stack", ImVec2(0, height), ImGuiChildFlags_Borders);
  ImGui::TextDisabled("Stack");
  for (const std::string& line : stackLines(cpu)) ImGui::TextUnformatted(line.c_str());
  ImGui::EndChild();
}

void memoryPane(App& app, int& memAddr) {
  const float s = Classic::Scale();
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted("Memory $");
  ImGui::SameLine();
  Widgets::HexWordInput("##memaddr", memAddr, kPcFieldWidth * s);
  ImGui::SameLine();
  if (ImGui::SmallButton("PC")) memAddr = app.cpu.pc;
  ImGui::SameLine();
  if (ImGui::SmallButton("Stack")) memAddr = ((app.cpu.sp + 1) & kStackAlign) + kStackSlotBase;
  // The pane keeps its lines where the panes above take the room (the
  // stack below the disassembly); the window scrolls instead.
  const float height = kMemoryPaneLines * ImGui::GetTextLineHeightWithSpacing() + 2 * ImGui::GetStyle().WindowPadding.y;
  ImGui::BeginChild("##mem", ImVec2(0, std::max(ImGui::GetContentRegionAvail().y, height)), ImGuiChildFlags_Borders,
                    ImGuiWindowFlags_NoScrollWithMouse | ImGuiWindowFlags_HorizontalScrollbar);
  const float wheel = ImGui::GetIO().MouseWheel;
  if (ImGui::IsWindowHovered() && wheel != 0)
    memAddr = (memAddr - kMemoryBytesPerLine * static_cast<int>(wheel)) & 0xFFFF;
  for (int r = 0; r < kMemoryPaneLines; ++r)
    ImGui::TextUnformatted(memoryLine(app.machine, memAddr + kMemoryBytesPerLine * r).c_str());
  ImGui::EndChild();
}

}  // namespace

void drawProcessor(App& app) {
  ProcessorView& view = g_processorView;
  CPU6502& cpu = app.cpu;
  Widgets::SetFirstUseSize(kProcessorWidth, kProcessorHeight);
  char title[64];
  std::snprintf(title, sizeof title, "Processor%s###Processor", app.processorRunning ? " - Running" : "");
  if (app.focusProcessor) {
    // Focus reaches a docked window's tab when its group is laid out in
    // the next frame, also from behind another tab.
    ImGui::SetNextWindowFocus();
    app.focusProcessor = false;
  }
  if (!ImGui::Begin(title, &app.showProcessor)) {
    // Hidden or collapsed: running pauses until the window shows again.
    ImGui::End();
    return;
  }
  // pc set from outside (the monitor's go, "Run in processor") is shown once.
  const bool startAtPc = g_codeHandedOver;
  g_codeHandedOver = false;
  if (cpu.pc != view.shownPc || startAtPc) view.follow = true;
  if (processorAdvance(app)) view.follow = true;

  const bool keys = windowKeysActive();
  processorButtons(app, view.follow, view.top, view.selRow, keys);
  registerRow(cpu, view.follow);

  if (Classic::MonoFont) ImGui::PushFont(Classic::MonoFont, 0.0f);
  const ImVec2 avail = ImGui::GetContentRegionAvail();
  // Where wrapped rows above leave little room, the disassembly keeps a few
  // rows and the memory pane below gives way.
  const float line = ImGui::GetTextLineHeightWithSpacing();
  const ImGuiStyle& style = ImGui::GetStyle();
  const float minHeight = kMinDisassemblyRows * line + 2 * style.WindowPadding.y;
  const float paneHeight =
      std::max(avail.y - (ImGui::GetFrameHeightWithSpacing() + kPanesBelowDisassembly * line), minHeight);
  // The stack pane stands beside the disassembly where both hold their
  // widest lines there; otherwise it moves below, a few lines high.
  const float stackWidth = std::max(kStackPaneWidth, paneWidth(kWidestStackLine));
  const float disWidth = avail.x - stackWidth - style.ItemSpacing.x;
  if (disWidth >= paneWidth(kWidestDisassembly)) {
    disassemblyPane(cpu, view, startAtPc, app.processorRunning, keys, ImVec2(disWidth, paneHeight));
    ImGui::SameLine();
    stackPane(cpu, paneHeight);
  } else {
    const float stackHeight = kStackLinesBelow * line + 2 * style.WindowPadding.y;
    disassemblyPane(cpu, view, startAtPc, app.processorRunning, keys,
                    ImVec2(avail.x, std::max(paneHeight - stackHeight - style.ItemSpacing.y, minHeight)));
    stackPane(cpu, stackHeight);
  }
  memoryPane(app, view.memAddr);
  if (Classic::MonoFont) ImGui::PopFont();
  view.shownPc = cpu.pc;
  ImGui::End();
}

void drawAssembler(App& app) {
  AssemblerView& view = g_assemblerView;
  static int fontSize = kAsmFontSizeDefault;
  AssemblyResult& last = view.last;

  Widgets::SetFirstUseSize(kAssemblerWidth, kAssemblerHeight);
  if (!ImGui::Begin("Assembler", &app.showAssembler)) {
    ImGui::End();
    return;
  }
  if (ImGui::Button("Load..."))
    FileIO::open("Load source", sourceFilters(),
                 [&app, &view](const std::string&, std::vector<uint8_t>& bytes) { loadSource(app, view, bytes); });
  // The row wraps where the window is narrower than its buttons (a docked
  // column at a large interface scale).
  Widgets::SameLineIfFits(Widgets::ButtonWidth("Save..."));
  if (ImGui::Button("Save..."))
    FileIO::save("Save source", "source.asm",
                 std::vector<uint8_t>(app.assemblerSource.begin(), app.assemblerSource.end()), nullptr);
  Widgets::SameLineIfFits(Widgets::ButtonWidth("Compile"));
  if (ImGui::Button("Compile")) {
    last = assembleSource(app);
    view.refusal.clear();
  }
  Widgets::SameLineIfFits(Widgets::ButtonWidth("Run in processor"));
  ImGui::BeginDisabled(!canRunAssembled(last));
  if (ImGui::Button("Run in processor")) runAssembled(app, last.start);
  ImGui::EndDisabled();
  Widgets::SameLineIfFits(Widgets::ButtonWidth("New"));
  if (ImGui::Button("New"))
    app.confirm("New source", "Remove all source code?", [&app, &view] {
      app.assemblerSource.clear();
      view.refusal.clear();
    });
  const float fontField = kFontFieldWidth * Classic::Scale();
  Widgets::SameLineIfFits(ImGui::CalcTextSize("Font size:").x + ImGui::GetStyle().ItemSpacing.x + fontField);
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted("Font size:");
  ImGui::SameLine();
  ImGui::SetNextItemWidth(fontField);
  if (ImGui::InputInt("##fs", &fontSize, 1, 2)) fontSize = clampAsmFontSize(fontSize);

  ImGui::TextDisabled("Code");
  const float editorHeight = ImGui::GetContentRegionAvail().y - kLinesBelowEditor * ImGui::GetTextLineHeightWithSpacing();
  if (Classic::MonoFont) ImGui::PushFont(Classic::MonoFont, static_cast<float>(fontSize));
  ImGuiInputTextFlags flags =
      ImGuiInputTextFlags_CallbackResize | ImGuiInputTextFlags_CallbackEdit | ImGuiInputTextFlags_CallbackAlways;
  if (g_jumpLine > 0) {
    // Focusing arrives as a tab move, which a field that takes Tab as text
    // refuses; the jump's frames go without Tab input.
    ImGui::SetKeyboardFocusHere();
  } else {
    flags |= ImGuiInputTextFlags_AllowTabInput;
  }
  SourceEdit edit{&app.assemblerSource, &view.refusal};
  ImGui::InputTextMultiline("##src", app.assemblerSource.data(), app.assemblerSource.capacity() + 1,
                            ImVec2(-1, editorHeight), flags, resizeCallback, &edit);
  if (Classic::MonoFont) ImGui::PopFont();

  Widgets::TextDisabledWrapped("Messages (click an error to go to the line)");
  ImGui::BeginChild("##msgs", ImVec2(0, 0), ImGuiChildFlags_Borders);
  if (!view.refusal.empty()) {
    ImGui::PushStyleColor(ImGuiCol_Text, kErrorColor);
    ImGui::TextWrapped("%s", view.refusal.c_str());
    ImGui::PopStyleColor();
  }
  for (size_t i = 0; i < last.messages.size(); ++i) {
    const Assembler::Message& m = last.messages[i];
    // Built whole: a long message must not cut off the identifier part.
    std::string label = m.line > 0 ? "Line " + std::to_string(m.line) + ": " + m.text : m.text;
    label += "##m" + std::to_string(i);
    ImGui::PushStyleColor(ImGuiCol_Text, m.isError ? kErrorColor : kInfoColor);
    if (ImGui::Selectable(label.c_str()) && m.line > 0) g_jumpLine = m.line;
    ImGui::PopStyleColor();
  }
  ImGui::EndChild();
  ImGui::End();
}
