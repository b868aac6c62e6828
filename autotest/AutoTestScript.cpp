// The built-in self-test script: opens every window, walks through modes,
// banks, palettes and zoom levels, draws on a hires bitmap with real mouse
// drags, undoes and redoes with key chords, copies and pastes a block,
// types text, runs a monitor command, drops a PRG, a D64 and a PNG file,
// accepts a PETSCII import and closes everything again, checking the
// document after the steps that change it.
#include "autotest/AutoTest.h"

#include "app/App.h"
#include "app/ConvertRules.h"
#include "app/FileActions.h"
#include "app/FileCompletions.h"
#include "app/ImportCharsetWin.h"
#include "app/ImportWin.h"
#include "core/Machine.h"
#include "core/PixelOps.h"
#include "platform/Platform.h"

#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>

namespace AutoTest {
namespace {

constexpr int kPrepareFrames = 3;
constexpr int kCheckFrames = 1;

// The sixteen window flags the script opens and closes together (not the
// two import windows).
bool App::*const kWindowFlags[] = {
    &App::showSecondView, &App::showSprites,  &App::showSpriteEditor, &App::showRegisters,
    &App::showMonitor,    &App::showCharset,  &App::showCharEditor,   &App::showBitmapMem,
    &App::showCalc,       &App::showProcessor, &App::showAssembler,   &App::showMountDisk,
    &App::showPreferences, &App::showAbout,   &App::showHelp,         &App::showCharsetConverter,
};

void setWindows(App& app, bool on) {
  for (bool App::*flag : kWindowFlags) app.*flag = on;
}

uint8_t* bitmap(App& app) { return &app.machine.ram[app.machine.bitmapAddr()]; }
uint8_t* screen(App& app) { return &app.machine.ram[app.machine.screenAddr()]; }

int bitmapCount(App& app) {
  const uint8_t* b = bitmap(app);
  return static_cast<int>(std::count_if(b, b + kBitmapSize, [](uint8_t v) { return v != 0; }));
}

void openAndWalk() {
  add("start", 10, [](App& app) {
    app.newProject();
    app.resetLayout = true;
  });
  add("open all windows", 10, [](App& app) { setWindows(app, true); });
  for (int mode = 0; mode < kGfxModeCount; ++mode)
    add("gfx mode " + std::to_string(mode), 3, [mode](App& app) { app.machine.setGfxMode(mode); });
  for (int bank = 3; bank >= 0; --bank)
    add("vic bank " + std::to_string(bank), 3, [bank](App& app) { app.machine.bank = static_cast<uint16_t>(bank); });
  for (int p = 0; p <= 10; ++p) add("palette " + std::to_string(p), 2, [p](App& app) { app.setPalette(p); });
  for (int z : {1, 3, 5, 8}) add("zoom " + std::to_string(z), 3, [z](App& app) { app.setZoom(z, -1, -1); });
  add("grid", 3, [](App& app) { app.showGrid = true; });
  shot("all-windows", 3);
  add("close dialogs", 5, [](App& app) {
    app.showGrid = false;
    setWindows(app, false);
    app.showSecondView = true;
    app.showSprites = true;
    app.showCharset = true;
    app.setPalette(0);
  });
}

void drawOnHires() {
  add("prepare hires", kPrepareFrames, [](App& app) {
    app.newProject();
    app.machine.setGfxMode(kModeHires);
    std::fill_n(bitmap(app), kBitmapSize, 0);
    std::fill_n(screen(app), kScreenCells, 0x10);
    app.undo.Clear();
    app.editor.tool = kToolDraw;
    app.machine.pen = 1;
  });
  drag("freehand", {{100, 100}, {120, 105}, {140, 120}}, ImGuiMouseButton_Left);
  shot("freehand", 3);
  add("check freehand", kCheckFrames, [](App& app) {
    check(bitmapCount(app) >= 1, "freehand drew pixels");
    check(bitmap(app)[3940] != 0, "start point drawn");
  });
  chord("undo (Ctrl+Alt+Z)", ImGuiKey_Z, true, true, false);
  add("check undo", kCheckFrames, [](App& app) { check(bitmapCount(app) == 0, "Ctrl+Alt+Z undid the drawing"); });
  chord("redo (Ctrl+Alt+Y)", ImGuiKey_Y, true, true, false);
  add("check redo", kCheckFrames, [](App& app) { check(bitmapCount(app) >= 1, "Ctrl+Alt+Y redid the drawing"); });
  chord("undo (Ctrl+Z)", ImGuiKey_Z, true, false, false);
  add("check Ctrl+Z", kCheckFrames, [](App& app) { check(bitmapCount(app) == 0, "Ctrl+Z undid the drawing"); });

  add("line tool", 1, [](App& app) { app.editor.tool = kToolLine; });
  drag("line", {{10, 10}, {200, 50}, {300, 190}}, ImGuiMouseButton_Left);
  add("check line", kCheckFrames, [](App& app) {
    const PixelOperator px(app.machine);
    check(px.GetPixel(10, 10) == 1 && px.GetPixel(300, 190) == 1, "line end points");
    check(px.GetPixel(200, 50) != 1, "no trace of the rubber band");
  });
  add("rectangle tool", 1, [](App& app) {
    app.editor.tool = kToolBox;
    app.machine.pen = 1;
  });
  drag("rectangle", {{20, 150}, {60, 180}}, ImGuiMouseButton_Left);
  add("check rectangle", kCheckFrames, [](App& app) {
    const PixelOperator px(app.machine);
    check(px.GetPixel(20, 150) == 1 && px.GetPixel(60, 180) == 1 && px.GetPixel(40, 150) == 1,
          "rectangle corners");
  });
}

void copyAndPaste() {
  add("select tool", 1, [](App& app) { app.editor.tool = kToolSelect; });
  drag("select", {{0, 0}, {31, 15}}, ImGuiMouseButton_Left);
  add("check selection", kCheckFrames, [](App& app) {
    int l = -1, t = -1, r = -1, b = -1;
    app.editor.selRect(l, t, r, b);
    check(app.editor.selActive && l == 0 && t == 0 && r == 3 && b == 1, "4x2 cell selection");
  });
  chord("copy", ImGuiKey_C, true, false, false);
  chord("paste", ImGuiKey_V, true, false, false);
  add("move paste", 2, [](App& app) {
    check(app.editor.pasting, "floating paste started");
    // Hold the pointer where the paste will be committed.
    g_haveMouse = true;
    g_mouseX = 200.5f * app.displayScale + app.displayOrigin.x;
    g_mouseY = 160.5f * app.displayScale + app.displayOrigin.y;
  });
  click("commit paste", 200, 160);
  add("check paste", kCheckFrames, [](App& app) {
    check(!app.editor.pasting, "paste committed");
    check(bitmap(app)[330] != 0, "source still there");
    bool pasted = false;
    for (int row = 20; row < kScreenRows && !pasted; ++row) {
      const uint8_t* cells = bitmap(app) + row * kScreenCols * 8 + 25 * 8;
      pasted = std::any_of(cells, cells + 64, [](uint8_t v) { return v != 0; });
    }
    check(pasted, "pasted pixels near cell 25,20");
  });
}

void typeText() {
  add("prepare text", kPrepareFrames, [](App& app) {
    app.newProject();
    app.editor.tool = kToolText;
  });
  click("text cursor", 19, 83);
  add("type", 3, [](App&) {
    for (const char c : std::string("hello")) ImGui::GetIO().AddInputCharacter(static_cast<unsigned>(c));
  });
  add("check text", kCheckFrames, [](App& app) {
    const uint8_t* s = screen(app);
    check(s[402] == 8 && s[403] == 5 && s[404] == 12 && s[405] == 12 && s[406] == 15, "\"hello\" typed at 2,10");
    check(app.editor.cursorX == 7 && app.editor.cursorY == 10, "cursor moved");
  });
  chord("reverse char (Ctrl+A)", ImGuiKey_A, true, false, false);
  add("check reverse", kCheckFrames, [](App& app) { check(screen(app)[407] == 129, "Ctrl+A typed a reversed A"); });
  chord("text undo", ImGuiKey_Z, true, true, false);
  add("check text undo", kCheckFrames, [](App& app) { check(screen(app)[402] == 32, "text undone"); });
}

void monitorCommand() {
  add("open monitor", 5, [](App& app) {
    app.showMonitor = true;
    app.monitor.clear();
  });
  add("monitor fill", 3, [](App& app) {
    // Letters become screen codes 1-26; digits, dot and space stay.
    for (const char c : std::string(".F C000 C100 42"))
      app.monitor.typeChar(static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 1 : c));
    app.monitor.enter();
  });
  add("check monitor", kCheckFrames, [](App& app) {
    const auto& ram = app.machine.ram;
    check(ram[0xC000] == 0x42 && ram[0xC0FF] == 0x42 && ram[0xC100] != 0x42, "monitor F command");
    check(!app.undo.undoItems.empty() && app.undo.undoItems.back().description == "monitor",
          "monitor F command can be undone");
  });
}

// A 64x40 brown picture with a white 20x20 square at (22, 10).
std::vector<uint8_t> squarePng() {
  constexpr int kW = 64;
  constexpr int kH = 40;
  std::vector<uint8_t> rgba(static_cast<size_t>(kW) * kH * 4);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const bool white = x >= 22 && x <= 41 && y >= 10 && y <= 29;
      uint8_t* p = &rgba[(static_cast<size_t>(y) * kW + x) * 4];
      p[0] = white ? 255 : 0x68;
      p[1] = white ? 255 : 0x37;
      p[2] = white ? 255 : 0x2B;
      p[3] = 255;
    }
  std::vector<uint8_t> png;
  stbi_write_png_to_func(Actions::pngWrite, &png, kW, kH, 4, rgba.data(), kW * 4);
  return png;
}

