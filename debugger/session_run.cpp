// The session's runs forward: steps, runs in slices with their stops at breakpoints, watches and
// targets, and the breakpoints and watches themselves.
#include "debugger/session.h"

#include "translate/instruction_table.h"

#include <algorithm>

namespace debugger {

std::optional<std::uint64_t> Session::AdvanceKeys() {
  const std::size_t waiting = state_.keys->Remaining();
  const std::optional<std::uint64_t> due =
      state_.keys->Advance(*state_.board, state_.machine.cycles);
  if (state_.keys->Remaining() != waiting) {
    // Going back never runs over a key going down: the history keeps the state after it.
    history_.Keep(state_, true);
  }
  return due;
}

simulate::StepResult Session::StepOnce() {
  AdvanceKeys();
  if (!state_.machine.halted) {
    executed_.set(static_cast<std::size_t>(NextAddress()));
  }
  const simulate::StepResult step = simulate::Step(state_.machine, *state_.board);
  CollectOutput();
  return step;
}

simulate::StepResult Session::Step() {
  KeepHistory();
  undo_.clear();
  const simulate::StepResult step = StepOnce();
  if (step.stop != simulate::Stop::None) {
    lastStop_ = step;
  }
  return step;
}

void Session::KeepHistory() {
  if (history_.Due(state_.machine.cycles)) {
    history_.Keep(state_, false);
  }
}

bool Session::HasValueOrIoWatch() const {
  return std::any_of(watches_.begin(), watches_.end(),
                     [](const Watch& watch) { return !watch.IsAddress(); });
}

bool Session::WatchHolds(const Watch& watch, const simulate::Machine& before,
                         bool afterStep) const {
  const simulate::Machine& now = state_.machine;
  bool hit = false;
  if (const int* address = std::get_if<int>(&watch.on)) {
    hit = !afterStep && !now.halted && *address == NextAddress();
  } else if (const IoTarget* io = std::get_if<IoTarget>(&watch.on)) {
    hit = !afterStep && IoHits(*io, now);
  } else {
    const ValueTarget& value = std::get<ValueTarget>(watch.on);
    const unsigned was = ValueOf(value, before);
    const unsigned is = ValueOf(value, now);
    hit = afterStep && (value.equals ? is == *value.equals && was != is : was != is);
  }
  return hit && (!watch.condition || watch.condition->Holds(now));
}

bool Session::StopsBefore(bool first) {
  if (first && !runStarting_) {
    // A run that goes on from where a slice of it ended stops at a breakpoint there.
    first = false;
  }
  if (first) {
    return false;
  }
  bool stop = false;
  for (Watch& watch : watches_) {
    if (watch.on.index() != 2 && WatchHolds(watch, state_.machine, false)) {
      stop = ++watch.hits > watch.skip || stop;
    }
  }
  return stop;
}

bool Session::StopsAfter(const simulate::Machine& before) {
  bool stop = false;
  for (Watch& watch : watches_) {
    if (watch.on.index() == 2 && WatchHolds(watch, before, true)) {
      stop = ++watch.hits > watch.skip || stop;
    }
  }
  return stop;
}

Halt Session::Run(std::uint64_t cycles) {
  const std::uint64_t end = state_.machine.cycles + cycles;
  undo_.clear();
  simulate::RunLimits limits;
  limits.until = targetAddress_;
  limits.breakpoints = &breakpoints_;
  limits.endAtHalt = true;
  limits.executed = &executed_;
  const bool stepwise = HasValueOrIoWatch();
  for (;;) {
    KeepHistory();
    if (stepwise) {
      // Watches on values and I/O look at every instruction.
      const bool first = runStarting_;
      if (StopsBefore(first)) {
        runStarting_ = false;
        return Halt::Breakpoint;
      }
      runStarting_ = false;
      if (static_cast<int>(simulate::ProgramCounter(state_.machine)) == targetAddress_ &&
          !state_.machine.halted &&
          (targetPointer_ < 0 || state_.machine.pointer == targetPointer_)) {
        targetAddress_ = -1;
        return Halt::Target;
      }
      if (state_.machine.cycles >= end) {
        return Halt::Budget;
      }
      const simulate::Machine before = state_.machine;
      const simulate::StepResult step = StepOnce();
      if (step.stop != simulate::Stop::None) {
        lastStop_ = step;
        return Halt::Stopped;
      }
      if (StopsAfter(before)) {
        return Halt::Breakpoint;
      }
      if (state_.machine.halted && !state_.machine.interruptsEnabled) {
        return Halt::Halted;
      }
      continue;
    }
    // Stops where the next key that is waiting is due, to press it, and where a copy for the
    // history is due.
    const std::optional<std::uint64_t> due = AdvanceKeys();
    std::uint64_t limit = due ? std::min(end, std::max(*due, state_.machine.cycles + 1)) : end;
    limit = std::min(limit, state_.machine.cycles + History::kEveryCycles);
    limits.cycleLimit = limit;
    limits.breakpointOnFirst = !runStarting_;
    const std::uint64_t before = state_.machine.cycles;
    const simulate::RunOutcome outcome = simulate::Run(state_.machine, *state_.board, limits);
    runStarting_ = runStarting_ && state_.machine.cycles == before;
    CollectOutput();
    if (outcome.end == simulate::RunEnd::CycleLimit && state_.machine.cycles < end) {
      continue;
    }
    switch (outcome.end) {
    case simulate::RunEnd::Address:
      if (targetPointer_ < 0 || state_.machine.pointer == targetPointer_) {
        targetAddress_ = -1;
        return Halt::Target;
      }
      // The same address deeper in a recursion: step past it and go on.
      StepOnce();
      continue;
    case simulate::RunEnd::Breakpoint:
      // A breakpoint with a condition or a count of hits stops only when they say so.
      if (StopsBefore(false)) {
        return Halt::Breakpoint;
      }
      StepOnce();
      continue;
    case simulate::RunEnd::Halted:
      return Halt::Halted;
    case simulate::RunEnd::Stopped:
      lastStop_ = outcome.last;
      return Halt::Stopped;
    case simulate::RunEnd::CycleLimit:
    case simulate::RunEnd::Paused:
      return Halt::Budget;
    }
  }
}

void Session::SetTarget(int address, int pointer) {
  targetAddress_ = address & 0xFFF;
  targetPointer_ = pointer;
}

bool Session::NextIsCall() const {
  const simulate::Machine& machine = state_.machine;
  const std::size_t bank = machine.cpu == simulate::Processor::I4040 ? machine.romBank : 0;
  const std::uint8_t opcode =
      machine.rom[bank * simulate::kBankSize + simulate::ProgramCounter(machine)];
  return !machine.halted &&
         (opcode & 0xF0) == translate::kInstructionSet[translate::Position("JMS")].opcode;
}

bool Session::StepOut() {
  const simulate::Machine& machine = state_.machine;
  if (machine.pointer == 0) {
    return false;
  }
  // The subroutine returns to the address below the counter in the stack, one level down.
  const int level = machine.pointer - 1;
  SetTarget(machine.addresses[static_cast<std::size_t>(level)], level);
  return true;
}

bool Session::ToggleBreakpoint(int address) {
  if (address < 0 || static_cast<std::size_t>(address) >= breakpoints_.size()) {
    return false;
  }
  const auto index = static_cast<std::size_t>(address);
  breakpoints_.flip(index);
  if (breakpoints_.test(index)) {
    Watch watch;
    watch.on = address;
    watches_.push_back(std::move(watch));
  } else {
    std::erase_if(watches_, [address](const Watch& watch) {
      return watch.IsAddress() && std::get<int>(watch.on) == address;
    });
  }
  return breakpoints_.test(index);
}

bool Session::HasBreakpoint(int address) const {
  return address >= 0 && static_cast<std::size_t>(address) < breakpoints_.size() &&
         breakpoints_.test(static_cast<std::size_t>(address));
}

std::string Session::AddWatch(std::string_view text) {
  auto watch = ParseWatch(text);
  if (auto* problem = std::get_if<std::string>(&watch)) {
    return std::move(*problem);
  }
  watches_.push_back(std::get<Watch>(std::move(watch)));
  return {};
}

std::string Session::SetWatchCondition(std::size_t index, std::string_view text) {
  if (index >= watches_.size()) {
    return {};
  }
  Watch& watch = watches_[index];
  auto parsed = ParseAddressWatch(0, text);
  if (auto* problem = std::get_if<std::string>(&parsed)) {
    return std::move(*problem);
  }
  const Watch& extras = std::get<Watch>(parsed);
  watch.condition = extras.condition;
  watch.skip = extras.skip;
  watch.hits = 0;
  if (watch.IsAddress()) {
    watch.text = extras.text;
  }
  return {};
}

void Session::RemoveWatch(std::size_t index) {
  if (index >= watches_.size()) {
    return;
  }
  if (watches_[index].IsAddress()) {
    breakpoints_.reset(static_cast<std::size_t>(std::get<int>(watches_[index].on)));
  }
  watches_.erase(watches_.begin() + static_cast<std::ptrdiff_t>(index));
}

} // namespace debugger
