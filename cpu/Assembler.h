// The source assembler: two passes over an assembler source text, both from
// $C000, the first defining labels and variables and sizing statements, the
// second writing the machine code into the document's memory. Instructions
// reach the one-line assembler (CPU6502::encode) with labels and
// expressions already replaced by numbers. The Assembler window builds one
// per Compile and shows its messages.
#pragma once

#include "core/Machine.h"
#include "cpu/AsmSymbols.h"
#include "cpu/CPU6502.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr uint16_t kAsmOrigin = 0xC000;
// Messages kept from one pass; one more line tells how many were left out.
constexpr size_t kAsmMaxMessages = 1000;
constexpr int kAsmMemoryEnd = 0x10000;  // the location counter never passes $FFFF

// The largest source the program takes: loading refuses a larger file and
// the editor a larger text. A source that fills all 64 KB of memory with
// commented code and tables is well under 1 MB, so no real source comes
// near it; above it a Compile (both passes over every line) and a
// keystroke in the editor (which lays out the whole text) would no longer
// fit in a frame or two.
constexpr int kAsmMaxSourceMegabytes = 2;
constexpr size_t kAsmMaxSourceBytes = size_t{kAsmMaxSourceMegabytes} << 20;


class Assembler {
public:
  struct Message {
    int line = 0;  // 1-based source line of an error; 0 for the summary lines
    std::string text;
    bool isError = false;
  };

  std::vector<Message> messages;
  int codeStart = -1;
  int finalAddr = kAsmOrigin;
  AsmSymbols symbols;  // upper-case name -> value; labels and variables share it
  uint8_t* mem;
  uint16_t pc = kAsmOrigin;
  bool finalPass = false;
  // Indexed by line number: the line's operand used a symbol not yet
  // defined in the first pass.
  std::vector<bool> unresolvedLines;

  explicit Assembler(Machine& machine) : mem(machine.ram.data()) {}

  bool assemble(std::string_view source);
  bool line(int lineNo, std::string_view text);
  bool data(int lineNo, std::string_view directive, std::string_view operand);
  bool evalExpr(std::string_view text, int& value, bool& unresolved);
  void emit(uint8_t byte);
  void error(int lineNo, const std::string& text);

  // Removes leading and trailing white space.
  static std::string trim(std::string_view text);

private:
  bool runPass(const std::vector<std::string_view>& lines);
  bool statement(int lineNo, std::string_view text);
  // Whether n more bytes fit below the top of memory; when not, the line
  // is marked to report it.
  bool fits(int n);
  void advance(int n);
  bool instruction(int lineNo, std::string_view mnemonic, std::string_view operand, std::string_view sourceLine);
  bool isUnresolvedLine(int lineNo) const;
  // The upper-case copy of a name in `upper_`, as a view.
  std::string_view upper(std::string_view name);

  // What each line did in the first pass. A line that used no symbol
  // still undefined there does exactly the same in the second pass, which
  // repeats the recorded effect instead of reading the line again; the
  // others run again. `size` is the bytes the line occupied, so that a
  // statement failing in the second pass still keeps every later statement
  // at the address its labels were given.
  struct LineEffect {
    enum Kind : uint8_t { kRerun, kNothing, kOrigin, kData, kCode };
    Kind kind;
    uint16_t size;
    uint32_t start;  // kData, kCode: index of its first byte in effectBytes_; kOrigin: the new pc
    uint32_t count;  // kData, kCode: bytes written
  };
  std::vector<LineEffect> effects_;
  std::vector<uint8_t> effectBytes_;  // the first pass's bytes of the lines recorded
  bool recording_ = false;
  // Set while a line runs: it used a symbol not yet defined or left a
  // check to the second pass; it set the location counter; it assembled
  // an instruction.
  bool lineDeferred_ = false;
  bool lineOrigin_ = false;
  bool lineCode_ = false;
  void replay(const LineEffect& effect);
  // The location counter has passed $FFFF (it reads 0 then); only an
  // origin line brings it back.
  bool pastTop_ = false;
  bool lineHitTop_ = false;
  size_t droppedMessages_ = 0;
  // Scratch texts reused from line to line, so that a statement costs no
  // allocation.
  std::string upper_, statement_, operand_, encoded_;
  std::vector<std::string_view> items_;
};
