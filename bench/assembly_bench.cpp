// Whole assembly runs (both passes and the listing) of programs at the size limits.
#include "assembly/assembler.h"
#include "translate/instruction_table.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

// 2001 instructions, a label reference in every other one, and 1001 labels.
std::string MaximumProgram() {
  std::string source;
  int labels = 0;
  for (int i = 0; i < 2001; ++i) {
    if (i % 2 == 0 && labels < 1001) {
      source += "L" + std::to_string(labels++) + ":\r\n";
    }
    source += i % 2 == 0 ? "LDM 5\r\n" : "JUN L" + std::to_string((i * 7) % 1001) + "\r\n";
  }
  return source;
}

void BM_AssembleMaximumProgram(benchmark::State& state) {
  translate::LoadMnemonicTable();
  const std::string source = MaximumProgram();
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
BENCHMARK(BM_AssembleMaximumProgram)->Unit(benchmark::kMicrosecond);

// A 1 MiB source of long comment lines around the same program.
void BM_AssembleMebibyteSource(benchmark::State& state) {
  translate::LoadMnemonicTable();
  std::string source = MaximumProgram();
  const std::string comment = "; " + std::string(1000, '-') + "\r\n";
  while (source.size() < (1u << 20)) {
    source += comment;
  }
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
BENCHMARK(BM_AssembleMebibyteSource)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
