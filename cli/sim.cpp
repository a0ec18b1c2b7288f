#include "cli/sim.h"

#include "assembly/intel_hex.h"
#include "boards/board.h"
#include "boards/key_script.h"
#include "cli/asm.h"
#include "cli/command_line.h"
#include "cli/sim_options.h"
#include "cli/state_json.h"
#include "cli/syntax.h"
#include "simulate/step.h"
#include "simulate/trace.h"
#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace cli {

namespace {

constexpr std::string_view kProgram = "brindlewick-sim";
constexpr std::uint64_t kDefaultCycles = 10'000'000;

// The program's image: read, and assembled first unless it is an image. A source in the
// macro-assembler syntax that chooses the 4040 runs on one, unless the command line or the board
// chose the 4004. Returns the exit status of a failure.
std::variant<std::vector<std::uint8_t>, int> LoadProgram(SimulatorRun& run, std::istream& in,
                                                         std::ostream& err) {
  auto input = ReadInput(kProgram, run.program, in, err);
  if (const int* status = std::get_if<int>(&input)) {
    return *status;
  }
  const std::string& bytes = std::get<std::string>(input);
  if (assembly::HasIntelHexName(run.program)) {
    // Published firmware often comes as Intel HEX: its records are loaded where they say.
    const assembly::HexImage hex =
        assembly::ReadIntelHex(bytes, simulate::kBanks * simulate::kBankSize);
    if (!hex.error.empty()) {
      err << kProgram << ": cannot read '" << run.program << "' as Intel HEX: " << hex.error
          << '\n';
      return kExitUsageOrFile;
    }
    err << kProgram << ": '" << run.program << "': the Intel HEX records fill "
        << assembly::FilledRanges(hex.filled) << '\n';
    return hex.bytes;
  }
  if (run.image) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  }
  if (ChooseSyntax(run.syntax, bytes) == Syntax::Asl) {
    asl::Outcome outcome = AssembleAsl(run.program, bytes, run.includeFolders, false);
    if (!ReportAsl(outcome, err)) {
      return kExitSourceError;
    }
    if (outcome.cpu4040 && run.cpu == simulate::Processor::I4004) {
      if (run.cpuChosen) {
        err << kProgram << ": '" << run.program
            << "' is written for the 4040 (cpu 4040), and this run has a 4004 (--cpu or the "
               "board)\n";
        return kExitUsageOrFile;
      }
      run.cpu = simulate::Processor::I4040;
    }
    return std::move(outcome.image);
  }
  translate::LoadMnemonicTable();
  const auto store = std::make_unique<assembly::ProgramStore>();
  Assembled assembled = AssembleFileBytes(*store, bytes);
  if (!assembled.outcome.Completed()) {
    ReportSourceError(InputName(run.program), assembled.outcome, err);
    return kExitSourceError;
  }
  return std::move(assembled.image);
}

// Writes what comes out of the board: decoded serial characters as they are, with broken ones
// reported, and the lines of paper. Watches for the text a run waits for.
class OutputWriter {
public:
  OutputWriter(std::ostream& out, std::ostream& err, std::optional<std::string> until)
      : out_(out), err_(err), until_(std::move(until)) {}

  // Writes `output`. Returns true when the awaited text has come.
  bool Write(const boards::Board::Output& output) {
    for (const simulate::SerialCharacter& character : output.serial) {
      if (character.framingError || character.parityError) {
        err_ << kProgram << ": serial " << (character.framingError ? "framing" : "parity")
             << " error at cycle " << character.cycle << " (the character read "
             << static_cast<unsigned>(character.value) << ")\n";
        continue;
      }
      out_.put(static_cast<char>(character.value));
      text_.push_back(static_cast<char>(character.value));
    }
    for (const boards::PaperText& line : output.paper) {
      out_ << line.text << '\n';
    }
    out_.flush();
    return until_ && text_.find(*until_) != std::string::npos;
  }

