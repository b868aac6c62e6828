// Small font files made for the tests, the fuzz seeds and the benchmarks: a
// minimal SFNT writer (head, hhea, maxp, cmap, hmtx, and either loca and
// glyf or a CFF table) and builders for TrueType glyphs and Type 2
// charstrings. Enough for FreeType to open the font; nothing a renderer
// does not read.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testfonts {

using Bytes = std::vector<uint8_t>;

// `bytes` big-endian bytes of v; beyond four, leading zeros.
inline void put(Bytes& b, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) b.push_back(i < 4 ? static_cast<uint8_t>(v >> (8 * i)) : 0);
}

inline Bytes sfnt(uint32_t version, const std::map<std::string, Bytes>& tables) {
  Bytes out;
  put(out, version, 4);
  put(out, static_cast<uint32_t>(tables.size()), 2);
  put(out, 0, 6);  // search hints, unused by FreeType
  uint32_t offset = 12 + 16 * static_cast<uint32_t>(tables.size());
  for (const auto& [tag, data] : tables) {  // std::map keeps the tags sorted
    out.insert(out.end(), tag.begin(), tag.end());
    put(out, 0, 4);
    put(out, offset, 4);
    put(out, static_cast<uint32_t>(data.size()), 4);
    offset += (static_cast<uint32_t>(data.size()) + 3) & ~3u;
  }
  for (const auto& entry : tables) {
    out.insert(out.end(), entry.second.begin(), entry.second.end());
    out.resize((out.size() + 3) & ~size_t(3));
  }
  return out;
}

// The tables both outline kinds share; every glyph advances by `advance`
// and every code point in `cmap` (code point, glyph) maps through format 12.
inline std::map<std::string, Bytes> commonTables(int glyphs, int ascender, int descender, bool cff,
                                                 const std::vector<std::pair<uint32_t, uint16_t>>& cmap,
                                                 int advance = 600) {
  std::map<std::string, Bytes> t;
  Bytes& head = t["head"];
  put(head, 0x10000, 4), put(head, 0x10000, 4), put(head, 0, 4), put(head, 0x5F0F3CF5, 4);
  put(head, 0, 2), put(head, 1000, 2), put(head, 0, 16);  // flags, units per em, dates
  put(head, 0, 8), put(head, 0, 2), put(head, 8, 2), put(head, 2, 2), put(head, 1, 2), put(head, 0, 2);
  Bytes& hhea = t["hhea"];
  put(hhea, 0x10000, 4), put(hhea, static_cast<uint16_t>(ascender), 2), put(hhea, static_cast<uint16_t>(descender), 2);
  put(hhea, 0, 2), put(hhea, static_cast<uint32_t>(advance), 2), put(hhea, 0, 22), put(hhea, 1, 2);
  Bytes& hmtx = t["hmtx"];
  put(hmtx, static_cast<uint32_t>(advance), 2), put(hmtx, 0, 2);
  for (int g = 1; g < glyphs; ++g) put(hmtx, 0, 2);  // left side bearings only
  Bytes& maxp = t["maxp"];
  put(maxp, cff ? 0x5000 : 0x10000, 4), put(maxp, static_cast<uint32_t>(glyphs), 2);
  if (!cff) put(maxp, 0, 8), put(maxp, 2, 2), put(maxp, 0, 16);
  Bytes& c = t["cmap"];
  put(c, 0, 2), put(c, 1, 2), put(c, 3, 2), put(c, 10, 2), put(c, 12, 4);
  put(c, 12, 2), put(c, 0, 2), put(c, 16 + 12 * static_cast<uint32_t>(cmap.size()), 4), put(c, 0, 4);
  put(c, static_cast<uint32_t>(cmap.size()), 4);
  for (const auto& [point, glyph] : cmap) put(c, point, 4), put(c, point, 4), put(c, glyph, 4);
  return t;
}

// A TrueType glyph: closed polygons of on-curve points, or parts (glyph
// numbers, each placed at its own offset).
struct Glyph {
  std::vector<std::vector<std::pair<int, int>>> contours;
  std::vector<uint16_t> parts;
};

