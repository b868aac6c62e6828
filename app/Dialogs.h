// Four small free-standing windows: the "Calc converter" (numbers in
// decimal, hexadecimal and binary, with a hex keypad calculator), the
// "Preferences" (editor options and the custom palette, saved in the
// settings file at once), the "About Tilvox" box and the "Tilvox Help"
// text. The frame loop draws each while its App flag is set; each keeps its
// private state in function-local statics that last for the process.
#pragma once

class App;

void drawCalcConverter(App& app);
void drawPreferences(App& app);
void drawAbout(App& app);
void drawHelp(App& app);

// Sets custom colour `entry` from a colour editor's channels (0.0-1.0);
// while the "Custom" preset is in use the current colours follow at once.
void SetCustomColor(App& app, int entry, const float rgb[3]);
