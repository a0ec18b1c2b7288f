// Simulated instruction cycles per second, without and with serial decoding.
#include "programs.h"

#include "assembly/assembler.h"
#include "boards/board.h"
#include "simulate/step.h"
#include "translate/instruction_table.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

// Sends "U" over and over on bit 0 of ROM port 0, 8 cycles a bit, so the decoder always works.
const char* const kSerialProgram = R"(
        FIM 7, 00
        SRC 7
AGAIN:
        CLB
        WRR
        LDM 1
        NOP
        NOP
        NOP
        NOP
        NOP
        NOP
        WRR
        JUN AGAIN
)";

simulate::Machine Load(const char* source) {
  translate::LoadMnemonicTable();
  auto store = std::make_unique<assembly::ProgramStore>();
  const assembly::AssemblyOutcome outcome = assembly::Assemble(*store, source);
  simulate::Machine machine = simulate::MakeMachine(simulate::Processor::I4004);
  if (outcome.Completed()) {
    (void)simulate::LoadImage(machine, assembly::BinaryImage(*store));
  }
  return machine;
}

// Runs a million cycles per iteration and reports the cycles per second.
void RunCycles(benchmark::State& state, simulate::Machine machine, boards::Board& board) {
  simulate::RunLimits limits;
  for (auto _ : state) {
    limits.cycleLimit = machine.cycles + 1'000'000;
    limits.pause = &board.OutputWaiting();
    for (;;) {
      const simulate::RunOutcome outcome = simulate::Run(machine, board, limits);
      if (outcome.end != simulate::RunEnd::Paused) {
        break;
      }
      (void)board.TakeOutput(machine.cycles);
    }
  }
  state.counters["cycles_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 1e6, benchmark::Counter::kIsRate);
}

void BM_SimulateWithoutSerial(benchmark::State& state) {
  boards::Board board(boards::BoardDescription{}, 740000);
  RunCycles(state, Load(kBusyProgram), board);
}
BENCHMARK(BM_SimulateWithoutSerial)->Unit(benchmark::kMillisecond);

void BM_SimulateWithSerialDecoding(benchmark::State& state) {
  boards::SerialLine serial;
  serial.baud = 9600; // 8 cycles a bit at 614.4 kHz
  serial.transmit = boards::OutputPin{boards::OutputPin::Kind::Rom, 0, 0, 0};
  boards::Board board(boards::SerialBoard(serial), 614400);
  RunCycles(state, Load(kSerialProgram), board);
}
BENCHMARK(BM_SimulateWithSerialDecoding)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
