// The character-set windows: "Character set" shows the 256 characters the
// video chip sees and picks one, "Character editor" edits one as an 8x8
// grid. They share the bank and charset-slot menus. The byte operations
// are CharOps (core/).
#pragma once

#include "core/CharOps.h"

class App;

// The character clipboard of the editor's Char menu (one character).
extern CharClip g_charClip;

void drawCharsetView(App& app);
void drawCharEditor(App& app);
