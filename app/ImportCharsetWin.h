// The "Import charset from font" window: renders a TrueType or OpenType
// font into the charset the video chip shows, live, until OK or Cancel.
// The rendering itself is convert/FontImport.
#pragma once

#include "convert/FontImport.h"

class App;

// The one import state of the process; its options last between openings.
extern ImportFontState g_font;

void drawImportCharset(App& app);
// What the buttons do: ends the session, with `restore` (Cancel, or the
// close box) putting the charset back while it is still the session's,
// and closes the window.
void closeImportCharset(App& app, bool restore);
