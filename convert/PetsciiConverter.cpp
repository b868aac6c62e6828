// The PETSCII search. Per cell it compares every glyph of the list in up to
// six foreground colours. It stays within a frame by: one table of colour
// distances per pixel computed up front; a lower bound per foreground (each
// pixel at its nearer of foreground and background) that orders the
// foregrounds and ends the search early; scoring a glyph with 8 row-table
// and 16 block-table lookups instead of 64 pixel distances; and skipping a
// glyph as soon as a partial sum of its score reaches the best one.
#include "convert/PetsciiConverter.h"

#include "core/MemoryLayout.h"
#include "core/PixelOps.h"
#include "core/Vic.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace {

constexpr int kCellPixels = kCellSize * kCellSize;  // 64
constexpr int kBlocks = 16;                         // 2x2 blocks per cell
constexpr int kMaxForegrounds = 6;                  // foregrounds tried per cell
constexpr int kWeightOne = 256;                     // detail 1 as an integer weight
constexpr uint8_t kGraphicsBit = 0x40;
constexpr uint8_t kMatrixAtRom = 1;  // video matrix at $0400 of the bank

// Channel weights of the colour distance.
constexpr int kWeightR = 3, kWeightG = 4, kWeightB = 2;

int distance(int r, int g, int b, const uint8_t* c) {
  const int dr = r - c[0], dg = g - c[1], db = b - c[2];
  return kWeightR * dr * dr + kWeightG * dg * dg + kWeightB * db * db;
}

// One entry of the glyph list: the screen code, its rows and the number of
// set pixels (0-4) in each 2x2 block.
struct Glyph {
  uint8_t code;
  uint8_t rows[kCellSize];
  uint8_t blockCount[kBlocks];
};

std::vector<Glyph> glyphList(const uint8_t (*charset)[kCharBytes], const PetsciiOptions& o) {
  std::vector<Glyph> list;
  for (int code = 0; code < kCharsetChars; ++code) {
    if (code & kReverseBit && !o.reversed) continue;
    if (o.noLetters && (code & 0x7F) != kSpaceCode && !(code & kGraphicsBit)) continue;
    const uint8_t* bytes = charset[code];
    const bool seen = std::any_of(list.begin(), list.end(), [&](const Glyph& g) {
      return std::memcmp(g.rows, bytes, kCharBytes) == 0;
    });
    if (seen) continue;
    Glyph g{};
    g.code = static_cast<uint8_t>(code);
    std::memcpy(g.rows, bytes, kCharBytes);
    list.push_back(g);
  }
  if (list.empty()) {
    Glyph g{};
    g.code = kSpaceCode;
    std::memcpy(g.rows, charset[kSpaceCode], kCharBytes);
    list.push_back(g);
  }
  for (Glyph& g : list)
    for (int b = 0; b < kBlocks; ++b) {
      const int row = (b / 4) * 2, shift = 6 - (b % 4) * 2;
      const int upper = (g.rows[row] >> shift) & 3, lower = (g.rows[row + 1] >> shift) & 3;
      g.blockCount[b] = static_cast<uint8_t>(std::popcount(static_cast<unsigned>(upper * 4 + lower)));
    }
  return list;
}

// The picture seen per cell: distances of every pixel to every colour and
// the channel sums of every 2x2 block.
struct CellData {
  uint32_t dist[16][kCellPixels];
  int blockSum[kBlocks][3];
};

}  // namespace

void PetsciiConverter::SetPalette(const uint8_t* rgb) { std::memcpy(palette, rgb, sizeof palette); }

void PetsciiConverter::SetCharset(const Machine& m, int which) {
  if (which == PetsciiCharset::Current) {
    for (int code = 0; code < kCharsetChars; ++code)
      std::memcpy(charset[code], m.charData(static_cast<uint8_t>(code)), kCharBytes);
  } else {
    SetCharset(m.charRom.data() + (which == PetsciiCharset::RomLower ? kCharsetSize : 0));
  }
}

void PetsciiConverter::SetCharset(const uint8_t* bytes) { std::memcpy(charset, bytes, sizeof charset); }

