#include "simulate/parts/program_ram.h"

#include <algorithm>

namespace simulate {

namespace {
constexpr std::size_t kPageSize = 256;
}

ProgramRam::ProgramRam(std::uint8_t page, unsigned banks, Wiring wiring)
    : page_(page & 0xF), banks_(std::max(banks, 1u)), wiring_(wiring),
      bytes_(banks_ * kPageSize, 0) {}

void ProgramRam::Sync(Machine& machine) {
  if (shown_ == static_cast<int>(wanted_)) {
    return;
  }
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(wanted_ * kPageSize), kPageSize,
              machine.rom.begin() + static_cast<std::ptrdiff_t>(page_ * kPageSize));
  shown_ = static_cast<int>(wanted_);
}

bool ProgramRam::NextHalfIsHigh() {
  const bool high = secondHalf_ == wiring_.lowHalfFirst;
  secondHalf_ = !secondHalf_;
  return high;
}

void ProgramRam::Write(Machine& machine, std::uint8_t value) {
  Sync(machine);
  const bool high = NextHalfIsHigh();
  std::uint8_t& byte = bytes_[wanted_ * kPageSize + machine.src];
  byte = high ? static_cast<std::uint8_t>((byte & 0x0F) | (value & 0xF) << 4)
              : static_cast<std::uint8_t>((byte & 0xF0) | (value & 0xF));
  machine.rom[page_ * kPageSize + machine.src] = byte;
}

std::uint8_t ProgramRam::Read(Machine& machine) {
  Sync(machine);
  const bool high = NextHalfIsHigh();
  const std::uint8_t byte = bytes_[wanted_ * kPageSize + machine.src];
  return high ? byte >> 4 : byte & 0xF;
}

} // namespace simulate
