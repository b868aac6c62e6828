// libFuzzer harness for the font import: any bytes as a font file, parsed
// and, when they parse, rendered into a charset at several sizes, offsets
// and thresholds. Must never crash, hang or read outside the data; bytes
// that do not parse must leave the font invalid ("not a font!").
#include "convert/FontImport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Machine machine;
  machine.bank = 1;
  ImportFontState s;
  if (!beginImport(machine, s).empty()) std::abort();
  loadFont(s, "fuzz.ttf", std::vector<uint8_t>(data, data + size));
  if (!s.valid) {
    uint8_t glyph[8];
    renderGlyph(s, glyph, 'A');
    for (uint8_t b : glyph)
      if (b) std::abort();  // nothing may render from a font that did not parse
    return 0;
  }
  const int settings[][4] = {{8, 0, 0, 110}, {kFontSizeMin, -kFontOffsetMax, kFontOffsetMax, 1},
                             {kFontSizeMax, kFontOffsetMax, -kFontOffsetMax, 255}};
  for (const auto& set : settings) {
    s.size = set[0];
    s.xOffset = set[1];
    s.yOffset = set[2];
    s.threshold = set[3];
    doImport(machine, s);
  }
  uint8_t glyph[8];
  renderGlyph(s, glyph, 0x10FFFF);  // the highest code point: the missing glyph
  return 0;
}
