// Two-pass source assembler: lines, labels, variables, expressions and data
// directives. Each instruction is rewritten with plain hexadecimal numbers
// and handed to CPU6502::assemble at the location counter.
#include "cpu/AsmText.h"
#include "cpu/Assembler.h"

#include <cctype>
#include <cstdio>

namespace {

bool isAlpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isAlnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }
bool isSymbolChar(char c) { return isAlnum(c) || c == '_' || c == '.'; }

std::string hexNumber(int value, const char* format) {
  char buf[8];
  std::snprintf(buf, sizeof buf, format, value & 0xFFFF);
  return buf;
}

// A branch is any mnemonic with a relative form.
bool isBranch(const std::string& mnemonic) { return CPU6502::findOpcode(mnemonic, kAddrRel) >= 0; }

// First word of a statement and the trimmed text after it.
void splitWord(const std::string& text, const char* stops, std::string& word, std::string& rest) {
  size_t end = text.find_first_of(stops);
  if (end == std::string::npos) end = text.size();
  word = text.substr(0, end);
  rest = Assembler::trim(text.substr(end));
}

constexpr char kUtf8Currency[] = "\xC2\xA4";

// The byte a "<" (low) or ">" (high) before an expression picks from its
// value; any other select leaves the value whole.
int selectByte(char byteSelect, int value) {
  if (byteSelect == '<') return value & 0xFF;
  if (byteSelect == '>') return (value >> 8) & 0xFF;
  return value;
}

}  // namespace

std::string Assembler::trim(const std::string& text) { return trimAsmBlanks(text); }

void Assembler::error(int lineNo, const std::string& text) {
  // A large file of bad lines must not hold millions of messages.
  if (messages.size() >= kAsmMaxMessages) {
    ++droppedMessages_;
    return;
  }
  messages.push_back({lineNo, text, true});
}

bool Assembler::fits(int n) {
  if (!pastTop_ && pc + n <= kAsmMemoryEnd) return true;
  lineHitTop_ = true;
  return false;
}

void Assembler::advance(int n) {
  if (pc + n >= kAsmMemoryEnd) pastTop_ = true;
  pc = static_cast<uint16_t>(pc + n);
}

void Assembler::emit(uint8_t byte) {
  if (!fits(1)) return;
  if (finalPass) mem[pc] = byte;
  advance(1);
}

bool Assembler::assemble(const std::string& source) {
  messages.clear();
  symbols.clear();
  unresolvedLines.clear();
  droppedMessages_ = 0;

  std::vector<std::string> lines;
  size_t start = 0;
  while (true) {
    size_t end = source.find('\n', start);
    std::string text = source.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    lines.push_back(std::move(text));
    if (end == std::string::npos) break;
    start = end + 1;
  }

  auto failed = [&] {
    if (droppedMessages_ > 0)
      messages.push_back({0, "... and " + std::to_string(droppedMessages_) + " more errors", false});
    return false;
  };
  finalPass = false;
  pass1Size_.assign(lines.size(), 0);
  if (!runPass(lines)) return failed();
  finalPass = true;
  if (!runPass(lines)) return failed();

  messages.push_back({0, "Compiled OK!", false});
  if (codeStart >= 0) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "Code start address: $%04X", codeStart);
    messages.push_back({0, buf, false});
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "Final address: $%04X", finalAddr);
  messages.push_back({0, buf, false});
  return true;
}

bool Assembler::runPass(const std::vector<std::string>& lines) {
  pc = kAsmOrigin;
  pastTop_ = false;
  codeStart = -1;
  bool ok = true;
  for (size_t i = 0; i < lines.size(); ++i) {
    const uint16_t before = pc;
    const bool lineOk = line(static_cast<int>(i + 1), lines[i]);
    if (!finalPass)
      pass1Size_[i] = static_cast<uint16_t>(pc - before);
    else if (!lineOk)
      pc = static_cast<uint16_t>(before + pass1Size_[i]);
    ok = ok && lineOk;
  }
  finalAddr = pastTop_ ? kAsmMemoryEnd : pc;
  return ok;
}

bool Assembler::line(int lineNo, const std::string& text) {
  lineHitTop_ = false;
  bool ok = statement(lineNo, text);
  if (lineHitTop_) {
    // Nothing is written past $FFFF: the bytes would wrap onto $0000.
    error(lineNo, "Code runs past the top of memory ($FFFF)");
    ok = false;
  }
  return ok;
}

