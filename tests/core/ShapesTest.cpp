// ShapePen, CellStroke and floodFillRegion in a plain grid of their own,
// away from any graphics mode: what the sprite and character editors draw
// with.
#include "core/Shapes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <map>
#include <random>
#include <set>
#include <tuple>
#include <utility>

namespace {

using Points = std::set<std::pair<int, int>>;

Points drawn(const std::function<void(const ShapePen&)>& draw) {
  Points p;
  draw(ShapePen(1, false, [&](int x, int y, bool) { p.insert({x, y}); }));
  return p;
}

// A slow plain breadth-first fill as the reference.
std::vector<uint8_t> plainFill(const std::vector<uint8_t>& grid, int w, int h, int x, int y) {
  std::vector<uint8_t> in(grid.size(), 0);
  if (!grid[y * w + x]) return in;
  std::deque<std::pair<int, int>> todo{{x, y}};
  in[y * w + x] = 1;
  while (!todo.empty()) {
    const auto [px, py] = todo.front();
    todo.pop_front();
    for (const auto& [dx, dy] : {std::pair{0, -1}, {-1, 0}, {1, 0}, {0, 1}}) {
      const int nx = px + dx, ny = py + dy;
      if (nx < 0 || ny < 0 || nx >= w || ny >= h || !grid[ny * w + nx] || in[ny * w + nx]) continue;
      in[ny * w + nx] = 1;
      todo.push_back({nx, ny});
    }
  }
  return in;
}

}  // namespace

TEST(Shapes, FloodFillRegionMatchesAPlainSearch) {
  std::mt19937 rng(12);
  // Width, height, per cent of target pixels.
  for (const auto& [w, h, density] : {std::tuple{1, 1, 100}, {24, 21, 60}, {80, 50, 55}, {160, 200, 70}, {320, 200, 45}}) {
    std::vector<uint8_t> grid(static_cast<size_t>(w) * h);
    for (uint8_t& g : grid) g = static_cast<int>(rng() % 100) < density;
    for (int k = 0; k < 5; ++k) {
      const int x = static_cast<int>(rng() % w), y = static_cast<int>(rng() % h);
      int asked = 0;
      const auto region = floodFillRegion(w, h, x, y, [&](int qx, int qy) {
        ++asked;
        return grid[qy * w + qx] != 0;
      });
      EXPECT_EQ(region, plainFill(grid, w, h, x, y)) << w << "x" << h << " at " << x << "," << y;
      EXPECT_LE(asked, w * h);
    }
  }
  EXPECT_TRUE(floodFillRegion(10, 10, 10, 0, [](int, int) { return true; }).empty());
  EXPECT_TRUE(floodFillRegion(10, 10, 0, -1, [](int, int) { return true; }).empty());
}

TEST(Shapes, FilledShapesCoverTheirOutlines) {
  for (const auto& [rx, ry] : {std::pair{1, 1}, {5, 3}, {3, 9}, {40, 40}, {80, 12}}) {
    const Points outline = drawn([&](const ShapePen& p) { p.ellipse(100, 100, rx, ry, false); });
    const Points filled = drawn([&](const ShapePen& p) { p.ellipse(100, 100, rx, ry, true); });
    // Every row of the fill spans its outline row from end to end, and the
    // outline is symmetric about both axes.
    std::map<int, std::pair<int, int>> rows;
    for (const auto& [x, y] : outline) {
      auto [it, fresh] = rows.try_emplace(y, x, x);
      it->second = {std::min(it->second.first, x), std::max(it->second.second, x)};
      EXPECT_TRUE(outline.count({200 - x, y}) && outline.count({x, 200 - y})) << rx << "," << ry;
    }
    Points expect;
    for (const auto& [y, span] : rows)
      for (int x = span.first; x <= span.second; ++x) expect.insert({x, y});
    EXPECT_EQ(filled, expect) << rx << "," << ry;
    EXPECT_EQ(rows.begin()->first, 100 - ry);
    EXPECT_EQ(rows.rbegin()->first, 100 + ry);
  }
  // A rectangle's outline is exactly its border; filled, every pixel.
  const Points box = drawn([](const ShapePen& p) { p.rectangle(7, 2, 3, 5, false); });
  const Points full = drawn([](const ShapePen& p) { p.rectangle(7, 2, 3, 5, true); });
  EXPECT_EQ(full.size(), 5u * 4u);
  for (const auto& pt : full) EXPECT_EQ(box.count(pt) == 1, pt.first == 3 || pt.first == 7 || pt.second == 2 || pt.second == 5);
}

// Random quick drags over sprite- and character-sized grids, partly
// outside them: each segment runs from the clamped sample before to the
// clamped new one (the first sample alone), one cell per step along its
// longer axis, each cell touching the one before and less than a cell off
// the exact line between the two.
TEST(Shapes, CellStrokeJoinsItsSamplesWithoutGaps) {
  std::mt19937 rng(7);
  for (const GridPoint size : {GridPoint{24, 21}, GridPoint{8, 8}, GridPoint{1, 1}}) {
    CellStroke stroke;
    for (int s = 0; s < 50; ++s) {
      stroke.begin();
      GridPoint from;
      for (int k = 0; k < 8; ++k) {
        const int x = static_cast<int>(rng() % (size.x + 20)) - 10, y = static_cast<int>(rng() % (size.y + 20)) - 10;
        const GridPoint to{std::clamp(x, 0, size.x - 1), std::clamp(y, 0, size.y - 1)};
        if (k == 0) from = to;
        const std::vector<GridPoint> cells = stroke.next(x, y, size.x, size.y);
        const int steps = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y));
        ASSERT_EQ(cells.size(), static_cast<size_t>(steps + 1)) << size.x << "x" << size.y;
        EXPECT_EQ(cells.front(), from);
        EXPECT_EQ(cells.back(), to);
        for (int i = 1; i <= steps; ++i) {
          const double t = static_cast<double>(i) / steps;
          EXPECT_LT(std::abs(cells[i].x - (from.x + t * (to.x - from.x))), 1.0);
          EXPECT_LT(std::abs(cells[i].y - (from.y + t * (to.y - from.y))), 1.0);
          EXPECT_LE(std::max(std::abs(cells[i].x - cells[i - 1].x), std::abs(cells[i].y - cells[i - 1].y)), 1);
        }
        from = to;
      }
    }
  }
}
