// Resizing, colour mapping with error diffusion, cell-colour choice and the
// bitmap writer of the PC picture import, which runs them whenever an
// import option changes (the resize of a large picture in a process of its
// own). The resize reads every source pixel once, whatever the picture's
// shape, and sums integers, two channels to a word. The mapping is bound
// by the chain from one pixel's error to the next pixel's choice, so that
// chain is kept short: the pixel and its error are one vector of four
// floats, all candidates are compared four at a time, the share for the
// right neighbour stays in a register, and with Floyd-Steinberg two rows
// run side by side. The floats are the very ones the one-pixel-at-a-time
// rules give.
#include "convert/ColorReducer.h"

#include "core/MemoryLayout.h"
#include "core/PixelOps.h"
#include "core/Vic.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

constexpr uint32_t kOpaqueBlack = 0xFF000000u;
constexpr int kMaxChoices = 16;
constexpr float kFarAway = 1e30f;  // larger than any real colour distance
constexpr int kMultiCellWidth = 4;  // multicolour pixels per cell row
constexpr int kMaxTaps = 12;        // taps of the largest kernel
constexpr int kMargin = 2;          // farthest reach of a tap, in pixels

// Four floats handled at once (SSE on x86-64); lane by lane the
// same IEEE operations as single floats.
typedef float Vec4 __attribute__((vector_size(16)));
constexpr int kChoiceVecs = 4;  // 16 choices
constexpr float kUnused = 1e18f;  // target of an unused lane: distance ~1e36
constexpr Vec4 kChannelMin = {0, 0, 0, 0};
constexpr Vec4 kChannelMax = {255, 255, 255, 255};

Vec4 vmin(Vec4 a, Vec4 b) { return a < b ? a : b; }

// Each lane of v kept to 0-255, in one instruction per bound where there
// are such instructions (the compare-and-select form costs four).
Vec4 clampChannels(Vec4 v) {
#if defined(__SSE__)
  return _mm_min_ps(_mm_max_ps(v, kChannelMin), kChannelMax);
#else
  v = v > kChannelMin ? v : kChannelMin;
  return v < kChannelMax ? v : kChannelMax;
#endif
}

// The first of the 4 x vecs lanes whose distance equals `least` (which
// holds the same value in all four lanes).
int firstLane(const Vec4* d, int vecs, Vec4 least) {
#if defined(__SSE__)
  unsigned mask = 0;
  for (int k = 0; k < vecs; ++k) mask |= static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(d[k], least))) << (4 * k);
  return std::countr_zero(mask);
#else
  for (int k = 0; k < vecs * 4; ++k)
    if (d[k / 4][k % 4] == least[0]) return k;
  return 0;
#endif
}

// The colours one pixel may take: per channel four vectors of four targets
// (unused lanes so far away that they never come nearest), and each
// choice's target as one vector for the error.
struct Choices {
  Vec4 r[kChoiceVecs], g[kChoiceVecs], b[kChoiceVecs];
  Vec4 target[kMaxChoices];
  int colour[kMaxChoices];

  // Fills the vectors that hold k choices, each written whole so the next
  // pixel reads it straight from the store.
  void set(const int* list, int k, const float* tr, const float* tg, const float* tb) {
    k = std::min(k, kMaxChoices);
    const int vecs = std::max((k + 3) / 4, 1);
    for (int i = 0; i < vecs * 4; ++i) colour[i] = i < k ? list[i] & 15 : 0;
    for (int v = 0; v < vecs; ++v) {
      float lr[4], lg[4], lb[4];
      for (int j = 0; j < 4; ++j) {
        const int i = v * 4 + j, c = colour[i];
        lr[j] = i < k ? tr[c] : kUnused;
        lg[j] = i < k ? tg[c] : kUnused;
        lb[j] = i < k ? tb[c] : kUnused;
        target[i] = Vec4{tr[c], tg[c], tb[c], 0};
      }
      r[v] = Vec4{lr[0], lr[1], lr[2], lr[3]};
      g[v] = Vec4{lg[0], lg[1], lg[2], lg[3]};
      b[v] = Vec4{lb[0], lb[1], lb[2], lb[3]};
    }
  }

