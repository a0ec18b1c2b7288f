// Whole processes: brindlewick-asm on a 1 MiB source, side by side with a minimal C program that
// only reads the same file and writes an image of the same length; and brindlewick-sim running
// the Busicom 141-PF firmware through "12+34+=" to the last line of paper; and brindlewick-asm
// on the single-board computer's monitor in the macro-assembler syntax.
#include "programs.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Runs a program to its end, its standard output going nowhere, and returns its wall time in
// seconds, or a negative number when it did not exit with status 0.
double RunProcess(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    return -1;
  }
  int status = 0;
  waitpid(child, &status, 0);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed.count() : -1;
}

void BM_CommandLineOnMebibyteSource(benchmark::State& state) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("brindlewick-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string source = (folder / "source.asm").string();
  const CommandLineSource program = MebibyteOfShortLines();
  std::ofstream(source, std::ios::binary) << program.text;
  const std::string imageLength = std::to_string(program.imageLength);

  double assemblerTotal = 0;
  double minimalTotal = 0;
  for (auto _ : state) {
    const double assembler =
        RunProcess({BRINDLEWICK_ASM, source, "-o", (folder / "image.bin").string()});
    const double minimal =
        RunProcess({MINIMAL_COPY, source, (folder / "copy.bin").string(), imageLength});
    if (assembler < 0 || minimal < 0) {
      state.SkipWithError("a program failed");
      break;
    }
    state.SetIterationTime(assembler);
    assemblerTotal += assembler;
    minimalTotal += minimal;
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["minimal_copy_ms"] = 1000 * minimalTotal / runs;
  state.counters["times_minimal"] = assemblerTotal / minimalTotal;
  state.counters["lines"] = static_cast<double>(program.lines);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CommandLineOnMebibyteSource)->UseManualTime()->Unit(benchmark::kMillisecond);

// The budget is half a second of wall time for about 3 s of simulated time.
void BM_CalculatorAddsTwoNumbers(benchmark::State& state) {
  const std::filesystem::path firmware = std::filesystem::path(BRINDLEWICK_SOURCE_DIR) / ".." /
                                         "shared" / "firmware" / "busicom141pf.bin";
  if (!std::filesystem::exists(firmware)) {
    state.SkipWithError("no firmware at ../shared/firmware");
    return;
  }
  for (auto _ : state) {
    const double seconds = RunProcess({BRINDLEWICK_SIM, "--image", firmware.string(), "--board",
                                       "busicom-141pf", "--keys", "12+34+="});
    if (seconds < 0) {
      state.SkipWithError("brindlewick-sim failed");
      break;
    }
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_CalculatorAddsTwoNumbers)->UseManualTime()->Unit(benchmark::kMillisecond);

// The budget is 5 ms for the whole process on the 4 KB monitor of the single-board computer,
// a source in the macro-assembler syntax of some 2,100 lines.
void BM_CommandLineOnMonitorInMacroAssemblerSyntax(benchmark::State& state) {
  const std::filesystem::path source = std::filesystem::path(BRINDLEWICK_SOURCE_DIR) / ".." /
                                       "shared" / "firmware" / "asl" / "sbc4004" / "firmware.asm";
  if (!std::filesystem::exists(source)) {
    state.SkipWithError("no firmware at ../shared/firmware/asl");
    return;
  }
  for (auto _ : state) {
    const double seconds =
        RunProcess({BRINDLEWICK_ASM, "--syntax", "asl", source.string(), "-o", "/dev/null"});
    if (seconds < 0) {
      state.SkipWithError("brindlewick-asm failed");
      break;
    }
    state.SetIterationTime(seconds);
  }
}
BENCHMARK(BM_CommandLineOnMonitorInMacroAssemblerSyntax)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