void dropFiles() {
  add("drop prg", 2, [](App& app) {
    const std::string path = tempPath("drop.prg");
    check(Platform::writeFile(path, {0x00, 0xC8, 0x01, 0x02, 0x03}), "write temp prg");
    Actions::openDropped(app, path);
    app.popups.clear();
    check(app.machine.ram[0xC800] == 1 && app.machine.ram[0xC802] == 3, "dropped prg loaded to $C800");
  });
  add("drop d64", 4, [](App& app) {
    const std::string path = tempPath("drop.d64");
    const std::vector<unsigned char> image = DiskDrive::blankD64("DROPPED", "AB");
    check(Platform::writeFile(path, std::vector<uint8_t>(image.begin(), image.end())), "write temp d64");
    Actions::openDropped(app, path);
    DiskDrive& drive = app.drives[0];
    check(drive.mode != DriveMode::None && drive.diskName().rfind("DROPPED", 0) == 0,
          "dropped d64 mounted on drive 8");
    check(app.showMountDisk, "disk window opened");
  });
  add("drop png", 6, [](App& app) {
    const std::string path = tempPath("drop.png");
    check(Platform::writeFile(path, squarePng()), "write temp png");
    Actions::openDropped(app, path);
    check(app.showImportPicture, "import dialog opened with the dropped picture");
    app.machine.setGfxMode(kModeMultiBitmap);
    importPictureForTest(ImportMode::Petscii, false);
  });
  shot("import-petscii", 3);
  add("accept import", 3, [](App&) { importPictureForTest(ImportMode::Petscii, true); });
  add("check petscii import", kCheckFrames, [](App& app) {
    check(!app.showImportPicture, "PETSCII import accepted");
    check(app.machine.gfxMode() == 0 && app.machine.charsetIsRom(), "text mode with the ROM charset");
    const uint8_t cell = screen(app)[500];
    const int colour = app.machine.ram[kColorRam + 500] & 15;
    check((cell == 160 && colour == 1) || (cell == 32 && app.machine.vicRegs[kRegBg0] == 1),
          "white square became solid white cells");
    check(!app.undo.undoItems.empty() && app.undo.undoItems.back().description == "import image",
          "import can be undone");
  });
}

