// Three read-mostly windows that look at the document from other angles:
// the "Second view" (the whole frame at its own zoom, with the Screen
// window's visible part marked and draggable), "Registers" (the 47
// video-chip registers by name, editable) and "Memory bitmap" (all 64 KB
// as pixels). The frame loop draws each while its App flag is set.
#pragma once

class App;

void drawSecondView(App& app);
void drawRegisterView(App& app);
void drawBitmapMemView(App& app);
