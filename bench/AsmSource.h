// Generated assembler sources for the benchmarks: a realistic program of at
// most a given size (routines with labels, local loops, forward branches and
// calls, variables, zero-page pointers, comments, data tables and text)
// and a dense one of short instruction lines, the most statements a
// source of that size can hold.
#pragma once

#include <cstdio>
#include <string>

namespace asmsource {

// The code and data of one routine are 95 bytes; every this many routines an
// origin line starts the next overlay area, so the code always fits into
// memory as a large program's overlays do.
constexpr int kRoutinesPerArea = 300;
constexpr int kAreaStarts[] = {0x0800, 0x4000, 0x8000};

constexpr size_t kLastLine = 32;  // room for the line that ends the program

inline std::string realistic(size_t bytes) {
  std::string s =
      "; ------------------------------------------------------------\n"
      "; generated program: routines, tables and texts\n"
      "; ------------------------------------------------------------\n"
      "BORDER   = $D020\n"
      "PAPER    = $D021\n"
      "SCREEN   = $0400\n"
      "COLORRAM = SCREEN+$D400\n"
      "PTR      = $FB\n"
      "TMP      = $FD\n"
      "COUNT    = 40\n";
  char buf[1400];
  int r = 0;
  for (;; ++r) {
    std::string routine;
    if (r % kRoutinesPerArea == 0) {
      std::snprintf(buf, sizeof buf, "\n         *= $%04X\n", kAreaStarts[(r / kRoutinesPerArea) % 3]);
      routine = buf;
    }
    // Each routine calls the next one, a forward reference until the next
    // routine defines it.
    std::snprintf(buf, sizeof buf,
                  "\n; ---- routine %d: copies a row of text and colours ----\n"
                  "R%d       LDA #<T%d        ; text address into the pointer\n"
                  "         STA PTR\n"
                  "         LDA #>T%d\n"
                  "         STA PTR+1\n"
                  "         LDY #COUNT-1\n"
                  "R%dLOOP   LDA (PTR),Y      ; next character\n"
                  "         STA SCREEN+%d,Y\n"
                  "         LDA D%d,X\n"
                  "         AND #$0F\n"
                  "         STA COLORRAM+%d,Y\n"
                  "         DEY\n"
                  "         BPL R%dLOOP\n"
                  "         LDX TMP\n"
                  "         INC BORDER\n"
                  "         CPX #$%02X\n"
                  "         BEQ R%dDONE       ; forward branch\n"
                  "         JSR R%d\n"
                  "R%dDONE   RTS\n"
                  "D%d       .BYTE $%02X, $%02X, 3, 4, %%0101, <R%d, >R%d, 'A'\n"
                  "         .WORD R%d, R%dLOOP, *+2\n"
                  "T%d       .TEXT \"ROUTINE %d; A ROW OF TEXT FOR THE SCREEN..\"\n",
                  r, r, r, r, r, (r * 40) % 960, r, (r * 40) % 960, r, r & 0xFF, r, r + 1, r, r, r & 0xFF,
                  (r * 7) & 0xFF, r, r, r, r, r, r);
    routine += buf;
    if (s.size() + routine.size() + kLastLine > bytes) break;
    s += routine;
  }
  std::snprintf(buf, sizeof buf, "R%d       RTS\n", r);  // the last routine's call
  return s + buf;
}

// Lines of one short instruction each, with origin lines so that the code
// stays in memory.
inline std::string dense(size_t bytes) {
  std::string s;
  constexpr int kLinesPerArea = 40000;  // one-byte instructions from $0800
  const char* const lines[] = {" INX\n", " DEY\n", " NOP\n", " ASL\n"};
  for (int i = 0;; ++i) {
    const std::string line = std::string(i % kLinesPerArea == 0 ? "*=$0800\n" : "") + lines[i % 4];
    if (s.size() + line.size() > bytes) break;
    s += line;
  }
  return s;
}

}  // namespace asmsource
