// The one application state object: the document and its engines, the
// settings kept in "tilvox.ini", the open/closed flag of every window, the
// Screen window's view state, selections shared between windows, the icon
// textures and the queue of modal pop-ups. `main` creates it once; every
// window function and action takes it by reference.
#pragma once

#include "app/SettingsFile.h"
#include "app/Texture.h"
#include "core/Editor.h"
#include "core/Machine.h"
#include "core/Palette.h"
#include "core/UndoBuffer.h"
#include "cpu/CPU6502.h"
#include "cpu/Monitor.h"
#include "disk/DiskDrive.h"

#include <imgui.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

constexpr int kIconSlots = 32;
constexpr int kDriveCount = 4;   // devices 8-11
constexpr int kFirstDevice = 8;
constexpr const char* kSettingsFile = "tilvox.ini";

// How one change of the document enters the undo history.
struct UndoStep {
  enum class Take {
    None,       // no step: the change replaces the document and its history,
                // or is not undoable by design
    ByEngine,   // the editor or file completion called inside records its own
    Kind,       // UndoBuffer::TakeUndo(kind, label)
    Range,      // UndoBuffer::TakeUndoRange(address, length, label)
    Screen,     // UndoBuffer::TakeScreenUndo(label): kind and prefix by mode
    ScreenAndRegisters,  // the screen step and the registers, as one step
  };
  Take take = Take::None;
  int kind = 0;
  int address = 0;
  int length = 0;
  std::string label;

  static UndoStep none() { return {}; }
  static UndoStep byEngine() { return {Take::ByEngine, 0, 0, 0, {}}; }
  static UndoStep of(int kind, std::string label) { return {Take::Kind, kind, 0, 0, std::move(label)}; }
  static UndoStep range(int address, int length, std::string label) {
    return {Take::Range, 0, address, length, std::move(label)};
  }
  static UndoStep screen(std::string label) { return {Take::Screen, 0, 0, 0, std::move(label)}; }
  static UndoStep screenAndRegisters(std::string label) {
    return {Take::ScreenAndRegisters, 0, 0, 0, std::move(label)};
  }
};

// The undo step of a monitor row that changes `length` bytes from
// `address` on: that range, or everything when it wraps past $FFFF.
constexpr const char* kMonitorStepLabel = "monitor";
UndoStep monitorStep(int address, int length);

class App {
public:
  struct Popup {
    std::string title;
    std::string text;
    std::function<void()> onYes;  // may be empty
    bool isConfirm = false;       // Yes/No question, else a message with OK
  };

  Machine machine;
  Palette palette;
  UndoBuffer undo{machine};
  Editor editor{machine, undo};

  // Settings kept in the settings file.
  bool showGrid = false;
  int gridColor = 0;
  bool showActiveChar = true;
  bool dontReplaceColors = false;
  int paletteIndex = 0;
  int zoomSetting = kDefaultZoom;  // the zoom as read from the settings
  float uiScale = 1.0f;

  // Window flags.
  bool showSecondView = false;
  bool showSprites = false;
  bool showSpriteEditor = false;
  bool showRegisters = false;
  bool showMonitor = false;
  bool showCharset = false;
  bool showCharEditor = false;
  bool showBitmapMem = false;
  bool showCalc = false;
  bool showProcessor = false;
  bool showAssembler = false;
  bool showMountDisk = false;
  bool showImportPicture = false;
  bool showImportCharset = false;
  bool showPreferences = false;
  bool showAbout = false;
  bool showHelp = false;
  bool showCharsetConverter = false;

  CPU6502 cpu{machine};
  Monitor monitor{machine, cpu};
  DiskDrive drives[kDriveCount];  // devices 8, 9, 10, 11
  std::string assemblerSource;
  bool processorRunning = false;
  // The Processor window comes to the front (its tab selected where it is
  // docked) and takes the keyboard in its next frame.
  bool focusProcessor = false;

  // Screen window view state.
  int zoom = kDefaultZoom;
  ImVec2 pendingScroll{-1, -1};  // (-1, -1) = none
  bool focusScreen = false;
  int mouseX = 0;
  int mouseY = 0;
  double noFreeColorsUntil = 0;
  ImVec2 viewPos{0, 0};       // top-left of the visible area, frame pixels
  ImVec2 viewSize{0, 0};      // size of the visible area, frame pixels
  ImVec2 displayOrigin{0, 0}; // screen position of display pixel (0, 0)
  float displayScale = 0;     // screen pixels per display pixel

  // Selections shared between windows.
  int currentChar = 0;
  int currentSprite = 0;
  int spritePen = 2;
  int spriteColor = 1;
  int charPen = 3;
  bool saveSpritesOpen = false;
  int saveSpritesFirst = 0;
  int saveSpritesLast = 0;

  // Earliest time (Dear ImGui's clock) at which something on screen changes
  // by itself, such as a blinking cursor; windows lower it with redrawBy
  // while they draw, and the frame loop sleeps no longer than that.
  double redrawAt = 0;
  void redrawBy(double time) { redrawAt = std::min(redrawAt, time); }

  // Raised whenever the document is replaced (New, a project load), so a
  // window holding on to part of the old one can tell.
  int documentGeneration = 0;

  Texture icons[kIconSlots];
  bool iconsLoaded = false;
  bool quitRequested = false;
  bool resetLayout = false;
  std::vector<Popup> popups;

  App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  void loadSettings();
  void saveSettings();
  // The settings text as written, and the reading of such a text (keys in
  // any order, later lines win, out-of-range values mended).
  std::string settingsText() const;
  void applySettings(const std::string& text);

  // Selects a palette preset (outside 0-10: preset 0) and saves the settings.
  void setPalette(int index);
  void newProject();
  void afterLoad();
  // The one path through which a window changes the document: withdraws a
  // paste preview or a shape being dragged (it holds an image of the old
  // memory, which must not be put back over the new contents), records the
  // undo step `step` describes, then runs `apply`.
  void change(const UndoStep& step, const std::function<void()>& apply);
  // Chooses an editor tool and gives the keyboard to the Screen window; the
  // Text tool starts a new typing step.
  void chooseTool(int tool);
  // Select all: the Select tool with the whole screen selected.
  void selectAll() {
    chooseTool(kToolSelect);
    editor.selectAll();
  }
  // Sets the zoom (clamped to 1..24) keeping the anchor, in frame pixels,
  // at the same place of the Screen window; a negative anchor coordinate
  // means the centre of the visible area. Returns the zoom in force.
  int setZoom(int z, float ax, float ay);

  void confirm(const std::string& title, const std::string& text, std::function<void()> action);
  void message(const std::string& title, const std::string& text);

private:
  int sprite0Pointer() const;
  SettingsValues settingsValues() const;
  // Gives the monitor its drives, the processor window, its own window's
  // flag and the host file dialogs.
  void connectMonitor();
};

// Shows the front pop-up of the queue; called once per frame after all
// windows.
void drawPopups(App& app);

extern const char* const kDefaultAssemblerSource;