  // The first choice at the least squared distance from v; the first
  // choice also when none comes nearer than 1e30.
  template <int vecs>
  int nearest(Vec4 v) const {
    const Vec4 vr = {v[0], v[0], v[0], v[0]}, vg = {v[1], v[1], v[1], v[1]}, vb = {v[2], v[2], v[2], v[2]};
    Vec4 d[vecs];
    for (int k = 0; k < vecs; ++k) {
      const Vec4 dr = vr - r[k], dg = vg - g[k], db = vb - b[k];
      d[k] = dr * dr + dg * dg + db * db;
    }
    if constexpr (vecs == 1) {
      // Up to four choices: a short tree of scalar comparisons, the later
      // one taken only when strictly nearer.
      const float d0 = d[0][0], d1 = d[0][1], d2 = d[0][2], d3 = d[0][3];
      const int i01 = d1 < d0 ? 1 : 0, i23 = d3 < d2 ? 3 : 2;
      const float m01 = d1 < d0 ? d1 : d0, m23 = d3 < d2 ? d3 : d2;
      const float m = m23 < m01 ? m23 : m01;
      return m < kFarAway ? (m23 < m01 ? i23 : i01) : 0;
    }
    Vec4 least = d[0];
    if constexpr (vecs == 2) least = vmin(d[0], d[1]);
    if constexpr (vecs == 3) least = vmin(vmin(d[0], d[1]), d[2]);
    if constexpr (vecs == 4) least = vmin(vmin(d[0], d[1]), vmin(d[2], d[3]));
    least = vmin(least, __builtin_shufflevector(least, least, 2, 3, 0, 1));
    least = vmin(least, __builtin_shufflevector(least, least, 1, 0, 3, 2));
    return least[0] < kFarAway ? firstLane(d, vecs, least) : 0;
  }
};

