// Brush stamps, brush lines, rectangles, ellipses, the freehand stroke of
// the sprite and character editors and the flood-fill region search.
#include "core/Shapes.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct BrushPoint {
  int dx;
  int dy;
};

// Brush shapes as offsets around the pixel, in drawing order.
constexpr BrushPoint kBrushSquare[] = {
    {-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {0, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1},
};
constexpr BrushPoint kBrushDiamond[] = {
    {0, -2}, {-1, -1}, {0, -1}, {1, -1}, {-2, 0}, {-1, 0}, {0, 0},
    {1, 0},  {2, 0},   {-1, 1}, {0, 1},  {1, 1},  {0, 2},
};
// A chequered spray; the centre itself stays empty.
constexpr BrushPoint kBrushSpray[] = {
    {-1, -2}, {1, -2}, {-2, -1}, {0, -1}, {2, -1}, {-1, 0},
    {1, 0},   {-2, 1}, {0, 1},   {2, 1},  {-1, 2}, {1, 2},
};

int sign(int v) { return (v > 0) - (v < 0); }

}  // namespace

void ShapePen::dot(int x, int y) const {
  const bool e = erasing_;
  switch (brush_) {
    case 2:
      for (const BrushPoint& p : kBrushSquare) set_(x + p.dx, y + p.dy, e);
      break;
    case 3:
      for (const BrushPoint& p : kBrushDiamond) set_(x + p.dx, y + p.dy, e);
      break;
    case 4: {
      // Odd coordinates move up to the next even value, so the chequer
      // stays on one fixed grid however the strokes wander.
      const int sx = x + (x & 1);
      const int sy = y + (y & 1);
      for (const BrushPoint& p : kBrushSpray) set_(sx + p.dx, sy + p.dy, e);
      break;
    }
    default:
      set_(x, y, e);
      break;
  }
}

void ShapePen::line(int x0, int y0, int x1, int y1) const {
  const int dx = x1 - x0;
  const int dy = y1 - y0;
  const int adx = std::abs(dx);
  const int ady = std::abs(dy);
  if (dx == 0 && dy == 0) {
    dot(x0, y0);
  } else if (adx <= ady) {
    for (int k = 0; k <= ady; ++k) dot(x0 + k * dx / ady, y0 + k * sign(dy));
  } else {
    for (int k = 0; k <= adx; ++k) dot(x0 + k * sign(dx), y0 + k * dy / adx);
  }
}

void ShapePen::rectangle(int x0, int y0, int x1, int y1, bool filled) const {
  const int l = std::min(x0, x1);
  const int r = std::max(x0, x1);
  const int t = std::min(y0, y1);
  const int b = std::max(y0, y1);
  // A filled shape always sets its pixels, whichever button drew it.
  if (filled) {
    for (int y = t; y <= b; ++y)
      for (int x = l; x <= r; ++x) set_(x, y, false);
    return;
  }
  line(l, t, r, t);
  line(r, t, r, b);
  line(r, b, l, b);
  line(l, b, l, t);
}

void ShapePen::ellipse(int cx, int cy, int rx, int ry, bool filled) const {
  if (rx == 0 && ry == 0) {
    dot(cx, cy);
    return;
  }
  if (rx == 0 || ry == 0) {
    line(cx - rx, cy - ry, cx + rx, cy + ry);
    return;
  }
  const auto plot = [&](int64_t x, int64_t y) {
    const int ix = static_cast<int>(x);
    const int iy = static_cast<int>(y);
    if (filled) {
      for (int px = cx - ix; px <= cx + ix; ++px) set_(px, cy + iy, false);
      for (int px = cx - ix; px <= cx + ix; ++px) set_(px, cy - iy, false);
    } else {
      dot(cx + ix, cy + iy);
      dot(cx - ix, cy + iy);
      dot(cx + ix, cy - iy);
      dot(cx - ix, cy - iy);
    }
  };
  // Integer midpoint ellipse: region 1 steps x while the slope is shallow,
  // region 2 steps y down to the axis.
  const int64_t a2 = static_cast<int64_t>(rx) * rx;
  const int64_t b2 = static_cast<int64_t>(ry) * ry;
  int64_t x = 0;
  int64_t y = ry;
  int64_t d = b2 - a2 * ry + a2 / 4;
  int64_t dx = 0;
  int64_t dy = 2 * a2 * ry;
  while (dx < dy) {
    plot(x, y);
    ++x;
    dx += 2 * b2;
    if (d < 0) {
      d += dx + b2;
    } else {
      --y;
      dy -= 2 * a2;
      d += dx - dy + b2;
    }
  }
  d = (b2 * (2 * x + 1) * (2 * x + 1)) / 4 + a2 * (y - 1) * (y - 1) - a2 * b2;
  while (y >= 0) {
    plot(x, y);
    --y;
    if (d > 0) {
      dy -= 2 * a2;
      d += a2 - dy;
    } else {
      ++x;
      dx += 2 * b2;
      dy -= 2 * a2;
      d += dx - dy + a2;
    }
  }
}

std::vector<uint8_t> floodFillRegion(int w, int h, int x, int y, const std::function<bool(int x, int y)>& isTarget) {
  if (x < 0 || y < 0 || x >= w || y >= h) return {};
  // Each pixel's answer is asked at most once and cached here.
  enum : uint8_t { kUnseen = 0, kTarget = 1, kOther = 2, kInRegion = 3 };
  std::vector<uint8_t> state(static_cast<size_t>(w) * h, kUnseen);
  const auto target = [&](int qx, int qy) {
    uint8_t& st = state[static_cast<size_t>(qy) * w + qx];
    if (st == kUnseen) st = isTarget(qx, qy) ? kTarget : kOther;
    return st == kTarget;
  };
  // Span search: each seed grows into the whole run of its row, and the
  // rows above and below get one seed per run of target pixels beside it.
  struct Seed {
    int x;
    int y;
  };
  std::vector<Seed> seeds;
  seeds.reserve(256);
  seeds.push_back({x, y});
  for (int steps = 0; steps < kFloodFillMaxSteps && !seeds.empty(); ++steps) {
    const Seed sd = seeds.back();
    seeds.pop_back();
    if (!target(sd.x, sd.y)) continue;
    uint8_t* row = &state[static_cast<size_t>(sd.y) * w];
    int l = sd.x;
    int r = sd.x;
    while (l > 0 && target(l - 1, sd.y)) --l;
    while (r < w - 1 && target(r + 1, sd.y)) ++r;
    std::fill(row + l, row + r + 1, kInRegion);
    for (int ny : {sd.y - 1, sd.y + 1}) {
      if (ny < 0 || ny >= h) continue;
      bool inRun = false;
      for (int qx = l; qx <= r; ++qx) {
        const bool t = target(qx, ny);
        if (t && !inRun) seeds.push_back({qx, ny});
        inRun = t;
      }
    }
  }
  for (uint8_t& st : state) st = st == kInRegion ? 1 : 0;
  return state;
}

std::vector<GridPoint> CellStroke::next(int x, int y, int w, int h) {
  const GridPoint at{std::clamp(x, 0, w - 1), std::clamp(y, 0, h - 1)};
  const GridPoint from = joined_ ? last_ : at;
  joined_ = true;
  last_ = at;
  std::vector<GridPoint> cells;
  ShapePen(1, false, [&cells](int cx, int cy, bool) { cells.push_back({cx, cy}); }).line(from.x, from.y, at.x, at.y);
  return cells;
}
