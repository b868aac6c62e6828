// Number parsing and the one-line assembler of CPU6502: text such as
// "LDA ($FB),Y" becomes machine code, the addressing mode chosen from the
// operand's form and the opcode from CPU6502::ops. The monitor's A command
// and the source assembler both encode through here.
#include "cpu/AsmText.h"
#include "cpu/CPU6502.h"

#include <algorithm>
#include <array>

namespace {

constexpr int kLetters = 26;
constexpr int kMnemonicKeys = kLetters * kLetters * kLetters;

// Index of a three-letter word of either case into the lookup below, or
// -1.
int mnemonicKey(std::string_view s) {
  if (s.size() != 3) return -1;
  int key = 0;
  for (size_t i = 0; i < 3; ++i) {
    const char c = asciiUpper(s[i]);
    if (c < 'A' || c > 'Z') return -1;
    key = key * kLetters + (c - 'A');
  }
  return key;
}

// For every mnemonic and addressing mode the first opcode of CPU6502::ops
// carrying them, scanned from $00 upward; built once so that assembling a
// line does no table scans.
struct MnemonicIndex {
  std::array<int16_t, kMnemonicKeys> slot;                        // key -> mnemonic number
  std::array<std::array<int16_t, kAddrModeCount>, 64> opcode;    // mnemonic, mode -> opcode

  MnemonicIndex() {
    slot.fill(-1);
    for (auto& row : opcode) row.fill(-1);
    int count = 0;
    for (int op = 0; op < 256; ++op) {
      const CPU6502::Op& o = CPU6502::ops[op];
      if (o.mode == kAddrNone) continue;
      int key = mnemonicKey(o.mnemonic);
      if (key < 0) continue;
      if (slot[key] < 0) slot[key] = static_cast<int16_t>(count++);
      auto& modes = opcode[slot[key]];
      if (modes[o.mode] < 0) modes[o.mode] = static_cast<int16_t>(op);
    }
  }
};

const MnemonicIndex& mnemonicIndex() {
  static const MnemonicIndex index;
  return index;
}

// Mnemonic number of a word of either case, or -1.
int mnemonicSlot(std::string_view word) {
  int key = mnemonicKey(word);
  return key < 0 ? -1 : mnemonicIndex().slot[key];
}

int opcodeFor(int slot, int mode) { return mnemonicIndex().opcode[slot][mode]; }

}  // namespace

bool CPU6502::isMnemonic(std::string_view text) { return mnemonicSlot(text) >= 0; }

int CPU6502::findOpcode(std::string_view name, int mode) {
  if (mode < 0 || mode >= kAddrModeCount) return -1;
  // Exactly this text: a lower-case name names no opcode.
  const bool upper = std::none_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  int slot = upper ? mnemonicSlot(name) : -1;
  if (slot >= 0) return opcodeFor(slot, mode);
  // Not a documented mnemonic ("---" for instance): plain scan.
  for (int op = 0; op < 256; ++op)
    if (ops[op].mode == mode && name == ops[op].mnemonic) return op;
  return -1;
}

bool CPU6502::parseNumber(std::string_view text, int& value, bool* wide) {
  const std::string_view t = trimAsmView(text);
  if (t.empty()) return false;

  int base = 10;
  size_t digits = 0;
  if (t[0] == '$') {
    base = 16;
    digits = 1;
  } else if (t[0] == '%') {
    base = 2;
    digits = 1;
  }
  if (digits == t.size()) return false;

  int v = 0;
  for (size_t i = digits; i < t.size(); ++i) {
    const int d = hexDigitValue(t[i]);
    if (d < 0 || d >= base) return false;
    v = v * base + d;
    if (v > kMaxParsedNumber) return false;
  }

  if (wide) {
    const size_t count = t.size() - digits;
    if (base == 10)
      *wide = t[0] == '0' && count > 1;
    else if (t[digits] == '0')
      *wide = count > 1;
    else
      *wide = base == 16 && count > 2;
  }
  value = v;
  return true;
}

int CPU6502::assemble(uint16_t addr, std::string_view line, bool write, std::string* error) {
  uint8_t bytes[kMaxInstrLength];
  const int length = encode(addr, line, bytes, error);
  if (write)
    for (int i = 0; i < length; ++i) machine.ram[static_cast<uint16_t>(addr + i)] = bytes[i];
  return length;
}

