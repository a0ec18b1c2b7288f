#pragma once

#include "simulate/machine.h"

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace cli {

// Runs the brindlewick-sim command line `args` (without the program name). `in`, `out` and
// `err` stand for standard input, output and error. Returns the exit status.
[[nodiscard]] int RunSimulator(std::span<const std::string> args, std::istream& in,
                               std::ostream& out, std::ostream& err);

// The machine state as one JSON object, in the documented field order, without a line end.
[[nodiscard]] std::string StateJson(const simulate::Machine& machine, bool test);

// `text` with the C escapes \r \n \t \e \0 \\ and \xHH replaced by the bytes they stand for;
// nothing when an escape is broken.
[[nodiscard]] std::optional<std::string> Unescape(std::string_view text);

} // namespace cli