// The published Floyd-Steinberg, Jarvis-Judice-Ninke and Stucki kernels.
constexpr DitherTap floyd[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
constexpr DitherTap jarvis[] = {{1, 0, 7},  {2, 0, 5},  {-2, 1, 3}, {-1, 1, 5},
                                {0, 1, 7},  {1, 1, 5},  {2, 1, 3},  {-2, 2, 1},
                                {-1, 2, 3}, {0, 2, 5},  {1, 2, 3},  {2, 2, 1}};
constexpr DitherTap stucki[] = {{1, 0, 8},  {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4},
                                {0, 1, 8},  {1, 1, 4},  {2, 1, 2},  {-2, 2, 1},
                                {-1, 2, 2}, {0, 2, 4},  {1, 2, 2},  {2, 2, 1}};

// Source range [lo, hi) of one output row or column; empty when it lies
// outside the picture.
struct Span {
  int lo = 0;
  int hi = 0;
};

Span sourceSpan(double s0, double s1, int size) {
  if (s1 <= 0 || s0 >= size) return {};
  const int lo = std::max(static_cast<int>(s0), 0);
  const int hi = std::min(std::max(static_cast<int>(std::ceil(s1)), lo + 1), size);
  return {lo, hi};
}

// ---- Box sums of the resize ----
//
// Each output pixel averages a box of source pixels: its row's source span
// by its column's. Both kinds of span rise with the output position (at
// both ends) and come in runs of equal spans, so the work is laid out to
// read every used source pixel once, whatever the shape of the picture:
// - the ends of all column spans cut the used source columns into
//   segments, each column in exactly one, at most 2 x 320 - 1 of them; a
//   column span is a run of whole segments;
// - each distinct row span is summed once, per segment, and a source row
//   belongs to a few of them (one beginning inside it, one ending in it,
//   and one of that row alone when the picture is scaled up);
// - the source rows are walked once, top to bottom, each row's segment
//   sums going to every row span open at that row; once a span's last row
//   is in, each of its output pixels adds up its column's segments.
// The sums are integers, two channels to a 32-bit word (red and blue, 16
// bits each), which holds 257 pixels of 255; they go into 64-bit totals
// before that, since the span of a 16777216-wide picture passes 32 bits.

constexpr int kPackedPixels = 257;           // 257 x 255 = 65535: full 16-bit lanes
constexpr uint32_t kLowBytes = 0x00FF00FFu;  // red and blue of a pixel, 16 bits apart
// Up to this many used columns, the rows are summed per column into one
// packed word each (a plain run over the row that the compiler turns into
// vector code) and the columns into segments every 257 rows; wider, the
// segments are long and each row is summed segment by segment, keeping
// the memory to a few words per segment instead of per column.
constexpr int kMaxColumnSums = 32768;

// Channel sums of part of a box.
struct Totals {
  uint64_t r = 0;
  uint64_t g = 0;
  uint64_t b = 0;
  void add(uint32_t redBlue, uint32_t green) {
    r += redBlue & 0xFFFF;
    b += redBlue >> 16;
    g += green;
  }
  Totals& operator+=(const Totals& o) {
    r += o.r;
    g += o.g;
    b += o.b;
    return *this;
  }
};

// Red and blue of a pixel blended towards black by its alpha (c x a / 255
// rounded down), both in one word: each lane's c x a is at most 65025, and
// for every such t, (t + 1 + t / 256) / 256 is t / 255 rounded down.
uint32_t div255Lanes(uint32_t t) { return ((t + 0x00010001u + ((t >> 8) & kLowBytes)) >> 8) & kLowBytes; }
uint32_t blendedRB(uint32_t p) { return div255Lanes((p & kLowBytes) * (p >> 24)); }
uint32_t blendedG(uint32_t p) { return div255Lanes(((p >> 8) & 255) * (p >> 24)); }

// Sums of at most kPackedPixels pixels: red and blue packed, and green.
struct Packed {
  uint32_t rb = 0;
  uint32_t g = 0;
};

// The sums of n pixels, each blended towards black by its alpha: summed
// plainly, and only when one of them has transparency summed again,
// blended (from the cache by then).
Packed sums(const uint32_t* p, int n) {
  Packed s;
  uint32_t all = 0xFFFFFFFFu;
  for (int i = 0; i < n; ++i) {
    s.rb += p[i] & kLowBytes;
    s.g += (p[i] >> 8) & 255;
    all &= p[i];
  }
  if (all >> 24 == 255) return s;
  s = {};
  for (int i = 0; i < n; ++i) {
    s.rb += blendedRB(p[i]);
    s.g += blendedG(p[i]);
  }
  return s;
}

// One resize's spans, segments and sums; see above.
class BoxResize {
public:
  // `cols` and `rows`: the source span of every output column and row.
  BoxResize(const uint32_t* pixels, int w, const std::vector<Span>& cols, const std::vector<Span>& rows)
      : pixels_(pixels), w_(w), cols_(cols) {
    for (const Span& c : cols)
      if (c.hi > c.lo) edges_.insert(edges_.end(), {c.lo, c.hi});
    std::sort(edges_.begin(), edges_.end());
    edges_.erase(std::unique(edges_.begin(), edges_.end()), edges_.end());
    segments_ = std::max(static_cast<int>(edges_.size()) - 1, 0);
    for (const Span& c : cols) {
      const auto at = [&](int edge) {
        return static_cast<int>(std::lower_bound(edges_.begin(), edges_.end(), edge) - edges_.begin());
      };
      colSegments_.push_back(c.hi > c.lo ? Span{at(c.lo), at(c.hi)} : Span{});
    }
    for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
      if (rows[y].hi <= rows[y].lo) continue;
      if (!spans_.empty() && spans_.back().lo == rows[y].lo && spans_.back().hi == rows[y].hi) {
        ++spanRows_.back();
      } else {
        spans_.push_back(rows[y]);
        spanY_.push_back(y);
        spanRows_.push_back(1);
      }
    }
    // The most spans open at once: those from a span j up to the last that
    // begins before j ends.
    for (size_t j = 0, k = 0; j < spans_.size(); ++j) {
      while (k < spans_.size() && spans_[k].lo < spans_[j].hi) ++k;
      ring_ = std::max(ring_, static_cast<int>(k - j));
    }
    if (segments_ == 0) return;
    batch_.resize(segments_);
    open_.resize(static_cast<size_t>(segments_) * ring_);
    const int used = edges_.back() - edges_.front();
    if (used <= kMaxColumnSums) {
      columnRB_.resize(used);
      columnG_.resize(used);
    }
  }

  // Fills the output rows of every row span; the others stay as they are.
  void run(uint32_t* out, int outW) {
    if (segments_ == 0 || spans_.empty()) return;
    const int count = static_cast<int>(spans_.size());
    int first = 0, next = 0;  // the open spans
    for (int sy = spans_.front().lo; sy < spans_.back().hi;) {
      if (next < count && spans_[next].lo <= sy) {
        settle(first, next);
        for (; next < count && spans_[next].lo <= sy; ++next) std::fill_n(slot(next), segments_, Totals{});
      }
      if (first == next) {  // in no span
        sy = spans_[next].lo;
        continue;
      }
      // The rows up to the next change of the open spans all go to them.
      const int stop = next < count ? std::min(spans_[first].hi, spans_[next].lo) : spans_[first].hi;
      addRows(sy, stop);
      sy = stop;
      if (spans_[first].hi == sy) {
        settle(first, next);
        for (; first < next && spans_[first].hi == sy; ++first) finish(first, out, outW);
      }
    }
  }

private:
  Totals* slot(int span) { return open_.data() + static_cast<size_t>(span % ring_) * segments_; }

  // Adds source rows [y0, y1).
  void addRows(int y0, int y1) {
    const uint32_t* row = pixels_ + static_cast<size_t>(y0) * w_;
    if (columnRB_.empty()) {
      for (int y = y0; y < y1; ++y, row += w_)
        for (int k = 0; k < segments_; ++k)
          for (int x = edges_[k]; x < edges_[k + 1]; x += kPackedPixels) {
            const Packed s = sums(row + x, std::min(kPackedPixels, edges_[k + 1] - x));
            batch_[k].add(s.rb, s.g);
          }
      return;
    }
    const int n = static_cast<int>(columnRB_.size());
    uint32_t* __restrict rb = columnRB_.data();
    uint32_t* __restrict g = columnG_.data();
    for (int y = y0; y < y1; ++y, row += w_) {
      const uint32_t* __restrict p = row + edges_.front();
      uint32_t all = 0xFFFFFFFFu;
      for (int i = 0; i < n; ++i) {
        rb[i] += p[i] & kLowBytes;
        g[i] += (p[i] >> 8) & 255;
        all &= p[i];
      }
      // With transparency the plain values are traded for the blended
      // ones; the words wrap meanwhile but end exact.
      if (all >> 24 != 255)
        for (int i = 0; i < n; ++i) {
          rb[i] += blendedRB(p[i]) - (p[i] & kLowBytes);
          g[i] += blendedG(p[i]) - ((p[i] >> 8) & 255);
        }
      if (++columnRows_ == kPackedPixels) flushColumns();
    }
  }

  // The column sums into their segments' totals.
  void flushColumns() {
    if (columnRows_ == 0) return;
    const int lo = edges_.front();
    for (int k = 0; k < segments_; ++k) {
      Totals& t = batch_[k];
      for (int x = edges_[k]; x < edges_[k + 1]; ++x) t.add(columnRB_[x - lo], columnG_[x - lo]);
    }
    std::fill(columnRB_.begin(), columnRB_.end(), 0u);
    std::fill(columnG_.begin(), columnG_.end(), 0u);
    columnRows_ = 0;
  }

  // The rows summed since the open spans last changed go to each of them.
  void settle(int first, int next) {
    flushColumns();
    for (int j = first; j < next; ++j) {
      Totals* t = slot(j);
      for (int k = 0; k < segments_; ++k) t[k] += batch_[k];
    }
    std::fill(batch_.begin(), batch_.end(), Totals{});
  }

  // Averages the boxes of row span `span` into its output rows.
  void finish(int span, uint32_t* out, int outW) {
    const Totals* totals = slot(span);
    const uint64_t height = static_cast<uint64_t>(spans_[span].hi - spans_[span].lo);
    uint32_t* row = out + static_cast<size_t>(spanY_[span]) * outW;
    for (int x = 0; x < outW; ++x) {
      const Span segs = colSegments_[x];
      if (segs.hi <= segs.lo) continue;
      Totals t;
      for (int k = segs.lo; k < segs.hi; ++k) t += totals[k];
      const uint64_t n = height * static_cast<uint64_t>(cols_[x].hi - cols_[x].lo);
      row[x] = static_cast<uint32_t>((t.r / n) | ((t.g / n) << 8) | ((t.b / n) << 16) | kOpaqueBlack);
    }
    for (int y = 1; y < spanRows_[span]; ++y) std::copy(row, row + outW, row + static_cast<size_t>(y) * outW);
  }

  const uint32_t* pixels_;
  int w_;
  const std::vector<Span>& cols_;
  std::vector<int> edges_;         // segment k is source columns [edges_[k], edges_[k + 1])
  int segments_ = 0;
  std::vector<Span> colSegments_;  // per output column, its first and end segment
  std::vector<Span> spans_;        // the distinct row spans, top to bottom
  std::vector<int> spanY_;         // first output row of each
  std::vector<int> spanRows_;      // and the number of output rows it has
  int ring_ = 1;                   // slots of `open_`, one per open span
  std::vector<Totals> open_;       // per open span, per segment
  std::vector<Totals> batch_;      // per segment, rows since the open spans changed
  std::vector<uint32_t> columnRB_; // per used column, packed sums of columnRows_ rows
  std::vector<uint32_t> columnG_;
  int columnRows_ = 0;
};

