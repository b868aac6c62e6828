// The byte layouts of the picture files of other C64 paint programs and of
// PRG files. One constant table describes every picture format; loading puts
// each part of a file where the video chip's current registers and bank place
// bitmap, video matrix and colour memory, and the writers build Koala, Doodle
// and PRG files from the document. Nothing here knows the user interface:
// failures come back as a bool or a count, and the callers (file actions,
// dropped files, the mount-disk window) word the messages and take the undo
// steps.
#pragma once

#include "core/Machine.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace FileFormats {

constexpr int kFormatCount = 29;
constexpr int kChunkSlots = 7;

// A PRG file starts with its load address, two bytes little-endian.
constexpr int kPrgAddressSize = 2;

// Koala Painter: $6000, 8000 bitmap, 1000 screen, 1000 colour, background.
constexpr uint16_t kKoalaLoadAddress = 0x6000;
constexpr size_t kKoalaFileSize = 10003;
// Doodle: $1C00, the 1024-byte video matrix block, then the bitmap at $2000.
constexpr uint16_t kDoodleLoadAddress = 0x1C00;
constexpr int kDoodleScreenBlock = 1024;
constexpr size_t kDoodleFileSize = 9026;

// Colour memory as a load target runs from $D800 to the end of the image.
constexpr int kColorRamLoadMax = 10240;

// The raw pixel formats describe a full hires screen.
constexpr int kRawWidth = kDisplayWidth;
constexpr int kRawHeight = kDisplayHeight;

// Where the bytes of a chunk go. Bitmap and screen addresses are the ones
// the video chip derives from the registers and the bank at load time; the
// Bank0/Bank1 targets serve interlaced formats, whose two frames sit at the
// same places of banks 0 and 1 whatever bank is selected.
enum ChunkType : int {
  End = 0,          // ends the chunk list
  Bitmap = 1,       // to the bitmap address
  Screen = 2,       // to the video matrix
  ColorRam = 3,     // to $D800 on
  ColorFill = 4,    // first byte fills $D800-$DBE7
  Background = 5,   // first byte to $D021
  Border = 6,       // first byte to $D020
  BitmapBank0 = 7,  // to ($D018 bit 3) x 8192
  ScreenBank0 = 8,  // to ($D018 >> 4) x 1024
  BitmapBank1 = 9,  // to ($D018 bit 3) x 8192 + $4000
  ScreenBank1 = 10, // to ($D018 >> 4) x 1024 + $4000
};
constexpr int kChunkTypeMax = ScreenBank1;

enum FormatKind : int {
  kKindChunk = 0,  // parts at fixed offsets after the load address
  kKindRaw = 1,    // packed pixels from the first byte, no load address
};

struct Chunk {
  int type;    // ChunkType
  int offset;  // counted from the first byte after the load address
  int length;  // bytes
};

struct Format {
  const char* name;         // shown in menus, lists and filters
  const char* extensions;   // lower case, no dot, separated by ";"
  const char* information;  // several lines separated by line feeds
  int gfxMode;              // kModeHires or kModeMultiBitmap
  int kind;                 // FormatKind
  int rawBits;              // raw formats: bits per pixel (1, 2, 4 or 8)
  std::array<Chunk, kChunkSlots> chunks;  // chunk formats: a type End ends the list
};

extern const std::array<Format, kFormatCount> formats;

int count();
// Empty text, or an empty list, for an index outside the table.
std::string name(int index);
std::string information(int index);
std::vector<std::string> extensions(int index);

// The first row (0 upward) listing `ext` (no dot, any case); -1 when none.
int findByExtension(const std::string& ext);

// Loads a whole file's bytes by row `index`: switches to the row's graphics
// mode, then writes the file's parts. False for an index outside the table,
// for empty data and for a packed file of a row that describes only the
// plain layout (nothing changes then), and for a chunk-format file with no
// byte after its load address (the mode switch has then already happened).
bool load(Machine& m, int index, const std::vector<uint8_t>& data);

// Copies a PRG's data to its load address, clipped at $FFFF, and returns the
// number of bytes written. Data shorter than the load address returns 0 and
// leaves `loadAddress` and memory alone; a 2-byte file also returns 0 but
// sets `loadAddress`.
int loadPrg(Machine& m, const std::vector<uint8_t>& data, int& loadAddress);

// The PRG of memory [start, start + length), cut to end by $10000.
std::vector<uint8_t> savePrg(const Machine& m, int start, int length);

// Koala and Doodle files of the bitmap and screen the registers select now.
std::vector<uint8_t> saveKoala(const Machine& m);
std::vector<uint8_t> saveDoodle(const Machine& m);

}  // namespace FileFormats
