// Bitmap to character set: every 8x8 cell becomes a character pattern in
// text-mode colours, equal patterns share one character, and when more than
// 256 remain the closest patterns are merged. Merging looks at every pair
// of patterns (half a million for 1000 distinct cells); the distances are
// small integers, so the pairs are ordered by a counting sort, and a
// union-find with path compression joins them until 256 groups are left.
#include "convert/CharsetConverter.h"

#include "core/MemoryLayout.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kMaxDistance = 64;       // bits of a pattern
constexpr uint64_t kLowPairBits = 0x5555555555555555ull;
constexpr int kErrorTextSize = 160;

using Pattern = uint64_t;  // the 8 bytes of a cell, byte k = pixel row k

Pattern readPattern(const uint8_t* bytes) {
  Pattern p;
  std::memcpy(&p, bytes, sizeof p);
  return p;
}

// One candidate merge of patterns a < b.
struct Pair {
  int distance;
  int a;
  int b;
};

// Union-find over pattern numbers; each root keeps the cells of its group.
struct Groups {
  std::vector<int> parent;
  std::vector<int> count;

  int find(int x) {
    int root = x;
    while (parent[root] != root) root = parent[root];
    while (parent[x] != root) {
      const int next = parent[x];
      parent[x] = root;
      x = next;
    }
    return root;
  }
};

// The cells in text-mode form, before anything is written.
struct Cells {
  std::array<Pattern, kScreenCells> pattern;
  std::array<uint8_t, kScreenCells> colour;
  int misfits = 0;
};


// Hires: the colour of most 0 pixels becomes the shared background; a cell
// keeps its pattern when its 0 pixels already show it, else it is inverted
// when its 1 pixels do.
uint8_t hiresCells(const Machine& m, Cells& c) {
  int zeros[16] = {};
  for (int i = 0; i < kScreenCells; ++i)
    zeros[m.ram[cellScreenAddr(m, i)] & 15] += kMaxDistance - std::popcount(c.pattern[i]);
  const int bg = static_cast<int>(std::max_element(zeros, zeros + 16) - zeros);
  for (int i = 0; i < kScreenCells; ++i) {
    const int vm = m.ram[cellScreenAddr(m, i)];
    const int lo = vm & 15, hi = vm >> 4;
    Pattern& p = c.pattern[i];
    if (lo == bg || p == ~Pattern{0}) {
      c.colour[i] = static_cast<uint8_t>(hi);
    } else if (hi == bg || p == 0) {
      p = ~p;
      c.colour[i] = static_cast<uint8_t>(lo);
    } else {
      ++c.misfits;
      c.colour[i] = static_cast<uint8_t>(hi);
    }
  }
  return static_cast<uint8_t>(bg);
}

int rgbDistance(const Palette& pal, int a, int b) {
  int sum = 0;
  for (int k = 0; k < 3; ++k) {
    const int d = pal.rgb[a][k] - pal.rgb[b][k];
    sum += d * d;
  }
  return sum;
}