// The colour with the highest count above zero, ties to the lowest number;
// -1 when every count is zero.
int mostFrequent(const int* count) {
  int best = -1;
  int bestCount = 0;
  for (int c = 0; c < 16; ++c)
    if (count[c] > bestCount) {
      best = c;
      bestCount = count[c];
    }
  return best;
}

// Takes the most frequent colour out of `count` (its count becomes 0);
// -1 when every count is zero.
int takeMostFrequent(int* count) {
  const int c = mostFrequent(count);
  if (c >= 0) count[c] = 0;
  return c;
}

// Counts the colours of cell (cx, cy), cellWidth pixels wide, in the
// width x 200 colour numbers `index`; pixels of colour `skip` are left out.
void countCell(const std::vector<uint8_t>& index, int width, int cx, int cy, int cellWidth, int skip, int* count) {
  for (int y = 0; y < kCellSize; ++y)
    for (int x = cx * cellWidth; x < (cx + 1) * cellWidth && x < width; ++x) {
      const int c = index[static_cast<size_t>(cy * kCellSize + y) * width + x] & 15;
      if (c != skip) ++count[c];
    }
}

}  // namespace

DitherKernel ditherKernel(int method) {
  switch (method) {
    case DitherMethod::FloydSteinberg: return {floyd, static_cast<int>(std::size(floyd)), 16.0f};
    case DitherMethod::Jarvis: return {jarvis, static_cast<int>(std::size(jarvis)), 48.0f};
    case DitherMethod::Stucki: return {stucki, static_cast<int>(std::size(stucki)), 42.0f};
    default: return {nullptr, 0, 1.0f};
  }
}

