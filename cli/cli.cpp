#include "cli/cli.h"

#include "assembly/disassembler.h"
#include "cli/intel_hex.h"
#include "services/file_io.h"
#include "translate/instruction_table.h"
#include "translate/latin1.h"

#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <variant>

namespace cli {

namespace {

constexpr std::string_view kProgram = "brindlewick-asm";
constexpr std::string_view kStandardStream = "-";

constexpr std::string_view kUsage =
    "Usage: brindlewick-asm [options] SOURCE\n"
    "       brindlewick-asm --disassemble IMAGE [-o SOURCE]\n"
    "Assembles Intel 4004/4040 source. SOURCE is read as ISO-8859-1; '-' reads standard input.\n"
    "\n"
    "  -o, --output PATH    write the binary image to PATH\n"
    "  -l, --listing PATH   write the listing (CR LF line ends) to PATH\n"
    "      --hex PATH       write the image as Intel HEX to PATH\n"
    "      --disassemble    write the binary IMAGE as source that assembles back to it,\n"
    "                       to standard output or to the -o PATH\n"
    "  -h, --help           show this help and exit\n"
    "      --version        show the version and exit\n"
    "\n"
    "PATH '-' means standard output. Without -o and -l, the listing goes to standard output\n"
    "with plain line feeds. Output files are written only when the source assembles without\n"
    "error, and then all of them or none.\n"
    "\n"
    "Exit status: 0 success, 1 error in the source, 2 bad usage or a file that cannot be read\n"
    "or written.\n";

struct Options {
  std::string source;
  std::optional<std::string> output;
  std::optional<std::string> listing;
  std::optional<std::string> hex;
  bool help = false;
  bool version = false;
  bool disassemble = false;
};

// The parsed options, or the reason they are not usable.
std::variant<Options, std::string> ParseOptions(std::span<const std::string> args) {
  Options options;
  bool haveSource = false;
  bool onlyOperands = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyOperands || arg == kStandardStream || !arg.starts_with('-')) {
      if (haveSource) {
        return "more than one SOURCE given: '" + arg + "'";
      }
      options.source = arg;
      haveSource = true;
      continue;
    }
    if (arg == "--") {
      onlyOperands = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      options.help = true;
      continue;
    }
    if (arg == "--version") {
      options.version = true;
      continue;
    }
    if (arg == "--disassemble") {
      options.disassemble = true;
      continue;
    }
    std::string name = arg;
    std::optional<std::string> value;
    if (const std::size_t equals = arg.find('='); arg.starts_with("--") && equals != arg.npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
    }
    std::optional<std::string>* target = nullptr;
    if (name == "-o" || name == "--output") {
      target = &options.output;
    } else if (name == "-l" || name == "--listing") {
      target = &options.listing;
    } else if (name == "--hex") {
      target = &options.hex;
    } else {
      return "unknown option '" + arg + "'";
    }
    if (!value) {
      if (i + 1 == args.size()) {
        return "option '" + name + "' needs a PATH";
      }
      value = args[++i];
    }
    if (value->empty()) {
      return "option '" + name + "' needs a PATH";
    }
    *target = std::move(value);
  }
  if (!options.help && !options.version && !haveSource) {
    return std::string("no SOURCE given");
  }
  int toStandardOutput = 0;
  for (const auto* path : {&options.output, &options.listing, &options.hex}) {
    toStandardOutput += *path == kStandardStream ? 1 : 0;
  }
  if (toStandardOutput > 1) {
    return std::string("only one output can go to standard output");
  }
  if (options.disassemble && (options.listing || options.hex)) {
    return std::string("--disassemble writes only source; use -o for its PATH");
  }
  return options;
}

std::string WithLineFeeds(std::string_view listing) {
  std::string text;
  text.reserve(listing.size());
  for (char c : listing) {
    if (c != '\r') {
      text.push_back(c);
    }
  }
  return text;
}

// An output that goes to a file.
struct FileOutput {
  std::string path;
  std::string_view bytes;
};

void ReportFailure(const services::WriteFailure& failure, std::ostream& err) {
  err << kProgram << ": cannot write '" << failure.path.string() << "': " << failure.reason
      << (failure.existed ? " (the file is left as it was)\n" : " (nothing was written)\n");
}

// Writes every file output, or none: each goes to a temporary file first, and only when all of
// them are on the disk are they renamed over their targets.
bool WriteFiles(std::span<const FileOutput> files, std::ostream& err) {
  services::FileReplacement replacement;
  for (const FileOutput& file : files) {
    if (const auto failure = replacement.Stage(file.path, file.bytes)) {
      ReportFailure(*failure, err);
      if (files.size() > 1) {
        err << kProgram << ": no output file was changed\n";
      }
      return false;
    }
  }
  if (const auto failure = replacement.Commit()) {
    ReportFailure(*failure, err);
    return false;
  }
  return true;
}

