// The bars, the Screen window and their two dialogs driven in a window-less
// Dear ImGui context: keys and mouse clicks fed by hand, results read from
// the document and its history; and the reach of the windows' controls at
// the interface scales.
#include "app/App.h"
#include "app/CharsetConvertWin.h"
#include "app/CharsetWindows.h"
#include "app/CpuWindows.h"
#include "app/Dialogs.h"
#include "app/DiskWin.h"
#include "app/EditorInput.h"
#include "app/ImportCharsetWin.h"
#include "app/ImportWin.h"
#include "app/MainWindow.h"
#include "app/MonitorWin.h"
#include "app/ScreenEditor.h"
#include "app/SpriteWindows.h"
#include "app/Theme.h"
#include "app/Views.h"
#include "app/Widgets.h"
#include "cpu/CPU6502.h"
#include "disk/DriveMounts.h"
#include "platform/FileDialog.h"
#include "platform/Platform.h"

#include "tests/app/AppTestUtil.h"
#include "tests/app/ImGuiFrames.h"
#include "tests/disk/DiskTestUtil.h"

#include <gtest/gtest.h>

#include <imgui.h>
#include <imgui_internal.h>

#include <filesystem>
#include <functional>
#include <string_view>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class MainWindowTest : public ScratchConfigTest, public ImGuiFrames {
protected:
  MainWindowTest() : ScratchConfigTest("mainwindow") {}
  void SetUp() override {
    ScratchConfigTest::SetUp();
    // No OpenGL here: textures keep their pixels and never upload.
    Texture::releaseAll();
  }

  // Moves the mouse in one frame, presses a button in the next and
  // releases it in a third.
  void click(const std::function<void()>& draw, ImVec2 at, int button) {
    mouse(draw, at);
    mouse(draw, at, button, true);
    mouse(draw, at, button, false);
  }
  // One frame with the modifiers `mods` (ImGuiMod_ flags) held down and
  // `key` pressed, then one after their release (Dear ImGui spreads a key
  // going up and down again over frames).
  void chord(const std::function<void()>& draw, int mods, ImGuiKey key) {
    ImGuiIO& io = ImGui::GetIO();
    const ImGuiKey modKeys[] = {ImGuiMod_Ctrl, ImGuiMod_Shift, ImGuiMod_Alt};
    for (ImGuiKey m : modKeys)
      if (mods & m) io.AddKeyEvent(m, true);
    frame(draw, key);
    for (ImGuiKey m : modKeys)
      if (mods & m) io.AddKeyEvent(m, false);
    frame(draw);
  }
  bool isOpen(const std::function<void()>& draw, const char* id) {
    ImGui::NewFrame();
    draw();
    const bool open = ImGui::IsPopupOpen(id);
    ImGui::EndFrame();
    return open;
  }
};

TEST_F(MainWindowTest, ClearDialogAnswersYesWithEnterAndNoWithEscape) {
  App app;
  const auto draw = [&] { drawStatusBar(app); };
  const uint32_t screen = app.machine.screenAddr();
  app.machine.ram[screen] = 1;

  g_clearOpen = true;
  frame(draw);
  EXPECT_FALSE(g_clearOpen);
  EXPECT_TRUE(isOpen(draw, "Clear##dlg"));
  frame(draw, ImGuiKey_Escape);
  EXPECT_FALSE(isOpen(draw, "Clear##dlg"));
  EXPECT_EQ(app.machine.ram[screen], 1);

  // Enter clears to the background: spaces in the text mode.
  g_clearOpen = true;
  frame(draw);
  frame(draw, ImGuiKey_Enter);
  EXPECT_FALSE(isOpen(draw, "Clear##dlg"));
  EXPECT_EQ(app.machine.ram[screen], 32);
  EXPECT_EQ(app.machine.ram[screen + kScreenCells - 1], 32);

  app.machine.ram[screen] = 1;
  g_clearOpen = true;
  frame(draw);
  frame(draw, ImGuiKey_KeypadEnter);
  EXPECT_EQ(app.machine.ram[screen], 32);
}

