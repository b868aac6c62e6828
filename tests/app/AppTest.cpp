// The application object: the settings file (exact text, mending rules),
// the zoom that keeps a point in place, and the pop-up queue as the user
// sees it, drawn in a window-less Dear ImGui context.
#include "app/App.h"
#include "platform/Platform.h"

#include "tests/app/AppTestUtil.h"

#include <gtest/gtest.h>

#include <imgui.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class AppTest : public ScratchConfigTest {
protected:
  AppTest() : ScratchConfigTest("app") {}
  void SetUp() override {
    ScratchConfigTest::SetUp();
  }
};

const char* const kWindowLines =
    "win.secondView=0\nwin.sprites=0\nwin.spriteEditor=0\nwin.registers=0\nwin.monitor=0\nwin.charset=0\n"
    "win.charEditor=0\nwin.processor=0\nwin.assembler=0\nwin.bitmapMem=0\nwin.calc=0\nwin.mountDisk=0\n";

// The "Tilvox" preset, the default of the custom colours.
const uint32_t kTilvoxColors[16] = {0x000000, 0xFFFFFF, 0x894036, 0x7ABFC7, 0x8A46AE, 0x68A941, 0x3E31A2, 0xD0DC71,
                                    0x905F25, 0x5C4700, 0xBB776D, 0x555555, 0x808080, 0xACEA88, 0x7C70DA, 0xABABAB};

std::string defaultSettings() {
  std::string s = "ShowGrid=0\nGridColor=0\nShowActiveChar=1\nDontReplaceColors=0\nPalette=0\nZoom=2\nUiScale=1\n";
  for (int i = 0; i < 16; ++i) {
    s += "Custom_" + std::to_string(i) + "_R=" + std::to_string(kTilvoxColors[i] >> 16) + "\n";
    s += "Custom_" + std::to_string(i) + "_G=" + std::to_string((kTilvoxColors[i] >> 8) & 255) + "\n";
    s += "Custom_" + std::to_string(i) + "_B=" + std::to_string(kTilvoxColors[i] & 255) + "\n";
  }
  return s + kWindowLines;
}


}  // namespace

TEST_F(AppTest, ConstructionGivesDefaultsAndTheAssemblerText) {
  App app;
  EXPECT_EQ(app.settingsText(), defaultSettings());
  EXPECT_EQ(app.assemblerSource.size(), 75u);
  EXPECT_EQ(app.assemblerSource,
            "; Tilvox assembler\n*=$C000\n\nstart   LDA #$00\n        STA $D020\n        RTS\n");
  EXPECT_EQ(app.zoom, 2);
  EXPECT_EQ(app.machine.pen, 14);
  EXPECT_EQ(app.currentSprite, app.machine.ram[app.machine.spritePtrAddr()]);
  EXPECT_TRUE(app.undo.undoItems.empty());
  EXPECT_TRUE(app.popups.empty());
  EXPECT_EQ(app.editor.cursorX, 0);
  EXPECT_EQ(app.editor.cursorY, 6);
  EXPECT_TRUE(app.editor.undoPending);
  EXPECT_FALSE(app.editor.pix.fixedColors);
  for (const DiskDrive& d : app.drives) EXPECT_EQ(d.mode, DriveMode::None);
}

TEST_F(AppTest, SettingsAreReadFromTheConfigurationDirectory) {
  Platform::saveText("tilvox.ini", "ShowGrid=1\nwin.monitor=1\nwin.calc=7\nZoom=5\nUiScale=1.25\n");
  App app;
  EXPECT_TRUE(app.showGrid);
  EXPECT_TRUE(app.showMonitor);
  EXPECT_TRUE(app.showCalc);
  EXPECT_EQ(app.zoom, 5);
  EXPECT_FLOAT_EQ(app.uiScale, 1.25f);
  app.saveSettings();
  const std::string text = Platform::loadText("tilvox.ini");
  EXPECT_NE(text.find("ShowGrid=1\n"), std::string::npos);
  EXPECT_NE(text.find("Zoom=5\nUiScale=1.25\n"), std::string::npos);
  EXPECT_NE(text.find("win.monitor=1\n"), std::string::npos);
}

