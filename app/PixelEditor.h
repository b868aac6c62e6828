// Pieces shared by the sprite and character editors: the bank items of
// their menus, the three multicolour pen rows, and the zoomed pixel grid
// with its paint strokes (a click starts a stroke, every frame of it paints
// the pixel under the mouse, clamped to the grid, joined by a line of
// pixels to the one of the frame before, until both buttons are up).
#pragma once

#include "app/Texture.h"
#include "core/Shapes.h"

#include <imgui.h>

#include <vector>

class App;

// The four video banks as menu items with these labels; choosing one sets
// Machine::bank (no undo step).
void BankItems(App& app, const char* const labels[4]);

// Radio button, colour swatch and name for pens 1-3.
void PenRows(App& app, int& pen, const int colours[3], const char* const names[3]);

// A paint stroke in a pixel grid.
struct PixelStroke {
  bool drawing = false;
  bool erasing = false;  // started with the right button
  CellStroke cells;
};

// What the grid asks of this frame.
struct GridPaint {
  bool started = false;          // a stroke began: take its one undo step
  std::vector<GridPoint> paint;  // the pixels to paint this frame
};

// Draws the image at `cell` pixels per pixel over a frame in the border
// colour, with grid lines (faint inside double-wide multicolour pixels),
// and advances the stroke.
GridPaint PixelGrid(App& app, const char* id, const Texture& image, int columns, int rows, int cell, bool multicolor,
                    PixelStroke& stroke);
