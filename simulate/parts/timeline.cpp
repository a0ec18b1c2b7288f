#include "simulate/parts/timeline.h"

namespace simulate {

void Timeline::Set(std::uint64_t cycle, std::uint8_t value) {
  while (!changes_.empty() && changes_.back().first >= cycle) {
    changes_.pop_back();
  }
  changes_.emplace_back(cycle, value);
}

void Timeline::Pulse(std::uint64_t from, std::uint64_t until, std::uint8_t value) {
  const std::uint8_t after = At(from);
  Set(from, value);
  if (until > from) {
    changes_.emplace_back(until, after);
  }
}

std::uint8_t Timeline::At(std::uint64_t cycle) const {
  // The last change at or before `cycle`; there are few, and the newest are asked for most.
  for (auto change = changes_.rbegin(); change != changes_.rend(); ++change) {
    if (change->first <= cycle) {
      return change->second;
    }
  }
  return initial_;
}

void Timeline::Forget(std::uint64_t cycle) {
  std::size_t kept = 0;
  while (kept < changes_.size() && changes_[kept].first <= cycle) {
    ++kept;
  }
  if (kept > 0) {
    initial_ = changes_[kept - 1].second;
    changes_.erase(changes_.begin(), changes_.begin() + static_cast<std::ptrdiff_t>(kept));
  }
}

} // namespace simulate
