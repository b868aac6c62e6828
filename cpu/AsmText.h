// Character helpers shared by the one-line assembler and the source
// assembler: both read operands and mnemonics the same way.
#pragma once

#include <cctype>
#include <string>

inline bool isAsmBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

inline std::string toUpperAscii(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}
