// A window-less Dear ImGui context for driving windows in tests: each frame
// draws what a callback submits; mouse and keys are fed by hand. Nothing is
// rendered, so no OpenGL is needed.
#pragma once

#include <imgui.h>

#include <functional>

class ImGuiFrames {
public:
  explicit ImGuiFrames(ImGuiConfigFlags flags = 0, ImVec2 display = ImVec2(1200, 900)) {
    ctx_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(ctx_);  // while it lives, also inside another one
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.DisplaySize = display;
    io.DeltaTime = 1.0f / 60;
    io.ConfigFlags |= flags;
    io.BackendFlags |= ImGuiBackendFlags_RendererHasTextures;
  }
  ~ImGuiFrames() { ImGui::DestroyContext(ctx_); ImGui::SetCurrentContext(prev_); }
  ImGuiFrames(const ImGuiFrames&) = delete;
  ImGuiFrames& operator=(const ImGuiFrames&) = delete;

  // One frame; `key`, unless none, is held down during it and released
  // for the next.
  void frame(const std::function<void()>& draw, ImGuiKey key = ImGuiKey_None) {
    ImGuiIO& io = ImGui::GetIO();
    if (key != ImGuiKey_None) io.AddKeyEvent(key, true);
    ImGui::NewFrame();
    draw();
    ImGui::EndFrame();
    if (key != ImGuiKey_None) io.AddKeyEvent(key, false);
  }
  // The mouse moves to `at` and, unless `button` is negative, presses
  // (down) or releases it, seen in one frame.
  void mouse(const std::function<void()>& draw, ImVec2 at, int button = -1, bool down = false) {
    ImGuiIO& io = ImGui::GetIO();
    io.AddMousePosEvent(at.x, at.y);
    if (button >= 0) io.AddMouseButtonEvent(button, down);
    frame(draw);
  }

private:
  ImGuiContext* prev_ = ImGui::GetCurrentContext();
  ImGuiContext* ctx_ = nullptr;
};
