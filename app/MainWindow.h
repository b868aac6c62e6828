// The frame around the editing windows: the main menu with the global
// keyboard shortcuts, the toolbar at the top, the status bar at the bottom
// (with the Clear dialog) and the tool palette on the left. The frame loop
// draws them in this order at the start of every frame.
#pragma once

class App;

// Open the Clear dialog in this frame (Edit menu, Ctrl+Alt+E).
extern bool g_clearOpen;

void drawMainMenu(App& app);
void drawToolbar(App& app);
void drawStatusBar(App& app);
void drawTools(App& app);