int CPU6502::encode(uint16_t addr, std::string_view text, uint8_t (&bytes)[kMaxInstrLength], std::string* error) {
  auto fail = [error](const char* message) {
    if (error) *error = message;
    return 0;
  };

  // The mnemonic is the first blank-separated three-letter word that names
  // an instruction, so a leading address ("C000 LDA #1") is skipped.
  int slot = -1;
  size_t pos = 0, operandStart = std::string::npos;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    size_t wordEnd = pos;
    while (wordEnd < text.size() && text[wordEnd] != ' ') ++wordEnd;
    if (wordEnd - pos == 3) {
      slot = mnemonicSlot(text.substr(pos, 3));
      if (slot >= 0) {
        operandStart = wordEnd;
        break;
      }
    }
    pos = wordEnd;
  }
  if (slot < 0) return fail("Unknown mnemonic");

  // Upper case, without blanks; short enough to stay in the string itself.
  std::string operand;
  for (size_t i = operandStart; i < text.size(); ++i)
    if (text[i] != ' ') operand += asciiUpper(text[i]);

  int mode = kAddrNone;
  int value = 0;
  auto contains = [&operand](const char* s) { return operand.find(s) != std::string::npos; };
  // Text between the opening parenthesis and the given closing form.
  auto inner = [&operand](size_t close) {
    size_t open = operand.find('(');
    size_t from = open == std::string::npos ? 0 : open + 1;
    return close > from ? std::string_view(operand).substr(from, close - from) : std::string_view();
  };

  if (operand.empty() || operand == "A") {
    mode = opcodeFor(slot, kAddrAcc) >= 0 ? kAddrAcc : kAddrImp;
  } else if (operand[0] == '#') {
    if (!parseNumber(std::string_view(operand).substr(1), value)) return fail("Bad value");
    if (value > 0xFF) return fail("Value out of range");
    mode = kAddrImm;
  } else if (contains(",X)")) {
    if (!parseNumber(inner(operand.find(",X)")), value) || value > 0xFF)
      return fail("Bad zero page address");
    mode = kAddrIndX;
  } else if (contains("),Y")) {
    if (!parseNumber(inner(operand.find("),Y")), value) || value > 0xFF)
      return fail("Bad zero page address");
    mode = kAddrIndY;
  } else if (contains(")")) {
    if (!parseNumber(inner(operand.find(')')), value)) return fail("Bad address");
    if (value > 0xFFFF) return fail("Address out of range");
    mode = kAddrInd;
  } else if (operand[0] == '(') {
    return fail("Syntax error");
  } else {
    char index = 0;
    std::string_view number = operand;
    if (operand.size() > 2 && operand[operand.size() - 2] == ',' &&
        (operand.back() == 'X' || operand.back() == 'Y')) {
      index = operand.back();
      number.remove_suffix(2);
    }
    bool wide = false;
    if (!parseNumber(number, value, &wide)) return fail("Bad address");
    if (value > 0xFFFF) return fail("Address out of range");
    const bool small = value <= 0xFF && !wide;
    if (opcodeFor(slot, kAddrRel) >= 0 && index == 0) {
      mode = kAddrRel;
    } else {
      const int zpMode = index == 'X' ? kAddrZpX : index == 'Y' ? kAddrZpY : kAddrZp;
      const int absMode = index == 'X' ? kAddrAbsX : index == 'Y' ? kAddrAbsY : kAddrAbs;
      mode = small && opcodeFor(slot, zpMode) >= 0 ? zpMode : absMode;
    }
  }

  int opcode = opcodeFor(slot, mode);
  if (opcode < 0 && mode == kAddrAcc) opcode = opcodeFor(slot, kAddrImp);
  if (opcode < 0) return fail("Illegal addressing mode");

  bytes[0] = static_cast<uint8_t>(opcode);
  bytes[1] = static_cast<uint8_t>(value);
  bytes[2] = static_cast<uint8_t>(value >> 8);
  if (mode == kAddrRel) {
    const int offset = value - (addr + 2);
    if (offset < -128 || offset > 127) return fail("Branch out of range");
    bytes[1] = static_cast<uint8_t>(offset);
  }
  return instrLength(ops[opcode].mode);
}
