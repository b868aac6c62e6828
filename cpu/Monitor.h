// The machine-code monitor console: a 40x25 screen of C64 screen codes
// (the document's Machine::monitorScreen) on which the user types freely
// and runs the row under the cursor as a command with Return. Commands
// list memory as hex, text and disassembly, change memory by editing listed
// rows, assemble one instruction per row, fill, copy, load and save PRG
// data on the host (device 6) or the drives 8-11, jump to the processor and
// close the monitor. It reaches the drives, the processor window, the
// host file dialogs and the undo history only through the callbacks App
// installs. Headless: the Monitor window draws the screen and feeds keys in.
#pragma once

#include "core/Editor.h"
#include "core/Machine.h"
#include "cpu/CPU6502.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class DiskDrive;

constexpr int kMonitorCols = kScreenCols;
constexpr int kMonitorRows = kScreenRows;
constexpr uint8_t kMonitorBlank = 32;  // screen code of a space
constexpr int kHostDevice = 6;         // device number of host files

// Kinds of listing line, kept in Monitor::lastKind for scrolling.
enum MonitorLineKind : int {
  kLineNone = 0,
  kLineDisassembly = 1,
  kLineMemory = 2,
  kLineText = 3,
};
constexpr int kMemLineBytes = 8;
constexpr int kTextLineBytes = 32;
constexpr int kLineDataColumn = 7;  // first column after ".:AAAA "

class Monitor {
public:
  int col = 0;
  int row = 0;
  std::function<DiskDrive*(int device)> getDrive;
  std::function<void(uint16_t address)> onGo;
  std::function<void()> onExit;
  std::function<void()> onChanged;
  std::function<void(const std::string& name)> hostLoad;
  std::function<void(const std::string& name, const std::vector<uint8_t>& prg)> hostSave;
  // Called once for each command row that is going to change memory, just
  // before the change, with the range it changes (it may wrap past $FFFF)
  // and the function that writes it, which the hook must run. App records
  // the row's undo step here. Unset, the monitor writes at once.
  std::function<void(int address, int length, const std::function<void()>& write)> onWrite;
  Machine* machine;
  CPU6502* cpu;
  uint8_t* screen;
  int lastKind = kLineNone;
  bool listing = false;
  int addr = 0;
  int endAddr = -1;
  int topAddr = 0;
  int loadFrom = -1;  // start override of a pending host load; -1 = the file's own
  int loadTo = -1;    // end (exclusive) of a pending host load; -1 = none

  Monitor(Machine& m, CPU6502& c);

  void clear();
  void typeChar(uint8_t code);
  void editKey(EditKey key, bool shift);
  void enter();
  // Once per frame: a running listing prints its next line.
  void tick();
  // Runs the cursor row; true when the command placed the cursor itself.
  bool executeRow();
  // Completions of host transfers; a null `prg` means the file was not found.
  void hostLoadDone(const std::vector<uint8_t>* prg);
  void hostSaveDone(bool ok, int count);

  void scrollUp();
  void scrollDown();
  void pushRow();
  void backRow();

  void disLine();
  void memLine();
  void asciiLine();

  void putChar(char c);
  void print(const std::string& text);
  // The row as text: screen codes read back as upper-case letters, digits
  // and punctuation; codes without such a character give "~".
  std::string rowText(int r) const;

  // Up to maxDigits hex digits at text[pos] after blanks; -1 when the field
  // is missing. `pos` moves past what was read.
  static int getHex(int maxDigits, const std::string& text, size_t& pos);

  // The parts of an L or S row.
  struct FileCmd {
    std::string name;
    int device = 0;
    int from = -1;
    int to = -1;
  };
  static bool parseFileCmd(const std::string& text, FileCmd& cmd);

  void finishLoad(const std::vector<uint8_t>& prg, int from, int to);
  void changed();
  // Puts `bytes` into memory from `address` on (wrapping past $FFFF) as one
  // change through onWrite, only when at least one of them differs from
  // what memory holds; true when memory changed.
  bool store(int address, const std::vector<uint8_t>& bytes);

  // The screen code a typed character gives: letters of either case the
  // upper-case letters 1-26, anything else its C64 screen code; -1 for a
  // character the C64 cannot show.
  static int typedCode(uint32_t codepoint);
  // The cell under a point given relative to the screen image's top-left,
  // on an image drawn at `scale` times 320x200; false outside the image.
  static bool cellAt(float x, float y, float scale, int& column, int& row);

private:
  uint8_t& cell(int c, int r) { return screen[r * kMonitorCols + c]; }
  void newLine();
  void blankRow(int r);
  void advance();
  void smartUp();
  void smartDown();
  // Writes the listing line of `kind` at `addr` over the cursor row from
  // column 0 and advances `addr`; the cursor ends at the data column.
  void writeLine(int kind);
  void listLine(int kind);
  void fail();
  void prompt();
  // The address a listing row starts with, when it carries the marker of
  // `kind`; else -1.
  int rowAddress(int r, int kind) const;
  bool editRow(char command, const std::string& text);
  bool assembleRow(const std::string& text);
  bool startListing(int kind, const std::string& text);
  bool copyOrFill(char command, const std::string& text);
  void loadCmd(const std::string& text);
  void saveCmd(const std::string& text);
  DiskDrive* drive(int device);
  void driveError(const DiskDrive& d);
};