bool WriteStandardOutput(std::string_view bytes, std::ostream& out, std::ostream& err) {
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) {
    err << kProgram << ": cannot write to standard output\n";
    return false;
  }
  return true;
}

// Writes the outputs: the files all together, then the one that goes to standard output.
bool WriteOutputs(std::span<const std::pair<std::string, std::string_view>> outputs,
                  std::ostream& out, std::ostream& err) {
  std::vector<FileOutput> files;
  std::optional<std::string_view> toStandardOutput;
  for (const auto& [path, bytes] : outputs) {
    if (path == kStandardStream) {
      toStandardOutput = bytes;
    } else {
      files.push_back({path, bytes});
    }
  }
  if (!WriteFiles(files, err)) {
    return false;
  }
  return !toStandardOutput || WriteStandardOutput(*toStandardOutput, out, err);
}

} // namespace

void ReportSourceError(std::string_view sourceName, const assembly::AssemblyOutcome& outcome,
                       std::ostream& err) {
  err << sourceName << ':' << outcome.Line << ": error: " << outcome.Message << '\n'
      << outcome.LineText << '\n';
}

Assembled AssembleFileBytes(assembly::ProgramStore& store, std::string_view bytes) {
  Assembled result;
  std::string converted;
  if (!translate::IsPlainAscii(bytes)) {
    converted = translate::Latin1ToUtf8(bytes);
    bytes = converted;
  }
  result.outcome = assembly::Assemble(store, bytes);
  if (result.outcome.Completed()) {
    result.image = assembly::BinaryImage(store);
  }
  return result;
}

int Run(std::span<const std::string> args, std::istream& in, std::ostream& out, std::ostream& err) {
  const auto parsed = ParseOptions(args);
  if (const auto* problem = std::get_if<std::string>(&parsed)) {
    err << kProgram << ": " << *problem << "\nTry '" << kProgram << " --help'.\n";
    return kExitFailure;
  }
  const Options& options = std::get<Options>(parsed);
  if (options.help) {
    out << kUsage;
    return kExitSuccess;
  }
  if (options.version) {
    out << kProgram << ' ' << BRINDLEWICK_VERSION << '\n';
    return kExitSuccess;
  }

  const std::string sourceName = options.source == kStandardStream ? "<stdin>" : options.source;
  std::string bytes;
  if (options.source == kStandardStream) {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
      err << kProgram << ": cannot read standard input\n";
      return kExitFailure;
    }
  } else {
    services::FileContent content = services::ReadFile(options.source);
    if (content.error) {
      err << kProgram << ": cannot read '" << options.source << "': " << *content.error << '\n';
      return kExitFailure;
    }
    bytes = std::move(content.bytes);
  }

  translate::LoadMnemonicTable();
  if (options.disassemble) {
    const std::span<const std::uint8_t> image(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                              bytes.size());
    const assembly::Disassembly disassembly = assembly::Disassemble(image);
    if (!disassembly.Error.empty()) {
      err << sourceName << ": error: cannot write the image as a program: " << disassembly.Error
          << '\n';
      return kExitSourceError;
    }
    const std::pair<std::string, std::string_view> output{
        options.output.value_or(std::string(kStandardStream)), disassembly.Source};
    return WriteOutputs({&output, 1}, out, err) ? kExitSuccess : kExitFailure;
  }
  const auto store = std::make_unique<assembly::ProgramStore>();
  const Assembled result = AssembleFileBytes(*store, bytes);
  const assembly::AssemblyOutcome& outcome = result.outcome;
  if (!outcome.Completed()) {
    ReportSourceError(sourceName, outcome, err);
    return kExitSourceError;
  }

  const std::string& listing = *outcome.Listing;
  const std::string_view image(reinterpret_cast<const char*>(result.image.data()),
                               result.image.size());
  const std::string hex = options.hex ? IntelHex(result.image) : std::string();
  std::string plainListing;
  std::vector<std::pair<std::string, std::string_view>> outputs;
  if (options.output) {
    outputs.emplace_back(*options.output, image);
  }
  if (options.listing) {
    outputs.emplace_back(*options.listing, listing);
  }
  if (options.hex) {
    outputs.emplace_back(*options.hex, hex);
  }
  // Standard output carries the listing unless an option asks for something else.
  if (!options.output && !options.listing && options.hex != kStandardStream) {
    plainListing = WithLineFeeds(listing);
    outputs.emplace_back(kStandardStream, plainListing);
  }
  return WriteOutputs(outputs, out, err) ? kExitSuccess : kExitFailure;
}

} // namespace cli
