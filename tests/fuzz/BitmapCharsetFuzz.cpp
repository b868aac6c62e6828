// The bitmap-to-charset conversion on random documents, slots, palettes and
// merge settings. A refusal changes nothing; a conversion writes only the
// slot's 2 KB, the video matrix, colour memory, the mode bits, the slot
// bits of $D018 and the background registers of its mode, uses no more
// than 256 characters, and, when no cell was merged or misfit (and the
// video matrix is not at $D800), shows exactly the picture the bitmap
// showed.
#include "convert/CharsetConverter.h"
#include "tests/fuzz/ConvertFuzzUtil.h"

namespace {

// Long enough for 1000 different cells without the address mix.
constexpr size_t kMaxMemoryPattern = 8192;
constexpr int kPresets = 11;
constexpr uint8_t kSlotBits = 0x0E;  // bits 1-3 of $D018

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const int slot = in.byte() % 10 - 1;  // -1..8: the slots and just outside them
  const bool merge = in.byte() & 1;
  Palette pal;
  pal.set(in.byte() % kPresets);
  Machine m = fuzz::document(in, kMaxMemoryPattern);
  const bool multi = m.isMulticolor();
  const Machine before = m;

  const CharsetConvertResult r = ConvertBitmapToCharset(m, pal, slot, merge);
  fuzz::check(r.ok == r.error.empty(), "an error exactly when refused");
  if (!r.ok) {
    fuzz::checkOnlyWritten(before, m, {}, {}, false, "a refusal changes nothing");
    return 0;
  }
  fuzz::check(before.isBitmap() && CharsetSlotProblem(before, slot).empty(), "only bitmaps convert, to free slots");
  fuzz::check(r.charsUsed >= 1 && r.charsUsed <= kCharsetChars && r.charsUsed <= r.differentCells,
              "at most 256 characters, one per pattern");
  fuzz::check(merge || r.charsUsed == r.differentCells, "without merging every pattern keeps its character");
  fuzz::check(r.similarCells >= 0 && r.similarCells <= kScreenCells && r.misfitCells >= 0 &&
                  r.misfitCells <= kScreenCells,
              "counts of cells");

  const uint32_t charset = charsetSlotAddr(m, slot), matrix = m.screenAddr();
  fuzz::checkOnlyWritten(before, m, {{charset, kCharsetSize}, {matrix, kScreenCells}, {kColorRam, kScreenCells}},
                         multi ? std::vector<int>{kRegCtrl1, kRegCtrl2, kRegMemPtr, kRegBg1, kRegBg2}
                               : std::vector<int>{kRegCtrl1, kRegCtrl2, kRegMemPtr, kRegBg0},
                         false, "the conversion stays in its areas");
  fuzz::check(m.gfxMode() == (multi ? kModeMultiText : kModeText), "text mode of the bitmap's kind");
  fuzz::check((m.vicRegs[kRegMemPtr] & ~kSlotBits) == (before.vicRegs[kRegMemPtr] & ~kSlotBits) &&
                  static_cast<int>(m.charsetOffset() / kCharsetSize) == slot,
              "$D018 points at the slot");
  // A video matrix at $D800 (bank 3) shares its bytes with colour memory,
  // which is written last.
  const bool matrixApart = fuzz::apart(matrix, kScreenCells, kColorRam, kScreenCells);
  for (int i = 0; i < kScreenCells; ++i) {
    fuzz::check(!matrixApart || m.ram[matrix + i] < r.charsUsed, "cells show written characters");
    fuzz::check(m.ram[kColorRam + i] < 16 && (!multi || m.ram[kColorRam + i] & 8), "text-mode cell colours");
  }
  for (uint32_t a = charset + r.charsUsed * kCharBytes; a < charset + kCharsetSize; ++a)
    fuzz::check(m.ram[a] == 0, "the slot is cleared after the characters");

  if (matrixApart && r.similarCells == 0 && r.misfitCells == 0)
    fuzz::check(fuzz::shown(m, pal) == fuzz::shown(before, pal), "the picture looks the same");
  return 0;
}
