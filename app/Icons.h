// The tool and toolbar glyphs: their file names under "glyphs/" of the
// asset directory, their loading into App::icons, and the button that
// shows one.
#pragma once

#include <cstdint>
#include <vector>

class App;

constexpr int kIconCount = 20;
extern const char* const iconFiles[kIconCount];

// Fills App::icons once; missing or undecodable files leave their slot
// empty, so the buttons show their text labels.
void LoadIcons(App& app);

// Makes every pixel equal (in all four bytes) to the bottom-left one
// transparent (0), the way the glyph files mark their background.
void ApplyKeyColor(std::vector<uint32_t>& pixels, int width, int height);

// A speed button with icon `icon` (when below 20 and loaded, else the
// label), sized (width, height) x Classic::Scale.
bool IconButton(App& app, const char* id, int icon, const char* label, bool down, const char* tooltip,
                float width, float height);
