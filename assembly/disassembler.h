#pragma once

#include "assembly/program_store.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace assembly {

// A binary image written back as source, or the reason it cannot be.
struct Disassembly {
  std::string Source; // assembles back to exactly the image; lines end in LF
  std::string Error;  // empty when `Source` holds the program
};

// Writes `image` as a program in this assembler's language: one instruction per line, labels
// (L0FE: style) at the jump targets, DATA lines for bytes that no instruction can reproduce, and
// each line's address and bytes in a comment. At most `labelLimit` labels are written: beyond
// it, the jumps to the least used targets become DATA. Fails only for an image larger than
// program memory; every image up to 4096 bytes has a disassembly.
[[nodiscard]] Disassembly Disassemble(std::span<const std::uint8_t> image,
                                      std::size_t labelLimit = kLabelCapacity);

} // namespace assembly