TEST_F(MainWindowTest, ColorEditorOpensWithF9AndTakesOneStepOnEnter) {
  App app;
  const auto draw = [&] { drawScreenEditor(app); };
  app.focusScreen = true;
  frame(draw);
  ASSERT_TRUE(g_screenFocused);
  frame(draw, ImGuiKey_F9);
  EXPECT_TRUE(isOpen(draw, "Color editor##dlg"));
  const size_t steps = app.undo.undoItems.size();

  frame(draw, ImGuiKey_Escape);
  EXPECT_FALSE(isOpen(draw, "Color editor##dlg"));
  EXPECT_EQ(app.undo.undoItems.size(), steps);

  frame(draw);  // the Screen window has the focus again
  frame(draw, ImGuiKey_F9);
  frame(draw, ImGuiKey_Enter);
  EXPECT_FALSE(isOpen(draw, "Color editor##dlg"));
  ASSERT_EQ(app.undo.undoItems.size(), steps + 1);
  EXPECT_EQ(app.undo.undoItems.back().description, "textmode color change");
  EXPECT_TRUE(app.undo.undoItems.back().hasVic);
}

TEST_F(MainWindowTest, PaletteClicksSetTheDrawingColourOrTheBackgroundWithAnUndoStep) {
  App app;
  float s = 0;
  const auto draw = [&] {
    drawTools(app);
    s = Classic::Scale();
  };
  frame(draw);
  const ImVec2 bar = ImGui::FindWindowByName("##tools")->Pos;
  // Colour 5: column 1, row 2 of the grid below the point (9, 345).
  const auto grid = [&](float x, float y) { return ImVec2(bar.x + (9 + x) * s, bar.y + (345 + y) * s); };
  const uint8_t bg = app.machine.vicRegs[kRegBg0];

  click(draw, grid(5 + 19 + 7, 40 + 2 * 19 + 7), ImGuiMouseButton_Left);
  EXPECT_EQ(app.machine.pen, 5);
  EXPECT_EQ(app.machine.vicRegs[kRegBg0], bg);
  EXPECT_TRUE(app.undo.undoItems.empty());

  click(draw, grid(5 + 7, 40 + 7 * 19 + 7), ImGuiMouseButton_Right);  // colour 14
  EXPECT_EQ(app.machine.vicRegs[kRegBg0], 14);
  ASSERT_EQ(app.undo.undoItems.size(), 1u);
  EXPECT_EQ(app.undo.undoItems.back().description, "background color");
  app.undo.MakeUndo();
  EXPECT_EQ(app.machine.vicRegs[kRegBg0], bg);

  // The two squares above the grid take no click.
  click(draw, grid(20, 20), ImGuiMouseButton_Right);
  click(draw, grid(20, 20), ImGuiMouseButton_Left);
  EXPECT_EQ(app.machine.vicRegs[kRegBg0], bg);
  EXPECT_EQ(app.machine.pen, 5);
}

TEST_F(MainWindowTest, ScreenMapsTheMouseToDisplayPixelsAndZoomsWithTheWheel) {
  App app;
  const auto draw = [&] { drawScreenEditor(app); };
  app.zoom = 3;
  app.editor.tool = kToolText;
  frame(draw);
  frame(draw);
  EXPECT_EQ(app.displayScale, 3);
  const ImVec2 o = app.displayOrigin;

  // Display pixel (17, 9) is the text cell (2, 1).
  click(draw, ImVec2(o.x + 17 * 3 + 1, o.y + 9 * 3 + 2), ImGuiMouseButton_Left);
  EXPECT_EQ(app.mouseX, 17);
  EXPECT_EQ(app.mouseY, 9);
  EXPECT_EQ(app.editor.cursorX, 2);
  EXPECT_EQ(app.editor.cursorY, 1);
  // In the left border the mouse position is held at the display's edge.
  click(draw, ImVec2(o.x - 20 * 3, o.y + 100 * 3), ImGuiMouseButton_Left);
  EXPECT_EQ(app.mouseX, 0);
  EXPECT_EQ(app.mouseY, 100);
  EXPECT_EQ(app.editor.cursorX, 0);
  EXPECT_EQ(app.editor.cursorY, 12);

  ImGuiIO& io = ImGui::GetIO();
  io.AddMouseWheelEvent(0, 1);
  frame(draw);
  EXPECT_EQ(app.zoom, 4);
  EXPECT_EQ(app.zoomSetting, 4);
  io.AddMouseWheelEvent(0, -1);
  frame(draw);
  EXPECT_EQ(app.zoom, 3);
  app.zoom = kZoomMax;
  frame(draw);
  frame(draw);
  io.AddMouseWheelEvent(0, 1);
  frame(draw);
  EXPECT_EQ(app.zoom, kZoomMax);
}