// Multicolour: $D021 stays, the two colours most used by the pixels
// (colours 8-15 weighted four times, since a cell's own colour in
// multicolour text can only be 0-7) become $D022 and $D023, and every
// cell's bit pairs are mapped onto those and one cell colour of 0-7.
void multiCells(const Machine& m, const Palette& pal, Cells& c, int& d2, int& d3) {
  const int bg = m.vicRegs[kRegBg0] & 15;
  auto shown = [&](int i, int q) {
    switch (q) {
      case 0: return bg;
      case 1: return m.ram[cellScreenAddr(m, i)] >> 4;
      case 2: return m.ram[cellScreenAddr(m, i)] & 15;
      default: return m.ram[cellColorAddr(i)] & 15;
    }
  };
  int count[16] = {};
  for (int i = 0; i < kScreenCells; ++i) {
    const Pattern p = c.pattern[i];
    for (int q = 0; q < 4; ++q) {
      // Pairs equal to q: both bits of (p ^ ~q-pattern) set.
      const Pattern want = q * kLowPairBits;
      const Pattern same = ~(p ^ want);
      count[shown(i, q)] += std::popcount(same & (same >> 1) & kLowPairBits);
    }
  }
  count[bg] = -1;
  int rank[16];
  for (int k = 0; k < 16; ++k) rank[k] = k;
  auto key = [&](int k) { return count[k] * (k >= 8 ? 4 : 1); };
  std::stable_sort(rank, rank + 16, [&](int a, int b) { return key(a) > key(b); });
  d2 = rank[0];
  d3 = rank[1];

  for (int i = 0; i < kScreenCells; ++i) {
    const Pattern p = c.pattern[i];
    int map[4];
    int cellColour = -1;
    bool misfit = false;
    for (int q = 0; q < 4; ++q) {
      const int col = shown(i, q);
      const Pattern same = ~(p ^ (q * kLowPairBits));
      const bool occurs = (same & (same >> 1) & kLowPairBits) != 0;
      if (!occurs || col == bg) {
        map[q] = 0;
      } else if (col == d2) {
        map[q] = 1;
      } else if (col == d3) {
        map[q] = 2;
      } else if (col < 8 && (cellColour < 0 || cellColour == col)) {
        cellColour = col;
        map[q] = 3;
      } else {
        const int choice[4] = {bg, d2, d3, cellColour};
        const int n = cellColour < 0 ? 3 : 4;
        int best = 0;
        int bestDist = rgbDistance(pal, col, choice[0]);
        for (int k = 1; k < n; ++k) {
          const int d = rgbDistance(pal, col, choice[k]);
          if (d < bestDist) {
            bestDist = d;
            best = k;
          }
        }
        map[q] = best;
        misfit = true;
      }
    }
    Pattern out = 0;
    for (int shift = 0; shift < 64; shift += 2)
      out |= static_cast<Pattern>(map[(p >> shift) & 3]) << shift;
    c.pattern[i] = out;
    c.colour[i] = static_cast<uint8_t>((cellColour < 0 ? 0 : cellColour) | 8);
    if (misfit) ++c.misfits;
  }
}

int patternDistance(Pattern a, Pattern b, bool multi) {
  const Pattern x = a ^ b;
  if (!multi) return std::popcount(x);
  return 2 * std::popcount((x | (x >> 1)) & kLowPairBits);
}

// Merges the patterns until at most 256 groups remain; returns each
// pattern's group root.
std::vector<int> mergePatterns(const std::vector<Pattern>& patterns, const std::vector<int>& cellCount,
                               bool multi) {
  const int n = static_cast<int>(patterns.size());
  const size_t pairCount = static_cast<size_t>(n) * (n - 1) / 2;
  std::vector<uint8_t> distance(pairCount);
  size_t bucketStart[kMaxDistance + 2] = {};
  size_t k = 0;
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b, ++k) {
      distance[k] = static_cast<uint8_t>(patternDistance(patterns[a], patterns[b], multi));
      ++bucketStart[distance[k] + 1];
    }
  for (int d = 1; d <= kMaxDistance + 1; ++d) bucketStart[d] += bucketStart[d - 1];
  // Stable counting sort: equal distances keep the order a, then b.
  std::vector<Pair> sorted(pairCount);
  k = 0;
  for (int a = 0; a < n; ++a)
    for (int b = a + 1; b < n; ++b, ++k) sorted[bucketStart[distance[k]]++] = {distance[k], a, b};

  Groups g;
  g.parent.resize(n);
  g.count = cellCount;
  for (int i = 0; i < n; ++i) g.parent[i] = i;
  int groups = n;
  for (const Pair& pr : sorted) {
    if (groups <= kCharsetChars) break;
    const int ra = g.find(pr.a), rb = g.find(pr.b);
    if (ra == rb) continue;
    if (g.count[ra] < g.count[rb]) {
      g.parent[ra] = rb;
      g.count[rb] += g.count[ra];
    } else {
      g.parent[rb] = ra;
      g.count[ra] += g.count[rb];
    }
    --groups;
  }
  std::vector<int> root(n);
  for (int i = 0; i < n; ++i) root[i] = g.find(i);
  return root;
}

}  // namespace