void ColorReducer::SetPalette(const uint8_t* rgb) { std::memcpy(palette, rgb, sizeof palette); }

std::vector<uint32_t> ColorReducer::Resize(const uint32_t* pixels, int w, int h, int outW,
                                           bool zoomToFit, bool keepAspect) {
  outW = outW == kMultiWidth ? kMultiWidth : kHiresWidth;
  std::vector<uint32_t> out(static_cast<size_t>(outW) * kReduceHeight, kOpaqueBlack);
  if (pixels == nullptr || w < 1 || h < 1) return out;

  constexpr double kW = kDisplayWidth;
  constexpr double kH = kDisplayHeight;
  const int step = kDisplayWidth / outW;
  double dW = kW, dH = kH, oX = 0, oY = 0;
  if (zoomToFit && keepAspect) {
    const double s = kW / w > kH / h ? kH / h : kW / w;
    dW = w * s;
    dH = h * s;
    oX = (kW - dW) / 2;
    oY = (kH - dH) / 2;
  } else if (!zoomToFit) {
    // 1:1: a half-pixel offset would blend every two neighbouring source
    // pixels, so the picture sits on whole output pixels, as near the
    // centre as they allow (half an output pixel left of or above it when
    // the spare room is odd). A multicolour pixel is two frame columns
    // wide and takes source columns 2k and 2k + 1 together, so the
    // picture's own pairs are kept.
    dW = w;
    dH = h;
    oX = step * std::floor((kW - w) / (2 * step));
    oY = std::floor((kH - h) / 2);
  }

  // Frame position to source position: multiplying before dividing keeps
  // whole source pixels whole (at 1:1 every row and column maps exactly
  // onto one source row or column instead of blending a rounded neighbour).
  std::vector<Span> cols(outW), rows(kReduceHeight);
  for (int x = 0; x < outW; ++x)
    cols[x] = sourceSpan((x * step - oX) * w / dW, ((x + 1) * step - oX) * w / dW, w);
  for (int y = 0; y < kReduceHeight; ++y) rows[y] = sourceSpan((y - oY) * h / dH, (y + 1 - oY) * h / dH, h);
  BoxResize(pixels, w, cols, rows).run(out.data(), outW);
  return out;
}