// With the Clear dialog or a question open, neither the global shortcuts
// nor the Screen window's keys change the picture; once closed they do.
TEST_F(MainWindowTest, ShortcutsDoNothingBehindModalDialogs) {
  App app;
  const auto draw = [&] {
    drawMainMenu(app);
    drawStatusBar(app);
    drawScreenEditor(app);
    drawPopups(app);
  };
  app.editor.tool = kToolDot;
  app.change(UndoStep::of(UndoKind::Registers, "border"), [&] { app.machine.vicRegs[kRegBorder] = 3; });
  app.focusScreen = true;
  frame(draw);
  ASSERT_TRUE(g_screenFocused);
  const std::function<void()> opens[] = {[] { g_clearOpen = true; }, [&] { app.confirm("Question", "Sure?", [] {}); }};
  for (const auto& open : opens) {
    open();
    frame(draw);
    chord(draw, ImGuiMod_Ctrl, ImGuiKey_Z);
    chord(draw, ImGuiMod_Ctrl | ImGuiMod_Alt, ImGuiKey_G);
    frame(draw, ImGuiKey_G);
    EXPECT_EQ(app.machine.vicRegs[kRegBorder], 3);
    EXPECT_FALSE(app.showGrid);
    frame(draw, ImGuiKey_Escape);
    frame(draw);
    EXPECT_FALSE(isOpen(draw, "Clear##dlg"));
    ASSERT_TRUE(app.popups.empty());
  }
  chord(draw, ImGuiMod_Ctrl | ImGuiMod_Alt, ImGuiKey_G);
  EXPECT_TRUE(app.showGrid);
  chord(draw, ImGuiMod_Ctrl, ImGuiKey_Z);
  EXPECT_NE(app.machine.vicRegs[kRegBorder], 3);
}

// After a click on a colour or button of the bars, a single-key shortcut
// typed next still works in the Screen window.
TEST_F(MainWindowTest, ClicksOnTheBarsGiveTheKeyboardBackToTheScreen) {
  App app;
  float s = 0, firstPanel = 0;
  const auto draw = [&] {
    drawStatusBar(app);
    drawTools(app);
    drawScreenEditor(app);
    s = Classic::Scale();
    firstPanel = PositionPanelWidth(s, [](const char* t) { return ImGui::CalcTextSize(t).x; });
  };
  app.editor.tool = kToolDot;
  app.focusScreen = true;
  frame(draw);
  frame(draw);
  ASSERT_TRUE(g_screenFocused);
  const ImVec2 tools = ImGui::FindWindowByName("##tools")->Pos;
  const ImVec2 status = ImGui::FindWindowByName("##statusbar")->Pos;
  const auto unit = [&](ImVec2 o, float x, float y) { return ImVec2(o.x + x * s, o.y + y * s); };
  const struct {
    const char* what;
    ImVec2 at;
    int button;
  } kTargets[] = {
      {"palette colour 3", unit(tools, 9 + 5 + 19 + 7, 345 + 40 + 19 + 7), ImGuiMouseButton_Left},
      {"palette background", unit(tools, 9 + 5 + 7, 345 + 40 + 7), ImGuiMouseButton_Right},
      {"brush 3", unit(tools, 18 + 12, 3 * 29 + 191 + 12), ImGuiMouseButton_Left},
      {"filled", unit(tools, 4 + 20, 574 + 10), ImGuiMouseButton_Left},
      {"cell colour", ImVec2(status.x + firstPanel + (80 + 160 + 20) * s, status.y + 10 * s), ImGuiMouseButton_Left},
  };
  for (const auto& t : kTargets) {
    const bool grid = app.showGrid;
    click(draw, t.at, t.button);
    frame(draw);
    EXPECT_TRUE(g_screenFocused) << t.what;
    frame(draw, ImGuiKey_G);
    EXPECT_NE(app.showGrid, grid) << t.what;
  }
  EXPECT_EQ(app.machine.pen, 3);
  EXPECT_EQ(app.editor.brush, 3);
  EXPECT_TRUE(app.editor.fillShapes);
}

