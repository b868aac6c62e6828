// Font import into character sets: FreeType parses the font and rasterises
// each glyph straight into the 8x8 cell; see FontImport.h.
#include "convert/FontImport.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>

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

}  // namespace

FontInfo::~FontInfo() { reset(); }

void FontInfo::reset() {
  if (face) FT_Done_Face(static_cast<FT_Face>(face));
  face = nullptr;
  ascender = descender = 0;
}

bool FontInfo::load(const std::vector<uint8_t>& bytes) {
  reset();
  FT_Library lib = library();
  if (!lib || bytes.empty()) return false;
  FT_Face f = nullptr;
  if (FT_New_Memory_Face(lib, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &f) != 0) return false;
  face = f;
  // Only TrueType and OpenType outlines; FreeType also reads bitmap and
  // Type 1 formats, which have no horizontal header to scale by.
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(f, FT_SFNT_HHEA));
  if (!FT_IS_SFNT(f) || !FT_IS_SCALABLE(f) || !hhea || hhea->Ascender <= hhea->Descender) {
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

void renderGlyph(ImportFontState& s, uint8_t* dest, int codepoint) {
  std::fill_n(dest, kCell, 0);
  if (!s.valid || !s.fontInfo.face) return;
  FT_Face face = static_cast<FT_Face>(s.fontInfo.face);
  const double scale = s.size / static_cast<double>(s.fontInfo.ascender - s.fontInfo.descender);

  // A code point the font lacks gives glyph 0, its missing-glyph shape.
  const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<FT_ULong>(codepoint));
  // Unscaled and unhinted: the outline in font units, scaled below by the
  // header's ascender and descender rather than by the em size.
  if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE) != 0) return;
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
}

std::string beginImport(Machine& m, ImportFontState& s) {
  if (m.charsetIsRom()) return kImportRomMessage;
  s.charsetAddr = static_cast<int>(m.charsetAddr());
  std::copy_n(m.ram.data() + s.charsetAddr, kCharsetSize, s.backup.begin());
  s.active = true;
  s.dirty = true;
  return {};
}

void markHistory(ImportFontState& s, const UndoBuffer& undo) { s.historyMark = undo.changeCount; }

bool sessionCurrent(const Machine& m, const UndoBuffer& undo, const ImportFontState& s) {
  return s.active && undo.changeCount == s.historyMark && !m.charsetIsRom() &&
         static_cast<int>(m.charsetAddr()) == s.charsetAddr;
}

bool finishImport(Machine& m, const UndoBuffer& undo, ImportFontState& s, bool restore) {
  const bool write = restore && sessionCurrent(m, undo, s);
  if (write) std::copy(s.backup.begin(), s.backup.end(), m.ram.data() + s.charsetAddr);
  s.active = false;
  return write;
}
