#pragma once

#include "assembly/assembler.h"

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// Exit statuses of the command-line assembler.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitSourceError = 1;
inline constexpr int kExitFailure = 2; // bad usage, unreadable input, unwritable output

// The result of assembling a file's bytes: the outcome and, when it completed, the image.
struct Assembled {
  assembly::AssemblyOutcome outcome;
  std::vector<std::uint8_t> image;
};

[[nodiscard]] Assembled AssembleFileBytes(assembly::ProgramStore& store, std::string_view bytes);

// Reports a source that did not assemble: "SOURCE:LINE: error: MESSAGE", then the line.
void ReportSourceError(std::string_view sourceName, const assembly::AssemblyOutcome& outcome,
                       std::ostream& err);

// Runs the command line `args` (without the program name). `in`, `out` and `err` stand for
// standard input, output and error.
[[nodiscard]] int Run(std::span<const std::string> args, std::istream& in, std::ostream& out,
                      std::ostream& err);

} // namespace cli
