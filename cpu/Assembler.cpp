// Two-pass source assembler: lines, labels, variables, expressions and data
// directives. Each instruction is rewritten with plain hexadecimal numbers
// and handed to CPU6502::encode at the location counter. The source is read
// through views into it and scratch strings kept from line to line, so a
// statement makes no allocation and a source of megabytes assembles within
// a frame or two.
#include "cpu/AsmText.h"
#include "cpu/Assembler.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

// Assembler words follow ASCII, whatever the C library's locale says.
constexpr bool isAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isAlnum(char c) { return isAlpha(c) || isDigit(c); }
constexpr bool isSymbolChar(char c) { return isAlnum(c) || c == '_' || c == '.'; }

// Appends "$" and the low 16 bits of the value in hexadecimal: at least
// `digits` digits, with leading zeros.
void appendHex(std::string& out, int value, int digits) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const unsigned v = static_cast<unsigned>(value) & 0xFFFF;
  int count = 1;
  while (count < 4 && (v >> (4 * count)) != 0) ++count;
  count = std::max(count, digits);
  out += '$';
  for (int i = count - 1; i >= 0; --i) out += kHex[(v >> (4 * i)) & 0xF];
}

// A branch is any mnemonic with a relative form.
bool isBranch(std::string_view mnemonic) { return CPU6502::findOpcode(mnemonic, kAddrRel) >= 0; }

// First word of a statement, up to a blank, a tab or (with `equals`) an
// "=", and the trimmed text after it.
void splitWord(std::string_view text, bool equals, std::string_view& word, std::string_view& rest) {
  size_t end = 0;
  while (end < text.size() && text[end] != ' ' && text[end] != '\t' && !(equals && text[end] == '=')) ++end;
  word = text.substr(0, end);
  rest = trimAsmView(text.substr(end));
}

constexpr char kUtf8Currency[] = "\xC2\xA4";

// The bytes the comment scan of a line stops at: a double quote, a
// semicolon and the first byte of the currency sign. The scan passes over
// every other byte of every line in both passes.
constexpr std::array<bool, 256> kScanStops = [] {
  std::array<bool, 256> stops{};
  stops['"'] = stops[';'] = stops[static_cast<uint8_t>(kUtf8Currency[0])] = true;
  return stops;
}();

// The byte a "<" (low) or ">" (high) before an expression picks from its
// value; any other select leaves the value whole.
int selectByte(char byteSelect, int value) {
  if (byteSelect == '<') return value & 0xFF;
  if (byteSelect == '>') return (value >> 8) & 0xFF;
  return value;
}

}  // namespace

std::string Assembler::trim(std::string_view text) { return trimAsmBlanks(text); }

std::string_view Assembler::upper(std::string_view name) {
  upper_.assign(name);
  for (char& c : upper_) c = asciiUpper(c);
  return upper_;
}

bool Assembler::isUnresolvedLine(int lineNo) const {
  return lineNo >= 0 && static_cast<size_t>(lineNo) < unresolvedLines.size() && unresolvedLines[lineNo];
}

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
  if (finalPass)
    mem[pc] = byte;
  else if (recording_)
    effectBytes_.push_back(byte);
  advance(1);
}