  // At the end of the run: the line still in the printer, if anything is printed on it.
  void WritePrinting(const boards::Board& board) {
    if (const boards::PaperText printing = board.PrintingLine(); !printing.text.empty()) {
      out_ << printing.text << '\n';
    }
    out_.flush();
  }

private:
  std::ostream& out_;
  std::ostream& err_;
  std::optional<std::string> until_;
  std::string text_;
};

// The keys of a run, and when it may end after them: once the printer has been still for a while
// after the last key, and at the latest some time after a key was let go.
struct Keys {
  boards::KeyPacer pacer;
  std::uint64_t stillFor = 0;
  std::uint64_t deadline = 0; // after the last key's release
};

// A run at work: the machine on its board, and where its output goes.
class SimulatorLoop {
public:
  SimulatorLoop(const SimulatorRun& run, simulate::Machine& machine, boards::Board& board,
                std::optional<Keys> keys, std::ostream& out, std::ostream& err)
      : run_(run), machine_(machine), board_(board), keys_(std::move(keys)), out_(out), err_(err),
        // Serial output and paper share standard output with nothing else, unless the state or
        // a trace goes there.
        writer_(run.state || run.trace ? err : out, err, run.untilOutput) {
    stopOptions_ = run.cycles || run.until >= 0 || run.untilOutput;
    limits_.cycleLimit =
        run.cycles.value_or(keys ? std::numeric_limits<std::uint64_t>::max() : kDefaultCycles);
    limits_.until = run.until;
    limits_.endAtHalt = !stopOptions_ && run.cpu == simulate::Processor::I4040;
    limits_.pause = &board.OutputWaiting();
  }

  // Runs to the end; returns the exit status.
  int Run() {
    int status = kExitSuccess;
    for (;;) {
      const simulate::RunOutcome outcome = RunSlice();
      const bool more =
          outcome.end == simulate::RunEnd::CycleLimit && machine_.cycles < limits_.cycleLimit;
      if (writer_.Write(board_.TakeOutput(machine_.cycles))) {
        break; // the awaited output has come
      }
      if (keys_ && outcome.end != simulate::RunEnd::Stopped) {
        keys_->pacer.Advance(board_, machine_.cycles);
        const simulate::DrumPrinter* printer = board_.Printer();
        const std::uint64_t lastActivity =
            std::max(keys_->pacer.LastRelease(), printer != nullptr ? printer->LastActivity() : 0);
        if (!keys_->pacer.Waiting() && machine_.cycles >= lastActivity + keys_->stillFor) {
          break; // the keys are done and the printer is still
        }
        if (machine_.cycles >= keys_->pacer.LastRelease() + keys_->deadline) {
          if (keys_->pacer.Waiting()) {
            err_ << kProgram << ": the printer was still printing 30 s after a key; "
                 << keys_->pacer.Remaining() << " key(s) were not pressed\n";
          } else {
            err_ << kProgram << ": the printer was still printing 30 s after the last key\n";
          }
          status = kExitRunFailed;
          break;
        }
      }
      if (more || outcome.end == simulate::RunEnd::Paused) {
        continue;
      }
      status = Ended(outcome);
      break;
    }
    writer_.WritePrinting(board_);
    if (run_.state) {
      out_ << StateJson(machine_, board_.TestLevel(machine_.cycles)) << '\n';
    }
    out_.flush();
    return status;
  }

private:
  // Runs until a limit, a pause for output, or (with keys) a tenth of a second; with a trace,
  // one step, written as it runs.
  simulate::RunOutcome RunSlice() {
    simulate::RunLimits slice = limits_;
    if (keys_) {
      // Looks at the printer every tenth of a second, and stops where the next key is due.
      const auto tenth = static_cast<std::uint64_t>(board_.CyclesPerSecond() / 10);
      slice.cycleLimit = std::min(limits_.cycleLimit, machine_.cycles + tenth + 1);
      if (const auto due = keys_->pacer.Advance(board_, machine_.cycles)) {
        slice.cycleLimit = std::min(slice.cycleLimit, std::max(*due, machine_.cycles + 1));
      }
    }
    if (!run_.trace) {
      return simulate::Run(machine_, board_, slice);
    }
    const simulate::Machine before = machine_;
    slice.cycleLimit = std::min(slice.cycleLimit, machine_.cycles + 1);
    const simulate::RunOutcome outcome = simulate::Run(machine_, board_, slice);
    if (machine_.cycles != before.cycles) {
      out_ << simulate::TraceLine(before, machine_, outcome.last) << '\n';
    }
    return outcome;
  }

