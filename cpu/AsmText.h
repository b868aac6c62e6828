// Character helpers shared by the one-line assembler and the source
// assembler: both read operands and mnemonics the same way.
#pragma once

#include "core/Ascii.h"

#include <string>

inline bool isAsmBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