TEST_F(AppTest, OutOfRangeValuesAreMended) {
  App app;
  app.applySettings("Zoom=30\nGridColor=18\nUiScale=0.4\n");
  EXPECT_EQ(app.zoom, 2);
  EXPECT_EQ(app.zoomSetting, 30);
  EXPECT_EQ(app.gridColor, 2);
  EXPECT_FLOAT_EQ(app.uiScale, 1.0f);
  // The file holds the zoom in force, not the one read.
  EXPECT_NE(app.settingsText().find("\nZoom=2\n"), std::string::npos);

  app.applySettings("Zoom=24\nUiScale=3.5\n");
  EXPECT_EQ(app.zoom, 24);
  EXPECT_FLOAT_EQ(app.uiScale, 1.0f);
  app.applySettings("UiScale=3\nZoom=0\n");
  EXPECT_FLOAT_EQ(app.uiScale, 3.0f);
  EXPECT_EQ(app.zoom, 2);
  app.applySettings("UiScale=nonsense\n");
  EXPECT_FLOAT_EQ(app.uiScale, 1.0f);
}

TEST_F(AppTest, LinesAreParsedExactly) {
  App app;
  // A blank before "=" makes another key; a line without "=" is skipped;
  // the later of two lines wins; integers stop at the first non-digit.
  app.applySettings("ShowGrid =1\nShowActiveChar\nGridColor=3\nGridColor=  -2x\nshowgrid=1\nZoom=7abc\n");
  EXPECT_FALSE(app.showGrid);
  EXPECT_TRUE(app.showActiveChar);
  EXPECT_EQ(app.gridColor, -2 & 15);
  EXPECT_EQ(app.zoom, 7);
  app.applySettings("DontReplaceColors=1\n");
  EXPECT_TRUE(app.editor.pix.fixedColors);
  app.applySettings("DontReplaceColors=x\nShowActiveChar=0\nwin.registers=-1");
  EXPECT_FALSE(app.dontReplaceColors);
  EXPECT_FALSE(app.editor.pix.fixedColors);
  EXPECT_FALSE(app.showActiveChar);
  EXPECT_TRUE(app.showRegisters);
}

TEST_F(AppTest, CustomColoursAndThePalettePreset) {
  App app;
  app.applySettings("Custom_16_R=1\nCustom_-1_G=2\nCustom_3_X=77\nCustom_3_R=300\nCustom_15_G=-1\nPalette=11\n");
  EXPECT_EQ(app.palette.custom[3][2], 77);
  EXPECT_EQ(app.palette.custom[3][0], 300 & 255);
  EXPECT_EQ(app.palette.custom[3][1], 0xBF);
  EXPECT_EQ(app.palette.custom[15][1], 255);
  EXPECT_EQ(app.palette.custom[0][0], 0);
  // An unknown preset shows preset 0, and the file written back says so.
  EXPECT_EQ(app.paletteIndex, 0);
  EXPECT_EQ(app.palette.index, 0);
  EXPECT_NE(app.settingsText().find("\nPalette=0\n"), std::string::npos);
  for (const char* line : {"Palette=99\n", "Palette=-1\n"}) {
    app.applySettings("Palette=4\n");
    app.applySettings(line);
    EXPECT_EQ(app.paletteIndex, 0) << line;
    EXPECT_EQ(app.palette.index, 0) << line;
  }
  EXPECT_NE(app.settingsText().find("Custom_3_R=44\nCustom_3_G=191\nCustom_3_B=77\n"), std::string::npos);

  app.applySettings("Palette=10\n");
  EXPECT_EQ(app.palette.index, 10);
  EXPECT_EQ(app.palette.rgb[3][2], 77);
  app.setPalette(4);
  EXPECT_EQ(app.paletteIndex, 4);
  EXPECT_NE(Platform::loadText("tilvox.ini").find("\nPalette=4\n"), std::string::npos);
  app.setPalette(-3);
  EXPECT_EQ(app.paletteIndex, 0);
  EXPECT_EQ(app.palette.rgb[1][0], 255);
}

TEST_F(AppTest, ZoomKeepsTheAnchorInPlace) {
  App app;
  app.viewPos = ImVec2(100, 50);
  app.viewSize = ImVec2(200, 100);
  // Same zoom: nothing changes.
  EXPECT_EQ(app.setZoom(2, -1, -1), 2);
  EXPECT_EQ(app.pendingScroll.x, -1.0f);

  // Centre anchor (200, 100) at zoom 4: visible 100x50, fraction 0.5.
  EXPECT_EQ(app.setZoom(4, -1, -1), 4);
  EXPECT_EQ(app.zoom, 4);
  EXPECT_EQ(app.zoomSetting, 4);
  EXPECT_FLOAT_EQ(app.pendingScroll.x, (200 - 50) * 4.0f);
  EXPECT_FLOAT_EQ(app.pendingScroll.y, (100 - 25) * 4.0f);

  // Anchor at the left quarter, zoom clamped to 24.
  app.viewPos = ImVec2(0, 0);
  app.viewSize = ImVec2(80, 40);
  EXPECT_EQ(app.setZoom(99, 20, 10), 24);
  const float vis = 80.0f * 4 / 24;
  EXPECT_FLOAT_EQ(app.pendingScroll.x, (20 - vis * 0.25f) * 24);
  EXPECT_EQ(app.setZoom(-5, -1, -1), 1);

  // No visible area yet: the fraction is one half.
  app.viewSize = ImVec2(0, 0);
  app.viewPos = ImVec2(10, 10);
  EXPECT_EQ(app.setZoom(3, 30, -1), 3);
  EXPECT_FLOAT_EQ(app.pendingScroll.x, 30.0f * 3);
  EXPECT_FLOAT_EQ(app.pendingScroll.y, 10.0f * 3);
}

