// Whole assembly runs (both passes and the listing) of programs that fill program memory.
#include "programs.h"

#include "assembly/assembler.h"
#include "translate/instruction_table.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

// Assembles `source` once per iteration into the same store, as the window does.
void AssembleRepeatedly(benchmark::State& state, const std::string& source) {
  translate::LoadMnemonicTable();
  auto store = std::make_unique<assembly::ProgramStore>();
  for (auto _ : state) {
    assembly::AssemblyOutcome outcome = assembly::Assemble(*store, source);
    if (!outcome.Completed()) {
      state.SkipWithError(outcome.Message.c_str());
      break;
    }
    benchmark::DoNotOptimize(outcome);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * source.size()));
}

// 4096 bytes in 2048 jumps to labels, and 4097 labels.
void BM_AssembleLargestProgram(benchmark::State& state) {
  AssembleRepeatedly(state, LargestProgram());
}
BENCHMARK(BM_AssembleLargestProgram)->Unit(benchmark::kMicrosecond);

void BM_AssembleOneByteProgram(benchmark::State& state) {
  AssembleRepeatedly(state, OneByteProgram());
}
BENCHMARK(BM_AssembleOneByteProgram)->Unit(benchmark::kMicrosecond);

// A 1 MiB source of long comment lines around the same program.
void BM_AssembleMebibyteSource(benchmark::State& state) {
  AssembleRepeatedly(state, MebibyteSource());
}
BENCHMARK(BM_AssembleMebibyteSource)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