std::string CharsetSlotProblem(const Machine& m, int slot) {
  if (slot < 0 || slot >= kCharsetSlots) return "Invalid charset position";
  if (m.slotIsRom(slot))
    return "The VIC sees the character ROM there";
  const uint32_t s = charsetSlotAddr(m, slot);
  const uint32_t matrix = m.screenAddr();
  if (matrix + kScreenCells - 1 >= s && s + kCharsetSize - 1 >= matrix) return "It overlaps the video matrix";
  // In bank 3 slot 3 is $D800-$DFFF: the colour bytes of the same
  // conversion would overwrite the new characters.
  if (kColorRamEnd >= s && s + kCharsetSize - 1 >= kColorRam) return "It overlaps the color memory";
  return {};
}

CharsetConvertResult ConvertBitmapToCharset(Machine& m, const Palette& pal, int slot, bool merge) {
  CharsetConvertResult res;
  if (!m.isBitmap()) {
    res.error = "The screen has to be in a bitmap mode.";
    return res;
  }
  if (const std::string problem = CharsetSlotProblem(m, slot); !problem.empty()) {
    res.error = "Can't put the charset there: " + problem + ".";
    return res;
  }

  const bool multi = m.isMulticolor();
  Cells cells;
  for (int i = 0; i < kScreenCells; ++i) cells.pattern[i] = readPattern(m.ram.data() + cellBitmapAddr(m, i));
  int hiresBg = 0, d2 = 0, d3 = 0;
  if (multi) multiCells(m, pal, cells, d2, d3);
  else hiresBg = hiresCells(m, cells);
  res.misfitCells = cells.misfits;

  // Distinct patterns in order of first appearance.
  std::vector<Pattern> patterns;
  std::vector<int> cellCount;
  std::array<int, kScreenCells> patternOf;
  std::unordered_map<Pattern, int> number;
  number.reserve(kScreenCells * 2);
  for (int i = 0; i < kScreenCells; ++i) {
    auto [it, added] = number.try_emplace(cells.pattern[i], static_cast<int>(patterns.size()));
    if (added) {
      patterns.push_back(cells.pattern[i]);
      cellCount.push_back(0);
    }
    patternOf[i] = it->second;
    ++cellCount[it->second];
  }
  const int n = static_cast<int>(patterns.size());
  res.differentCells = n;
  if (n > kCharsetChars && !merge) {
    char text[kErrorTextSize];
    std::snprintf(text, sizeof text,
                  "The picture has %d different character cells, a charset holds 256.\n"
                  "Enable merging of similar characters to convert anyway.",
                  n);
    res.error = text;
    return res;
  }

  std::vector<int> root(n);
  for (int i = 0; i < n; ++i) root[i] = i;
  if (n > kCharsetChars) root = mergePatterns(patterns, cellCount, multi);

  // Characters in order of the pattern numbers, each showing its root.
  std::vector<int> charOf(n, -1);
  std::vector<Pattern> chars;
  for (int p = 0; p < n; ++p) {
    if (charOf[root[p]] < 0) {
      charOf[root[p]] = static_cast<int>(chars.size());
      chars.push_back(patterns[root[p]]);
    }
    charOf[p] = charOf[root[p]];
  }
  for (int i = 0; i < kScreenCells; ++i)
    if (root[patternOf[i]] != patternOf[i]) ++res.similarCells;

  res.charsUsed = static_cast<int>(chars.size());
  const uint32_t s = charsetSlotAddr(m, slot);
  std::fill_n(m.ram.begin() + s, kCharsetSize, uint8_t{0});
  for (size_t c = 0; c < chars.size(); ++c) std::memcpy(m.ram.data() + s + c * kBitmapCellBytes, &chars[c], kBitmapCellBytes);
  for (int i = 0; i < kScreenCells; ++i) {
    m.ram[cellScreenAddr(m, i)] = static_cast<uint8_t>(charOf[patternOf[i]]);
    m.ram[cellColorAddr(i)] = cells.colour[i];
  }

  m.setGfxMode(multi ? kModeMultiText : kModeText);
  CharOps::setSlot(m, slot);
  if (multi) {
    m.vicRegs[kRegBg1] = static_cast<uint8_t>(d2);
    m.vicRegs[kRegBg2] = static_cast<uint8_t>(d3);
  } else {
    m.vicRegs[kRegBg0] = static_cast<uint8_t>(hiresBg);
  }
  res.ok = true;
  return res;
}