void ColorReducer::Reduce(const std::vector<uint32_t>& pixels, int width_, int colors,
                          int dither, int background_) {
  colorMode = colors;
  width = width_ == kMultiWidth ? kMultiWidth : kHiresWidth;
  const auto set = importCandidates(colors);
  candidates.assign(set.begin(), set.end());
  if (background_ >= 0 && std::find(set.begin(), set.end(), background_) == set.end())
    background_ = -1;

  quantize(pixels, dither, false);
  const bool fits = width == kMultiWidth ? calcPalette(background_) : calcPaletteHires();
  if (!fits) quantize(pixels, dither, true);
}

void ColorReducer::_targets(float* r, float* g, float* b) const {
  for (int c = 0; c < 16; ++c) {
    const uint8_t* p = palette[c];
    if (colorMode == ImportColors::Mono) {
      r[c] = g[c] = b[c] = c == 1 ? 255.0f : 0.0f;
    } else if (colorMode == ImportColors::Grayscale) {
      r[c] = g[c] = b[c] = static_cast<float>(luma(p[0], p[1], p[2]));
    } else {
      r[c] = p[0];
      g[c] = p[1];
      b[c] = p[2];
    }
  }
}

void ColorReducer::quantize(const std::vector<uint32_t>& pixels, int dither, bool withinCells) {
  const int n = width * kReduceHeight;
  index.assign(n, 0);
  if (candidates.empty()) {
    const auto set = importCandidates(colorMode);
    candidates.assign(set.begin(), set.end());
  }

  float tr[16], tg[16], tb[16];
  _targets(tr, tg, tb);
  const bool gray = colorMode == ImportColors::Mono || colorMode == ImportColors::Grayscale;
  const bool multi = width == kMultiWidth;
  const int cellMask = (multi ? kMultiCellWidth : kCellSize) - 1;
  const int cellShift = multi ? 2 : 3;

  Choices choices;
  if (!withinCells) choices.set(candidates.data(), static_cast<int>(candidates.size()), tr, tg, tb);

  // Error per pixel as one vector (R, G, B, 0) in a ring of three rows
  // (the current one and the two the taps reach below), each with two
  // margin pixels on either side, so taps need no bounds check; what lands
  // in a margin, or below row 199, is dropped. A row is final once visited:
  // it goes to `errors` and its slot takes the row three further down.
  // A share is error x weight / divisor, lane by lane; dividing by a power
  // of two and multiplying by its exact reciprocal round the same real
  // value, so they give the very same float (subnormals included).
  const DitherKernel kernel = ditherKernel(dither);
  const int stride = width + 2 * kMargin;
  constexpr int kRingRows = kMargin + 1;
  std::vector<Vec4> err(static_cast<size_t>(stride) * kRingRows, Vec4{});
  errors.resize(static_cast<size_t>(n) * 3);
  const float div = kernel.divisor;
  const bool powerOfTwo = (static_cast<int>(div) & (static_cast<int>(div) - 1)) == 0;
  const Vec4 divisor = {div, div, div, div};
  const Vec4 reciprocal = Vec4{1, 1, 1, 1} / divisor;
  int tapOffset[kMaxTaps] = {}, tapRow[kMaxTaps] = {};
  Vec4 tapWeight[kMaxTaps] = {};
  for (int t = 0; t < kernel.count; ++t) {
    tapOffset[t] = kernel.taps[t].dx;
    tapRow[t] = kernel.taps[t].dy;
    const float wt = kernel.taps[t].weight;
    tapWeight[t] = Vec4{wt, wt, wt, wt};
  }

  const size_t have = pixels.size();
  uint8_t* out = index.data();
  // The share for the right neighbour is the last one that pixel gets
  // before its turn, so it waits in a register instead of going through
  // memory on the path from one pixel to the next.
  const bool carryRight = kernel.count > 0 && kernel.taps[0].dx == 1 && kernel.taps[0].dy == 0;
  // A kernel that reaches only the next row and one column either way
  // (Floyd-Steinberg, or none) lets two rows run at once, the lower one
  // two pixels behind: each of its pixels then already holds everything
  // the upper row sends it, added in the same order as row by row, and
  // the two independent chains keep the processor busy.
  bool paired = true;
  for (int t = 0; t < kernel.count; ++t)
    paired = paired && kernel.taps[t].dy <= 1 && std::abs(kernel.taps[t].dx) <= 1;
  constexpr int kLag = 2;

  struct Row {
    int y;
    Vec4* ring[kRingRows];  // this row and the two below
    Vec4 carry;
    Choices choices;
    // The row's colours, kept as ints until the row is done: byte stores
    // may alias anything and would make the compiler reload the row's
    // state after every pixel.
    int colour[kHiresWidth];
  };
  auto startRow = [&](Row& row, int y) {
    row.y = y;
    for (int k = 0; k < kRingRows; ++k)
      row.ring[k] = err.data() + static_cast<size_t>((y + k) % kRingRows) * stride + kMargin;
    row.carry = Vec4{};
    if (!withinCells) row.choices = choices;
  };
  // Hands a finished row to `errors` and clears its slot for row y + 3.
  auto finishRow = [&](Row& row) {
    for (int x = 0; x < width; ++x) out[static_cast<size_t>(row.y) * width + x] = static_cast<uint8_t>(row.colour[x]);
    Vec4* e = row.ring[0];
    float* o = errors.data() + static_cast<size_t>(row.y) * width * 3;
    for (int x = 0; x < width; ++x) {
      o[x * 3] = e[x][0];
      o[x * 3 + 1] = e[x][1];
      o[x * 3 + 2] = e[x][2];
    }
    std::fill(e - kMargin, e - kMargin + stride, Vec4{});
  };

  // One pass, compiled for each number of choice vectors.
  auto run = [&](auto vecsConstant) {
    constexpr int vecs = decltype(vecsConstant)::value;
    auto visit = [&](Row& row, int x) {
      const int y = row.y;
      if (withinCells && (x & cellMask) == 0) {
        const uint8_t* cell = cells[x >> cellShift][y / kCellSize];
        int list[4];
        int k = 0;
        if (multi) list[k++] = background;
        list[k++] = cell[0];
        list[k++] = cell[1];
        if (multi) list[k++] = cell[2];
        row.choices.set(list, k, tr, tg, tb);
      }
      const size_t i = static_cast<size_t>(y) * width + x;
      const uint32_t p = i < have ? pixels[i] : 0;
      const int r = p & 255, g = (p >> 8) & 255, b = (p >> 16) & 255;
      Vec4 v;
      if (gray) {
        const float l = static_cast<float>(luma(r, g, b));
        v = Vec4{l, l, l, 0};
      } else {
        v = Vec4{static_cast<float>(r), static_cast<float>(g), static_cast<float>(b), 0};
      }
      Vec4* errRow = row.ring[0];
      if (carryRight && x > 0) errRow[x] += row.carry;
      // A colour beyond every palette entry (pure red, pure green) leaves
      // an error each pixel that would pile up without end and then spill
      // far into the neighbours; kept to what a pixel can show, the sum
      // and the error taken from it stay bounded.
      v = clampChannels(v + errRow[x]);
      const int pick = row.choices.template nearest<vecs>(v);
      row.colour[x] = row.choices.colour[pick];

      const Vec4 q = v - row.choices.target[pick];
      for (int t = 0; t < kernel.count; ++t) {
        const Vec4 share = powerOfTwo ? q * tapWeight[t] * reciprocal : q * tapWeight[t] / divisor;
        if (carryRight && t == 0) row.carry = share;
        else row.ring[tapRow[t]][x + tapOffset[t]] += share;
      }
    };
    Row upper{}, lower{};
    if (paired) {
      for (int y = 0; y < kReduceHeight; y += 2) {
        startRow(upper, y);
        startRow(lower, y + 1);
        for (int s = 0; s < width + kLag; ++s) {
          if (s < width) visit(upper, s);
          if (s >= kLag) visit(lower, s - kLag);
        }
        finishRow(upper);
        finishRow(lower);
      }
    } else {
      for (int y = 0; y < kReduceHeight; ++y) {
        startRow(upper, y);
        for (int x = 0; x < width; ++x) visit(upper, x);
        finishRow(upper);
      }
    }
  };
  const int vecs = withinCells ? 1 : (static_cast<int>(candidates.size()) + 3) / 4;
  if (vecs <= 1) run(std::integral_constant<int, 1>{});
  else if (vecs == 2) run(std::integral_constant<int, 2>{});
  else if (vecs == 3) run(std::integral_constant<int, 3>{});
  else run(std::integral_constant<int, 4>{});
}