void closeUp() {
  add("close import", 3, [](App& app) {
    app.showMountDisk = false;
    app.drives[0].unmount();
  });
  add("all windows again", 10, [](App& app) {
    setWindows(app, true);
    app.machine.setGfxMode(kModeMultiBitmap);
  });
  add("done", 1, [](App& app) {
    setWindows(app, false);
    g_done = true;
  });
}

}  // namespace

// A font rendered into a RAM charset while drawing goes on on the Screen:
// the import stays open, and Cancel puts back the charset alone.
void importFont() {
  static constexpr uint8_t kPattern = 0x5A;
  add("prepare font import", kPrepareFrames, [](App& app) {
    app.newProject();
    app.machine.bank = 1;  // the charset at $5000 in RAM, the screen at $4400
    std::fill_n(&app.machine.ram[app.machine.charsetAddr()], kCharsetSize, kPattern);
    std::fill_n(screen(app), kScreenCells, 32);
    app.setZoom(2, -1, -1);
    std::vector<uint8_t> font;
    check(Platform::readFile(Platform::g_assetDir + "/fonts/LiberationSans-Regular.ttf", font), "read a font");
    loadFont(g_font, "LiberationSans-Regular.ttf", std::move(font));
    app.showImportCharset = true;
    app.editor.tool = kToolDraw;
    app.machine.pen = 1;
  });
  add("check font import", kCheckFrames, [](App& app) {
    const uint8_t* charset = &app.machine.ram[app.machine.charsetAddr()];
    check(g_font.active && g_font.valid && app.showCharset, "import window open with the Character set");
    check(charset['A' * 8 + 3] != kPattern && charset[200 * 8] == kPattern, "letters rendered, other codes kept");
  });
  drag("draw beside the import", {{220, 170}, {300, 190}}, ImGuiMouseButton_Left);
  shot("font-import", 3);
  add("check import kept", kCheckFrames, [](App& app) {
    check(std::any_of(screen(app), screen(app) + kScreenCells, [](uint8_t c) { return c != 32; }), "drawn on the Screen");
    check(g_font.active && app.showImportCharset, "the import stays open after drawing");
  });
  add("cancel font import", 3, [](App& app) { closeImportCharset(app, true); });
  add("check cancel", kCheckFrames, [](App& app) {
    const uint8_t* charset = &app.machine.ram[app.machine.charsetAddr()];
    check(!app.showImportCharset && !g_font.active, "import closed");
    check(std::all_of(charset, charset + kCharsetSize, [](uint8_t b) { return b == kPattern; }), "Cancel restored the charset");
    check(std::any_of(screen(app), screen(app) + kScreenCells, [](uint8_t c) { return c != 32; }), "the drawing stays");
  });
}

void buildScript() {
  openAndWalk();
  drawOnHires();
  copyAndPaste();
  typeText();
  monitorCommand();
  dropFiles();
  importFont();
  closeUp();
}

}  // namespace AutoTest
