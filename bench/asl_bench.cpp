// The macro-assembler front end in the process: the 4 KB monitor of the single-board computer,
// read once, assembled again and again, to see where the time of the command line goes.
#include "asl_syntax/assembler.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

const std::filesystem::path kFolder =
    std::filesystem::path(BRINDLEWICK_SOURCE_DIR) / ".." / "shared" / "firmware" / "asl";

class Folder final : public asl::FileReader {
public:
  Text Read(const std::string& path) override {
    std::ifstream in(path, std::ios::binary);
    Text text;
    if (!in) {
      text.missing = true;
      return text;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    text.bytes = bytes.str();
    return text;
  }
};

void BM_MonitorInMacroAssemblerSyntax(benchmark::State& state) {
  const std::filesystem::path path = kFolder / "sbc4004" / "firmware.asm";
  Folder files;
  const Folder::Text text = files.Read(path.string());
  if (!text.bytes) {
    state.SkipWithError("no firmware at ../shared/firmware/asl");
    return;
  }
  asl::Request request{path.string(), *text.bytes, {}, &files, 0};
  int passes = 0;
  for (auto _ : state) {
    const asl::Outcome outcome = asl::Assemble(request);
    if (!outcome.ok) {
      state.SkipWithError("the monitor does not assemble");
      break;
    }
    passes = outcome.passes;
    benchmark::DoNotOptimize(outcome.image.data());
  }
  state.counters["passes"] = passes;
}
BENCHMARK(BM_MonitorInMacroAssemblerSyntax)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
