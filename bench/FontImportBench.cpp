// Speed of the font import, which the window runs in the frame in which an
// option changes: a real font at the largest size, and fonts made to use
// up each glyph budget (every code point maps to the one glyph, so all 90
// glyphs of an import cost the most). Their times bound what any font can
// cost; the composite of 50 parts four levels deep shows the walk giving
// up early. The font with a tricky family name and a glyph program that
// loops through 10,000 points until FreeType's limit of a million
// instructions shows that no glyph program runs.
#include "convert/FontImport.h"
#include "tests/TestFonts.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace tf = testfonts;
using tf::cs;

void importFont(benchmark::State& state, const std::vector<uint8_t>& font) {
  Machine m;
  m.bank = 1;
  ImportFontState s;
  beginImport(m, s, 0);
  loadFont(s, "bench", font);
  if (!s.valid) state.SkipWithError("not a font");
  s.size = kFontSizeMax;
  for (auto _ : state) doImport(m, s);
}

std::vector<uint8_t> liberationSans() {
  std::ifstream in("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf", std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Chains of composites down to a zigzag of `points` points.
std::vector<uint8_t> composite(int levels, int fanout, int points) {
  tf::Glyph zigzag;
  zigzag.contours.resize(1);
  for (int i = 0; i < points; ++i) zigzag.contours[0].push_back({300 + (i % 2) * 20, (i * 7) % 600});
  return tf::trueTypeFont(tf::nested(levels, fanout, zigzag), {});
}

// A charstring of `piece` repeated as often as the operation budget allows.
std::vector<uint8_t> charstring(const tf::Bytes& piece, int cost, const std::vector<std::vector<tf::Bytes>>& locals = {}) {
  const tf::Bytes start = cs({100, 0}, 21);
  return tf::cffFont({tf::join({start, tf::repeat(piece, kCharstringBudget / cost - 2), cs({}, 14)})}, locals, {}, {});
}

void BM_ImportRealFont(benchmark::State& state) { importFont(state, liberationSans()); }
void BM_ImportNested50x4(benchmark::State& state) { importFont(state, composite(4, 50, 4)); }
void BM_ImportPointBudget(benchmark::State& state) { importFont(state, composite(0, 0, 32000)); }  // FreeType adds four
void BM_ImportPartBudget(benchmark::State& state) {
  importFont(state, composite(1, kGlyphPartBudget - 1, kGlyphPointBudget / kGlyphPartBudget));
}
void BM_ImportCurveBudget(benchmark::State& state) {
  const std::vector<int> args(48, 1);
  tf::Bytes curves;
  for (int v : args) curves.push_back(static_cast<uint8_t>(v + 139));
  curves.push_back(8);  // rrcurveto: eight curves, 97 operations
  importFont(state, charstring(curves, 97));
}
void BM_ImportCallBudget(benchmark::State& state) {
  importFont(state, charstring(tf::calls(0, 1), 3, {{cs({}, 11)}}));  // calls of an empty subroutine
}

void BM_ImportTrickyLoop(benchmark::State& state) {
  importFont(state, tf::hintedFont(tf::kTrickyFamily, 10000, tf::forever(tf::Bytes(10000, tf::kIupY))));
}

BENCHMARK(BM_ImportRealFont)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportNested50x4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportPointBudget)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportPartBudget)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCurveBudget)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportCallBudget)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportTrickyLoop)->Unit(benchmark::kMillisecond);

}  // namespace
