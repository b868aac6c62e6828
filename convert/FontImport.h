// Font import into character sets, without a window: a TrueType or
// OpenType font file rendered glyph by glyph into the 8x8 characters of the
// charset the video chip shows, with the state of one import session (the
// charset's bytes from before the session, so Cancel can put them back).
//
// Font files are untrusted. They are parsed and rasterised with FreeType,
// which checks every table and glyph offset against the data it was given;
// only SFNT fonts (TrueType and OpenType outlines) with a usable horizontal
// header are accepted. Glyphs are rasterised straight into the 8x8 cell, so
// no glyph, however large it claims to be, allocates more than the cell.
#pragma once

#include "core/Machine.h"
#include "core/UndoBuffer.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

constexpr int kFontSizeMin = 4;
constexpr int kFontSizeMax = 16;
constexpr int kFontOffsetMax = 4;  // the shifts run from -4 to 4
constexpr int kThresholdMin = 1;
constexpr int kThresholdMax = 255;

// One parsed font: a FreeType face over bytes the caller keeps alive and in
// place. Empty until `load` succeeds.
class FontInfo {
public:
  FontInfo() = default;
  ~FontInfo();
  FontInfo(const FontInfo&) = delete;
  FontInfo& operator=(const FontInfo&) = delete;

  // Parses font number 0 of the bytes; false when they hold no SFNT outline
  // font with ascender above descender in its horizontal header.
  bool load(const std::vector<uint8_t>& bytes);
  void reset();

  void* face = nullptr;  // FT_Face
  int ascender = 0;      // font units, from the horizontal header
  int descender = 0;
};

struct ImportFontState {
  std::vector<uint8_t> fontData;  // bytes of the chosen font file
  std::string name;               // its path
  FontInfo fontInfo;              // the parsed font, refers into fontData
  bool valid = false;             // the font parsed
  int size = 8;                   // pixel height of ascender minus descender
  int xOffset = 0;
  int yOffset = 0;
  int threshold = 110;            // minimum coverage of a set pixel
  bool capitals = true;
  bool small = true;
  bool numbers = true;
  bool symbols = true;
  bool active = false;            // a session holds a backup of the charset
  std::array<uint8_t, kCharsetSize> backup{};
  int charsetAddr = -1;           // the charset being replaced
  bool dirty = true;              // render again in this frame
  // The undo history's change count right after the session's own step: any
  // other change (undo, load, New, an edit) means the document changed
  // underneath the session.
  int historyMark = -1;
};

// Takes the font file's bytes: `valid` tells whether they parsed.
void loadFont(ImportFontState& s, const std::string& path, std::vector<uint8_t> bytes);

// (screen code, code point) pairs of the enabled groups, in rendering
// order: capitals, small letters, digits, symbols.
std::vector<std::pair<int, int>> importGlyphs(const ImportFontState& s);

// Renders one code point into 8 bytes (top row first, bit 7 leftmost);
// all zero when the font is not valid.
void renderGlyph(ImportFontState& s, uint8_t* dest, int codepoint);

// Puts the backup back, then renders the enabled groups into the charset.
void doImport(Machine& m, ImportFontState& s);

// Starts a session on the charset the video chip shows: backup, address,
// active, dirty. Returns the message for a ROM charset (nothing started),
// else an empty text.
std::string beginImport(Machine& m, ImportFontState& s);
// Notes the history after the session's undo step was taken.
void markHistory(ImportFontState& s, const UndoBuffer& undo);
// True while the session's document is the one in memory: the history has
// not changed since the mark and the charset lies at the same address.
bool sessionCurrent(const Machine& m, const UndoBuffer& undo, const ImportFontState& s);
// Ends the session. With `restore` (Cancel, or the window closed) the
// backup goes back to its address, but only while the session is current:
// a backup never lands in a document that replaced the one it came from.
// Returns whether it was written.
bool finishImport(Machine& m, const UndoBuffer& undo, ImportFontState& s, bool restore);

extern const char* const kImportRomMessage;
