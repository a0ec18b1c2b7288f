#include "simulate/parts/pulse_train.h"

#include <algorithm>
#include <cmath>

namespace simulate {

PulseTrain::PulseTrain(double periodCycles, double widthCycles, double phaseCycles,
                       unsigned indexEvery)
    : period_(periodCycles), width_(widthCycles), phase_(phaseCycles),
      indexEvery_(std::max(indexEvery, 1u)) {}

std::int64_t PulseTrain::Pulse(std::uint64_t cycle) const {
  return static_cast<std::int64_t>(std::floor((static_cast<double>(cycle) - phase_) / period_));
}

bool PulseTrain::Level(std::uint64_t cycle) const {
  const std::int64_t pulse = Pulse(cycle);
  return pulse >= 0 &&
         static_cast<double>(cycle) - phase_ - static_cast<double>(pulse) * period_ < width_;
}

bool PulseTrain::Index(std::uint64_t cycle) const {
  return Level(cycle) && Pulse(cycle) % indexEvery_ == 0;
}

unsigned PulseTrain::Position(std::uint64_t cycle) const {
  const std::int64_t pulse = Pulse(cycle);
  const std::int64_t every = indexEvery_;
  return static_cast<unsigned>(((pulse % every) + every) % every);
}

} // namespace simulate
