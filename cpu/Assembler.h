// The source assembler: two passes over an assembler source text, both from
// $C000, the first defining labels and variables and sizing statements, the
// second writing the machine code into the document's memory. Instructions
// reach the one-line assembler of a private CPU6502 with labels and
// expressions already replaced by numbers. The Assembler window builds one
// per Compile and shows its messages.
#pragma once

#include "core/Machine.h"
#include "cpu/CPU6502.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

constexpr uint16_t kAsmOrigin = 0xC000;
// Messages kept from one pass; one more line tells how many were left out.
constexpr size_t kAsmMaxMessages = 1000;
constexpr int kAsmMemoryEnd = 0x10000;  // the location counter never passes $FFFF

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
  std::map<std::string, int> symbols;
  uint8_t* mem;
  CPU6502 cpu;
  uint16_t pc = kAsmOrigin;
  bool finalPass = false;
  std::map<int, bool> unresolvedLines;

  explicit Assembler(Machine& machine) : mem(machine.ram.data()), cpu(machine) {}

  bool assemble(const std::string& source);
  bool line(int lineNo, const std::string& text);
  bool data(int lineNo, const std::string& directive, const std::string& operand);
  bool evalExpr(const std::string& text, int& value, bool& unresolved);
  void emit(uint8_t byte);
  void error(int lineNo, const std::string& text);

  // Removes leading and trailing white space.
  static std::string trim(const std::string& text);

private:
  bool runPass(const std::vector<std::string>& lines);
  bool statement(int lineNo, const std::string& text);
  // Whether n more bytes fit below the top of memory; when not, the line
  // is marked to report it.
  bool fits(int n);
  void advance(int n);
  bool instruction(int lineNo, const std::string& mnemonic, const std::string& operand,
                   const std::string& sourceLine);

  // Bytes each line occupied in the first pass, so that a statement failing
  // in the second pass still keeps every later statement at the address its
  // labels were given.
  std::vector<uint16_t> pass1Size_;
  // The location counter has passed $FFFF (it reads 0 then); only an
  // origin line brings it back.
  bool pastTop_ = false;
  bool lineHitTop_ = false;
  size_t droppedMessages_ = 0;
};
