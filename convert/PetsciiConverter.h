// PETSCII matching of a 320x200 picture: for each of the 40x25 character
// cells one screen code and one foreground colour over a background shared
// by the whole screen, so that the glyph in those two colours looks as much
// as possible like the cell. A detail weight blends how well the tone of
// every 2x2 block is met against how well every single pixel is met. The
// picture import window owns one converter, shows its Preview and Stores it.
#pragma once

#include "convert/ImportColors.h"
#include "core/CharOps.h"
#include "core/Machine.h"

#include <cstdint>
#include <vector>

// Which character set the glyphs come from (a plain int).
namespace PetsciiCharset {
enum : int {
  RomUpper = 0,  // ROM upper case and graphics
  RomLower = 1,  // ROM lower case
  Current = 2,   // the set the video chip shows now
};
}  // namespace PetsciiCharset

struct PetsciiOptions {
  int charset = PetsciiCharset::RomUpper;
  int colors = ImportColors::Color;
  int background = -1;    // -1 automatic, else a colour 0-15
  float detail = 0.5f;    // 0 area tone only, 1 exact pixels only
  bool reversed = true;   // also screen codes 128-255
  bool noLetters = false; // only the space and codes with bit 6 set
};

class PetsciiConverter {
public:
  uint8_t screen[kScreenCells]{};    // screen code per cell, row by row
  uint8_t colorRam[kScreenCells]{};  // foreground colour per cell
  int background = 0;                // background of the last conversion
  uint8_t palette[16][3]{};
  uint8_t charset[kCharsetChars][kCharBytes]{};  // bit 7 is the leftmost pixel

  // Copies 16 rows of R, G, B (48 bytes).
  void SetPalette(const uint8_t* rgb);
  // Glyphs from the document: Current the set the video chip sees, RomLower
  // the ROM's lower-case half, any other value its upper-case half.
  void SetCharset(const Machine& m, int which);
  // Copies 2048 bytes of glyphs.
  void SetCharset(const uint8_t* bytes);

  // Matches 320x200 pixels (rows top to bottom; missing pixels count as black).
  void Convert(const std::vector<uint32_t>& pixels, const PetsciiOptions& options);
  // 320x200 opaque pixels of the result drawn with `charset`.
  std::vector<uint32_t> Preview() const;
  // Writes the text screen in normal text mode; which is the PetsciiCharset
  // given to SetCharset (a ROM set moves the bank and $D018 to show it).
  void Store(Machine& m, int which) const;
};
