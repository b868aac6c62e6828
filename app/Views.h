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

// Stores a value committed in the Registers window into register $D000 +
// `reg` as one undoable "register change"; the value already held records
// nothing. True when the register changed.
bool CommitRegister(App& app, int reg, int value);
