// The bars, the Screen window and their two dialogs driven in a window-less
// Dear ImGui context: keys and mouse clicks fed by hand, results read from
// the document and its history.
#include "app/App.h"
#include "app/MainWindow.h"
#include "app/ScreenEditor.h"
#include "app/Theme.h"
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <imgui.h>

#include <filesystem>
#include <functional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tilvox_mainwindow_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    Platform::g_configDir = dir_.string();
    Platform::g_assetDir = TILVOX_TEST_ASSET_DIR;
    // No OpenGL here: textures keep their pixels and never upload.
    Texture::releaseAll();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = ImVec2(1200, 900);
    io.DeltaTime = 1.0f / 60;
    io.BackendFlags |= ImGuiBackendFlags_RendererHasTextures;
  }
  void TearDown() override {
    ImGui::DestroyContext();
    fs::remove_all(dir_);
  }

  // One frame drawing `draw`, with a key held down during it.
  void frame(const std::function<void()>& draw, ImGuiKey key = ImGuiKey_None) {
    ImGuiIO& io = ImGui::GetIO();
    if (key != ImGuiKey_None) io.AddKeyEvent(key, true);
    ImGui::NewFrame();
    draw();
    ImGui::EndFrame();
    if (key != ImGuiKey_None) io.AddKeyEvent(key, false);
  }
  bool isOpen(const std::function<void()>& draw, const char* id) {
    ImGui::NewFrame();
    draw();
    const bool open = ImGui::IsPopupOpen(id);
    ImGui::EndFrame();
    return open;
  }

  fs::path dir_;
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

}  // namespace
