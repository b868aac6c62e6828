// The source assembler on the largest source it is given: a realistic
// generated program and a dense one of one-byte instructions, each as
// large as the program accepts. A Compile runs within one frame, so both
// must stay far below 100 ms.
#include "bench/AsmSource.h"
#include "cpu/Assembler.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

void compile(benchmark::State& state, const std::string& source) {
  Machine machine;
  for (auto _ : state) {
    Assembler assembler(machine);
    if (!assembler.assemble(source)) {
      state.SkipWithError(assembler.messages.front().text.c_str());
      return;
    }
    benchmark::DoNotOptimize(assembler.finalAddr);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
  state.counters["lines"] = static_cast<double>(std::count(source.begin(), source.end(), '\n'));
}

void BM_AssembleRealisticAtTheBound(benchmark::State& state) {
  compile(state, asmsource::realistic(kAsmMaxSourceBytes));
}
BENCHMARK(BM_AssembleRealisticAtTheBound)->Unit(benchmark::kMillisecond);

void BM_AssembleDenseAtTheBound(benchmark::State& state) {
  compile(state, asmsource::dense(kAsmMaxSourceBytes));
}
BENCHMARK(BM_AssembleDenseAtTheBound)->Unit(benchmark::kMillisecond);

}  // namespace
