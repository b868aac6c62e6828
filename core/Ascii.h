// ASCII case folding for file names and extensions, disk names and
// assembler words. Only A-Z and a-z change, whatever the C library's locale
// says, because these names follow C64 and file-system rules, not the
// user's language.
#pragma once

#include <string>

constexpr char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string toLowerAscii(std::string s) {
  for (char& c : s) c = asciiLower(c);
  return s;
}

inline std::string toUpperAscii(std::string s) {
  for (char& c : s) c = asciiUpper(c);
  return s;
}
