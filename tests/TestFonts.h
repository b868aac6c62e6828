// Small font files made for the tests, the fuzz seeds and the benchmarks: a
// minimal SFNT writer (head, hhea, maxp, cmap, hmtx, and either loca and
// glyf or a CFF table; a family name and glyph programs when asked) and
// builders for TrueType glyphs, glyph programs and Type 2 charstrings.
// Enough for FreeType to open the font; nothing a renderer does not read.
#pragma once

#include "tests/TestBytes.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testfonts {

using namespace testbytes;
using Cmap = std::vector<std::pair<uint32_t, uint16_t>>;  // (code point, glyph)

inline Bytes repeat(const Bytes& piece, int times) {
  Bytes b;
  while (times-- > 0) b.insert(b.end(), piece.begin(), piece.end());
  return b;
}

inline Bytes sfnt(uint32_t version, const std::map<std::string, Bytes>& tables) {
  Bytes out, data;
  put32(out, version), put16(out, tables.size(), 0, 0, 0);  // search hints, unused by FreeType
  for (const auto& [tag, table] : tables) {  // std::map keeps the tags sorted
    out.insert(out.end(), tag.begin(), tag.end());
    put32(out, 0, 12 + 16 * tables.size() + data.size(), table.size());
    data = join({data, table});
    data.resize((data.size() + 3) & ~size_t(3));
  }
  return join({out, data});
}

// The tables both outline kinds share; every glyph advances by the same
// width and every code point in `cmap` maps through format 12.
inline std::map<std::string, Bytes> commonTables(int glyphs, int ascender, int descender, bool cff, const Cmap& cmap) {
  constexpr int advance = 600;
  std::map<std::string, Bytes> t;
  Bytes &head = t["head"], &hhea = t["hhea"], &hmtx = t["hmtx"], &maxp = t["maxp"], &c = t["cmap"];
  // Flags, units per em, dates and bounds, style, smallest size, direction,
  // long offsets in loca.
  put32(head, 0x10000, 0x10000, 0, 0x5F0F3CF5), put16(head, 0, 1000), put(head, 0, 24), put16(head, 0, 8, 2, 1, 0);
  put32(hhea, 0x10000), put16(hhea, ascender, descender, 0, advance), put(hhea, 0, 22), put16(hhea, 1);
  put16(hmtx, advance, 0), put(hmtx, 0, 2 * (glyphs - 1));  // left side bearings only
  put32(maxp, cff ? 0x5000 : 0x10000), put16(maxp, glyphs);
  if (!cff) put(maxp, 0, 8), put16(maxp, 2), put(maxp, 0, 16);
  put16(c, 0, 1, 3, 10), put32(c, 12), put16(c, 12, 0), put32(c, 16 + 12 * cmap.size(), 0, cmap.size());
  for (const auto& [point, glyph] : cmap) put32(c, point, point, glyph);
  return t;
}

// A TrueType glyph: closed polygons of on-curve points, or parts (glyph
// numbers, each placed at its own offset). A simple glyph may carry a
// program for FreeType's bytecode interpreter.
struct Glyph {
  std::vector<std::vector<std::pair<int, int>>> contours;
  std::vector<uint16_t> parts;
  Bytes instructions;
};

inline Bytes glyphData(const Glyph& g) {
  Bytes b;
  if (!g.parts.empty()) {
    put16(b, 0xFFFF), put(b, 0, 8);
    // Word-sized x/y offsets, more parts to come except after the last.
    for (size_t i = 0; i < g.parts.size(); ++i)
      put16(b, 0x0003 | (i + 1 < g.parts.size() ? 0x0020 : 0), g.parts[i], i % 7, 0);
    return b;
  }
  if (g.contours.empty()) return b;  // an empty glyph has no data at all
  put16(b, g.contours.size()), put(b, 0, 8);
  size_t points = 0;
  for (const auto& c : g.contours) put16(b, (points += c.size()) - 1);
  put16(b, g.instructions.size());
  b.insert(b.end(), g.instructions.begin(), g.instructions.end());
  b.insert(b.end(), points, 0x01);  // on curve, word-sized deltas
  for (int axis = 0; axis < 2; ++axis) {
    int at = 0;
    for (const auto& c : g.contours)
      for (const auto& [x, y] : c) {
        const int v = axis ? y : x;
        put16(b, v - std::exchange(at, v));  // each point relative to the one before
      }
  }
  return b;
}