// Where the tool palette does not fit (150 or 200 per cent, a window 600
// pixels high) the wheel scrolls it and its bottom Move button is clickable.
TEST_F(MainWindowTest, ToolPaletteScrollsWhenItDoesNotFit) {
  const struct {
    float height, scale;
    bool scrolls;
  } kCases[] = {{900, 1.0f, false}, {600, 1.0f, true}, {900, 1.5f, true}, {900, 2.0f, true}};
  ImGuiIO& io = ImGui::GetIO();
  for (const auto& c : kCases) {
    App app;
    float s = 0;
    const auto draw = [&] {
      drawMainMenu(app);
      drawToolbar(app);
      drawStatusBar(app);
      drawTools(app);
      s = Classic::Scale();
    };
    io.DisplaySize = ImVec2(1200, c.height);
    ImGui::GetStyle().FontScaleMain = c.scale;
    frame(draw);
    frame(draw);
    ImGuiWindow* w = ImGui::FindWindowByName("##tools");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->ScrollMax.y > 0, c.scrolls) << c.height << " " << c.scale;
    EXPECT_EQ(w->Size.x > 61 * s + 1, c.scrolls) << "a scrollbar widens the palette";
    io.AddMousePosEvent(w->Pos.x + 10, w->Pos.y + 50);
    frame(draw);
    for (int i = 0; i < 20; ++i) {
      io.AddMouseWheelEvent(0, -5);
      frame(draw);
    }
    EXPECT_FLOAT_EQ(w->Scroll.y, w->ScrollMax.y);
    const ImVec2 move(w->Pos.x + (32 + 12) * s, w->Pos.y + (545 + 12) * s - w->Scroll.y);
    ASSERT_LT(move.y, w->Pos.y + w->Size.y) << c.height << " " << c.scale;
    click(draw, move, ImGuiMouseButton_Left);
    EXPECT_EQ(app.editor.tool, kToolMove) << c.height << " " << c.scale;
  }
}

// Icons drawn below full size are smoothed so one-pixel lines survive;
// at 100 per cent and above every pixel stays sharp.
TEST_F(MainWindowTest, IconsBelowFullSizeAreSmoothed) {
  App app;
  for (float scale : {0.75f, 1.0f, 1.5f, 0.75f, 2.0f}) {
    ImGui::GetStyle().FontScaleMain = scale;
    frame([&] { drawTools(app); });
    for (int icon : {13, 4, 14, 15, 16})  // tool buttons and a brush
      EXPECT_EQ(app.icons[icon].smooth, scale < 1) << scale << " icon " << icon;
  }
}

// Where the toggles and the group on the right (graphics mode, zoom,
// insert indicator, help) do not fit on one row, the group moves to a
// second row and the bar grows; its help button stays clickable.
TEST_F(MainWindowTest, ToolbarKeepsZoomAndHelpInsideTheBar) {
  const struct {
    float width, scale;
    bool wraps;
  } kCases[] = {{1400, 1.0f, false}, {1400, 1.5f, false}, {1400, 2.0f, true}, {1000, 1.0f, false}, {800, 1.0f, true}};
  constexpr float kHelpFromGroup = 832 - 412 + 11;  // the middle of the button
  ImGuiIO& io = ImGui::GetIO();
  for (const auto& c : kCases) {
    App app;
    float s = 0;  // this font's scale: 13 pixels, not 12
    const auto draw = [&] {
      drawToolbar(app);
      s = Classic::Scale();
    };
    io.DisplaySize = ImVec2(c.width, 900);
    ImGui::GetStyle().FontScaleMain = c.scale * 12 / 13;
    frame(draw);
    frame(draw);
    SCOPED_TRACE(std::to_string(c.width) + " at " + std::to_string(c.scale));
    ImGuiWindow* w = ImGui::FindWindowByName("##toolbar");
    ASSERT_NE(w, nullptr);
    const ToolbarLayout l = toolbarLayout(c.width / s);
    EXPECT_EQ(l.groupY > 8, c.wraps);
    EXPECT_NEAR(w->Size.y, l.height * s, 1);
    EXPECT_LE(w->ContentSize.x, w->Size.x);
    EXPECT_LE(w->ContentSize.y, w->Size.y);
    const ImVec2 help(w->Pos.x + (l.groupX + kHelpFromGroup) * s, w->Pos.y + (l.groupY + 11) * s);
    click(draw, help, ImGuiMouseButton_Left);
    EXPECT_TRUE(app.showHelp);
  }
}