void PetsciiConverter::Convert(const std::vector<uint32_t>& pixels, const PetsciiOptions& o) {
  const auto cand = importCandidates(o.colors);
  const std::vector<Glyph> glyphs = glyphList(charset, o);

  std::vector<CellData> cells(kScreenCells);
  for (int cell = 0; cell < kScreenCells; ++cell) {
    CellData& cd = cells[cell];
    std::memset(cd.blockSum, 0, sizeof cd.blockSum);
    const int x0 = (cell % kScreenCols) * kCellSize, y0 = (cell / kScreenCols) * kCellSize;
    for (int p = 0; p < kCellPixels; ++p) {
      const size_t i = static_cast<size_t>(y0 + p / kCellSize) * kDisplayWidth + x0 + p % kCellSize;
      const uint32_t px = i < pixels.size() ? pixels[i] : 0;
      const int r = px & 255, g = (px >> 8) & 255, b = (px >> 16) & 255;
      for (int c = 0; c < 16; ++c) cd.dist[c][p] = static_cast<uint32_t>(distance(r, g, b, palette[c]));
      int* s = cd.blockSum[(p / 16) * 4 + (p % 8) / 2];
      s[0] += r;
      s[1] += g;
      s[2] += b;
    }
  }

  // Background: the candidate whose best two-colour rendering of every cell
  // (each pixel at its nearer colour) adds up to the least. The totals
  // exceed 32 bits on ordinary pictures.
  const bool fixed = o.background >= 0 && std::find(cand.begin(), cand.end(), o.background) != cand.end();
  if (fixed) {
    background = o.background;
  } else {
    const int n = static_cast<int>(cand.size());
    std::vector<uint64_t> total(n, 0);
    uint32_t pair[16][16];
    for (const CellData& cd : cells) {
      for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
          const uint32_t* a = cd.dist[cand[i]];
          const uint32_t* b = cd.dist[cand[j]];
          uint32_t s = 0;
          for (int p = 0; p < kCellPixels; ++p) s += std::min(a[p], b[p]);
          pair[i][j] = pair[j][i] = s;
        }
      for (int i = 0; i < n; ++i) total[i] += *std::min_element(pair[i], pair[i] + n);
    }
    background = cand[std::min_element(total.begin(), total.end()) - total.begin()];
  }

  // A detail outside 0-1 (or not a number) clamps to the nearer end.
  const int w = o.detail > 1 ? kWeightOne : o.detail >= 0 ? static_cast<int>(o.detail * 256.0 + 0.5) : 0;
  const int64_t toneWeight = kWeightOne - w;

  std::vector<int> fgs;
  for (int c : cand)
    if (c != background) fgs.push_back(c);
  if (fgs.empty()) fgs.push_back(background);

  const uint8_t* bgRgb = palette[background];
  for (int cell = 0; cell < kScreenCells; ++cell) {
    const CellData& cd = cells[cell];
    const uint32_t* dBg = cd.dist[background];
    int64_t base = 0;
    for (int p = 0; p < kCellPixels; ++p) base += dBg[p];

    struct Bound {
      int64_t lb;
      int fg;
    };
    Bound bounds[16];
    const int nf = static_cast<int>(fgs.size());
    for (int k = 0; k < nf; ++k) {
      const uint32_t* d = cd.dist[fgs[k]];
      int64_t lb = 0;
      for (int p = 0; p < kCellPixels; ++p) lb += std::min(d[p], dBg[p]);
      bounds[k] = {lb, fgs[k]};
    }
    std::sort(bounds, bounds + nf, [](const Bound& a, const Bound& b) {
      return a.lb != b.lb ? a.lb < b.lb : a.fg < b.fg;
    });

    int64_t best = std::numeric_limits<int64_t>::max();
    uint8_t bestCode = glyphs[0].code;
    int bestFg = bounds[0].fg;
    const int64_t baseW = base * w;
    for (int k = 0; k < std::min(nf, kMaxForegrounds); ++k) {
      if (w * bounds[k].lb >= best) break;
      const int f = bounds[k].fg;
      // Weighted pixel cost of every row byte: the change against an all
      // background row. Built by doubling: the bytes with bit b set are those
      // without it plus that pixel's change. A row's weighted cost fits in
      // 32 bits (8 x 9 x 255^2 x 256 < 2^31).
      int32_t rowCost[kCellSize][256];
      for (int row = 0; row < kCellSize && w > 0; ++row) {
        int32_t* t = rowCost[row];
        t[0] = 0;
        for (int bit = 0; bit < 8; ++bit) {
          const int p = row * kCellSize + 7 - bit;
          const int32_t delta = (static_cast<int32_t>(cd.dist[f][p]) - static_cast<int32_t>(dBg[p])) * w;
          const int half = 1 << bit;
          for (int v = 0; v < half; ++v) t[half + v] = t[v] + delta;
        }
      }
      // Weighted tone cost of every block by its number of foreground pixels.
      int32_t toneCost[kBlocks][5];  // at most 9 x 1020^2 / 4 x 256 < 2^31
      const uint8_t* fgRgb = palette[f];
      for (int b = 0; b < kBlocks; ++b)
        for (int n = 0; n <= 4; ++n) {
          int64_t sum = 0;
          for (int ch = 0; ch < 3; ++ch) {
            const int64_t diff = cd.blockSum[b][ch] - ((4 - n) * bgRgb[ch] + n * fgRgb[ch]);
            sum += (ch == 0 ? kWeightR : ch == 1 ? kWeightG : kWeightB) * diff * diff;
          }
          toneCost[b][n] = static_cast<int32_t>((sum >> 2) * toneWeight);
        }
      for (const Glyph& g : glyphs) {
        // Every part is weighted and never negative beyond the pixel base,
        // so a glyph is dropped as soon as a partial sum reaches the best.
        int64_t score = baseW;
        if (w > 0) {
          for (int row = 0; row < kCellSize; ++row) score += rowCost[row][g.rows[row]];
          if (score >= best) continue;
        }
        for (int b = 0; b < kBlocks / 2; ++b) score += toneCost[b][g.blockCount[b]];
        if (score >= best) continue;
        for (int b = kBlocks / 2; b < kBlocks; ++b) score += toneCost[b][g.blockCount[b]];
        if (score < best) {
          best = score;
          bestCode = g.code;
          bestFg = f;
        }
      }
    }
    screen[cell] = bestCode;
    colorRam[cell] = static_cast<uint8_t>(bestFg);
  }
}

