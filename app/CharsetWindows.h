// The character-set windows: "Character set" shows the 256 characters the
// video chip sees and picks one, "Character editor" edits one as an 8x8
// grid. They share the bank and charset-slot menus and the colours
// characters are drawn in. The byte operations are CharOps (core/).
#pragma once

#include "core/CharOps.h"

#include <cstdint>

class App;

// The character clipboard of the editor's Char menu (one character).
extern CharClip g_charClip;

// The "Select VIC bank" and "Charset" submenus, into the menu that is open.
void bankMenus(App& app);
// The colours of Vic::renderCharData in the App's palette.
void charColors(App& app, uint32_t colors[kCellColors], bool multicolor);

void drawCharsetView(App& app);
void drawCharEditor(App& app);
