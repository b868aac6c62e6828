// Speed of the 6502 interpreter (instructions per second on a tight loop
// and on a mix of every addressing mode) and of the source assembler on a
// generated 10,000-line source.
#include "cpu/Assembler.h"
#include "cpu/CPU6502.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kStepsPerIteration = 10000;

void runSteps(benchmark::State& state, const std::string& source) {
  Machine machine;
  Assembler assembler(machine);
  if (!assembler.assemble(source)) {
    state.SkipWithError(assembler.messages.front().text.c_str());
    return;
  }
  CPU6502 cpu(machine);
  cpu.pc = kAsmOrigin;
  for (auto _ : state) {
    for (int i = 0; i < kStepsPerIteration; ++i) cpu.step();
    if (cpu.stopped) {
      state.SkipWithError(cpu.stopReason.c_str());
      return;
    }
  }
  benchmark::DoNotOptimize(cpu.a);
  state.SetItemsProcessed(state.iterations() * kStepsPerIteration);
}

void BM_StepLoop(benchmark::State& state) {
  runSteps(state,
           "LOOP    INX\n"
           "        BNE LOOP\n"
           "        INY\n"
           "        JMP LOOP\n");
}
BENCHMARK(BM_StepLoop);

void BM_StepAddressingMix(benchmark::State& state) {
  runSteps(state,
           "PTR     = $FB\n"
           "        LDA #$00\n"
           "        STA PTR\n"
           "        LDA #$20\n"
           "        STA PTR+1\n"
           "        LDA #<START\n"
           "        STA $0300\n"
           "        LDA #>START\n"
           "        STA $0301\n"
           "START   LDX #$03\n"
           "        LDY #$05\n"
           "        LDA $10\n"
           "        ADC $10,X\n"
           "        LDX $20,Y\n"
           "        STA $2000\n"
           "        SBC $2000,X\n"
           "        ORA $2000,Y\n"
           "        EOR (PTR),Y\n"
           "        AND ($F8,X)\n"
           "        STA (PTR),Y\n"
           "        ASL A\n"
           "        ROL $2010,X\n"
           "        INC $30\n"
           "        DEC $31,X\n"
           "        BIT $D020\n"
           "        STA $D021\n"
           "        CMP #$40\n"
           "        CPX $40\n"
           "        CPY #$10\n"
           "        PHA\n"
           "        PLA\n"
           "        JSR SUB\n"
           "        SED\n"
           "        ADC #$19\n"
           "        CLD\n"
           "        TAX\n"
           "        TXA\n"
           "        BEQ SKIP\n"
           "        LSR $2020\n"
           "SKIP    CLC\n"
           "        BCC NEXT\n"
           "NEXT    JMP ($0300)\n"
           "SUB     ROR A\n"
           "        RTS\n");
}
BENCHMARK(BM_StepAddressingMix);

std::string generatedSource(int lines) {
  std::string s = "; generated\nBORDER = $D020\nPTR = $FB\n        *= $1000\n";
  char buf[512];
  for (int i = 0; i < lines / 10; ++i) {
    std::snprintf(buf, sizeof buf,
                  "L%d      LDA #<L%d ; comment %d\n"
                  "        STA PTR\n"
                  "        LDA (PTR),Y\n"
                  "        STA BORDER\n"
                  "        LDX L%d+2,Y\n"
                  "        DEX\n"
                  "        BNE L%d\n"
                  "        JSR L%d\n"
                  "        .BYTE 1, 2, $03, <L%d\n"
                  "        .WORD L%d, *+4\n",
                  i, i + 1, i, i, i, i + 1, i, i);
    s += buf;
  }
  std::snprintf(buf, sizeof buf, "L%d RTS\n", lines / 10);
  s += buf;
  return s;
}

void BM_AssembleSource(benchmark::State& state) {
  const std::string source = generatedSource(10000);
  Machine machine;
  for (auto _ : state) {
    Assembler assembler(machine);
    bool ok = assembler.assemble(source);
    if (!ok) {
      state.SkipWithError(assembler.messages.front().text.c_str());
      return;
    }
    benchmark::DoNotOptimize(assembler.finalAddr);
  }
  state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_AssembleSource)->Unit(benchmark::kMillisecond);

}  // namespace
