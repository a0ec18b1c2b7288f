#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace simulate {

// A level that changes at given cycles: a key held from one cycle to another, a switch set to a
// position from a cycle on. Changes are kept in time order; a change at or before an earlier
// one replaces what was planned from then on.
class Timeline {
public:
  explicit Timeline(std::uint8_t initial = 0) : initial_(initial) {}

  // From `cycle` on the value is `value` (until a later change).
  void Set(std::uint64_t cycle, std::uint8_t value);
  // `value` from `from` until `until`, then back to what it was before `from`.
  void Pulse(std::uint64_t from, std::uint64_t until, std::uint8_t value);
  [[nodiscard]] std::uint8_t At(std::uint64_t cycle) const;
  // Forgets the changes before `cycle`, keeping the value at `cycle`.
  void Forget(std::uint64_t cycle);

private:
  std::uint8_t initial_;
  std::vector<std::pair<std::uint64_t, std::uint8_t>> changes_;
};

} // namespace simulate