bool Assembler::statement(int lineNo, const std::string& text) {
  // Drop the comment: a ';' outside double quotes starts it.
  // The currency sign some C64 fonts show for '$' counts as '$'.
  std::string t;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) break;
    if (c == kUtf8Currency[0] && i + 1 < text.size() && text[i + 1] == kUtf8Currency[1]) {
      t += '$';
      ++i;
      continue;
    }
    t += c;
  }
  t = trim(t);
  if (t.empty()) return true;

  if (t[0] == '*') {
    std::string rest = trim(t.substr(1));
    if (rest.empty() || rest[0] != '=') {
      error(lineNo, "Syntax error");
      return false;
    }
    int value = 0;
    bool unresolved = false;
    if (!evalExpr(rest.substr(1), value, unresolved) || unresolved) {
      error(lineNo, "Bad address");
      return false;
    }
    pc = static_cast<uint16_t>(value);
    pastTop_ = false;
    return true;
  }

  std::string word, rest;
  splitWord(t, " \t=", word, rest);
  if (!rest.empty() && rest[0] == '=') {
    int value = 0;
    bool unresolved = false;
    if (!evalExpr(rest.substr(1), value, unresolved)) {
      error(lineNo, "Bad value for " + word);
      return false;
    }
    if (finalPass) return true;
    const std::string name = toUpperAscii(word);
    if (symbols.count(name)) {
      error(lineNo, "Duplicate variable: " + word);
      return false;
    }
    if (unresolved) {
      error(lineNo, "Variable uses an unknown symbol: " + word);
      return false;
    }
    symbols[name] = value;
    return true;
  }

  if (word[0] == '.') return data(lineNo, word, rest);
  if (CPU6502::isMnemonic(word)) return instruction(lineNo, word, rest, text);

  std::string label = toUpperAscii(word);
  if (!label.empty() && label.back() == ':') label.pop_back();
  bool valid = !label.empty() && (isAlpha(label[0]) || label[0] == '_');
  for (char c : label) valid = valid && isSymbolChar(c);
  if (!valid) {
    error(lineNo, "Bad label: " + word);
    return false;
  }
  bool ok = true;
  if (!finalPass) {
    if (symbols.count(label)) {
      error(lineNo, "Duplicate label: " + label);
      ok = false;
    } else {
      symbols[label] = pc;
    }
  }
  if (rest.empty()) return ok;

  std::string word2, rest2;
  splitWord(rest, " \t", word2, rest2);
  if (word2[0] == '.') return data(lineNo, word2, rest2) && ok;
  if (CPU6502::isMnemonic(word2)) return instruction(lineNo, word2, rest2, text) && ok;
  error(lineNo, "Unknown mnemonic: " + word2);
  return false;
}

bool Assembler::instruction(int lineNo, const std::string& mnemonic, const std::string& operandText,
                            const std::string& sourceLine) {
  const std::string mnem = toUpperAscii(mnemonic);
  std::string op;
  for (char c : toUpperAscii(operandText))
    if (c != ' ' && c != '\t') op += c;

  std::string asmText = mnem;
  bool ok = true;
  if (op == "A") {
    asmText += " A";
  } else if (!op.empty()) {
    std::string prefix, expr, suffix;
    char byteSelect = 0;
    if (op[0] == '#') {
      prefix = "#";
      expr = op.substr(1);
      if (!expr.empty() && (expr[0] == '<' || expr[0] == '>')) {
        byteSelect = expr[0];
        expr.erase(0, 1);
      }
    } else if (op[0] == '(') {
      prefix = "(";
      size_t close = op.find(",X)");
      if (close == std::string::npos) close = op.find(')');
      if (close == std::string::npos) {
        error(lineNo, "Missing )");
        return false;
      }
      expr = op.substr(1, close - 1);
      suffix = op.substr(close);
    } else if (op.size() >= 3 && op[op.size() - 2] == ',' && (op.back() == 'X' || op.back() == 'Y')) {
      expr = op.substr(0, op.size() - 2);
      suffix = op.substr(op.size() - 2);
    } else {
      expr = op;
    }

    int value = 0;
    bool unresolved = false;
    if (!evalExpr(expr, value, unresolved)) {
      error(lineNo, (finalPass ? "Unknown symbol or bad value: " : "Bad value: ") + expr);
      return false;
    }
    value = selectByte(byteSelect, value);
    if (!finalPass && unresolved) unresolvedLines[lineNo] = true;

    std::string number;
    if (prefix == "#") {
      if (!unresolved && value > 0xFF) {
        error(lineNo, "Immediate value out of range");
        ok = false;
      }
      number = hexNumber(value & 0xFF, "$%02X");
    } else if (unresolvedLines.count(lineNo) > 0 || value > 0xFF) {
      // A forward reference keeps its three-byte form in both passes.
      number = hexNumber(value, "$%04X");
    } else {
      // Without a leading zero, which would ask the one-line assembler for
      // the absolute form: addresses $00-$0F stay zero page like the rest.
      number = hexNumber(value, "$%X");
    }
    asmText += " " + prefix + number + suffix;
  }

  std::string message;
  // Sized first: an instruction that would run past $FFFF writes nothing.
  const int length = cpu.assemble(pc, asmText, false, &message);
  if (length == 0) {
    // In the first pass a branch to a label not yet known cannot be checked.
    if (!finalPass && isBranch(mnem)) {
      if (!fits(2)) return false;
      advance(2);
      return ok;
    }
    error(lineNo, message + ": " + sourceLine);
    return false;
  }
  if (!fits(length)) return false;
  if (finalPass) cpu.assemble(pc, asmText, true);
  if (codeStart < 0) codeStart = pc;
  advance(length);
  return ok;
}

