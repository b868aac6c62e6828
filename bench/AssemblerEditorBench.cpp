// The Assembler window's source editor with a source as large as the
// program accepts: a frame in which one character is typed into it or
// taken out again, and an idle frame of the window with the editor not in
// use. Dear ImGui runs without a renderer here, so a frame is the window's
// own work: laying out and clipping the text.
#include "app/App.h"
#include "app/CpuWindows.h"
#include "bench/AsmSource.h"
#include "tests/app/ImGuiFrames.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

struct EditorFrames {
  ImGuiFrames ui;
  App app;
  EditorFrames() {
    // Each frame takes all of its input: a key released and a character
    // typed in one frame are not spread over two.
    ImGui::GetIO().ConfigInputTrickleEventQueue = false;
    app.showAssembler = true;
    app.assemblerSource = asmsource::realistic(kAsmMaxSourceBytes);
    for (int i = 0; i < 3; ++i) frame();
  }
  void frame(ImGuiKey key = ImGuiKey_None) {
    ui.frame([this] { drawAssembler(app); }, key);
  }
};

void BM_EditorKeystroke(benchmark::State& state) {
  EditorFrames f;
  // The editor takes the keyboard with its first line selected; the first
  // character replaces that line. The timed keystrokes type a character
  // and take it out again near the start, where each moves the whole text
  // behind it.
  g_jumpLine = 1;
  for (int i = 0; i < 3; ++i) f.frame();
  ImGui::GetIO().AddInputCharacter('x');
  f.frame();
  const std::string before = f.app.assemblerSource;
  bool typed = false;
  for (auto _ : state) {
    if (typed) {
      f.frame(ImGuiKey_Backspace);
    } else {
      ImGui::GetIO().AddInputCharacter('y');
      f.frame();
    }
    typed = !typed;
  }
  if (typed) f.frame(ImGuiKey_Backspace);
  if (f.app.assemblerSource != before) state.SkipWithError("the keystrokes did not reach the editor");
}
BENCHMARK(BM_EditorKeystroke)->Unit(benchmark::kMillisecond);

void BM_EditorIdleFrame(benchmark::State& state) {
  EditorFrames f;
  for (auto _ : state) f.frame();
}
BENCHMARK(BM_EditorIdleFrame)->Unit(benchmark::kMillisecond);

}  // namespace
