// Font import into character sets: FreeType parses the font and rasterises
// each glyph straight into the 8x8 cell, after the glyph's work has been
// counted against the budgets; see FontImport.h.
#include "convert/FontImport.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_FONT_FORMATS_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include <algorithm>
#include <cmath>
#include <cstring>

const char* const kImportRomMessage = "I'm sorry, i cannot import to ROM. Please select a RAM bank.";

namespace {

constexpr int kCell = 8;
constexpr int kFirstLetter = 1;     // screen codes of "a"-"z" (or "A"-"Z" alone)
constexpr int kFirstCapital = 65;   // screen codes of "A"-"Z" beside small letters

// Screen codes whose glyph comes from a code point of its own.
const std::pair<int, int> kSymbolTable[] = {
    {0, 0x0040},   // commercial at
    {27, 0x005B},  // left square bracket
    {28, 0x00A3},  // pound sign
    {29, 0x005D},  // right square bracket
    {30, 0x2191},  // upwards arrow
    {31, 0x2190},  // leftwards arrow
    {32, 0x0020},  // space
};

// The flags of every glyph load: unscaled, so outlines come in font units
// (scaled below by the header's ascender and descender rather than by the
// em size), and never hinted. NO_SCALE or NO_HINTING alone is not enough:
// FreeType hints a "tricky" font (one whose family name or program tables
// it knows as an old CJK font that builds its shapes in its glyph
// programs) regardless, and runs its bytecode, up to a million
// instructions on every load of every glyph: seconds for a hostile one.
// Beside NO_HINTING, NO_AUTOHINT keeps the interpreter off for every font;
// FreeType runs the font's fpgm and prep programs only before a hinted
// load, so those never run either (a face is opened without them, and no
// size is ever set).
constexpr FT_Int32 kLoadFlags = FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_AUTOHINT;

// One FreeType library for the process, made on first use.
FT_Library library() {
  static FT_Library lib = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return lib;
}

void addRange(std::vector<std::pair<int, int>>& out, int firstCode, int firstPoint, int count) {
  for (int i = 0; i < count; ++i) out.emplace_back(firstCode + i, firstPoint + i);
}

// TrueType and OpenType files and collections as they are stored, by their
// first four bytes. FreeType also unpacks WOFF and WOFF2 web fonts, all of
// them before it looks inside, to whatever size they declare: a few
// kilobytes can ask for gigabytes. Those, and the formats FreeType's other
// drivers read, never reach it.
bool plainSfnt(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 4) return false;
  const uint32_t tag = static_cast<uint32_t>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
  return tag == 0x00010000 || tag == FT_MAKE_TAG('t', 'r', 'u', 'e') || tag == FT_MAKE_TAG('O', 'T', 'T', 'O') ||
         tag == FT_MAKE_TAG('t', 't', 'c', 'f');
}

// The bytes of an SFNT table; empty when the font has none.
std::vector<uint8_t> sfntTable(FT_Face face, FT_ULong tag) {
  FT_ULong length = 0;
  if (FT_Load_Sfnt_Table(face, tag, 0, nullptr, &length) != 0 || length == 0) return {};
  std::vector<uint8_t> bytes(length);
  if (FT_Load_Sfnt_Table(face, tag, 0, bytes.data(), &length) != 0) return {};
  return bytes;
}

// Counts a TrueType glyph's parts one level at a time (FreeType loads a
// composite without its parts under FT_LOAD_NO_RECURSE), stopping at the
// budgets, before FreeType loads the whole glyph; a glyph that contains
// itself counts until the budget is spent. Leaves a simple glyph loaded.
bool walkTrueType(FT_Face face, FT_UInt glyph, int depth, GlyphWork& w) {
  w.depth = std::max(w.depth, depth);
  if (depth > kGlyphDepthBudget || w.parts == kGlyphPartBudget) return false;
  ++w.parts;
  if (FT_Load_Glyph(face, glyph, kLoadFlags | FT_LOAD_NO_RECURSE) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_COMPOSITE) {
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE) w.points += slot->outline.n_points;
    return w.points <= kGlyphPointBudget;
  }
  if (slot->num_subglyphs > static_cast<FT_UInt>(kGlyphPartBudget - w.parts)) return false;
  // The slot is reused by the parts' loads: take their numbers first.
  std::vector<FT_UInt> parts(slot->num_subglyphs);
  for (FT_UInt i = 0; i < parts.size(); ++i) {
    FT_Int index = 0, arg1 = 0, arg2 = 0;
    FT_UInt flags = 0;
    FT_Matrix matrix{};
    if (FT_Get_SubGlyph_Info(slot, i, &index, &flags, &arg1, &arg2, &matrix) != 0) return false;
    parts[i] = static_cast<FT_UInt>(index);
  }
  for (FT_UInt part : parts)
    if (!walkTrueType(face, part, depth + 1, w)) return false;
  return true;
}