std::vector<uint32_t> PetsciiConverter::Preview() const {
  std::vector<uint32_t> out(static_cast<size_t>(kDisplayWidth) * kDisplayHeight);
  auto word = [&](int c) { return Vic::rgbWord(palette[c & 15]); };
  const uint32_t bg = word(background);
  for (int cell = 0; cell < kScreenCells; ++cell) {
    const uint32_t fg = word(colorRam[cell]);
    const uint8_t* glyph = charset[screen[cell]];
    const int x0 = (cell % kScreenCols) * kCellSize, y0 = (cell / kScreenCols) * kCellSize;
    for (int row = 0; row < kCellSize; ++row)
      for (int col = 0; col < kCellSize; ++col)
        out[static_cast<size_t>(y0 + row) * kDisplayWidth + x0 + col] = glyph[row] & sptab[col] ? fg : bg;
  }
  return out;
}

void PetsciiConverter::Store(Machine& m, int which) const {
  m.setGfxMode(kModeText);
  if (which != PetsciiCharset::Current) {
    // The ROM shows only at $1000-$1FFF of banks 0 and 2; a video matrix in
    // that range would be hidden by it, so it moves to $0400.
    m.bank &= 2;
    uint8_t d018 = m.vicRegs[kRegMemPtr];
    uint8_t matrix = d018 >> 4;
    if (matrix >= 4 && matrix <= 7) matrix = kMatrixAtRom;
    const int slot = kRomCharsetSlot + (which == PetsciiCharset::RomLower ? 1 : 0);
    m.vicRegs[kRegMemPtr] = static_cast<uint8_t>((matrix << 4) | (slot << 1) | (d018 & 1));
  }
  for (int i = 0; i < kScreenCells; ++i) {
    m.ram[cellScreenAddr(m, i)] = screen[i];
    m.ram[cellColorAddr(i)] = colorRam[i];
  }
  m.vicRegs[kRegBg0] = static_cast<uint8_t>(background);
}
