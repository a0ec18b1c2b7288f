#include "cli/command_line.h"

#include "file_io/file_io.h"

#include <iostream>
#include <iterator>
#include <vector>

namespace cli {

CommandLine::CommandLine(std::string_view program, std::string_view usage)
    : program_(program), usage_(usage) {
  app_.set_help_flag();
  app_.allow_windows_style_options(false);
  app_.add_flag("-h,--help", help_);
  app_.add_flag("--version", version_);
}

std::optional<int>
CommandLine::Parse(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                   const std::function<std::string(const CLI::ParseError&)>& problem) {
  // CLI11 takes the arguments last first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app_.parse(reversed);
  } catch (const CLI::ParseError& error) {
    return UsageError(problem ? problem(error) : std::string(error.what()), err);
  }
  if (help_) {
    out << usage_;
    return kExitSuccess;
  }
  if (version_) {
    out << program_ << ' ' << BRINDLEWICK_VERSION << '\n';
    return kExitSuccess;
  }
  return std::nullopt;
}

int CommandLine::UsageError(std::string_view problem, std::ostream& err) const {
  err << program_ << ": " << problem << "\nTry '" << program_ << " --help'.\n";
  return kExitUsageOrFile;
}

std::variant<std::string, int> ReadInput(std::string_view program, const std::string& path,
                                         std::istream& in, std::ostream& err) {
  if (path == kStandardStream) {
    std::string bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>{});
    if (in.bad()) {
      err << program << ": cannot read standard input\n";
      return kExitUsageOrFile;
    }
    return bytes;
  }
  file_io::FileContent content = file_io::ReadFile(path);
  if (content.error) {
    err << program << ": cannot read '" << path << "': " << *content.error << '\n';
    return kExitUsageOrFile;
  }
  return std::move(content.bytes);
}

std::string InputName(const std::string& path) {
  return path == kStandardStream ? "<stdin>" : path;
}

} // namespace cli