// Loads the glyph unscaled into the face's slot when its work is within
// the budgets.
bool loadBounded(FontInfo& font, FT_UInt glyph, GlyphWork& w) {
  FT_Face face = static_cast<FT_Face>(font.face);
  if (font.cff.loaded()) {
    w.charstring = font.cff.work(glyph, kCharstringBudget);
    return w.charstring >= 0 && FT_Load_Glyph(face, glyph, kLoadFlags) == 0;
  }
  if (!walkTrueType(face, glyph, 0, w)) return false;
  // A simple glyph is loaded already; a composite is loaded again, whole.
  return w.parts == 1 || FT_Load_Glyph(face, glyph, kLoadFlags) == 0;
}

// Rasteriser steps of an outline in 26.6 pixels: per segment one, one per
// pixel of its control polygon and one per piece a curve is flattened
// into. FreeType's rasteriser walks every cell a segment crosses, inside
// the bitmap or not, and splits a curve until each piece deviates less
// than a quarter pixel, so this bounds its time.
struct RasterCount {
  FT_Vector at{};
  int64_t work = 0;
};

int64_t pixels(FT_Pos a, FT_Pos b) { return std::abs(static_cast<int64_t>(b) - a) >> 6; }

int64_t distance(const FT_Vector& a, const FT_Vector& b) { return pixels(a.x, b.x) + pixels(a.y, b.y); }

// Pieces of a curve whose second differences reach `deviation`: each split
// divides them by four, down to a quarter pixel (16 in 26.6).
int64_t pieces(int64_t deviation) {
  int64_t n = 1;
  for (; deviation > 16; deviation >>= 2) n <<= 1;
  return n;
}

int64_t bend(const FT_Vector& a, const FT_Vector& b, const FT_Vector& c) {
  return std::max(std::abs(static_cast<int64_t>(a.x) - 2 * static_cast<int64_t>(b.x) + c.x),
                  std::abs(static_cast<int64_t>(a.y) - 2 * static_cast<int64_t>(b.y) + c.y));
}

int countMove(const FT_Vector* to, void* user) {
  auto* c = static_cast<RasterCount*>(user);
  c->at = *to;
  c->work += 1;
  return 0;
}

int countLine(const FT_Vector* to, void* user) {
  auto* c = static_cast<RasterCount*>(user);
  c->work += 1 + distance(c->at, *to);
  c->at = *to;
  return 0;
}

int countConic(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* c = static_cast<RasterCount*>(user);
  c->work += 1 + pieces(bend(c->at, *control, *to)) + distance(c->at, *control) + distance(*control, *to);
  c->at = *to;
  return 0;
}

int countCubic(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
  auto* c = static_cast<RasterCount*>(user);
  // A cubic is split while 2 p0 - 3 p1 + p3 (twice the first second
  // difference plus the second) exceeds half a pixel: half the allowance
  // of a conic for up to three times the bend.
  const int64_t most = std::max(bend(c->at, *control1, *control2), bend(*control1, *control2, *to));
  c->work += 1 + pieces(most * 3 / 2) +
             distance(c->at, *control1) + distance(*control1, *control2) + distance(*control2, *to);
  c->at = *to;
  return 0;
}

int64_t rasterWork(const FT_Outline& outline) {
  static const FT_Outline_Funcs kCount = {countMove, countLine, countConic, countCubic, 0, 0};
  RasterCount c;
  if (FT_Outline_Decompose(const_cast<FT_Outline*>(&outline), &kCount, &c) != 0) return -1;
  return c.work;
}

}  // namespace

FontInfo::~FontInfo() { reset(); }

void FontInfo::reset() {
  if (face) FT_Done_Face(static_cast<FT_Face>(face));
  face = nullptr;
  ascender = descender = 0;
  cff = CffCharstrings();
}

bool FontInfo::load(const std::vector<uint8_t>& bytes) {
  reset();
  FT_Library lib = library();
  if (!lib || !plainSfnt(bytes)) return false;
  FT_Face f = nullptr;
  if (FT_New_Memory_Face(lib, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &f) != 0) return false;
  face = f;
  // Only TrueType and OpenType outlines; FreeType also reads bitmap and
  // Type 1 formats, which have no horizontal header to scale by.
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(f, FT_SFNT_HHEA));
  const char* format = FT_Get_Font_Format(f);
  const bool trueType = format && std::strcmp(format, "TrueType") == 0;
  const bool cffOutlines = format && std::strcmp(format, "CFF") == 0;
  // The charstrings of variable CFF (CFF2) blend through the variation
  // store, which the count of their work does not follow: refused.
  FT_ULong length = 0;
  const bool cff2 = FT_Load_Sfnt_Table(f, TTAG_CFF2, 0, nullptr, &length) == 0;
  if (!FT_IS_SFNT(f) || !FT_IS_SCALABLE(f) || !hhea || hhea->Ascender <= hhea->Descender ||
      !(trueType || cffOutlines) || (cffOutlines && (cff2 || !cff.load(sfntTable(f, TTAG_CFF))))) {
    reset();
    return false;
  }
  ascender = hhea->Ascender;
  descender = hhea->Descender;
  return true;
}

