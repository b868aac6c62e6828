// The frame around the editing windows: the main menu with the global
// keyboard shortcuts, the toolbar at the top, the status bar at the bottom
// (with the Clear dialog) and the tool palette on the left. The frame loop
// draws them in this order at the start of every frame.
#pragma once

#include <functional>

class App;

// Open the Clear dialog in this frame (Edit menu, Ctrl+Alt+E).
extern bool g_clearOpen;

// Where the toolbar puts the group on the right of its window toggles
// (graphics mode, zoom, insert indicator, help button), in 12-pixel units,
// for a bar `barUnits` wide: at its place on the toggles' row where the
// whole row fits; else on a second row under the toggles, starting below
// the first of them, and the bar grows by that row.
struct ToolbarLayout {
  float groupX;  // left edge of the group ("GfxMode:")
  float groupY;  // top of its row
  float height;  // of the bar
};
ToolbarLayout toolbarLayout(float barUnits);

// Where the status bar puts its panels in a bar `barWidth` pixels wide at
// interface scale `scale`: left to right, each its width in 12-pixel units
// times the scale or, where more, what its widest text (measured by
// `textWidth`) needs; a panel that would pass the bar's right edge starts
// a new row, and the last one reaches to the end of its row.
constexpr int kStatusPanelCount = 11;
struct StatusBarLayout {
  float x[kStatusPanelCount];      // left edge, from the bar's left
  float width[kStatusPanelCount];  // up to the next panel's left edge
  int row[kStatusPanelCount];
  int rows;
};
StatusBarLayout statusBarLayout(float barWidth, float scale, const std::function<float(const char*)>& textWidth);

void drawMainMenu(App& app);
void drawToolbar(App& app);
void drawStatusBar(App& app);
void drawTools(App& app);
