// Conversions between typed characters (Unicode code points), C64 screen
// codes and PETSCII. The screen editor and the monitor console turn typed
// text into screen codes with CharToScreenCode; the other three serve
// displays and conversions of character data.
#pragma once

#include <cstdint>

// Screen code for a typed code point, or -1 when the C64 character set has
// no glyph for it (backslash, back-quote, braces, control codes, ...).
int CharToScreenCode(uint32_t codepoint);

// Code point that shows screen code `code` (reverse bit ignored); "." for
// the graphics characters that have no text equivalent.
uint32_t ScreenCodeToChar(int code);

// PETSCII byte (p & 255) to the screen code that prints it.
uint8_t PetsciiToScreenCode(int p);

// Screen code (reverse bit dropped) to the PETSCII byte that prints it.
uint8_t ScreenCodeToPetscii(int s);
