#pragma once

#include <iosfwd>
#include <span>
#include <string>

namespace cli {

// Runs the brindlewick-sim command line `args` (without the program name). `in`, `out` and
// `err` stand for standard input, output and error. Returns the exit status.
[[nodiscard]] int RunSimulator(std::span<const std::string> args, std::istream& in,
                               std::ostream& out, std::ostream& err);

} // namespace cli