bool Assembler::assemble(std::string_view source) {
  messages.clear();
  symbols.clear();
  droppedMessages_ = 0;

  std::vector<std::string_view> lines;
  lines.reserve(static_cast<size_t>(std::count(source.begin(), source.end(), '\n')) + 1);
  size_t start = 0;
  while (true) {
    const size_t end = source.find('\n', start);
    std::string_view text = source.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    lines.push_back(text);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  unresolvedLines.assign(lines.size() + 1, false);

  auto failed = [&] {
    if (droppedMessages_ > 0)
      messages.push_back({0, "... and " + std::to_string(droppedMessages_) + " more errors", false});
    return false;
  };
  finalPass = false;
  effects_.clear();
  effects_.reserve(lines.size());
  effectBytes_.clear();
  recording_ = true;
  const bool pass1 = runPass(lines);
  recording_ = false;
  if (!pass1) return failed();
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

bool Assembler::runPass(const std::vector<std::string_view>& lines) {
  pc = kAsmOrigin;
  pastTop_ = false;
  codeStart = -1;
  bool ok = true;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (finalPass && effects_[i].kind != LineEffect::kRerun) {
      replay(effects_[i]);
      continue;
    }
    const uint16_t before = pc;
    const size_t bytesBefore = effectBytes_.size();
    lineDeferred_ = lineOrigin_ = lineCode_ = false;
    const bool lineOk = line(static_cast<int>(i + 1), lines[i]);
    if (!finalPass) {
      LineEffect e{LineEffect::kRerun, static_cast<uint16_t>(pc - before), 0, 0};
      const size_t count = effectBytes_.size() - bytesBefore;
      if (!lineOk || lineDeferred_) {
        effectBytes_.resize(bytesBefore);
      } else if (lineOrigin_) {
        e.kind = LineEffect::kOrigin;
        e.start = pc;
      } else if (count > 0) {
        e.kind = lineCode_ ? LineEffect::kCode : LineEffect::kData;
        e.start = static_cast<uint32_t>(bytesBefore);
        e.count = static_cast<uint32_t>(count);
      } else {
        e.kind = LineEffect::kNothing;
      }
      effects_.push_back(e);
    } else if (!lineOk) {
      pc = static_cast<uint16_t>(before + effects_[i].size);
    }
    ok = ok && lineOk;
  }
  finalAddr = pastTop_ ? kAsmMemoryEnd : pc;
  return ok;
}

void Assembler::replay(const LineEffect& effect) {
  switch (effect.kind) {
    case LineEffect::kOrigin:
      pc = static_cast<uint16_t>(effect.start);
      pastTop_ = false;
      break;
    case LineEffect::kCode:
    case LineEffect::kData:
      // The first pass checked that these bytes fit below the top. Most
      // lines hold one to three bytes: a plain loop beats a call.
      for (uint32_t i = 0; i < effect.count; ++i) mem[pc + i] = effectBytes_[effect.start + i];
      if (effect.kind == LineEffect::kCode && codeStart < 0) codeStart = pc;
      advance(static_cast<int>(effect.count));
      break;
    default:
      break;
  }
}

bool Assembler::line(int lineNo, std::string_view text) {
  lineHitTop_ = false;
  bool ok = statement(lineNo, text);
  if (lineHitTop_) {
    // Nothing is written past $FFFF: the bytes would wrap onto $0000.
    error(lineNo, "Code runs past the top of memory ($FFFF)");
    ok = false;
  }
  return ok;
}

bool Assembler::statement(int lineNo, std::string_view text) {
  // Drop the comment: a ';' outside double quotes starts it.
  size_t end = text.size();
  bool quoted = false, currency = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!kScanStops[static_cast<uint8_t>(c)]) continue;
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ';' && !quoted) {
      end = i;
      break;
    } else if (c == kUtf8Currency[0] && i + 1 < text.size() && text[i + 1] == kUtf8Currency[1]) {
      currency = true;
      ++i;
    }
  }
  std::string_view body = text.substr(0, end);
  if (currency) {
    // The currency sign some C64 fonts show for '$' counts as '$'.
    statement_.clear();
    for (size_t i = 0; i < body.size(); ++i) {
      if (body[i] == kUtf8Currency[0] && i + 1 < body.size() && body[i + 1] == kUtf8Currency[1]) {
        statement_ += '$';
        ++i;
      } else {
        statement_ += body[i];
      }
    }
    body = statement_;
  }
  const std::string_view t = trimAsmView(body);
  if (t.empty()) return true;

  if (t[0] == '*') {
    const std::string_view rest = trimAsmView(t.substr(1));
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
    lineOrigin_ = true;
    return true;
  }

  std::string_view word, rest;
  splitWord(t, true, word, rest);
  if (!rest.empty() && rest[0] == '=') {
    int value = 0;
    bool unresolved = false;
    if (!evalExpr(rest.substr(1), value, unresolved)) {
      error(lineNo, "Bad value for " + std::string(word));
      return false;
    }
    if (finalPass) return true;
    const std::string_view name = upper(word);
    if (symbols.count(name)) {
      error(lineNo, "Duplicate variable: " + std::string(word));
      return false;
    }
    if (unresolved) {
      error(lineNo, "Variable uses an unknown symbol: " + std::string(word));
      return false;
    }
    symbols.emplace(name, value);
    return true;
  }

  if (word[0] == '.') return data(lineNo, word, rest);
  if (CPU6502::isMnemonic(word)) return instruction(lineNo, word, rest, text);

  std::string_view label = upper(word);
  if (!label.empty() && label.back() == ':') label.remove_suffix(1);
  bool valid = !label.empty() && (isAlpha(label[0]) || label[0] == '_');
  for (char c : label) valid = valid && isSymbolChar(c);
  if (!valid) {
    error(lineNo, "Bad label: " + std::string(word));
    return false;
  }
  bool ok = true;
  if (!finalPass) {
    if (symbols.count(label)) {
      error(lineNo, "Duplicate label: " + std::string(label));
      ok = false;
    } else {
      symbols.emplace(label, pc);
    }
  }
  if (rest.empty()) return ok;

  std::string_view word2, rest2;
  splitWord(rest, false, word2, rest2);
  if (word2[0] == '.') return data(lineNo, word2, rest2) && ok;
  if (CPU6502::isMnemonic(word2)) return instruction(lineNo, word2, rest2, text) && ok;
  error(lineNo, "Unknown mnemonic: " + std::string(word2));
  return false;
}

