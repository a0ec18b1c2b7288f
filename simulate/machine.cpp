#include "simulate/machine.h"

#include <algorithm>

namespace simulate {

Machine MakeMachine(Processor cpu) {
  Machine machine;
  machine.cpu = cpu;
  return machine;
}

std::string LoadImage(Machine& machine, std::span<const std::uint8_t> image) {
  const std::size_t capacity = machine.cpu == Processor::I4004 ? kBankSize : kBanks * kBankSize;
  if (image.size() > capacity) {
    return "the image has " + std::to_string(image.size()) + " bytes; the " +
           std::string(ProcessorName(machine.cpu)) + "'s program memory holds " +
           std::to_string(capacity);
  }
  std::fill(machine.rom.begin(), machine.rom.end(), std::uint8_t{0});
  std::copy(image.begin(), image.end(), machine.rom.begin());
  return {};
}

} // namespace simulate
