// Turns the bitmap the document shows (hires or multicolour) into a
// character set at one of the eight 2 KB slots of the video bank plus a
// text screen that looks the same, merging the most similar cell patterns
// when there are more than 256. The bitmap-to-charset dialog calls these
// and shows the result.
#pragma once

#include "core/CharOps.h"
#include "core/Machine.h"
#include "core/MemoryLayout.h"
#include "core/Palette.h"

#include <cstdint>
#include <string>

constexpr uint16_t kColorRamEnd = kColorRam + kScreenCells - 1;  // $DBE7

struct CharsetConvertResult {
  bool ok = false;          // the conversion was written into the document
  std::string error;        // why not, when not ok
  int differentCells = 0;   // distinct 8-byte cell patterns
  int charsUsed = 0;        // characters written (at most 256)
  int similarCells = 0;     // cells shown with a merged character
  int misfitCells = 0;      // cells whose colours the text mode cannot show
};

// Why a slot cannot take a character set; empty when it can.
std::string CharsetSlotProblem(const Machine& m, int slot);

// Converts the bitmap into a charset at `slot`; the document changes only
// when the result is ok.
CharsetConvertResult ConvertBitmapToCharset(Machine& m, const Palette& pal, int slot, bool merge);