bool Assembler::instruction(int lineNo, std::string_view mnemonic, std::string_view operandText,
                            std::string_view sourceLine) {
  const char mnem[] = {asciiUpper(mnemonic[0]), asciiUpper(mnemonic[1]), asciiUpper(mnemonic[2])};
  const std::string_view mnemView(mnem, sizeof mnem);
  operand_.clear();
  for (char c : operandText)
    if (c != ' ' && c != '\t') operand_ += asciiUpper(c);
  const std::string_view op = operand_;

  encoded_.assign(mnemView);
  bool ok = true;
  if (op == "A") {
    encoded_ += " A";
  } else if (!op.empty()) {
    std::string_view prefix, expr, suffix;
    char byteSelect = 0;
    if (op[0] == '#') {
      prefix = "#";
      expr = op.substr(1);
      if (!expr.empty() && (expr[0] == '<' || expr[0] == '>')) {
        byteSelect = expr[0];
        expr.remove_prefix(1);
      }
    } else if (op[0] == '(') {
      prefix = "(";
      size_t close = op.find(",X)");
      if (close == std::string_view::npos) close = op.find(')');
      if (close == std::string_view::npos) {
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
      error(lineNo, (finalPass ? "Unknown symbol or bad value: " : "Bad value: ") + std::string(expr));
      return false;
    }
    value = selectByte(byteSelect, value);
    if (!finalPass && unresolved && lineNo >= 0) {
      if (static_cast<size_t>(lineNo) >= unresolvedLines.size()) unresolvedLines.resize(lineNo + 1);
      unresolvedLines[lineNo] = true;
    }

    encoded_ += ' ';
    encoded_ += prefix;
    if (prefix == "#") {
      if (!unresolved && value > 0xFF) {
        error(lineNo, "Immediate value out of range");
        ok = false;
      }
      appendHex(encoded_, value & 0xFF, 2);
    } else if (isUnresolvedLine(lineNo) || value > 0xFF) {
      // A forward reference keeps its three-byte form in both passes.
      appendHex(encoded_, value, 4);
    } else {
      // Without a leading zero, which would ask the one-line assembler for
      // the absolute form: addresses $00-$0F stay zero page like the rest.
      appendHex(encoded_, value, 1);
    }
    encoded_ += suffix;
  }

  std::string message;
  uint8_t bytes[kMaxInstrLength];
  // Sized first: an instruction that would run past $FFFF writes nothing.
  const int length = CPU6502::encode(pc, encoded_, bytes, &message);
  if (length == 0) {
    // In the first pass a branch to a label not yet known cannot be checked.
    if (!finalPass && isBranch(mnemView)) {
      if (!fits(2)) return false;
      advance(2);
      lineDeferred_ = true;
      return ok;
    }
    error(lineNo, message + ": " + std::string(sourceLine));
    return false;
  }
  if (!fits(length)) return false;
  if (finalPass)
    std::copy_n(bytes, length, mem + pc);
  else if (recording_)
    effectBytes_.insert(effectBytes_.end(), bytes, bytes + length);
  lineCode_ = true;
  if (codeStart < 0) codeStart = pc;
  advance(length);
  return ok;
}

bool Assembler::data(int lineNo, std::string_view directive, std::string_view operand) {
  const std::string_view upperName = upper(directive);
  if (upperName == ".TEXT") {
    const size_t first = operand.find('"');
    const size_t last = operand.rfind('"');
    if (first == std::string_view::npos || first == last) {
      error(lineNo, "Syntax error in .text");
      return false;
    }
    for (size_t i = first + 1; i < last; ++i) emit(static_cast<uint8_t>(operand[i]));
    return true;
  }

  enum { kBytes, kWords, kWordsHighFirst } kind;
  if (upperName == ".BYTE" || upperName == ".DATA")
    kind = kBytes;
  else if (upperName == ".WORD")
    kind = kWords;
  else if (upperName == ".WORDHL")
    kind = kWordsHighFirst;
  else {
    error(lineNo, "Unknown directive " + std::string(directive));
    return false;
  }

  items_.clear();
  size_t start = 0;
  while (true) {
    const size_t comma = operand.find(',', start);
    const std::string_view item = trimAsmView(
        operand.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (!item.empty()) items_.push_back(item);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (items_.empty()) {
    error(lineNo, "Missing data");
    return false;
  }

  // "*" stands for the statement's first byte in every item, not for the
  // byte the item itself fills.
  const uint16_t statementStart = pc;
  for (const std::string_view item : items_) {
    const char byteSelect = (item[0] == '<' || item[0] == '>') ? item[0] : 0;
    int value = 0;
    bool unresolved = false;
    const uint16_t next = pc;
    pc = statementStart;
    const bool evaluated = evalExpr(byteSelect ? item.substr(1) : item, value, unresolved);
    pc = next;
    if (!evaluated) {
      error(lineNo, "Bad value: " + std::string(item));
      return false;
    }
    value = selectByte(byteSelect, value);
    if (kind == kBytes) {
      if (!byteSelect && value > 0xFF && !(unresolved && !finalPass)) {
        error(lineNo, "Byte value out of range: " + std::string(item));
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

bool Assembler::evalExpr(std::string_view text, int& value, bool& unresolved) {
  const std::string_view t = trimAsmView(text);
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
      const int* symbol = symbols.find(upper(t.substr(i, end - i)));
      i = end;
      if (symbol) {
        v = *symbol;
        return true;
      }
      if (finalPass) return false;
      v = 0xFFFF;
      unresolved = true;
      lineDeferred_ = true;
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
