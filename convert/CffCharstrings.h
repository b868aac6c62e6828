// The Type 2 charstrings of an OpenType font's CFF table, read only so far
// as to know what FreeType's charstring interpreter will run for a glyph,
// and a bound on that work found before FreeType runs it.
//
// Charstrings call subroutines that call subroutines, up to 16 levels deep,
// and nothing counts the calls: a glyph that calls a subroutine thousands
// of times, each of which calls another thousands of times, would keep the
// interpreter busy for seconds. `work` follows the same program as the
// interpreter (the same bytes, the same stack, the same hint-mask lengths)
// and gives up at a budget. Where it cannot tell what the interpreter would
// do (subroutine numbers computed by arithmetic, accented glyphs built by
// seac, anything FreeType stops on with an error) it gives up as well, and
// the glyph is not loaded. FontImport uses it; it holds no FreeType state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CffCharstrings {
public:
  // Reads the CFF table (format 1, not CFF2). False when its indexes and
  // dictionaries are not laid out strictly by the format; FreeType is more
  // lenient, but then this program could not be sure to read the same
  // charstrings and subroutines as FreeType does.
  bool load(std::vector<uint8_t> table);
  bool loaded() const { return !table_.empty(); }
  size_t glyphCount() const { return charstrings_.size(); }

  // The interpreter's work for glyph `glyph` in units of one operator or
  // number, with path, stem and hint-mask operators weighted by what they
  // build; -1 when it exceeds `budget` or cannot be bounded.
  int work(unsigned glyph, int budget) const;

private:
  struct Span {
    uint32_t begin = 0;
    uint32_t end = 0;
  };
  using Index = std::vector<Span>;
  friend class CharstringWalk;

  bool readIndex(size_t at, Index& out, size_t* next = nullptr) const;
  int fontDictOf(unsigned glyph) const;

  std::vector<uint8_t> table_;
  Index charstrings_;
  Index globals_;
  std::vector<Index> locals_;  // per font dict; a single one without CID keys
  bool cid_ = false;
  uint8_t fdSelectFormat_ = 0;
  Span fdSelect_;
};