inline Bytes glyphData(const Glyph& g) {
  Bytes b;
  if (!g.parts.empty()) {
    put(b, 0xFFFF, 2), put(b, 0, 8);
    for (size_t i = 0; i < g.parts.size(); ++i) {
      // Word-sized x/y offsets, more parts to come except after the last.
      put(b, 0x0003 | (i + 1 < g.parts.size() ? 0x0020 : 0), 2), put(b, g.parts[i], 2);
      put(b, static_cast<uint32_t>(i % 7), 2), put(b, 0, 2);
    }
    return b;
  }
  if (g.contours.empty()) return b;  // an empty glyph has no data at all
  put(b, static_cast<uint32_t>(g.contours.size()), 2), put(b, 0, 8);
  size_t points = 0;
  for (const auto& c : g.contours) put(b, static_cast<uint32_t>((points += c.size()) - 1), 2);
  put(b, 0, 2);  // no instructions
  b.insert(b.end(), points, 0x01);  // on curve, word-sized deltas
  for (int axis = 0; axis < 2; ++axis) {
    int at = 0;
    for (const auto& c : g.contours)
      for (const auto& p : c) {
        const int v = axis == 0 ? p.first : p.second;
        put(b, static_cast<uint16_t>(v - at), 2);
        at = v;
      }
  }
  return b;
}

inline Bytes trueTypeFont(const std::vector<Glyph>& glyphs, const std::vector<std::pair<uint32_t, uint16_t>>& cmap,
                          int ascender = 800, int descender = -200) {
  auto t = commonTables(static_cast<int>(glyphs.size()), ascender, descender, false, cmap);
  Bytes& loca = t["loca"];
  Bytes& glyf = t["glyf"];
  for (const Glyph& g : glyphs) {
    put(loca, static_cast<uint32_t>(glyf.size()), 4);
    const Bytes d = glyphData(g);
    glyf.insert(glyf.end(), d.begin(), d.end());
    glyf.resize((glyf.size() + 3) & ~size_t(3));
  }
  put(loca, static_cast<uint32_t>(glyf.size()), 4);
  return sfnt(0x10000, t);
}

// Type 2 charstring pieces: numbers and operators (escaped ones as 1200 +
// the second byte), joined in order.
inline Bytes cs(std::initializer_list<int> numbers, int op) {
  Bytes b;
  for (int v : numbers) {
    if (v >= -107 && v <= 107) b.push_back(static_cast<uint8_t>(v + 139));
    else b.push_back(28), put(b, static_cast<uint16_t>(v), 2);
  }
  if (op >= 1200) b.push_back(12), b.push_back(static_cast<uint8_t>(op - 1200));
  else if (op >= 0) b.push_back(static_cast<uint8_t>(op));
  return b;
}