  // The exit status of a run that ended on its own, with what went wrong said on `err`.
  int Ended(const simulate::RunOutcome& outcome) {
    if (outcome.end == simulate::RunEnd::Stopped) {
      err_ << kProgram << ": stopped at "
           << translate::FormatAddress(static_cast<std::int16_t>(outcome.last.address)) << ": "
           << simulate::Describe(outcome.last.stop, outcome.last, machine_.cpu) << '\n';
      return kExitRunFailed;
    }
    if (outcome.end == simulate::RunEnd::CycleLimit &&
        (!run_.cycles || run_.until >= 0 || run_.untilOutput)) {
      err_ << kProgram << ": no stop condition was met within " << limits_.cycleLimit << " cycles"
           << (stopOptions_ ? "" : " (--cycles, --until or --until-output set one)") << '\n';
      return kExitRunFailed;
    }
    return kExitSuccess;
  }

  const SimulatorRun& run_;
  simulate::Machine& machine_;
  boards::Board& board_;
  std::optional<Keys> keys_;
  std::ostream& out_;
  std::ostream& err_;
  OutputWriter writer_;
  simulate::RunLimits limits_;
  bool stopOptions_ = false;
};

} // namespace

int RunSimulator(std::span<const std::string> args, std::istream& in, std::ostream& out,
                 std::ostream& err) {
  const auto command = ReadSimulatorCommandLine(args, out, err);
  if (const int* status = std::get_if<int>(&command)) {
    return *status;
  }
  SimulatorRun run = std::get<SimulatorRun>(command);
  const auto loaded = LoadProgram(run, in, err);
  if (const int* status = std::get_if<int>(&loaded)) {
    return *status;
  }
  const auto machine = std::make_unique<simulate::Machine>(simulate::MakeMachine(run.cpu));
  if (const std::string problem = simulate::LoadImage(*machine, std::get<0>(loaded));
      !problem.empty()) {
    err << kProgram << ": cannot load '" << run.program << "': " << problem << '\n';
    return kExitUsageOrFile;
  }

  boards::Board board(run.board, run.clock);
  board.SetTest(run.test);
  for (const auto& [port, value] : run.romInputs) {
    board.SetRomInput(port, value);
  }
  board.SendInput(run.input);
  board.RequestInterruptEvery(run.interruptEvery);

  std::optional<Keys> keys;
  if (run.keys) {
    const boards::KeyScript script = boards::ParseKeys(*run.keys, board);
    if (!script.error.empty()) {
      err << kProgram << ": --keys: " << script.error << '\n';
      return kExitUsageOrFile;
    }
    const double cyclesPerMs = board.CyclesPerSecond() / 1000;
    keys.emplace(Keys{boards::KeyPacer(static_cast<std::uint64_t>(run.keyHoldMs * cyclesPerMs),
                                       static_cast<std::uint64_t>(run.keyReleaseMs * cyclesPerMs)),
                      static_cast<std::uint64_t>(2000 * cyclesPerMs),
                      static_cast<std::uint64_t>(30000 * cyclesPerMs)});
    keys->pacer.Queue(script.actions);
    keys->pacer.Advance(board, 0);
  }
  return SimulatorLoop(run, *machine, board, std::move(keys), out, err).Run();
}

} // namespace cli
