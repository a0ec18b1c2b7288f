#pragma once

#include <cstdint>

namespace simulate {

// A chain of 4003 shift registers, 10 bits each. A rising edge on the clock input moves every
// bit one place on and takes the data input into bit 0; the last bit of each chip goes on into
// the first of the next through its serial output, so a chain is one register of 10 bits a chip.
class ShiftRegister {
public:
  static constexpr unsigned kBitsPerChip = 10;
  static constexpr unsigned kMostChips = 6;

  explicit ShiftRegister(unsigned chips);

  // The clock and data inputs are at these levels now.
  void Inputs(bool clock, bool data);
  [[nodiscard]] bool Bit(unsigned index) const { return ((bits_ >> index) & 1) != 0; }
  [[nodiscard]] std::uint64_t Bits() const { return bits_; }
  [[nodiscard]] unsigned Length() const { return length_; }

private:
  unsigned length_;
  std::uint64_t bits_ = 0;
  bool clock_ = false;
};

} // namespace simulate