// At 100, 150 and 200 per cent, at their default sizes and (`docks`) in the
// default layout's right-hand column, rows wrap; cells and panes hold their
// widest lines (docked, a pane may scroll across); taller content scrolls.
// Undocked, a window opens whole inside the program's window.
TEST_F(MainWindowTest, WindowsKeepTheirControlsWithinTheirDefaultWidth) {
  const ImVec2 kWindow(1400, 900);  // the program's window at start
  const ImVec2 kDocked(kWindow.x * 0.3f, 400);
  const struct {
    const char* name;
    void (*draw)(App&);
    bool docks;
    void (*setUp)(App&) = nullptr;
  } kCases[] = {
      {"###Processor", drawProcessor, true, [](App& app) {
         app.cpu.stopped = true;
         app.cpu.stopReason = kStopTopRts;
         app.machine.ram[kDefaultViewTop] = 0xB9;  // C000 B9 00 C0  LDA $C000,Y: the widest line
         app.machine.ram[kDefaultViewTop + 2] = 0xC0;
         app.cpu.sp = 0x80;  // a deep stack: its pane scrolls
       }},
      {"Sprite editor", drawSpriteEditor, false},
      {"Sprite editor", drawSpriteEditor, false, [](App& app) { app.machine.vicRegs[kRegSpriteMulti] = 0xFF; }},
      {"Character set", drawCharsetView, false},
      {"Sprites", drawSpriteView, true},
      {"Monitor", drawMonitor, true},
      {"Assembler", drawAssembler, true},
      {"##tools", [](App& app) { drawMainMenu(app); drawToolbar(app); drawStatusBar(app); drawTools(app); }, false},
      {"Mount disk", drawMountDisk, false, [](App& app) {
         // A writable image with a file: every row of controls shows.
         const std::string path = Platform::g_configDir + "/scale.d64";
         disktest::writeBytes(path, DiskDrive::blankD64("SCALE", "01"));
         ASSERT_TRUE(mountImageOn(app.drives, kDriveCount, 0, path));
         ASSERT_FALSE(saveToDisk(app.machine, app.drives[0], "PICTURE", kDefaultSaveStart, kDefaultSaveEnd));
       }},
      {"Registers", drawRegisterView, true},
      {"###Second view", drawSecondView, true},
      {"Memory bitmap", drawBitmapMemView, true},
      {"###Character editor", drawCharEditor, true},
      {"Calc converter", drawCalcConverter, false},
      {"Preferences", drawPreferences, false},
      {"About Tilvox", drawAbout, false},
      {"Tilvox Help", drawHelp, false},
      {"Import charset from font", drawImportCharset, false,  // a character set at $3000, in RAM in bank 0
       [](App& app) { app.machine.vicRegs[kRegMemPtr] = 0x1C; }},
      {"Import PC image", drawImportPicture, false, [](App& app) { app.showImportPicture = true; }},
      {"Convert bitmap to charset", drawCharsetConverter, false},
      {"Save sprites", drawSaveSpritesDialog, false, [](App& app) { app.saveSpritesOpen = true; }},
      {"Clear##dlg", drawStatusBar, false, [](App&) { g_clearOpen = true; }},
      {"Error##popup", drawPopups, false,  // a path wider than any window
       [](App& app) { app.message("Error", "Could not read /" + std::string(300, 'x') + ".d64: read error"); }},
      {"##filedialog", [](App&) { FileIO::draw(); }, false, [](App&) {
         FileIO::open("Import PC image", {{"Images (*.png;*.jpg;*.bmp;*.gif;*.tga)", {"png", "jpg"}}, {"All files", {}}},
                      nullptr);
         FileIO::g_dlg.dir = Platform::g_configDir;  // no listed name wider than the dialog
       }},
  };
  for (const auto& c : kCases) {
    for (const bool docked : {false, c.docks}) {
      for (float scale : {1.0f, 1.5f, 2.0f}) {
        const ImGuiFrames fresh(0, kWindow);  // every window new, at its first-use size
        ImGuiContext& g = *ImGui::GetCurrentContext();
        App app;
        if (c.setUp) c.setUp(app);
        ImGui::GetStyle().FontScaleMain = scale;
        frame([&] { c.draw(app); });
        if (docked) ImGui::SetWindowSize(c.name, kDocked);
        for (int i = 0; i < 3; ++i) frame([&] { c.draw(app); });
        ImGuiWindow* w = ImGui::FindWindowByName(c.name);
        ASSERT_NE(w, nullptr);
        const std::string at = std::string(docked ? " docked" : "") + " at " + std::to_string(scale);
        EXPECT_TRUE(ImRect(ImVec2(0, 0), kWindow).Contains(w->Rect()))
            << c.name << at << ": " << w->Size.x << " x " << w->Size.y;
        // Panes scrolled out of sight are not laid out: the top, then the bottom.
        for (const float scroll : {0.0f, 1e6f}) {
          ImGui::SetScrollY(w, scroll);
          for (int i = 0; i < 2; ++i) frame([&] { c.draw(app); });
          for (const ImGuiWindow* v : g.Windows) {
            if (v != w && v->ParentWindow != w) continue;
            // A multiline text field scrolls its own text.
            if (std::string_view(v->Name).find("##src") != std::string_view::npos) continue;
            const ImVec2 region = v->ContentRegionRect.GetSize();
            EXPECT_TRUE(v->ContentSize.x <= region.x + 0.5f || (docked && v != w && v->ScrollbarX))
                << v->Name << at << ": " << v->ContentSize.x << " in " << region.x;
            EXPECT_TRUE(v->ContentSize.y <= region.y + 0.5f || v->ScrollbarY)
                << v->Name << at << ": " << v->ContentSize.y << " in " << region.y;
          }
        }
        for (int i = 0; i < g.Tables.GetMapSize(); ++i) {
          const ImGuiTable* t = g.Tables.TryGetMapData(i);
          if (!t || t->OuterWindow != w) continue;
          for (const ImGuiTableColumn& col : t->Columns)
            EXPECT_LE(col.ContentMaxXUnfrozen, col.WorkMaxX + 0.5f) << "a cell of " << c.name << at;
        }
      }
    }
  }
  FileIO::g_dlg.isOpen = false;
}