inline Bytes join(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

inline Bytes repeat(const Bytes& piece, int times) {
  Bytes b;
  for (int i = 0; i < times; ++i) b.insert(b.end(), piece.begin(), piece.end());
  return b;
}

inline Bytes cffIndex(const std::vector<Bytes>& items) {
  Bytes b;
  put(b, static_cast<uint32_t>(items.size()), 2);
  if (items.empty()) return b;
  b.push_back(4);
  uint32_t offset = 1;
  put(b, offset, 4);
  for (const Bytes& i : items) put(b, offset += static_cast<uint32_t>(i.size()), 4);
  for (const Bytes& i : items) b.insert(b.end(), i.begin(), i.end());
  return b;
}

// An OpenType font with CFF outlines: one charstring per glyph, global
// subroutines, and local ones per font dictionary (subroutines are called
// with the bias of their count, 107 for a few, subtracted). With `fdOf`
// the font is CID-keyed and glyph g uses dictionary fdOf[g] (FDSelect
// format 3); without, it has the one dictionary locals[0], if any.
inline Bytes cffFont(const std::vector<Bytes>& charstrings, const std::vector<std::vector<Bytes>>& locals,
                     const std::vector<Bytes>& globals, const std::vector<std::pair<uint32_t, uint16_t>>& cmap,
                     const std::vector<uint8_t>& fdOf = {}) {
  auto number = [](Bytes& b, size_t v) { b.push_back(29), put(b, static_cast<uint32_t>(v), 4); };
  const bool cid = !fdOf.empty();
  const size_t dicts = cid ? locals.size() : 1;
  const Bytes names = cffIndex({{'T'}}), strings = cffIndex({}), global = cffIndex(globals), glyphs = cffIndex(charstrings);
  // The Top DICT's numbers take five bytes each, so its size is known
  // before the offsets in it: ROS, FDArray and FDSelect, or Private; then
  // CharStrings. Next come the charstrings, FDArray, FDSelect, and each
  // Private DICT with its subroutines.
  size_t at = 4 + names.size() + cffIndex({Bytes(cid ? 37 : 17)}).size() + strings.size() + global.size();
  const size_t charstringsAt = at, fdArrayAt = (at += glyphs.size());
  if (cid) at += cffIndex(std::vector<Bytes>(dicts, Bytes(11))).size();
  Bytes select{3};
  put(select, static_cast<uint32_t>(fdOf.size()), 2);
  for (size_t g = 0; g < fdOf.size(); ++g) put(select, static_cast<uint32_t>(g), 2), select.push_back(fdOf[g]);
  put(select, static_cast<uint32_t>(fdOf.size()), 2);
  const size_t selectAt = at;
  if (cid) at += select.size();
  std::vector<Bytes> fontDicts;
  Bytes privates;
  for (size_t d = 0; d < dicts; ++d) {
    Bytes priv, fd;
    number(priv, 6), priv.push_back(19);  // Subrs right after the Private DICT
    number(fd, 6), number(fd, at), fd.push_back(18);
    const Bytes subrs = cffIndex(d < locals.size() ? locals[d] : std::vector<Bytes>{});
    privates = join({privates, priv, subrs});
    at += priv.size() + subrs.size();
    fontDicts.push_back(fd);
  }
  Bytes top;
  if (cid) {
    number(top, 0), number(top, 0), number(top, 0), top.push_back(12), top.push_back(30);
    number(top, fdArrayAt), top.push_back(12), top.push_back(36);
    number(top, selectAt), top.push_back(12), top.push_back(37);
  } else {
    top = fontDicts[0];
  }
  number(top, charstringsAt), top.push_back(17);
  Bytes cff = join({{1, 0, 4, 4}, names, cffIndex({top}), strings, global, glyphs});
  if (cid) cff = join({cff, cffIndex(fontDicts), select});
  auto t = commonTables(static_cast<int>(charstrings.size()), 800, -200, true, cmap);
  t["CFF "] = join({cff, privates});
  return sfnt(0x4F54544F, t);  // "OTTO"
}

// The shapes most test fonts draw: a square, as a TrueType glyph and as a
// charstring path, and a chain of composites (glyph i holds `fanout`
// copies of glyph i + 1, the last one `leaf`).
inline Glyph squareGlyph() { return Glyph{{{{100, 0}, {100, 600}, {500, 600}, {500, 0}}}, {}}; }

inline Bytes squarePath() { return join({cs({100, 0}, 21), cs({400}, 6), cs({600}, 7), cs({-400}, 6)}); }

inline std::vector<Glyph> nested(int levels, int fanout, const Glyph& leaf = squareGlyph()) {
  std::vector<Glyph> glyphs(static_cast<size_t>(levels) + 1, Glyph{});
  for (int i = 0; i < levels; ++i) glyphs[i].parts.assign(static_cast<size_t>(fanout), static_cast<uint16_t>(i + 1));
  glyphs.back() = leaf;
  return glyphs;
}

// `times` calls of local subroutine n.
inline Bytes calls(int n, int times) { return repeat(cs({n - 107}, 10), times); }

}  // namespace testfonts