void ColorReducer::distribute(int x, int y, const float* err, int method) {
  const DitherKernel kernel = ditherKernel(method);
  if (errors.size() < static_cast<size_t>(width) * kReduceHeight * 3) return;
  for (int t = 0; t < kernel.count; ++t) {
    const int tx = x + kernel.taps[t].dx, ty = y + kernel.taps[t].dy;
    if (tx < 0 || tx >= width || ty < 0 || ty >= kReduceHeight) continue;
    float* o = errors.data() + (static_cast<size_t>(ty) * width + tx) * 3;
    const float wt = kernel.taps[t].weight;
    for (int k = 0; k < 3; ++k) o[k] += err[k] * wt / kernel.divisor;
  }
}

bool ColorReducer::calcPalette(int background_) {
  index.resize(static_cast<size_t>(width) * kReduceHeight, 0);
  if (background_ < 0) {
    int count[16] = {};
    for (uint8_t c : index) ++count[c & 15];
    background_ = std::max(mostFrequent(count), 0);
  }
  background = background_;

  bool fits = true;
  for (int cy = 0; cy < kScreenRows; ++cy)
    for (int cx = 0; cx < kScreenCols; ++cx) {
      int count[16] = {};
      countCell(index, width, cx, cy, kMultiCellWidth, background, count);
      for (int slot = 0; slot < kCellColorSlots; ++slot) {
        const int c = takeMostFrequent(count);
        cells[cx][cy][slot] = static_cast<uint8_t>(c < 0 ? background : c);
      }
      if (mostFrequent(count) >= 0) fits = false;
    }
  return fits;
}

