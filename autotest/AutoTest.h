// The scripted self-test mode: a fixed list of user-interface steps that
// the frame loop runs one per few frames. Steps inject mouse and keyboard
// input into Dear ImGui's input queue as a user would, check the document,
// ask for screenshots and end the program with the result as exit code.
// Everything runs on the main thread inside the frame loop.
#pragma once

#include <imgui.h>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class App;

namespace AutoTest {

struct Step {
  std::string name;                  // printed in failure lines
  int frames = 0;                    // idle frames after the step
  std::function<void(App&)> action;  // run once when the step starts
};

// The engine's state, shared between the script builders and the driver.
extern std::vector<Step> g_steps;
extern size_t g_next;
extern int g_wait;
extern bool g_done;
extern bool g_init;
extern bool g_on;
extern std::string g_current;
extern std::string g_shot;
extern int g_checks;
extern int g_failures;
extern float g_mouseX;
extern float g_mouseY;
extern bool g_haveMouse;

// Is the mode on: TILVOX_AUTOTEST set, not empty and not exactly "0".
// Read on the first call only.
bool enabled();
// While true the frame loop drops the user's real input.
bool ownsInput();
// Builds the script and prints the number of its steps.
void init(App& app);
// The per-frame driver: runs between the backends' and Dear ImGui's new
// frame, so this frame's widgets see what it injects.
void inject(App& app);
// The screenshot wanted at the end of this frame (empty: none); taking it
// clears the request.
std::string screenshotPath();
// Once the script is done: prints the summary, sets the exit code and
// removes the run's temporary directory.
bool finished(int& exitCode);

// Script builders; each appends its steps to g_steps.
void add(const std::string& name, int frames, std::function<void(App&)> action);
void drag(const std::string& name, const std::vector<std::pair<int, int>>& points, int button);
void click(const std::string& name, int x, int y);
void chord(const std::string& name, ImGuiKey key, bool ctrl, bool alt, bool shift);
void shot(const std::string& name, int frames);
// Counts one check; a failed one is printed with the running step's name.
void check(bool ok, const char* text);
// A file in this run's private temporary directory (made on first use
// under TMPDIR, TEMP, TMP or /tmp, removed when the run ends).
std::string tempPath(const char* name);

// The built-in script.
void buildScript();

}  // namespace AutoTest
