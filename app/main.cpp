// Program entry: brings up SDL2, an OpenGL 3.0 window and Dear ImGui,
// creates the one App, runs the frame loop that draws every window once
// per frame, and tears everything down again.
#include "app/App.h"
#include "app/CharsetConvertWin.h"
#include "app/CharsetWindows.h"
#include "app/CpuWindows.h"
#include "app/Dialogs.h"
#include "app/DiskWin.h"
#include "app/FileActions.h"
#include "app/FramePacer.h"
#include "app/ImportCharsetWin.h"
#include "app/ImportWin.h"
#include "app/LayoutFile.h"
#include "app/MainWindow.h"
#include "app/MonitorWin.h"
#include "app/ScreenEditor.h"
#include "app/SpriteWindows.h"
#include "app/Theme.h"
#include "app/Views.h"
#include "autotest/AutoTest.h"
#include "platform/FileDialog.h"
#include "platform/Platform.h"

#include <SDL.h>
#include <GL/gl.h>
#include <imgui.h>
#include <imgui_internal.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl2.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

// Process-wide state of the loop.
std::unique_ptr<App> g_app;
SDL_Window* g_window = nullptr;
SDL_GLContext g_gl = nullptr;
bool g_running = true;
int g_exitCode = 0;

namespace {

constexpr const char* kWindowTitle = "Tilvox 3.0 beta";
constexpr int kWindowWidth = 1400;
constexpr int kWindowHeight = 900;
constexpr float kFontSize = 12.0f;
constexpr int kSnapshotFrame = 30;
constexpr float kClearGrey = 240.0f / 255.0f;
constexpr float kRightColumnRatio = 0.3f;
constexpr const char* kLayoutFile = "imgui.ini";
constexpr const char* kDockSpaceName = "MainDockSpace";
constexpr const char* kNoDisplayMessage = "No display found: set DISPLAY or WAYLAND_DISPLAY\n";

// SDL's video drivers that show nothing on a screen.
bool drawsNowhere(const char* driver) {
  if (!driver) return true;
  return std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

// Real input the self-test mode drops while it drives the interface.
bool isUserInput(const SDL_Event& ev) {
  switch (ev.type) {
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL:
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT: return true;
    case SDL_WINDOWEVENT:
      return ev.window.event == SDL_WINDOWEVENT_LEAVE || ev.window.event == SDL_WINDOWEVENT_FOCUS_LOST;
    default: return false;
  }
}

// Windows docked into the two right-hand groups of the default layout.
// The second view's and the processor's titles change (zoom, running);
// "###" names their fixed identity.
const char* const kUpperRightWindows[] = {"###Second view", "Registers", "Monitor",
                                          "###Processor", "Assembler", "Memory bitmap"};
// The character editor's title changes with the character; its identity
// is the part after "###".
const char* const kLowerRightWindows[] = {"Character set", "Sprites", "###Character editor", "Sprite editor"};

std::function<void()> g_exitAction;
FramePacer g_pacer;

// How often a focused text field redraws while idle, for its caret blink.
constexpr double kCaretBlinkStep = 0.1;

double nowSeconds() {
  return static_cast<double>(SDL_GetPerformanceCounter()) / static_cast<double>(SDL_GetPerformanceFrequency());
}

// A key or mouse button is held: key repeat and drags advance by frames.
bool inputHeld() {
  if (ImGui::IsAnyMouseDown()) return true;
  for (int k = ImGuiKey_NamedKey_BEGIN; k < ImGuiKey_NamedKey_END; ++k)
    if (ImGui::IsKeyDown(static_cast<ImGuiKey>(k))) return true;
  return false;
}

// Sleeps until the next frame is due: capped at the refresh rate, and
// while nothing happens until input arrives or something on screen is
// due to change.
void waitForNextFrame(const App& app) {
  const double now = nowSeconds();
  double dueAt = now + (app.redrawAt - ImGui::GetTime());
  if (app.processorRunning) dueAt = now;
  if (ImGui::GetIO().WantTextInput) dueAt = std::min(dueAt, now + kCaretBlinkStep);
  const FramePacer::Wait w = g_pacer.next(now, dueAt, inputHeld());
  if (w.sleepUntil > now) SDL_Delay(static_cast<Uint32>((w.sleepUntil - now) * 1000.0));
  const double left = w.deadline - nowSeconds();
  if (left > 0) SDL_WaitEventTimeout(nullptr, static_cast<int>(left * 1000.0) + 1);
}

void setWindowIcon() {
  std::vector<uint8_t> bytes;
  if (!Platform::readFile(Platform::assetDir() + "/icon.png", bytes) || bytes.empty()) return;
  int w = 0, h = 0, n = 0;
  stbi_uc* px = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &n, 4);
  if (!px) return;
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(px, w, h, 32, w * 4, SDL_PIXELFORMAT_RGBA32);
  if (s) {
    SDL_SetWindowIcon(g_window, s);
    SDL_FreeSurface(s);
  }
  stbi_image_free(px);
}

bool fileExists(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

void loadFonts() {
  ImGuiIO& io = ImGui::GetIO();
  ImFontConfig cfg;
  cfg.OversampleH = 2;
  cfg.OversampleV = 1;
  const std::string sans = Platform::assetDir() + "/fonts/LiberationSans-Regular.ttf";
  const std::string mono = Platform::assetDir() + "/fonts/LiberationMono-Regular.ttf";
  ImFont* ui = fileExists(sans) ? io.Fonts->AddFontFromFileTTF(sans.c_str(), kFontSize, &cfg) : nullptr;
  if (!ui) io.Fonts->AddFontDefault();
  Classic::MonoFont = fileExists(mono) ? io.Fonts->AddFontFromFileTTF(mono.c_str(), kFontSize, &cfg) : nullptr;
  ImGui::GetStyle().FontSizeBase = kFontSize;
}

// Reads back the drawable area and writes it as a PNG, top row first.
void writeFramePng(const std::string& path) {
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(g_window, &w, &h);
  if (w <= 0 || h <= 0) return;
  const size_t stride = static_cast<size_t>(w) * 4;
  std::vector<uint8_t> px(stride * h);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
  // OpenGL rows run from the bottom up; PNG rows from the top down.
  std::vector<uint8_t> png;
  stbi_write_png_to_func(Actions::pngWrite, &png, w, h, 4, px.data() + stride * (h - 1), -static_cast<int>(stride));
  // Saved like every other file, so a failed write keeps an older picture.
  if (!png.empty()) Platform::writeFile(path, png);
}

void buildDefaultLayout(ImGuiID dockId) {
  const ImGuiViewport* vp = ImGui::GetMainViewport();
  ImGui::DockSpaceOverViewport(dockId, vp);
  ImGui::DockBuilderRemoveNode(dockId);
  ImGui::DockBuilderAddNode(dockId, ImGuiDockNodeFlags_DockSpace);
  ImGui::DockBuilderSetNodeSize(dockId, vp->Size);
  ImGuiID left = 0;
  ImGuiID right = ImGui::DockBuilderSplitNode(dockId, ImGuiDir_Right, kRightColumnRatio, nullptr, &left);
  ImGuiID upper = 0;
  ImGuiID lower = ImGui::DockBuilderSplitNode(right, ImGuiDir_Down, 0.5f, nullptr, &upper);
  ImGui::DockBuilderDockWindow("Screen", left);
  for (const char* name : kUpperRightWindows) ImGui::DockBuilderDockWindow(name, upper);
  for (const char* name : kLowerRightWindows) ImGui::DockBuilderDockWindow(name, lower);
  ImGui::DockBuilderFinish(dockId);
}

void frame() {
  static int frameNo = 0;
  static bool layoutChecked = false;
  App& app = *g_app;
  g_pacer.lastFrameStart = nowSeconds();

  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    if (AutoTest::ownsInput() && isUserInput(ev)) continue;
    g_pacer.lastInput = g_pacer.lastFrameStart;
    ImGui_ImplSDL2_ProcessEvent(&ev);
    if (ev.type == SDL_QUIT) app.quitRequested = true;
    if (ev.type == SDL_DROPFILE && ev.drop.file) {
      const std::string path = ev.drop.file;
      SDL_free(ev.drop.file);
      Actions::openDropped(app, path);
    }
    if (ev.type == SDL_WINDOWEVENT && ev.window.event == SDL_WINDOWEVENT_CLOSE &&
        ev.window.windowID == SDL_GetWindowID(g_window))
      app.quitRequested = true;
  }
  if (app.quitRequested) {
    app.quitRequested = false;
    app.confirm("Exit Tilvox?", "Are you sure you want to close the program?", g_exitAction);
  }

  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  if (AutoTest::enabled()) AutoTest::inject(app);
  ImGui::NewFrame();
  app.redrawAt = kNever;

  drawMainMenu(app);
  drawToolbar(app);
  drawStatusBar(app);
  drawTools(app);

  const ImGuiID dockId = ImGui::GetID(kDockSpaceName);
  if (app.resetLayout || (!layoutChecked && ImGui::DockBuilderGetNode(dockId) == nullptr)) {
    buildDefaultLayout(dockId);
    app.resetLayout = false;
  }
  layoutChecked = true;
  ImGui::DockSpaceOverViewport(dockId, ImGui::GetMainViewport());

  drawScreenEditor(app);
  // Every other window whose flag is set, in this fixed order.
  if (app.showSecondView) drawSecondView(app);
  if (app.showSprites) drawSpriteView(app);
  if (app.showSpriteEditor) drawSpriteEditor(app);
  if (app.showCharset) drawCharsetView(app);
  if (app.showCharEditor) drawCharEditor(app);
  if (app.showRegisters) drawRegisterView(app);
  if (app.showBitmapMem) drawBitmapMemView(app);
  if (app.showCalc) drawCalcConverter(app);
  if (app.showMonitor) drawMonitor(app);
  if (app.showProcessor) drawProcessor(app);
  if (app.showAssembler) drawAssembler(app);
  if (app.showMountDisk) drawMountDisk(app);
  if (app.showImportPicture) drawImportPicture(app);
  if (app.showImportCharset) drawImportCharset(app);
  if (app.showPreferences) drawPreferences(app);
  if (app.showAbout) drawAbout(app);
  if (app.showHelp) drawHelp(app);
  if (app.showCharsetConverter) drawCharsetConverter(app);
  drawSaveSpritesDialog(app);

  drawPopups(app);
  FileIO::draw();

  ImGuiIO& io = ImGui::GetIO();
  if (io.WantSaveIniSettings && !AutoTest::enabled()) {
    Platform::saveText(kLayoutFile, ImGui::SaveIniSettingsToMemory());
    io.WantSaveIniSettings = false;
  }

  ImGui::Render();
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(g_window, &dw, &dh);
  glViewport(0, 0, dw, dh);
  glClearColor(kClearGrey, kClearGrey, kClearGrey, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());

  // Read once, in the first frame that gets here; an empty value counts.
  static const std::optional<std::string> snap = []() -> std::optional<std::string> {
    if (const char* s = std::getenv("TILVOX_SNAPSHOT")) return std::string(s);
    return std::nullopt;
  }();
  if (snap && ++frameNo == kSnapshotFrame) {
    writeFramePng(*snap);
    g_running = false;
  }
  if (AutoTest::enabled()) {
    const std::string shot = AutoTest::screenshotPath();
    if (!shot.empty()) writeFramePng(shot);
  }

  SDL_GL_SwapWindow(g_window);
  int code = 0;
  if (AutoTest::enabled() && AutoTest::finished(code)) {
    g_running = false;
    g_exitCode = code;
  }
  if (g_running) waitForNextFrame(app);
}

}  // namespace

