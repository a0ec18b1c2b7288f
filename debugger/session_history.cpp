// The session's way back: stepping back, running backwards to a breakpoint, the trace of the
// last instructions, and the edits of the machine that Undo takes back. All of it stands on the
// history's copies and on the simulator giving the same run again from the same state.
#include "debugger/session.h"

#include "simulate/trace.h"

#include <algorithm>
#include <deque>

namespace debugger {

void Session::Restore(const RunState& state) {
  state_ = state;
  paper_.resize(std::min(paper_.size(), state.paperLines));
  const std::size_t length = state.transcriptLength;
  if (length >= transcriptBase_) {
    transcript_.resize(std::min(transcript_.size(), length - transcriptBase_));
  } else {
    transcript_.clear();
    transcriptBase_ = length;
  }
}

void Session::ReplayTo(std::uint64_t cycle) {
  // No key goes down between two copies of the history (each press is followed by one), so the
  // run needs nothing but its cycles.
  simulate::RunLimits limits;
  limits.cycleLimit = cycle;
  while (state_.machine.cycles < cycle) {
    const simulate::RunOutcome outcome = simulate::Run(state_.machine, *state_.board, limits);
    if (outcome.end == simulate::RunEnd::Stopped) {
      break;
    }
  }
  CollectOutput();
}

void Session::FinishGoingBack() {
  // What the terminal has shown past the point now was taken back: it is to be shown anew.
  const std::size_t end = transcriptBase_ + transcript_.size();
  if (taken_ > end) {
    taken_ = end;
    rewound_ = true;
  }
  targetAddress_ = -1;
  lastStop_ = {};
  undo_.clear();
  // The run goes on from here as the user now drives it: the copies of the old way on are
  // forgotten, and with them the inputs made on it.
  history_.DropFrom(state_.machine.cycles + 1);
}

bool Session::WouldStop(const simulate::Machine& before, bool stepped) const {
  return std::any_of(watches_.begin(), watches_.end(), [&](const Watch& watch) {
    const bool afterStep = watch.on.index() == 2;
    return (stepped || !afterStep) && WatchHolds(watch, before, afterStep);
  });
}

bool Session::StepBack() {
  const std::uint64_t now = state_.machine.cycles;
  const RunState* start = history_.Before(now);
  if (start == nullptr) {
    return false;
  }
  // Where the last instruction began: found by running the stretch again, then gone to.
  const RunState from = *start;
  Restore(from);
  std::uint64_t previous = from.machine.cycles;
  while (state_.machine.cycles < now) {
    previous = state_.machine.cycles;
    if (simulate::Step(state_.machine, *state_.board).stop != simulate::Stop::None) {
      break;
    }
  }
  Restore(from);
  ReplayTo(previous);
  FinishGoingBack();
  return true;
}

Halt Session::RunBackwards() {
  const std::uint64_t now = state_.machine.cycles;
  std::uint64_t end = now;
  for (;;) {
    const RunState* start = history_.Before(end);
    if (start == nullptr) {
      break;
    }
    const RunState from = *start;
    Restore(from);
    // The last place in this stretch, before now, where a breakpoint or watch would stop the run.
    std::optional<std::uint64_t> found;
    if (WouldStop(state_.machine, false)) {
      found = state_.machine.cycles;
    }
    while (state_.machine.cycles < end) {
      const simulate::Machine before = state_.machine;
      if (simulate::Step(state_.machine, *state_.board).stop != simulate::Stop::None) {
        break;
      }
      if (state_.machine.cycles < now && WouldStop(before, true)) {
        found = state_.machine.cycles;
      }
    }
    if (found) {
      Restore(from);
      ReplayTo(*found);
      FinishGoingBack();
      return Halt::Breakpoint;
    }
    end = from.machine.cycles;
    if (end == history_.Oldest()) {
      // Nothing stops the run in the whole history: back to its start.
      Restore(from);
      CollectOutput();
      FinishGoingBack();
      return Halt::None;
    }
  }
  return Halt::None;
}

std::vector<std::string> Session::Trace(std::size_t count) {
  const std::uint64_t now = state_.machine.cycles;
  // An instruction takes at most two cycles, so this far back holds `count` of them.
  const std::uint64_t back =
      std::min<std::uint64_t>(now, 2 * static_cast<std::uint64_t>(count) + 1);
  const RunState* start = history_.Before(now - back + 1);
  if (start == nullptr) {
    start = history_.Before(now + 1);
  }
  std::deque<std::string> lines;
  if (start == nullptr) {
    return {};
  }
  // The run comes back to where it is, except for what the user changed by hand since the last
  // copy: everything is put back as it was afterwards.
  const RunState now_state = state_;
  const std::vector<PaperText> paper = paper_;
  const std::string transcript = transcript_;
  const std::size_t base = transcriptBase_;
  Restore(*start);
  // Silently up to where the lines begin (an instruction takes at most two cycles), then each
  // instruction written out.
  if (now > back && state_.machine.cycles < now - back) {
    simulate::RunLimits limits;
    limits.cycleLimit = now - back;
    (void)simulate::Run(state_.machine, *state_.board, limits);
  }
  while (state_.machine.cycles < now) {
    const simulate::Machine before = state_.machine;
    const simulate::StepResult step = simulate::Step(state_.machine, *state_.board);
    if (step.stop != simulate::Stop::None) {
      break;
    }
    lines.push_back(simulate::TraceLine(before, state_.machine, step));
    if (lines.size() > count) {
      lines.pop_front();
    }
  }
  state_ = now_state;
  paper_ = paper;
  transcript_ = transcript;
  transcriptBase_ = base;
  return {lines.begin(), lines.end()};
}

void Session::Edit(const std::function<void(simulate::Machine&, boards::Board&)>& change) {
  constexpr std::size_t kMostUndo = 100;
  undo_.push_back(state_);
  if (undo_.size() > kMostUndo) {
    undo_.erase(undo_.begin());
  }
  change(state_.machine, *state_.board);
  CollectOutput();
  history_.Keep(state_, true);
}

bool Session::Undo() {
  if (undo_.empty()) {
    return false;
  }
  const RunState before = std::move(undo_.back());
  undo_.pop_back();
  std::vector<RunState> rest = std::move(undo_);
  Restore(before);
  history_.Keep(state_, true);
  FinishGoingBack();
  undo_ = std::move(rest);
  return true;
}

} // namespace debugger
