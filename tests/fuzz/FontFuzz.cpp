// libFuzzer harness for the font import: any bytes as a font file, parsed
// and, when they parse, every import glyph rendered at several sizes,
// offsets and thresholds, then the whole import into a charset. Must never
// crash, hang or read outside the data; bytes that do not parse must leave
// the font invalid ("not a font!"); and no glyph may be loaded or
// rasterised after its counted work passed a budget (the work FreeType
// does is bounded by what is counted: a glyph over budget stays blank).
// Nor may any glyph take long: work no budget counts, such as a font's
// program in FreeType's bytecode interpreter, shows only as time.
#include "convert/FontImport.h"
#include "tests/fuzz/FuzzUtil.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <tuple>
#include <vector>

namespace {

// Processor time allowed for one glyph's rendering, as thread time, which
// other processes on the machine do not slow down. A glyph at the budgets
// costs this build (instrumented) some 20 ms at most.
constexpr double kGlyphSeconds = 0.25;

double cpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void checkWork(const GlyphWork& w, const uint8_t* glyph) {
  fuzz::check(w.parts <= kGlyphPartBudget, "more TrueType parts loaded than the budget");
  fuzz::check(w.depth <= kGlyphDepthBudget + 1, "composites walked deeper than the budget");
  fuzz::check(w.charstring <= kCharstringBudget, "charstring work over the budget");
  if (w.blank) {
    fuzz::check(std::count(glyph, glyph + 8, 0) == 8, "a glyph over budget left pixels");
    return;
  }
  fuzz::check(w.points <= kGlyphPointBudget, "a glyph over the point budget was loaded");
  fuzz::check(w.charstring >= 0, "a charstring that could not be bounded was loaded");
  fuzz::check(w.raster <= kRasterBudget, "an outline over the raster budget was rasterised");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Machine machine;
  machine.bank = 1;
  ImportFontState s;
  if (!beginImport(machine, s, 0).empty()) std::abort();
  loadFont(s, "fuzz.ttf", std::vector<uint8_t>(data, data + size));
  uint8_t glyph[8];
  GlyphWork work;
  if (!s.valid) {
    renderGlyph(s, glyph, 'A', &work);
    for (uint8_t b : glyph) fuzz::check(b == 0, "something rendered from a font that did not parse");
    return 0;
  }
  const std::tuple<int, int, int, int> settings[] = {{8, 0, 0, 110},
                                                     {kFontSizeMin, -kFontOffsetMax, kFontOffsetMax, 1},
                                                     {kFontSizeMax, kFontOffsetMax, -kFontOffsetMax, 255}};
  for (const auto& set : settings) {
    std::tie(s.size, s.xOffset, s.yOffset, s.threshold) = set;
    // The first pass is not timed: under AddressSanitizer the first load of
    // a large glyph can take seconds, as FreeType grows its outline buffers
    // eight points at a time and each reallocation copies them whole. The
    // later passes load the same glyphs into buffers already grown.
    const bool timed = &set != &settings[0];
    for (const auto& [code, point] : importGlyphs(s)) {
      const double start = cpuSeconds();
      renderGlyph(s, glyph, point, &work);
      fuzz::check(!timed || cpuSeconds() - start < kGlyphSeconds, "a glyph took too long: work no budget counts");
      checkWork(work, glyph);
    }
  }
  doImport(machine, s);
  renderGlyph(s, glyph, 0x10FFFF, &work);  // the highest code point: the missing glyph
  checkWork(work, glyph);
  return 0;
}
