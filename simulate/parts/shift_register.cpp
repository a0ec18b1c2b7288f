#include "simulate/parts/shift_register.h"

#include <algorithm>

namespace simulate {

ShiftRegister::ShiftRegister(unsigned chips)
    : length_(std::clamp(chips, 1u, kMostChips) * kBitsPerChip) {}

void ShiftRegister::Inputs(bool clock, bool data) {
  if (clock && !clock_) {
    const std::uint64_t mask = (std::uint64_t{1} << length_) - 1;
    bits_ = ((bits_ << 1) | (data ? 1 : 0)) & mask;
  }
  clock_ = clock;
}

} // namespace simulate
