// The byte operations of the character-set windows on the document: the
// address of a character, the clipboard operations and transforms of its 8
// bytes, painting a pixel, copying glyphs from the character ROM, choosing
// the charset slot and multicolour, the colours characters are drawn in,
// and which character a point of the 32 x 8 overview shows. A charset the
// video chip reads from the ROM is never written: the changing operations
// return false for it. The windows take the undo step and then call these.
#pragma once

#include "core/Machine.h"
#include "core/Palette.h"
#include "core/Vic.h"

#include <array>
#include <cstdint>
#include <string>

constexpr int kCharBytes = 8;
constexpr int kCharsetChars = 256;  // characters of one set
static_assert(kCharsetChars * kCharBytes == kCharsetSize);
constexpr int kCharsetSlots = 8;
constexpr int kRomCharsets = 2;  // "Charset 1" upper case, "Charset 2" lower case
using CharClip = std::array<uint8_t, kCharBytes>;

// The overview canvas: 32 x 8 characters, each 8 x 8 with a 1-pixel line
// between and around them.
constexpr int kCharsetColumns = 32;
constexpr int kCharsetRows = 8;
constexpr int kCharPitch = kCellSize + 1;
constexpr int kCharsetCanvasWidth = kCharsetColumns * kCharPitch + 1;   // 289
constexpr int kCharsetCanvasHeight = kCharsetRows * kCharPitch + 1;     // 73

namespace CharOps {

// (charset address + code x 8) & $FFF8.
uint32_t charAddress(const Machine& m, int code);
// Bit 4 of $D016.
bool multicolor(const Machine& m);
// The slot 0-7 of the charset in the bank: bits 1-3 of $D018.
int slot(const Machine& m);

void copy(const Machine& m, int code, CharClip& clip);  // from ROM or RAM
// Copies; for a RAM charset the character is then cleared.
void cut(Machine& m, int code, CharClip& clip);
bool paste(Machine& m, int code, const CharClip& clip);
bool clear(Machine& m, int code);
// The same code from ROM charset 0 (upper case) or 1 (lower case).
bool copyFromRom(Machine& m, int code, int romSet);
bool invert(Machine& m, int code);
bool flip(Machine& m, int code);
bool mirror(Machine& m, int code, bool multicolor);
// Paints pixel (x, y), clamped to 0-7, by the pen rules.
bool paintPixel(Machine& m, int code, int x, int y, bool erase, bool multicolor, int pen);
// The whole 2048-byte charset cleared, or filled from ROM charset 0 or 1.
bool clearCharset(Machine& m);
bool loadRomCharset(Machine& m, int romSet);

// Sets bits 1-3 of $D018 to the slot, keeping the others.
void setSlot(Machine& m, int s);
// Bit 4 of $D016; switching multicolour on limits the pen to 0-7.
void setMulticolor(Machine& m, bool on);
// "%d ($%04X-$%04X)%s" for slot s of the current bank, " ROM" on the slots
// the video chip reads from the ROM in banks 0 and 2.
std::string slotLabel(const Machine& m, int s);

// The colours of Vic::renderCharData: hires $D021 and the pen;
// multicolour $D021, $D022, $D023 and the pen & 7.
void charColors(const Machine& m, const Palette& pal, uint32_t colors[kCellColors], bool multicolor);

// The character under canvas pixel (x, y) of the overview, or -1 for the
// last column and row.
int charAtCanvas(int x, int y);

// A left click with multicolour pen 3 accepts only colours 0-7.
bool colorRefused(bool multicolor, int pen, bool rightButton, int colour);
// The undo label of a palette click, or null when it takes no step (the
// drawing colour is not part of the undo history).
const char* colorUndoLabel(bool multicolor, int pen, bool rightButton);
// A palette click: right sets $D021; left in hires or with pen 3 sets the
// drawing colour; pens 1 and 2 set $D022 and $D023.
void pickColor(Machine& m, bool multicolor, int pen, bool rightButton, int colour);

}  // namespace CharOps
