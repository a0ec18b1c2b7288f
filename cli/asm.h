#pragma once

#include "assembly/assembler.h"

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The result of assembling a file's bytes: the outcome and, when it completed, the image.
struct Assembled {
  assembly::AssemblyOutcome outcome;
  std::vector<std::uint8_t> image;
};

[[nodiscard]] Assembled AssembleFileBytes(assembly::ProgramStore& store, std::string_view bytes);

// Reports a source that did not assemble: "SOURCE:LINE: error: MESSAGE", then the line.
void ReportSourceError(std::string_view sourceName, const assembly::AssemblyOutcome& outcome,
                       std::ostream& err);

// Runs the brindlewick-asm command line `args` (without the program name). `in`, `out` and
// `err` stand for standard input, output and error. Returns the exit status.
[[nodiscard]] int RunAssembler(std::span<const std::string> args, std::istream& in,
                               std::ostream& out, std::ostream& err);

} // namespace cli
