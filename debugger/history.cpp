#include "debugger/history.h"

#include <algorithm>

namespace debugger {

void History::Start(const RunState& state) {
  copies_.clear();
  copies_.push_back({state, true});
}

void History::Keep(const RunState& state, bool input) {
  const std::uint64_t cycle = state.machine.cycles;
  DropFrom(cycle);
  copies_.push_back({state, input});
  // Periodic copies beyond the horizon go, but the newest one beyond it stays, so that the
  // history reaches back the whole horizon. A copy taken after an input goes only as the oldest:
  // going back from a later copy never runs past an input it would not repeat.
  if (cycle > kHorizonCycles) {
    const std::uint64_t horizon = cycle - kHorizonCycles;
    while (copies_.size() > 1 && copies_[1].state.machine.cycles <= horizon) {
      copies_.pop_front();
    }
  }
  while (copies_.size() > kMostCopies) {
    copies_.pop_front();
  }
}

const RunState* History::Before(std::uint64_t cycle) const {
  const auto after = std::find_if(copies_.begin(), copies_.end(), [cycle](const Copy& copy) {
    return copy.state.machine.cycles >= cycle;
  });
  return after == copies_.begin() ? nullptr : &std::prev(after)->state;
}

void History::DropFrom(std::uint64_t cycle) {
  while (!copies_.empty() && copies_.back().state.machine.cycles >= cycle) {
    copies_.pop_back();
  }
}

std::size_t History::Bytes() const {
  // The machine and the board's fixed parts; the timelines of keys and the serial input queue
  // add little.
  return copies_.size() * (sizeof(Copy) + sizeof(boards::Board));
}

} // namespace debugger
