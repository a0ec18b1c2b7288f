#pragma once

#include <CLI/CLI.hpp>

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

// What the command-line programs share: their exit statuses, the handling of --help, --version
// and usage errors, and reading the program's input from a file or standard input.
namespace cli {

inline constexpr int kExitSuccess = 0;
// The program's input is at fault: a source that does not assemble.
inline constexpr int kExitSourceError = 1;
// The run failed: it stopped at a byte that is no instruction, met no stop condition, or a
// printer went on printing (brindlewick-sim).
inline constexpr int kExitRunFailed = 1;
// Bad usage, or a file that cannot be read or written.
inline constexpr int kExitUsageOrFile = 2;

// The path that stands for standard input or output.
inline constexpr std::string_view kStandardStream = "-";

// A program's command line, parsed with CLI11. The program adds its options to `app()`;
// -h, --help and --version are there already.
class CommandLine {
public:
  CommandLine(std::string_view program, std::string_view usage);

  [[nodiscard]] CLI::App& app() { return app_; }
  [[nodiscard]] std::string_view program() const { return program_; }

  // Parses `args` (without the program name). Returns the exit status when the program ends
  // here: after --help or --version, written to `out`, or after a usage error, written to
  // `err`. `problem`, when given, turns a CLI11 error into the program's own words.
  [[nodiscard]] std::optional<int>
  Parse(std::span<const std::string> args, std::ostream& out, std::ostream& err,
        const std::function<std::string(const CLI::ParseError&)>& problem = {});
  // Writes a usage error with a pointer to --help; returns the exit status for it.
  int UsageError(std::string_view problem, std::ostream& err) const;

private:
  std::string program_;
  std::string usage_;
  CLI::App app_;
  bool help_ = false;
  bool version_ = false;
};

// The bytes of `path`, or of `in` for "-"; or the exit status after saying on `err` why they
// cannot be read.
[[nodiscard]] std::variant<std::string, int>
ReadInput(std::string_view program, const std::string& path, std::istream& in, std::ostream& err);

// The name by which messages call `path`: "<stdin>" for "-".
[[nodiscard]] std::string InputName(const std::string& path);

} // namespace cli