bool ColorReducer::calcPaletteHires() {
  index.resize(static_cast<size_t>(width) * kReduceHeight, 0);
  bool fits = true;
  for (int cy = 0; cy < kScreenRows; ++cy)
    for (int cx = 0; cx < kScreenCols; ++cx) {
      int count[16] = {};
      countCell(index, width, cx, cy, kCellSize, -1, count);
      const int c0 = std::max(takeMostFrequent(count), 0);
      const int c1 = takeMostFrequent(count);
      cells[cx][cy][0] = static_cast<uint8_t>(c0);
      cells[cx][cy][1] = static_cast<uint8_t>(c1 < 0 ? c0 : c1);
      cells[cx][cy][2] = 0;
      if (mostFrequent(count) >= 0) fits = false;
    }
  return fits;
}

std::vector<uint32_t> ColorReducer::Preview() const {
  std::vector<uint32_t> out(index.size());
  for (size_t i = 0; i < index.size(); ++i) out[i] = Vic::rgbWord(palette[index[i] & 15]);
  return out;
}

void ColorReducer::Store(Machine& m) const {
  const bool multi = width == kMultiWidth;
  m.setGfxMode(multi ? kModeMultiBitmap : kModeHires);
  auto pixel = [&](int x, int y) -> int {
    const size_t i = static_cast<size_t>(y) * width + x;
    return i < index.size() ? index[i] : 0;
  };
  for (int cy = 0; cy < kScreenRows; ++cy)
    for (int cx = 0; cx < kScreenCols; ++cx) {
      const uint8_t* cell = cells[cx][cy];
      const uint32_t i = cellIndex(cx, cy);
      for (int row = 0; row < kCellSize; ++row) {
        const int y = cy * kCellSize + row;
        uint8_t byte = 0;
        if (multi) {
          for (int k = 0; k < kMultiCellWidth; ++k) {
            const int p = pixel(cx * kMultiCellWidth + k, y);
            int pair = 0;
            if (p == background) pair = 0;
            else if (p == cell[0]) pair = 1;
            else if (p == cell[1]) pair = 2;
            else if (p == cell[2]) pair = 3;
            byte = static_cast<uint8_t>(byte | mcsettab[k][pair]);
          }
        } else if (cell[1] != cell[0]) {
          for (int k = 0; k < kCellSize; ++k)
            if (pixel(cx * kCellSize + k, y) == cell[1]) byte |= sptab[k];
        }
        m.ram[cellBitmapAddr(m, i) + row] = byte;
      }
      if (multi) {
        m.ram[cellScreenAddr(m, i)] = static_cast<uint8_t>(cell[0] * 16 + cell[1]);
        m.ram[cellColorAddr(i)] = cell[2];
      } else {
        m.ram[cellScreenAddr(m, i)] = static_cast<uint8_t>(cell[1] * 16 + cell[0]);
      }
    }
  if (multi) m.vicRegs[kRegBg0] = static_cast<uint8_t>(background);
}