// `extra` adds tables: a `name` table, glyph programs' `fpgm` and `prep`.
inline Bytes trueTypeFont(const std::vector<Glyph>& glyphs, const Cmap& cmap, int ascender = 800,
                          int descender = -200, const std::map<std::string, Bytes>& extra = {}) {
  auto t = commonTables(static_cast<int>(glyphs.size()), ascender, descender, false, cmap);
  t.insert(extra.begin(), extra.end());
  Bytes &loca = t["loca"], &glyf = t["glyf"];
  for (const Glyph& g : glyphs) {
    put32(loca, glyf.size());
    glyf = join({glyf, glyphData(g)});
    glyf.resize((glyf.size() + 3) & ~size_t(3));
  }
  put32(loca, glyf.size());
  return sfnt(0x10000, t);
}

// FreeType hints a font whose family name contains one of its "tricky"
// names (old CJK fonts whose shapes are made by their glyph programs) even
// when the caller asks for no hinting or no scaling.
constexpr const char* kTrickyFamily = "MingLiU";

// TrueType glyph programs: the instructions the made fonts use.
constexpr uint8_t kSvtcaX = 0x01;  // project and move along x
constexpr uint8_t kSloop = 0x17;   // the next point instruction takes this many points
constexpr uint8_t kJmpr = 0x1C;    // jump by a signed offset from this instruction
constexpr uint8_t kIupY = 0x30;    // interpolate untouched points: a walk over all points
constexpr uint8_t kShpix = 0x38;   // move points by a distance
constexpr uint8_t kNpushw = 0x41;  // push up to 255 signed words

inline Bytes pushWords(const std::vector<int>& values) {
  Bytes b{kNpushw, static_cast<uint8_t>(values.size())};
  for (int v : values) put16(b, static_cast<uint16_t>(v));
  return b;
}

// Moves points 0 to `points` - 1 right by `distance` (font units when the
// glyph is loaded unscaled).
inline Bytes shiftRight(int points, int distance) {
  std::vector<int> stack;
  for (int i = 0; i < points; ++i) stack.push_back(i);
  stack.push_back(points);
  return join({{kSvtcaX}, pushWords(stack), {kSloop}, pushWords({distance}), {kShpix}});
}

// `body` run again and again: a jump back to its start, which only
// FreeType's limits on instructions and backward jumps stop.
inline Bytes forever(const Bytes& body) {
  return join({body, pushWords({-static_cast<int>(body.size()) - 4}), {kJmpr}});
}

// Type 2 charstring pieces: numbers and operators (escaped ones as 1200 +
// the second byte; none for a negative one), joined in order.
inline Bytes cs(std::initializer_list<int> numbers, int op) {
  Bytes b;
  for (int v : numbers) {
    if (v >= -107 && v <= 107) b.push_back(static_cast<uint8_t>(v + 139));
    else b.push_back(28), put16(b, v);
  }
  if (op >= 1200) b.push_back(12);
  if (op >= 0) b.push_back(static_cast<uint8_t>(op % 1200));
  return b;
}

inline Bytes cffIndex(const std::vector<Bytes>& items) {
  Bytes b, data;
  put16(b, items.size());
  if (items.empty()) return b;
  b.push_back(4), put32(b, 1);
  for (const Bytes& i : items) data = join({data, i}), put32(b, 1 + data.size());
  return join({b, data});
}

