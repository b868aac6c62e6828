// Loading a saved window layout at start-up: Dear ImGui's own load of n
// window sections, whose time grows with n squared (the reason for the
// section bound), and the bounds check before it on the largest file it
// still reads.
#include "app/LayoutFile.h"

#include <benchmark/benchmark.h>
#include <imgui.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

std::string windowSections(int64_t n) {
  std::string text;
  for (int64_t i = 0; i < n; ++i) text += "[Window][W" + std::to_string(i) + "]\nPos=0,0\nSize=400,300\nCollapsed=0\n\n";
  return text;
}

void BM_DearImGuiLoadsLayoutSections(benchmark::State& state) {
  const std::string text = windowSections(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    ImGuiContext* ctx = ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    state.ResumeTiming();
    ImGui::LoadIniSettingsFromMemory(text.c_str(), text.size());
    state.PauseTiming();
    ImGui::DestroyContext(ctx);
    state.ResumeTiming();
  }
  state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_DearImGuiLoadsLayoutSections)
    ->Arg(64)
    ->Arg(1024)
    ->Arg(kMaxLayoutSections)
    ->Arg(30000)
    ->Unit(benchmark::kMillisecond);

// A file of kMaxLayoutBytes: read, its sections counted, accepted.
void BM_ReadLayoutFileAtTheByteBound(benchmark::State& state) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tilvox_layout_bench_" + std::to_string(::getpid()) + ".ini");
  std::string text = "[Window][Screen]\n;";
  text += std::string(kMaxLayoutBytes - text.size() - 1, 'x') + "\n";
  std::ofstream(path, std::ios::binary) << text;
  std::string read;
  for (auto _ : state) {
    if (!readLayoutFile(path.string(), read).empty()) state.SkipWithError("the file was set aside");
    benchmark::DoNotOptimize(read.data());
  }
  std::filesystem::remove(path);
}
BENCHMARK(BM_ReadLayoutFileAtTheByteBound)->Unit(benchmark::kMillisecond);

}  // namespace
