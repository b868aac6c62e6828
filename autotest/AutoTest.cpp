// The self-test engine: runs the script's steps from the frame loop,
// injects the input they ask for, counts checks and reports the result.
#include "autotest/AutoTest.h"

#include "app/App.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace AutoTest {

std::vector<Step> g_steps;
size_t g_next = 0;
int g_wait = 0;
bool g_done = false;
std::string g_current;
std::string g_shot;
int g_checks = 0;
int g_failures = 0;
float g_mouseX = 0;
float g_mouseY = 0;
bool g_haveMouse = false;

namespace {

constexpr int kInputFrames = 2;  // idle frames after each injected input
constexpr int kShotFrames = 3;

// This run's private directory for temporary files; empty until made.
std::string g_tempDir;

// Window position of the centre of display pixel (x, y) at the Screen
// window's current zoom and scroll.
void holdPointerAt(const App& app, int x, int y) {
  g_haveMouse = true;
  g_mouseX = (static_cast<float>(x) + 0.5f) * app.displayScale + app.displayOrigin.x;
  g_mouseY = (static_cast<float>(y) + 0.5f) * app.displayScale + app.displayOrigin.y;
}

void button(int b, bool down) { ImGui::GetIO().AddMouseButtonEvent(b, down); }

}  // namespace

void init(App&) {
  g_steps.clear();
  buildScript();
  std::printf("AUTOTEST: %d steps\n", static_cast<int>(g_steps.size()));
  std::fflush(stdout);
}

void inject(App& app) {
  if (g_done) return;
  ImGuiIO& io = ImGui::GetIO();
  // A held pointer stays where the script put it, whatever else happens.
  if (g_haveMouse) io.AddMousePosEvent(g_mouseX, g_mouseY);
  if (g_wait > 0) {
    --g_wait;
    return;
  }
  if (g_next >= g_steps.size()) {
    g_done = true;
    return;
  }
  const Step& step = g_steps[g_next++];
  g_current = step.name;
  const bool held = g_haveMouse;
  const float x = g_mouseX;
  const float y = g_mouseY;
  step.action(app);
  // A button event the next step queues must find the pointer in place.
  if (g_haveMouse && (!held || x != g_mouseX || y != g_mouseY)) io.AddMousePosEvent(g_mouseX, g_mouseY);
  g_wait = step.frames;
}

std::string screenshotPath() {
  std::string path;
  path.swap(g_shot);
  return path;
}

bool finished(int& exitCode) {
  if (!g_done) return false;
  std::printf("AUTOTEST: %d checks, %d failures\n", g_checks, g_failures);
  std::fflush(stdout);
  exitCode = g_failures > 0 ? 1 : 0;
  if (!g_tempDir.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(g_tempDir, ec);
    g_tempDir.clear();
  }
  return true;
}

void add(const std::string& name, int frames, std::function<void(App&)> action) {
  g_steps.push_back(Step{name, frames, std::move(action)});
}

void drag(const std::string& name, const std::vector<std::pair<int, int>>& points, int b) {
  if (points.empty()) return;
  const auto [x0, y0] = points.front();
  add(name + ": move", kInputFrames, [x0, y0](App& app) { holdPointerAt(app, x0, y0); });
  add(name + ": press", kInputFrames, [b](App&) { button(b, true); });
  for (size_t i = 1; i < points.size(); ++i) {
    const auto [x, y] = points[i];
    add(name + ": drag", kInputFrames, [x, y](App& app) { holdPointerAt(app, x, y); });
  }
  add(name + ": release", kInputFrames, [b](App&) { button(b, false); });
}

void click(const std::string& name, int x, int y) { drag(name, {{x, y}}, ImGuiMouseButton_Left); }

void chord(const std::string& name, ImGuiKey key, bool ctrl, bool alt, bool shift) {
  add(name + ": down", kInputFrames, [=](App&) {
    ImGuiIO& io = ImGui::GetIO();
    if (ctrl) io.AddKeyEvent(ImGuiMod_Ctrl, true);
    if (alt) io.AddKeyEvent(ImGuiMod_Alt, true);
    if (shift) io.AddKeyEvent(ImGuiMod_Shift, true);
    io.AddKeyEvent(key, true);
  });
  add(name + ": up", kInputFrames, [=](App&) {
    ImGuiIO& io = ImGui::GetIO();
    io.AddKeyEvent(key, false);
    if (shift) io.AddKeyEvent(ImGuiMod_Shift, false);
    if (alt) io.AddKeyEvent(ImGuiMod_Alt, false);
    if (ctrl) io.AddKeyEvent(ImGuiMod_Ctrl, false);
  });
}

void shot(const std::string& name, int frames) {
  add("screenshot " + name, frames > 0 ? frames : kShotFrames, [name](App&) {
    const char* dir = std::getenv("TILVOX_AUTOTEST_SHOTS");
    if (dir && *dir) g_shot = std::string(dir) + "/" + name + ".png";
  });
}

void check(bool ok, const char* text) {
  ++g_checks;
  if (ok) return;
  ++g_failures;
  std::printf("AUTOTEST FAIL [%s]: %s\n", g_current.c_str(), text);
  std::fflush(stdout);
}

std::string tempPath(const char* name) {
  // Fixed names in a shared directory could be links planted by another
  // user; one private directory per run avoids that.
  if (g_tempDir.empty()) {
    const char* base = nullptr;
    for (const char* var : {"TMPDIR", "TEMP", "TMP"}) {
      const char* v = std::getenv(var);
      if (v && *v) {
        base = v;
        break;
      }
    }
    std::string pattern = std::string(base ? base : "/tmp") + "/tilvox_autotest_XXXXXX";
    if (mkdtemp(pattern.data())) g_tempDir = pattern;
    else return std::string(base ? base : "/tmp") + "/tilvox_autotest_unavailable/" + name;
  }
  return g_tempDir + "/tilvox_autotest_" + name;
}

}  // namespace AutoTest
