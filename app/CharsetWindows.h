// The character-set windows: "Character set" shows the 256 characters the
// video chip sees and picks one, "Character editor" edits one as an 8x8
// grid. They share the bank and charset-slot menus. The byte operations
// are CharOps (core/).
#pragma once

#include "core/CharOps.h"

#include <imgui.h>

class App;

// The character clipboard of the editor's Char menu (one character).
extern CharClip g_charClip;

// The area the character set window offers its grid beside the palette:
// the free width, and no more height than the grid takes at that width,
// so the fitted grid starts at the top.
ImVec2 CharsetGridArea(ImVec2 avail);

void drawCharsetView(App& app);
void drawCharEditor(App& app);
