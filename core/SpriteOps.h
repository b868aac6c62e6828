// The byte operations of the sprite windows on the document: the sprite
// pointers of the eight hardware sprites, the clipboard operations and
// transforms of one 64-byte sprite block, painting a pixel, assigning a
// block to a hardware sprite with its colour and multicolour flag, and the
// block range of the "Save sprites" dialog. The windows take the undo step
// and then call these; none of them can write outside the 64 KB image.
#pragma once

#include "core/Machine.h"

#include <array>
#include <cstdint>
#include <string>

constexpr int kHardwareSprites = 8;
constexpr int kSpriteBlocks = 256;  // blocks 0-255 of the current video bank
using SpriteClip = std::array<uint8_t, kSpriteBlockSize>;

namespace SpriteOps {

// Pointer n (0-7) from video matrix + $3F8 + n, and its change.
int pointer(const Machine& m, int n);
void setPointer(Machine& m, int n, int block);
// The smallest and largest of the eight pointers.
void pointerRange(const Machine& m, int& first, int& last);
// Bit n set for every hardware sprite n whose pointer equals the block.
int users(const Machine& m, int block);
// The lowest hardware sprite showing the block, or -1.
int firstUser(const Machine& m, int block);
// The editor's multicolour flag: bit n of $D01C for the lowest
// hardware sprite n showing the block; off when none shows it.
bool editorMulticolor(const Machine& m, int block);
// "$%04X" with the block address, then " (SPRITE %d)" per hardware sprite
// showing it, in rising order.
std::string blockLabel(const Machine& m, int block);
// (block + delta) & 255: the arrow buttons wrap.
int stepBlock(int block, int delta);

void copy(const Machine& m, int block, SpriteClip& clip);
void cut(Machine& m, int block, SpriteClip& clip);
void paste(Machine& m, int block, const SpriteClip& clip);
void clear(Machine& m, int block);
// All 64 bytes, the unused 64th too.
void invert(Machine& m, int block);
// Row 0 with row 20 and so on; the 64th byte stays.
void flip(Machine& m, int block);
// Each row's bytes swap ends and each byte is mirrored (bit pairs kept
// together in multicolour); the 64th byte stays.
void mirror(Machine& m, int block, bool multicolor);
// Paints pixel (x, y), clamped to 0-23 and 0-20, by the pen rules.
void paintPixel(Machine& m, int block, int x, int y, bool erase, bool multicolor, int pen);
// Zeroes the blocks the eight pointers select (only those).
void clearPointed(Machine& m);

// Hardware sprite n shows the block in the colour, with the multicolour
// flag.
void assign(Machine& m, int n, int block, int color, bool multicolor);
// Sets or clears the multicolour bit of every hardware sprite showing the
// block.
void setMulticolor(Machine& m, int block, bool on);
// A click on the editor's palette: right button sets the background $D021;
// left in multicolour with pen 1 or 3 sets $D025 or $D026; otherwise the
// sprite colour, written to every hardware sprite showing the block.
void pickColor(Machine& m, int block, int& spriteColor, bool multicolor, int pen, bool rightButton,
               int colour);

// The dialog's range: a last block below the first becomes the first.
void correctSaveRange(int& first, int& last);
// "%d sprite%s, $%04X-$%04X": count, plural, first byte and last byte.
std::string saveRangeSummary(const Machine& m, int first, int last);

}  // namespace SpriteOps
