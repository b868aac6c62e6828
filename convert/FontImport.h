// Font import into character sets, without a window: a TrueType or
// OpenType font file rendered glyph by glyph into the 8x8 characters of the
// charset the video chip shows, with the state of one import session (the
// charset's bytes from before the session, so Cancel can put them back).
//
// Font files are untrusted. They are parsed and rasterised with FreeType,
// which checks every table and glyph offset against the data it was given;
// only TrueType fonts and OpenType fonts with CFF outlines, each with a
// usable horizontal header, are accepted. Glyphs are rasterised straight
// into the 8x8 cell, so no glyph, however large it claims to be, allocates
// more than the cell. Glyphs are loaded without hinting, for every font,
// so no program of a font ever runs in FreeType's bytecode interpreter.
// What FreeType does not bound is time: composite glyphs nested in
// composite glyphs, charstrings calling subroutines thousands of times,
// outlines that cross the cell millions of times. So every glyph's work is
// counted before FreeType does it, and a glyph over the budgets below
// renders blank.
#pragma once

#include "convert/CffCharstrings.h"
#include "core/Machine.h"

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

// Work allowed for one glyph. Real fonts stay well below: at most a dozen
// parts nested four deep, a few hundred charstring operations for letters
// (tens of thousands for the most intricate pictographs), some hundreds of
// rasteriser steps at the largest size. At the budgets a whole import
// takes a fraction of a second.
constexpr int kGlyphPartBudget = 256;     // TrueType glyphs loaded, nested parts included
constexpr int kGlyphDepthBudget = 8;      // levels of composite nesting
constexpr int kGlyphPointBudget = 32767;  // outline points (FreeType's own limit)
constexpr int kCharstringBudget = 1 << 17;    // CFF operations, see CffCharstrings
constexpr int64_t kRasterBudget = 1 << 16;    // cells crossed and curve pieces rasterised

// The work counted for one glyph; `blank` when it went over a budget or
// could not be bounded, and the glyph was not loaded or not rasterised.
struct GlyphWork {
  int parts = 0;
  int depth = 0;
  int points = 0;
  int charstring = 0;
  int64_t raster = 0;
  bool blank = false;
};

// One parsed font: a FreeType face over bytes the caller keeps alive and in
// place. Empty until `load` succeeds.
class FontInfo {
public:
  FontInfo() = default;
  ~FontInfo();
  FontInfo(const FontInfo&) = delete;
  FontInfo& operator=(const FontInfo&) = delete;

  // Parses font number 0 of the bytes; false when they hold no TrueType or
  // OpenType file (a web font's packing is not undone) with TrueType or
  // static CFF outlines, ascender above descender in its horizontal header,
  // and a CFF table strictly laid out.
  bool load(const std::vector<uint8_t>& bytes);
  void reset();

  void* face = nullptr;  // FT_Face
  int ascender = 0;      // font units, from the horizontal header
  int descender = 0;
  CffCharstrings cff;    // the CFF outlines, when the font has them
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
  // What the session last left in the charset, and the document it did it
  // in (App's generation, raised by New and by loading a project). Edits
  // elsewhere leave both as they were and the session goes on.
  std::array<uint8_t, kCharsetSize> written{};
  int generation = -1;
};

// Takes the font file's bytes: `valid` tells whether they parsed.
void loadFont(ImportFontState& s, const std::string& path, std::vector<uint8_t> bytes);

// (screen code, code point) pairs of the enabled groups, in rendering
// order: capitals, small letters, digits, symbols.
std::vector<std::pair<int, int>> importGlyphs(const ImportFontState& s);

// Renders one code point into 8 bytes (top row first, bit 7 leftmost);
// all zero when the font is not valid or the glyph is over its budgets.
// `work`, when given, receives what the glyph was counted to cost.
void renderGlyph(ImportFontState& s, uint8_t* dest, int codepoint, GlyphWork* work = nullptr);

// Puts the backup back, then renders the enabled groups into the charset.
void doImport(Machine& m, ImportFontState& s);

// Starts a session on the charset the video chip shows, in the document of
// generation `generation`: backup, address, active, dirty. Returns the
// message for a ROM charset (nothing started), else an empty text.
std::string beginImport(Machine& m, ImportFontState& s, int generation);
// True while the session's charset is still its own: the same document,
// the charset at the same address, holding what the session left there.
// An edit, undo or redo over the charset, a bank or slot change, New or a
// project load ends it; edits elsewhere do not.
bool sessionCurrent(const Machine& m, int generation, const ImportFontState& s);
// Ends the session. With `restore` (Cancel, or the window closed) the
// backup goes back to its address, but only while the session is current:
// a backup never lands in a charset changed or replaced since. Returns
// whether it was written.
bool finishImport(Machine& m, int generation, ImportFontState& s, bool restore);

extern const char* const kImportRomMessage;