// In a 1400-pixel window the status bar's panels take a second row where
// one cannot hold them (this font is wider than the program's).
TEST_F(MainWindowTest, StatusBarKeepsItsPanelsInsideTheBar) {
  for (float scale : {1.0f, 1.5f, 2.0f}) {
    ImGui::GetStyle().FontScaleMain = scale;
    StatusBarLayout l{};
    frame([&] { l = statusBarLayout(1400, Classic::Scale(), [](const char* t) { return ImGui::CalcTextSize(t).x; }); });
    EXPECT_EQ(l.rows, scale > 1 ? 2 : 1) << scale;
    for (int i = 0; i < kStatusPanelCount; ++i) EXPECT_LE(l.x[i] + l.width[i], 1400) << i << " at " << scale;
  }
}

// The character grid starts at the top of its area beside the palette, as
// large as the free space allows.
TEST(CharsetGridAreaTest, GridStartsAtTheTopAtItsLargest) {
  const ImVec2 at(100, 50);
  for (const ImVec2 avail : {ImVec2(500, 210), ImVec2(500, 400), ImVec2(300, 60), ImVec2(20, 300)}) {
    ImVec2 tl, br, fullTl, fullBr;
    int scale = 0;
    Widgets::FitRect(kCharsetCanvasWidth, kCharsetCanvasHeight, CharsetGridArea(avail), at, false, tl, br, scale);
    Widgets::FitRect(kCharsetCanvasWidth, kCharsetCanvasHeight, avail, at, false, fullTl, fullBr, scale);
    EXPECT_FLOAT_EQ(tl.y, at.y) << avail.x << "x" << avail.y;
    EXPECT_FLOAT_EQ(tl.x, fullTl.x) << avail.x << "x" << avail.y;
    EXPECT_FLOAT_EQ(br.x - tl.x, fullBr.x - fullTl.x) << avail.x << "x" << avail.y;
  }
}

}  // namespace
