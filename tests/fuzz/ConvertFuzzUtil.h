// Shared pieces of the conversion harnesses: a document built from the
// input, the screen a document shows, and the check that a conversion
// changed nothing outside the memory areas and registers it is meant to
// write.
#pragma once

#include "convert/ImportColors.h"
#include "core/Machine.h"
#include "core/Vic.h"
#include "tests/fuzz/FuzzUtil.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace fuzz {

// A document from the input: the bank, the mode, memory and background
// registers, and RAM and the character ROM filled by repeating a run of up
// to maxPattern input bytes, so that a short input still sets every byte.
// When bit 0 of the mix byte is set, every byte is also mixed with its
// address shifted right by bits 1-4 of it: shift 0 makes every cell and
// glyph differ even for a short run, a larger shift keeps blocks alike
// (and the conversions that compare all of them quick).
inline Machine document(Input& in, size_t maxPattern) {
  Machine m;
  m.reset();
  m.bank = in.byte() & 3;
  for (int reg : {kRegCtrl1, kRegCtrl2, kRegMemPtr, kRegBg0, kRegBg1, kRegBg2}) m.vicRegs[reg] = in.byte();
  const uint8_t mix = in.byte();
  const std::vector<uint8_t> pattern = in.bytes(std::min<size_t>(in.word(), maxPattern));
  auto fill = [&](uint8_t* out, size_t n) {
    for (size_t a = 0; a < n; ++a) {
      const uint8_t base = pattern.empty() ? 0 : pattern[a % pattern.size()];
      const uint32_t block = static_cast<uint32_t>(a >> ((mix >> 1) & 15));
      out[a] = static_cast<uint8_t>(base ^ (mix & 1 ? (block * 2654435761u) >> 24 : 0));
    }
  };
  fill(m.ram.data(), m.ram.size());
  fill(m.charRom.data(), m.charRom.size());
  return m;
}

// A w x h picture whose pixel words (red lowest, alpha highest) repeat the
// bytes, four to a word; black and clear when there are none.
inline std::vector<uint32_t> picture(const std::vector<uint8_t>& bytes, int w, int h) {
  std::vector<uint32_t> out(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < out.size() && !bytes.empty(); ++i)
    for (size_t b = 0; b < 4; ++b) out[i] |= static_cast<uint32_t>(bytes[(i * 4 + b) % bytes.size()]) << (8 * b);
  return out;
}

// Whether colour c is one the colour mode `colors` chooses from.
inline bool candidate(int colors, int c) {
  const std::span<const int> all = importCandidates(colors);
  return std::find(all.begin(), all.end(), c) != all.end();
}

// The whole display the video chip shows of the document.
inline std::vector<uint32_t> shown(const Machine& m, const Palette& pal) {
  std::vector<uint32_t> out(static_cast<size_t>(kDisplayWidth) * kDisplayHeight);
  Vic::renderScreen(m, pal, out.data(), kDisplayWidth);
  return out;
}

// An area of RAM a conversion may write.
struct Area {
  uint32_t start;
  uint32_t size;
};

// Stops the run when RAM outside `areas`, a register outside `regs`, the
// character ROM, the bank (unless bankMayChange) or the rest of the
// document differs between before and after.
inline void checkOnlyWritten(const Machine& before, const Machine& after, const std::vector<Area>& areas,
                             const std::vector<int>& regs, bool bankMayChange, const char* what) {
  for (uint32_t a = 0; a < kRamSize; ++a) {
    if (after.ram[a] == before.ram[a]) continue;
    const bool inside = std::any_of(areas.begin(), areas.end(), [&](const Area& r) { return a - r.start < r.size; });
    if (!inside) fail(what);
  }
  for (int r = 0; r < kVicRegCount; ++r)
    if (after.vicRegs[r] != before.vicRegs[r] && std::find(regs.begin(), regs.end(), r) == regs.end()) fail(what);
  check(after.charRom == before.charRom && after.monitorScreen == before.monitorScreen && after.pen == before.pen,
        what);
  check(bankMayChange || after.bank == before.bank, what);
}

}  // namespace fuzz
