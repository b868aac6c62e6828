// The sprite windows: "Sprites" shows the eight hardware sprites and their
// pointers, "Sprite editor" edits one 64-byte sprite block as a 24 x 21
// grid, and the "Save sprites" modal chooses a range of blocks to save.
// The byte operations are SpriteOps (core/); these are the thin windows.
#pragma once

#include "core/SpriteOps.h"

class App;

// The sprite clipboard of the editor's Edit menu.
extern SpriteClip g_sprClip;

void drawSpriteView(App& app);
void drawSpriteEditor(App& app);
// Called every frame; opens itself when App::saveSpritesOpen is set.
void drawSaveSpritesDialog(App& app);
