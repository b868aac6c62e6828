// Small controls shared by several windows: colour boxes and grids, hex
// entry fields, a texture fitted into the free space, rows of controls
// that wrap, and the short name of a screen code.
#pragma once

#include "app/Texture.h"

#include <imgui.h>

#include <string>

class App;

namespace Widgets {

// One colour box at the cursor; a negative colour shows a crossed grey box.
void ColorSwatch(App& app, int color, ImVec2 size, bool selected);
// The 16 colours in rows of perRow; true when a cell was clicked.
bool PaletteGrid(const char* id, App& app, int selected, int marked, int& picked, bool& rightClicked,
                 float cellSize, int perRow);

// Hex entry of 2 (byte) or 4 (word) digits; true when a new value was
// committed (Enter, or focus lost after an edit).
bool HexByteInput(const char* label, int& value, float width);
bool HexWordInput(const char* label, int& value, float width);
// The text of a hex field as a number masked to its width; empty text is 0.
int ParseHexMasked(const char* text, int mask);
// Hex entry of an exclusive end address, $0000-$10000: four digits, five
// for the end at the top of memory.
bool HexEndInput(const char* label, int& value, float width);
// The text of an end field as a number; anything past the top of memory
// is the top, $10000.
int ParseHexEnd(const char* text);

// Draws the texture fitted into `avail` at the cursor, centred.
void ImageFit(const Texture& tex, ImVec2 avail, ImVec2& topLeft, ImVec2& bottomRight, int& scale,
              bool integerScale);
// The placement ImageFit uses, without drawing.
void FitRect(int texWidth, int texHeight, ImVec2 avail, ImVec2 cursor, bool integerScale, ImVec2& topLeft,
             ImVec2& bottomRight, int& scale);

// Rows of controls that wrap instead of running past the window's edge:
// the next item, `width` wide, goes on the current row after `spacing`
// (the style's item spacing when negative) when it fits there, else it
// starts a new row.
void SameLineIfFits(float width, float spacing = -1.0f);
// The widths of a button and a checkbox with these labels (the part after
// "##" is not shown).
float ButtonWidth(const char* label);
float CheckboxWidth(const char* label);
// The largest size that keeps a window whole inside the program's window
// at the place where a new one appears.
ImVec2 NewWindowRoom();
// The size a window first opens with: `width` x `height` at the 12-pixel
// font, grown with the interface scale, but no larger than NewWindowRoom
// (and never below the size given).
ImVec2 FirstUseSize(float width, float height);
// FirstUseSize for the next window, where it has no saved size.
void SetFirstUseSize(float width, float height);
// A hint in the disabled text colour that wraps at the window's edge.
void TextDisabledWrapped(const char* text);

// A short text naming a screen code, e.g. "rev. a"; empty for codes
// without a plain name.
std::string CharDescription(int code);

}  // namespace Widgets
