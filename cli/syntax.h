#pragma once

#include "asl_syntax/assembler.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The two source languages on the command line: the project's own ("classic") and the
// macro-assembler syntax of published 4004 sources ("asl"), and "auto" that tells them apart.
namespace cli {

enum class Syntax : std::uint8_t { Classic, Asl, Auto };

[[nodiscard]] std::optional<Syntax> ParseSyntax(std::string_view name);

// The syntax to read `source` in: `Auto` becomes `Asl` when the source has a `cpu` directive,
// else `Classic`.
[[nodiscard]] Syntax ChooseSyntax(Syntax chosen, std::string_view source);

// The seconds since 1970 that DATE and TIME show: SOURCE_DATE_EPOCH when it is set to a number,
// so that a build can be repeated byte for byte, else now.
[[nodiscard]] std::int64_t BuildTime();

// Assembles `bytes`, the source read from `path` ("-" for standard input), in the
// macro-assembler syntax; included files are read from the disk. Without `listing` the outcome
// has no rows or symbols.
[[nodiscard]] asl::Outcome AssembleAsl(const std::string& path, const std::string& bytes,
                                       const std::vector<std::string>& includeFolders,
                                       bool listing = true);

// Writes the outcome's errors, warnings and messages to `err`. Returns true when it has no error.
bool ReportAsl(const asl::Outcome& outcome, std::ostream& err);

} // namespace cli
