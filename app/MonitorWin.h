// The Monitor window: the face of the monitor console (App::monitor). It
// draws the console's 40x25 screen as a C64 screen, blinks the cursor,
// places it by mouse click and feeds typed characters and editing keys to
// the console; all command handling lives in Monitor.
#pragma once

class App;

// Draws the window while App::showMonitor is set; Escape and the console's
// X command close it.
void drawMonitor(App& app);