void loadFont(ImportFontState& s, const std::string& path, std::vector<uint8_t> bytes) {
  s.fontInfo.reset();  // the face refers into the old bytes
  s.fontData = std::move(bytes);
  s.name = path;
  s.valid = s.fontInfo.load(s.fontData);
  s.dirty = true;
}

std::vector<std::pair<int, int>> importGlyphs(const ImportFontState& s) {
  std::vector<std::pair<int, int>> out;
  if (s.capitals) addRange(out, s.small ? kFirstCapital : kFirstLetter, 'A', 26);
  if (s.small) addRange(out, kFirstLetter, 'a', 26);
  if (s.numbers) addRange(out, '0', '0', 10);
  if (s.symbols) {
    for (const auto& p : kSymbolTable) out.push_back(p);
    addRange(out, '!', '!', '/' - '!' + 1);
    addRange(out, ':', ':', '?' - ':' + 1);
  }
  return out;
}

void renderGlyph(ImportFontState& s, uint8_t* dest, int codepoint, GlyphWork* work) {
  GlyphWork own;
  GlyphWork& w = work ? *work : own;
  w = GlyphWork();
  std::fill_n(dest, kCell, 0);
  if (!s.valid || !s.fontInfo.face) return;
  FT_Face face = static_cast<FT_Face>(s.fontInfo.face);
  const double scale = s.size / static_cast<double>(s.fontInfo.ascender - s.fontInfo.descender);

  // A code point the font lacks gives glyph 0, its missing-glyph shape.
  const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<FT_ULong>(codepoint));
  if (!loadBounded(s.fontInfo, glyph, w)) {
    w.blank = true;
    return;
  }
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_points == 0) return;

  // Centre the advance in the cell (truncating towards zero, so a wide
  // glyph starts left of the cell) and put the baseline at the ascender.
  const int width = static_cast<int>(slot->metrics.horiAdvance * scale + 0.5);
  const int x0 = (kCell - width) / 2;
  const int baseline = std::min(static_cast<int>(s.fontInfo.ascender * scale + 0.5), kCell - 1);

  // Pixel (col, row) of the cell covers glyph pixel (col - x0 - xOffset,
  // row - baseline - yOffset), y growing downwards from the baseline. The
  // outline's y grows upwards and the bitmap's y = 0 is its bottom edge,
  // so the outline moves right by x0 + xOffset and up by 8 - baseline -
  // yOffset pixels (26.6 fixed point).
  const FT_Fixed fixedScale = static_cast<FT_Fixed>(std::lround(scale * 64.0 * 65536.0));
  FT_Matrix matrix{fixedScale, 0, 0, fixedScale};
  FT_Outline_Transform(&slot->outline, &matrix);
  FT_Outline_Translate(&slot->outline, (x0 + s.xOffset) * 64, (kCell - baseline - s.yOffset) * 64);
  w.raster = rasterWork(slot->outline);
  if (w.raster < 0 || w.raster > kRasterBudget) {
    w.blank = true;
    return;
  }

  unsigned char coverage[kCell * kCell] = {};
  FT_Bitmap bitmap{};
  bitmap.rows = kCell;
  bitmap.width = kCell;
  bitmap.pitch = kCell;  // first row in memory is the top row
  bitmap.buffer = coverage;
  bitmap.num_grays = 256;
  bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
  if (FT_Outline_Get_Bitmap(library(), &slot->outline, &bitmap) != 0) return;

  for (int row = 0; row < kCell; ++row)
    for (int col = 0; col < kCell; ++col)
      if (coverage[row * kCell + col] >= s.threshold) dest[row] |= static_cast<uint8_t>(0x80 >> col);
}

void doImport(Machine& m, ImportFontState& s) {
  if (s.charsetAddr < 0) return;
  uint8_t* charset = m.ram.data() + s.charsetAddr;
  // Codes outside the enabled groups keep the glyphs they had.
  std::copy(s.backup.begin(), s.backup.end(), charset);
  for (const auto& [code, point] : importGlyphs(s)) renderGlyph(s, charset + code * kCell, point);
  std::copy_n(charset, kCharsetSize, s.written.begin());
}

std::string beginImport(Machine& m, ImportFontState& s, int generation) {
  if (m.charsetIsRom()) return kImportRomMessage;
  s.charsetAddr = static_cast<int>(m.charsetAddr());
  std::copy_n(m.ram.data() + s.charsetAddr, kCharsetSize, s.backup.begin());
  s.written = s.backup;
  s.generation = generation;
  s.active = true;
  s.dirty = true;
  return {};
}

bool sessionCurrent(const Machine& m, int generation, const ImportFontState& s) {
  return s.active && generation == s.generation && !m.charsetIsRom() &&
         static_cast<int>(m.charsetAddr()) == s.charsetAddr &&
         std::equal(s.written.begin(), s.written.end(), m.ram.begin() + s.charsetAddr);
}

bool finishImport(Machine& m, int generation, ImportFontState& s, bool restore) {
  const bool write = restore && sessionCurrent(m, generation, s);
  if (write) std::copy(s.backup.begin(), s.backup.end(), m.ram.data() + s.charsetAddr);
  s.active = false;
  return write;
}
