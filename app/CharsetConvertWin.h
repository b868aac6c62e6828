// The "Convert bitmap to charset" window: turns the hires or multicolour
// bitmap on screen into a character set at a chosen 2 KB position of the
// video bank plus a text screen (convert/CharsetConverter does the work).
// The frame loop draws it while App::showCharsetConverter is set.
#pragma once

#include <string>

class App;

void drawCharsetConverter(App& app);

// Converts the bitmap with the position and merge flag as the window's
// "Convert" does and returns the text the window shows. The conversion is
// tried on a copy first: only one that will be written takes the undo step
// "convert to charset", so a refused one never drops the oldest step of a
// full history.
std::string ConvertCharsetOnScreen(App& app, int slot, bool merge);
