#pragma once

#include <cstdint>

namespace simulate {

// A train of pulses, such as the sector marks of a turning printer drum: pulse n starts at
// phase + n * period and lasts `width`; the index marks every `indexEvery`-th pulse (pulse 0,
// then indexEvery, ...), during that pulse.
class PulseTrain {
public:
  PulseTrain(double periodCycles, double widthCycles, double phaseCycles, unsigned indexEvery);

  // The number of the pulse that started last at `cycle` (-1 before the first).
  [[nodiscard]] std::int64_t Pulse(std::uint64_t cycle) const;
  [[nodiscard]] bool Level(std::uint64_t cycle) const;
  [[nodiscard]] bool Index(std::uint64_t cycle) const;
  // Where the train stands in its index period: 0 from the index pulse on, then 1, ...
  [[nodiscard]] unsigned Position(std::uint64_t cycle) const;
  [[nodiscard]] double Period() const { return period_; }

private:
  double period_;
  double width_;
  double phase_;
  unsigned indexEvery_;
};

} // namespace simulate
