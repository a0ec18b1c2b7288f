// An arbitrary image through the disassembler and back through the assembler.
#include "fuzz/fuzz_target.h"

#include <cstdint>
#include <span>

std::string CheckInput(std::string_view input) {
  return fuzz::CheckDisassembly(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(input.data()), input.size()));
}
