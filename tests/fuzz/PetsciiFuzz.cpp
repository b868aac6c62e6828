// The PETSCII import on random pictures, palettes, character sets and
// options: Resize into the frame (sometimes cut short, as missing pixels
// must count as black), Convert, then Store into a random document. Codes
// and colours follow the options, Store writes only the video matrix,
// colour memory, the graphics-mode bits, $D021 and (for a ROM set) the
// bank and $D018 as documented, and where the video matrix leaves the
// glyphs and colour memory alone the document shows exactly the preview.
#include "convert/ColorReducer.h"
#include "convert/PetsciiConverter.h"
#include "core/MemoryLayout.h"
#include "tests/fuzz/ConvertFuzzUtil.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMaxPictureSide = 330;  // beyond the frame both ways
// A run this long gives up to 256 different glyphs, the most a search meets.
constexpr size_t kMaxMemoryPattern = 2048;
constexpr uint8_t kGraphicsBit = 0x40;
constexpr uint32_t kVicBankSize = 16384;  // the 16 KB the video chip sees

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  const uint8_t flags = in.byte();
  PetsciiOptions o;
  const int which = in.byte() % 4;  // 3: an unknown value, taken as the upper-case ROM
  o.charset = which;
  o.colors = in.byte() % 4;
  o.background = in.byte() % 18 - 2;
  o.detail = (in.byte() - 28) / 200.0f;  // a little outside 0-1 too
  o.reversed = flags & 1;
  o.noLetters = flags & 2;
  const int w = 1 + in.word() % kMaxPictureSide, h = 1 + in.word() % kMaxPictureSide;
  std::vector<uint8_t> palette = in.bytes(48);
  palette.resize(48);
  Machine m = fuzz::document(in, kMaxMemoryPattern);
  const std::vector<uint32_t> pixels = fuzz::picture(in.rest(), w, h);

  std::vector<uint32_t> resized = ColorReducer::Resize(pixels.data(), w, h, kHiresWidth, flags & 4, flags & 8);
  if (flags & 16) resized.resize(resized.size() * (flags >> 5) / 8);
  PetsciiConverter pc;
  pc.SetPalette(palette.data());
  pc.SetCharset(m, which);
  pc.Convert(resized, o);

  fuzz::check(fuzz::candidate(o.colors, pc.background), "the background is a candidate");
  for (int i = 0; i < kScreenCells; ++i) {
    const int code = pc.screen[i];
    fuzz::check(fuzz::candidate(o.colors, pc.colorRam[i]), "foregrounds are candidates");
    fuzz::check(o.reversed || code < kReverseBit, "no reversed codes unless asked for");
    fuzz::check(!o.noLetters || (code & ~kReverseBit) == kSpaceCode || (code & kGraphicsBit),
                "no letters or digits when left out");
  }

  const Machine before = m;
  pc.Store(m, which);
  fuzz::check(m.gfxMode() == kModeText, "Store sets normal text mode");
  const uint32_t matrix = m.screenAddr();  // after a ROM set's move
  fuzz::checkOnlyWritten(before, m, {{matrix, kScreenCells}, {kColorRam, kScreenCells}},
                         {kRegCtrl1, kRegCtrl2, kRegMemPtr, kRegBg0}, which != PetsciiCharset::Current,
                         "Store stays in its areas");
  if (which == PetsciiCharset::Current) {
    fuzz::check((m.vicRegs[kRegMemPtr] & ~8) == (before.vicRegs[kRegMemPtr] & ~8), "$D018 keeps its slots");
  } else {
    fuzz::check(m.bank == (before.bank & 2), "a ROM set moves to bank 0 or 2");
    fuzz::check(m.charsetIsRom(), "a ROM set is shown from the ROM");
    fuzz::check(m.screenAddr() % kVicBankSize < kRomCharsetSlot * kCharsetSize ||
                    m.screenAddr() % kVicBankSize >= (kRomCharsetSlot + 2) * kCharsetSize,
                "the video matrix is not hidden by the ROM");
    fuzz::check((m.vicRegs[kRegMemPtr] & 1) == (before.vicRegs[kRegMemPtr] & 1), "$D018 keeps bit 0");
  }
  fuzz::check(m.vicRegs[kRegBg0] == pc.background, "$D021 is the background");

  // The document shows the preview wherever the glyphs it reads are the
  // ones matched (the screen codes may have overwritten a set in RAM) and
  // the colours did not land on the screen codes (a video matrix at $D800).
  bool sameGlyphs = fuzz::apart(matrix, kScreenCells, kColorRam, kScreenCells);
  for (int code = 0; code < kCharsetChars && sameGlyphs; ++code)
    sameGlyphs = std::memcmp(m.charData(static_cast<uint8_t>(code)), pc.charset[code], kCharBytes) == 0;
  if (sameGlyphs) {
    Palette pal;
    for (int c = 0; c < 16; ++c) std::copy_n(pc.palette[c], 3, pal.rgb[c].begin());
    fuzz::check(fuzz::shown(m, pal) == pc.Preview(), "the document shows the preview");
  }
  return 0;
}
