// The debugger's run control: steps and runs forward and back, breakpoints and watches, the
// trace, the stopwatch and the coverage.
#include "debugger/commands.h"
#include "debugger/views.h"

#include <algorithm>
#include <utility>

namespace debugger {

namespace {

// A full-speed run works in chunks of this many cycles between looks at the clock.
constexpr std::uint64_t kChunkCycles = 100'000;
// How long one slice of a full-speed run keeps the window's thread.
constexpr double kSliceSeconds = 0.026;

std::string Address(int address) { return AddressText(address); }

} // namespace

void DebuggerCommands::Step() {
  if (!session_.HasProgram()) {
    return;
  }
  Stop();
  const simulate::StepResult step = session_.Step();
  if (step.stop != simulate::Stop::None) {
    Ended(Halt::Stopped);
    return;
  }
  SetStatus(step.halted ? "The 4040 waits in HLT."
                        : "Next: " + Address(session_.NextAddress()) + ".");
}

void DebuggerCommands::StepOver() {
  if (!session_.HasProgram()) {
    return;
  }
  if (!session_.NextIsCall()) {
    Step();
    return;
  }
  // Runs the call to its return: the address after the JMS, with the stack as it is now.
  const int returnAddress = (simulate::ProgramCounter(session_.machine()) + 2) & 0xFFF;
  session_.SetTarget(returnAddress, session_.machine().pointer);
  // The JMS itself first, so that a breakpoint on it does not stop the run at once.
  session_.Step();
  StartRun();
}

void DebuggerCommands::StepOut() {
  if (!session_.HasProgram()) {
    return;
  }
  Stop();
  if (!session_.StepOut()) {
    SetStatus("The program is in no subroutine: nothing to step out of.");
    return;
  }
  StartRun();
}

void DebuggerCommands::WentBack(const std::string& what) {
  // The views mark what going back changed, against what they showed before it.
  if (session_.TakeRewound()) {
    terminal_.clear();
    terminalRewritten_ = true;
  }
  SetStatus(what);
}

void DebuggerCommands::StepBack() {
  if (!session_.HasProgram()) {
    return;
  }
  Stop();
  MarkShown();
  if (!session_.StepBack()) {
    SetStatus("The history starts here: there is nothing to go back to.");
    return;
  }
  WentBack("Back one instruction: next " + Address(session_.NextAddress()) + ".");
}

void DebuggerCommands::RunBackwards() {
  if (!session_.HasProgram()) {
    return;
  }
  Stop();
  MarkShown();
  const std::uint64_t from = session_.machine().cycles;
  const Halt halt = session_.RunBackwards();
  const std::string back = std::to_string(from - session_.machine().cycles) + " cycles back";
  WentBack(halt == Halt::Breakpoint ? "Ran backwards to the breakpoint at " +
                                          Address(session_.NextAddress()) + ", " + back + "."
                                    : "Ran backwards to the start of the history, " + back +
                                          ": no breakpoint or watch on the way.");
}

void DebuggerCommands::Run() {
  if (!session_.HasProgram() || running_) {
    return;
  }
  session_.ClearTarget();
  StartRun();
}

std::optional<int> DebuggerCommands::InstructionAtRow(int row) {
  if (!session_.HasProgram() || row < 0 ||
      static_cast<std::size_t>(row) >= session_.program().rows.size()) {
    return std::nullopt;
  }
  const int address = session_.program().rows[static_cast<std::size_t>(row)].address;
  if (address < 0) {
    SetStatus("That line holds no instruction.");
    return std::nullopt;
  }
  return address;
}

void DebuggerCommands::RunToRow(int row) {
  const std::optional<int> found = InstructionAtRow(row);
  if (!found) {
    return;
  }
  const int address = *found;
  Stop();
  session_.SetTarget(address);
  StartRun();
}

void DebuggerCommands::StartRun() {
  running_ = true;
  session_.BeginRun();
  runStartTime_ = services_.Now();
  runStartCycles_ = session_.machine().cycles;
  SetStatus(realSpeed_ ? "Running at the processor's speed..." : "Running...");
  Tick();
}

void DebuggerCommands::Stop() {
  if (running_) {
    running_ = false;
    session_.ClearTarget();
    SetStatus("Stopped at " + Address(session_.NextAddress()) + ".");
  }
}

void DebuggerCommands::Reset() {
  Stop();
  session_.Reset();
  *shown_ = session_.machine();
  terminal_.clear();
  ++resetVersion_;
  stopwatchStart_ = 0;
  SetStatus("Reset.");
}

void DebuggerCommands::Tick() {
  if (!running_) {
    return;
  }
  const double start = services_.Now();
  Halt halt = Halt::Budget;
  if (realSpeed_) {
    // As many cycles as the processor would have run since the run began, at most a tenth of a
    // second's worth at once.
    const double cyclesPerSecond = session_.clock() / 8;
    const auto due =
        runStartCycles_ + static_cast<std::uint64_t>((start - runStartTime_) * cyclesPerSecond);
    const std::uint64_t now = session_.machine().cycles;
    if (due > now) {
      halt = session_.Run(
          std::min<std::uint64_t>(due - now, static_cast<std::uint64_t>(cyclesPerSecond / 10)));
    }
  } else {
    do {
      halt = session_.Run(kChunkCycles);
    } while (halt == Halt::Budget && services_.Now() - start < kSliceSeconds);
  }
  terminal_ += session_.TakeOutput();
  if (halt != Halt::Budget) {
    Ended(halt);
  }
}

void DebuggerCommands::Ended(Halt halt) {
  running_ = false;
  const std::string at = Address(session_.NextAddress());
  switch (halt) {
  case Halt::Breakpoint:
    SetStatus("Stopped at the breakpoint at " + at + ".");
    break;
  case Halt::Target:
    SetStatus("Stopped at " + at + ".");
    break;
  case Halt::Halted:
    SetStatus("The 4040 halted at " + at + " with interrupts disabled.");
    break;
  case Halt::Stopped: {
    const simulate::StepResult& stop = session_.lastStop();
    const std::string text = "Stopped at " + Address(stop.address) + ": " +
                             simulate::Describe(stop.stop, stop, session_.cpu()) + ".";
    SetStatus(text);
    services_.ShowError(text);
    break;
  }
  case Halt::None:
  case Halt::Budget:
    break;
  }
}

bool DebuggerCommands::AddWatch(const std::string& text) {
  const std::string problem = session_.AddWatch(text);
  if (!problem.empty()) {
    services_.ShowError("Cannot add the breakpoint \"" + text + "\": " + problem + ".");
    return false;
  }
  SetStatus("Breakpoint added: " + text + ".");
  return true;
}

bool DebuggerCommands::SetWatchCondition(std::size_t index, const std::string& text) {
  const std::string problem = session_.SetWatchCondition(index, text);
  if (!problem.empty()) {
    services_.ShowError("Cannot use \"" + text + "\": " + problem + ".");
    return false;
  }
  return true;
}

void DebuggerCommands::RemoveWatch(std::size_t index) { session_.RemoveWatch(index); }

std::vector<std::string> DebuggerCommands::Trace(std::size_t count) {
  if (!session_.HasProgram() || running_) {
    return {};
  }
  return session_.Trace(count);
}

void DebuggerCommands::SaveTrace(std::size_t count) {
  const std::vector<std::string> lines = Trace(count);
  if (lines.empty()) {
    SetStatus("No instruction has run yet: the trace is empty.");
    return;
  }
  const auto path = services_.ChooseSaveFile("Save the trace", "trace.txt");
  if (!path) {
    return;
  }
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\n";
  }
  if (const auto problem = services_.WriteFile(*path, text)) {
    services_.ShowError("Cannot save the trace to \"" + *path + "\": " + *problem + ".");
    return;
  }
  SetStatus("The last " + std::to_string(lines.size()) + " instructions saved to \"" + *path +
            "\".");
}

void DebuggerCommands::ResetStopwatch() { stopwatchStart_ = session_.machine().cycles; }

std::uint64_t DebuggerCommands::StopwatchCycles() const {
  const std::uint64_t now = session_.machine().cycles;
  return now >= stopwatchStart_ ? now - stopwatchStart_ : 0;
}

void DebuggerCommands::ClearCoverage() {
  session_.ClearCoverage();
  SetStatus("Coverage cleared: lines are marked again as they run.");
}

void DebuggerCommands::ToggleBreakpointAtRow(int row) {
  const std::optional<int> found = InstructionAtRow(row);
  if (!found) {
    return;
  }
  const int address = *found;
  SetStatus(std::string(session_.ToggleBreakpoint(address) ? "Breakpoint set at "
                                                           : "Breakpoint removed at ") +
            Address(address) + ".");
}

} // namespace debugger
