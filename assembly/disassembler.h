#pragma once

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
// each line's address and bytes in a comment. Fails only when the program would need more
// instructions or labels than the assembler's tables hold.
[[nodiscard]] Disassembly Disassemble(std::span<const std::uint8_t> image);

} // namespace assembly
