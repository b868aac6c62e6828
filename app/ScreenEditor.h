// The "Screen" window, the main editing surface: the whole video frame at
// the current zoom, mouse and keys turned into editor calls, the grid, the
// text-cursor frame and the block outline, and the "Color editor" pop-up.
// The frame loop draws it every frame before all other windows.
#pragma once

#include "app/Texture.h"

class App;

// The rendered 384 x 264 frame and its texture.
extern PixelCanvas g_screen;
// The Screen window (or its canvas) had keyboard focus in the last frame
// it was drawn; the main menu routes Ctrl+Z and Ctrl+Y by it.
extern bool g_screenFocused;

void drawScreenEditor(App& app);