// An OpenType font with CFF outlines: one charstring per glyph, global
// subroutines, and local ones per font dictionary (subroutines are called
// with the bias of their count, 107 for a few, subtracted). With `fdOf`
// the font is CID-keyed and glyph g uses dictionary fdOf[g] (FDSelect
// format 3); without, it has the one dictionary locals[0], if any.
inline Bytes cffFont(const std::vector<Bytes>& charstrings, const std::vector<std::vector<Bytes>>& locals,
                     const std::vector<Bytes>& globals, const Cmap& cmap, const std::vector<uint8_t>& fdOf = {}) {
  auto dict = [](std::initializer_list<size_t> numbers, const Bytes& op) {
    Bytes b;
    for (size_t v : numbers) b.push_back(29), put32(b, v);
    return join({b, op});
  };
  const bool cid = !fdOf.empty();
  const size_t dicts = cid ? locals.size() : 1;
  Bytes select{3};
  put16(select, fdOf.size());
  for (size_t g = 0; g < fdOf.size(); ++g) put16(select, g), select.push_back(fdOf[g]);
  put16(select, fdOf.size());
  // The DICTs' numbers take five bytes each, so the layout does not depend
  // on them: the second pass writes the offsets the first one found. After
  // the Top DICT (ROS, FDArray and FDSelect, or Private; then CharStrings)
  // come the charstrings, FDArray, FDSelect, and each Private DICT with its
  // subroutines right after it.
  size_t charstringsAt = 0, fdArrayAt = 0, selectAt = 0;
  std::vector<size_t> privateAt(dicts);
  Bytes cff;
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<Bytes> fontDicts;
    for (size_t at : privateAt) fontDicts.push_back(dict({6, at}, {18}));
    const Bytes top = cid ? join({dict({0, 0, 0}, {12, 30}), dict({fdArrayAt}, {12, 36}), dict({selectAt}, {12, 37})})
                          : fontDicts[0];
    cff = join({{1, 0, 4, 4}, cffIndex({{'T'}}), cffIndex({join({top, dict({charstringsAt}, {17})})}), cffIndex({}),
                cffIndex(globals)});
    charstringsAt = cff.size();
    cff = join({cff, cffIndex(charstrings)});
    fdArrayAt = cff.size();
    if (cid) cff = join({cff, cffIndex(fontDicts)}), selectAt = cff.size(), cff = join({cff, select});
    for (size_t d = 0; d < dicts; ++d) {
      privateAt[d] = cff.size();
      cff = join({cff, dict({6}, {19}), cffIndex(d < locals.size() ? locals[d] : std::vector<Bytes>{})});
    }
  }
  auto t = commonTables(static_cast<int>(charstrings.size()), 800, -200, true, cmap);
  t["CFF "] = cff;
  return sfnt(0x4F54544F, t);  // "OTTO"
}

// The shapes most test fonts draw: a square, as a TrueType glyph and as a
// charstring path, and a chain of composites (glyph i holds `fanout`
// copies of glyph i + 1, the last one `leaf`).
inline Glyph squareGlyph() { return Glyph{{{{100, 0}, {100, 600}, {500, 600}, {500, 0}}}, {}, {}}; }

inline Bytes squarePath() { return join({cs({100, 0}, 21), cs({400}, 6), cs({600}, 7), cs({-400}, 6)}); }

inline std::vector<Glyph> nested(int levels, int fanout, const Glyph& leaf = squareGlyph()) {
  std::vector<Glyph> glyphs(static_cast<size_t>(levels) + 1, Glyph{});
  for (int i = 0; i < levels; ++i) glyphs[i].parts.assign(static_cast<size_t>(fanout), static_cast<uint16_t>(i + 1));
  glyphs.back() = leaf;
  return glyphs;
}

// `times` calls of local subroutine n.
inline Bytes calls(int n, int times) { return repeat(cs({n - 107}, 10), times); }

// A font named `family` whose every code point shows one glyph of `points`
// points (a square's corners, then a zigzag), running `program`; with
// `prep`, the program run before any hinted glyph. With `composite`, the
// glyph shown is a composite whose one part is that glyph.
inline Bytes hintedFont(const std::string& family, int points, const Bytes& program, const Bytes& prep = {},
                        bool composite = false) {
  Glyph g = squareGlyph();
  g.instructions = program;
  for (int i = 4; i < points; ++i) g.contours[0].push_back({500 - (i % 2) * 20, (i * 7) % 600});
  std::vector<Glyph> glyphs{g};
  if (composite) glyphs.insert(glyphs.begin(), Glyph{{}, {1}, {}});
  std::map<std::string, Bytes> tables;
  if (!prep.empty()) tables["prep"] = prep;
  // One `name` record, its string right after: the family name (name 1) for
  // Windows in UTF-16, the record FreeType takes the face's family name from.
  Bytes& name = tables["name"];
  put16(name, 0, 1, 6 + 12, 3, 1, 0x409, 1, 2 * family.size(), 0);
  for (char c : family) put16(name, static_cast<uint8_t>(c));
  return trueTypeFont(glyphs, {}, 800, -200, tables);
}

}  // namespace testfonts