bool Assembler::data(int lineNo, const std::string& directive, const std::string& operand) {
  const std::string name = toUpperAscii(directive);
  if (name == ".TEXT") {
    size_t first = operand.find('"');
    size_t last = operand.rfind('"');
    if (first == std::string::npos || first == last) {
      error(lineNo, "Syntax error in .text");
      return false;
    }
    for (size_t i = first + 1; i < last; ++i) emit(static_cast<uint8_t>(operand[i]));
    return true;
  }

  enum { kBytes, kWords, kWordsHighFirst } kind;
  if (name == ".BYTE" || name == ".DATA")
    kind = kBytes;
  else if (name == ".WORD")
    kind = kWords;
  else if (name == ".WORDHL")
    kind = kWordsHighFirst;
  else {
    error(lineNo, "Unknown directive " + directive);
    return false;
  }

  std::vector<std::string> items;
  size_t start = 0;
  while (true) {
    size_t comma = operand.find(',', start);
    std::string item = trim(operand.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!item.empty()) items.push_back(std::move(item));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (items.empty()) {
    error(lineNo, "Missing data");
    return false;
  }

  // "*" stands for the statement's first byte in every item, not for the
  // byte the item itself fills.
  const uint16_t statementStart = pc;
  for (const std::string& item : items) {
    const char byteSelect = (item[0] == '<' || item[0] == '>') ? item[0] : 0;
    int value = 0;
    bool unresolved = false;
    const uint16_t next = pc;
    pc = statementStart;
    const bool evaluated = evalExpr(byteSelect ? item.substr(1) : item, value, unresolved);
    pc = next;
    if (!evaluated) {
      error(lineNo, "Bad value: " + item);
      return false;
    }
    value = selectByte(byteSelect, value);
    if (kind == kBytes) {
      if (!byteSelect && value > 0xFF && !(unresolved && !finalPass)) {
        error(lineNo, "Byte value out of range: " + item);
        return false;
      }
      emit(static_cast<uint8_t>(value));
    } else {
      const uint8_t lo = static_cast<uint8_t>(value), hi = static_cast<uint8_t>(value >> 8);
      emit(kind == kWords ? lo : hi);
      emit(kind == kWords ? hi : lo);
    }
  }
  return true;
}

bool Assembler::evalExpr(const std::string& text, int& value, bool& unresolved) {
  const std::string t = trim(text);
  if (t.empty()) return false;
  size_t i = 0;
  const size_t n = t.size();
  auto skipBlanks = [&] {
    while (i < n && isAsmBlank(t[i])) ++i;
  };

  auto term = [&](int& v) -> bool {
    skipBlanks();
    if (i >= n) return false;
    const char c = t[i];
    if (c == '*') {
      ++i;
      v = pc;
      return true;
    }
    if (c == '$' || c == '%' || isDigit(c)) {
      size_t end = i + 1;
      while (end < n && isAlnum(t[end])) ++end;
      bool ok = CPU6502::parseNumber(t.substr(i, end - i), v);
      i = end;
      return ok;
    }
    if (c == '\'') {
      if (i + 2 >= n || t[i + 2] != '\'') return false;
      v = static_cast<unsigned char>(t[i + 1]);
      i += 3;
      return true;
    }
    if (isAlpha(c) || c == '_' || c == '.') {
      size_t end = i + 1;
      while (end < n && isSymbolChar(t[end])) ++end;
      const std::string name = toUpperAscii(t.substr(i, end - i));
      i = end;
      auto it = symbols.find(name);
      if (it != symbols.end()) {
        v = it->second;
        return true;
      }
      if (finalPass) return false;
      v = 0xFFFF;
      unresolved = true;
      return true;
    }
    return false;
  };

  int sum = 0;
  if (!term(sum)) return false;
  while (true) {
    skipBlanks();
    if (i >= n) break;
    const char op = t[i];
    if (op != '+' && op != '-') return false;
    ++i;
    int v = 0;
    if (!term(v)) return false;
    sum = op == '+' ? sum + v : sum - v;
    sum &= 0xFFFFFF;  // keeps the running sum bounded; only the low 16 bits matter
  }
  value = sum & 0xFFFF;
  return true;
}
