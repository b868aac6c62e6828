// Character helpers shared by the one-line assembler, the source assembler
// and the monitor: all three read operands, numbers and mnemonics the same
// way.
#pragma once

#include "core/Ascii.h"

#include <string>
#include <string_view>

inline bool isAsmBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The text without leading and trailing blanks, as a view into it.
constexpr std::string_view trimAsmView(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && isAsmBlank(text[begin])) ++begin;
  while (end > begin && isAsmBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The text without leading and trailing blanks.
inline std::string trimAsmBlanks(std::string_view text) { return std::string(trimAsmView(text)); }

// The value of a hexadecimal digit of either case, or -1.
constexpr int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}
