#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Invariants of the assembler, checked on arbitrary input by the fuzz targets and by the
// regression tests that replay what the fuzzers found. Each check returns an empty text when
// every invariant holds, and otherwise says which one broke.
namespace fuzz {

// One line through the line parser.
[[nodiscard]] std::string CheckParseLine(std::string_view line);

// A whole source text through both passes.
[[nodiscard]] std::string CheckAssembly(std::string_view source);

// A source file's bytes through the command-line assembler's path to image, listing and Intel
// HEX, in memory.
[[nodiscard]] std::string CheckFileBytes(std::string_view bytes);

// An image through the disassembler and back through the assembler.
[[nodiscard]] std::string CheckDisassembly(std::span<const std::uint8_t> image);

// An image run on the simulator for a bounded number of cycles: its first byte chooses the
// processor and drives the inputs (TEST, the ROM input lines, INT), the rest is program memory.
// Every value stays within its bits, the counter below 1000, the stack pointer within the stack;
// cycles grow by 1 or 2 a step; a stop changes nothing; two runs agree.
[[nodiscard]] std::string CheckSimulation(std::span<const std::uint8_t> input);

// A board file through the reader: it gives a board or a message, never both; a board it gives
// passes the wiring check, and runs a program that writes every port, reads every input and
// writes program RAM, with a key script pressed, for a bounded number of cycles.
[[nodiscard]] std::string CheckBoardFile(std::string_view text);

// A source in the macro-assembler syntax, with the files it may include after NUL bytes
// ("1.inc", "2.inc", ...): an accepted source has no error and a refused one has one; the image
// fits the processor's memory, its gaps are FF and not written; the passes are bounded; and two
// assemblies agree in every byte, message and listing line.
[[nodiscard]] std::string CheckAslSource(std::string_view input);

// The source text that a fuzz input stands for: a first byte from C0 up repeats the rest of
// the input, up to 32 KiB in all, so that short inputs reach the assembler's limits (4097
// one-byte instructions, 8193 label definitions).
[[nodiscard]] std::string ExpandInput(std::string_view input);

} // namespace fuzz