int main(int, char** argv) {
  Platform::init(argv[0]);
  if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "SDL_Init failed: %s\n", SDL_GetError());
    return 1;
  }
  // Without a reachable display SDL falls back to a driver that draws
  // nowhere; the program would run unseen, and the exit question it asks
  // on a quit request could never be answered. A driver asked for by name
  // is the caller's choice.
  if (!std::getenv("SDL_VIDEODRIVER") && drawsNowhere(SDL_GetCurrentVideoDriver())) {
    std::fputs(kNoDisplayMessage, stderr);
    SDL_Quit();
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");

  g_window = SDL_CreateWindow(kWindowTitle, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWindowWidth,
                              kWindowHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!g_window) {
    std::fprintf(stderr, "SDL_CreateWindow failed: %s\n", SDL_GetError());
    return 1;
  }
  setWindowIcon();

  // Without an OpenGL 3.0 context nothing can be drawn: stop cleanly
  // rather than call into a renderer that has no functions.
  g_gl = SDL_GL_CreateContext(g_window);
  if (!g_gl) {
    std::fprintf(stderr, "SDL_GL_CreateContext failed: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_MakeCurrent(g_window, g_gl);
  SDL_GL_SetSwapInterval(1);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard | ImGuiConfigFlags_DockingEnable;
  io.IniFilename = nullptr;  // the layout is read and written by the loop itself
  Classic::ApplyStyle();
  loadFonts();
  ImGui_ImplSDL2_InitForOpenGL(g_window, g_gl);
  if (!ImGui_ImplOpenGL3_Init("#version 130")) {
    std::fprintf(stderr, "ImGui_ImplOpenGL3_Init failed\n");
    return 1;
  }

  g_app = std::make_unique<App>();
  if (AutoTest::enabled()) {
    io.IniFilename = nullptr;
    AutoTest::init(*g_app);
  } else {
    std::string layout;
    const std::string refused = readLayoutFile(Platform::g_configDir + "/" + kLayoutFile, layout);
    if (!refused.empty()) std::fprintf(stderr, "%s\n", refused.c_str());
    if (!layout.empty()) ImGui::LoadIniSettingsFromMemory(layout.c_str(), layout.size());
  }
  ImGui::GetStyle().FontScaleMain = g_app->uiScale;
  g_exitAction = [] { g_running = false; };
  // The snapshot (and any scripted run) counts frames: draw each one at
  // once, exactly as without pacing.
  g_pacer.everyFrame = std::getenv("TILVOX_SNAPSHOT") != nullptr || AutoTest::enabled();
  SDL_DisplayMode mode;
  const int display = SDL_GetWindowDisplayIndex(g_window);
  g_pacer.setRefreshRate(display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 ? mode.refresh_rate : 0);

  while (g_running) frame();

  if (!AutoTest::enabled()) g_app->saveSettings();
  // Textures of the App and of the views outlive the context: free them now.
  Texture::releaseAll();
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
  SDL_GL_DeleteContext(g_gl);
  SDL_DestroyWindow(g_window);
  SDL_Quit();
  return g_exitCode;
}
