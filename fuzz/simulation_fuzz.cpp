// An arbitrary image run on the simulator, on both processors.
#include "fuzz/fuzz_target.h"

#include <cstdint>
#include <span>

std::string CheckInput(std::string_view input) {
  return fuzz::CheckSimulation(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(input.data()), input.size()));
}