TEST_F(AppTest, NewProjectAndAfterLoadEmptyTheHistory) {
  App app;
  app.undo.TakeUndo(UndoKind::All, "drawing");
  app.machine.ram[app.machine.spritePtrAddr()] = 0x80;
  const int generation = app.documentGeneration;
  app.afterLoad();
  EXPECT_EQ(app.documentGeneration, generation + 1);  // windows holding on to the old document let go
  EXPECT_TRUE(app.undo.undoItems.empty());
  EXPECT_EQ(app.currentSprite, 0x80);
  app.undo.TakeUndo(UndoKind::All, "drawing");
  app.editor.cursorX = 12;
  app.editor.cursorY = 20;
  app.editor.undoPending = false;
  app.newProject();
  EXPECT_EQ(app.documentGeneration, generation + 2);
  EXPECT_EQ(app.editor.cursorX, 0);
  EXPECT_EQ(app.editor.cursorY, 6);
  EXPECT_TRUE(app.editor.undoPending);
  EXPECT_TRUE(app.undo.undoItems.empty());
  EXPECT_EQ(app.currentSprite, app.machine.ram[app.machine.spritePtrAddr()]);
}

namespace {

// A Dear ImGui context without a window: frames of a fixed size, keys fed
// by hand.
class HeadlessUi {
public:
  HeadlessUi() {
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(800, 600);
    io.DeltaTime = 1.0f / 60;
    io.BackendFlags |= ImGuiBackendFlags_RendererHasTextures;
  }
  ~HeadlessUi() { ImGui::DestroyContext(); }
  // One frame of the loop's pop-up drawing, with a key pressed in it.
  void frame(App& app, ImGuiKey key = ImGuiKey_None) {
    ImGuiIO& io = ImGui::GetIO();
    if (key != ImGuiKey_None) io.AddKeyEvent(key, true);
    ImGui::NewFrame();
    drawPopups(app);
    ImGui::EndFrame();
    if (key != ImGuiKey_None) io.AddKeyEvent(key, false);
  }
  // A frame that also asks whether a pop-up is open at the loop's level.
  bool isOpen(App& app, const char* id) {
    ImGui::NewFrame();
    drawPopups(app);
    const bool open = ImGui::IsPopupOpen(id);
    ImGui::EndFrame();
    return open;
  }
};

}  // namespace

TEST_F(AppTest, QueuedQuestionsShowOneAfterAnother) {
  App app;
  HeadlessUi ui;
  std::vector<std::string> log;
  app.confirm("First", "one?", [&] {
    // The answered pop-up is gone when its action runs.
    log.push_back("yes1 queue=" + std::to_string(app.popups.size()));
    app.message("Done", "text");
  });
  app.confirm("Second", "two?", [&] { log.push_back("yes2"); });
  ui.frame(app);
  EXPECT_TRUE(ui.isOpen(app, "First##popup"));
  EXPECT_FALSE(ui.isOpen(app, "Second##popup"));
  ui.frame(app, ImGuiKey_Enter);
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0], "yes1 queue=1");
  ASSERT_EQ(app.popups.size(), 2u);
  EXPECT_EQ(app.popups[0].title, "Second");
  EXPECT_EQ(app.popups[1].title, "Done");
  EXPECT_FALSE(app.popups[1].isConfirm);
  ui.frame(app);
  // Escape answers No: the action does not run.
  ui.frame(app, ImGuiKey_Escape);
  EXPECT_EQ(log.size(), 1u);
  ASSERT_EQ(app.popups.size(), 1u);
  ui.frame(app);
  EXPECT_TRUE(ui.isOpen(app, "Done##popup"));
  ui.frame(app, ImGuiKey_Escape);
  EXPECT_TRUE(app.popups.empty());
}
