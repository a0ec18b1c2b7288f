#include "cli/asm.h"

#include "assembly/disassembler.h"
#include "assembly/intel_hex.h"
#include "cli/command_line.h"
#include "cli/syntax.h"
#include "file_io/file_io.h"
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

constexpr std::string_view kUsage =
    "Usage: brindlewick-asm [options] SOURCE\n"
    "       brindlewick-asm --disassemble IMAGE [-o SOURCE]\n"
    "Assembles Intel 4004/4040 source. SOURCE is read as ISO-8859-1; '-' reads standard input.\n"
    "\n"
    "      --syntax NAME    the source's language: classic (the default), asl (the\n"
    "                       macro-assembler syntax of published 4004 sources), or auto\n"
    "                       (asl when the source has a cpu directive, else classic)\n"
    "  -I DIR               look for included files in DIR too (asl; may be repeated)\n"
    "  -o, --output PATH    write the binary image to PATH\n"
    "  -l, --listing PATH   write the listing (CR LF line ends) to PATH\n"
    "      --hex PATH       write the image as Intel HEX to PATH (asl: only the bytes\n"
    "                       written)\n"
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
  std::string syntaxName = "classic";
  Syntax syntax = Syntax::Classic;
  std::vector<std::string> includeFolders;
  std::optional<std::string> output;
  std::optional<std::string> listing;
  std::optional<std::string> hex;
  bool disassemble = false;
};

// The last of `names` that `args` spell, as the user wrote it ("-o" or "--output").
std::string SpelledName(std::span<const std::string> args,
                        std::initializer_list<std::string_view> names) {
  std::string spelled(*names.begin());
  for (const std::string& arg : args) {
    for (const std::string_view name : names) {
      if (arg == name || (name.starts_with("--") && arg.starts_with(std::string(name) + "="))) {
        spelled = name;
      }
    }
  }
  return spelled;
}

// Parses the command line into `options`. Returns the exit status when the program ends here.
std::optional<int> ParseOptions(std::span<const std::string> args, Options& options,
                                std::ostream& out, std::ostream& err) {
  CommandLine line(kProgram, kUsage);
  CLI::App& app = line.app();
  app.allow_extras();
  app.add_option("SOURCE", options.source);
  const std::initializer_list<std::string_view> outputNames = {"-o", "--output"};
  const std::initializer_list<std::string_view> listingNames = {"-l", "--listing"};
  for (auto* option :
       {app.add_option("-o,--output", options.output),
        app.add_option("-l,--listing", options.listing), app.add_option("--hex", options.hex)}) {
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  }
  app.add_flag("--disassemble", options.disassemble);
  app.add_option("--syntax", options.syntaxName)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option("-I", options.includeFolders)->allow_extra_args(false);
  // A missing PATH can only be at the end of the line.
  const auto missingPath = [&args](const CLI::ParseError& error) {
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr && !args.empty()) {
      return "option '" + args.back() + "' needs a PATH";
    }
    return std::string(error.what());
  };
  if (const auto status = line.Parse(args, out, err, missingPath)) {
    return status;
  }
  for (const std::string& extra : app.remaining()) {
    if (extra == "--") {
      continue;
    }
    if (extra != kStandardStream && extra.starts_with('-')) {
      return line.UsageError("unknown option '" + extra + "'", err);
    }
    return line.UsageError("more than one SOURCE given: '" + extra + "'", err);
  }
  if (app.count("SOURCE") == 0) {
    return line.UsageError("no SOURCE given", err);
  }
  const std::pair<const std::optional<std::string>*, std::string> paths[] = {
      {&options.output, SpelledName(args, outputNames)},
      {&options.listing, SpelledName(args, listingNames)},
      {&options.hex, "--hex"}};
  int toStandardOutput = 0;
  for (const auto& [path, name] : paths) {
    if (*path && (*path)->empty()) {
      return line.UsageError("option '" + name + "' needs a PATH", err);
    }
    toStandardOutput += *path == kStandardStream ? 1 : 0;
  }
  if (toStandardOutput > 1) {
    return line.UsageError("only one output can go to standard output", err);
  }
  const auto syntax = ParseSyntax(options.syntaxName);
  if (!syntax) {
    return line.UsageError(
        "--syntax must be classic, asl or auto, not '" + options.syntaxName + "'", err);
  }
  options.syntax = *syntax;
  if (options.disassemble && (options.listing || options.hex)) {
    return line.UsageError("--disassemble writes only source; use -o for its PATH", err);
  }
  return std::nullopt;
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

void ReportFailure(const file_io::WriteFailure& failure, std::ostream& err) {
  err << kProgram << ": cannot write '" << failure.path.string() << "': " << failure.reason
      << (failure.existed ? " (the file is left as it was)\n" : " (nothing was written)\n");
}

// Writes every file output, or none: each goes to a temporary file first, and only when all of
// them are on the disk are they renamed over their targets.
bool WriteFiles(std::span<const FileOutput> files, std::ostream& err) {
  file_io::FileReplacement replacement;
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
    if (files.size() > 1) {
      err << kProgram << ": no output file was changed\n";
    }
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

// The outputs the options ask for, with the listing on standard output unless an option asks
// for something else there.
int WriteAssembled(const Options& options, std::string_view image, std::string_view listing,
                   std::string_view hex, std::ostream& out, std::ostream& err) {
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
  if (!options.output && !options.listing && options.hex != kStandardStream) {
    plainListing = WithLineFeeds(listing);
    outputs.emplace_back(kStandardStream, plainListing);
  }
  return WriteOutputs(outputs, out, err) ? kExitSuccess : kExitUsageOrFile;
}

int AssembleAslSource(const Options& options, const std::string& bytes, std::ostream& out,
                      std::ostream& err) {
  // The listing is made only when it goes somewhere: -l, or standard output by default.
  const bool listed = options.listing || (!options.output && options.hex != kStandardStream);
  const asl::Outcome outcome = AssembleAsl(options.source, bytes, options.includeFolders, listed);
  if (!ReportAsl(outcome, err)) {
    return kExitSourceError;
  }
  const std::string listing = listed ? asl::ListingText(outcome) : std::string();
  const std::string_view image(reinterpret_cast<const char*>(outcome.image.data()),
                               outcome.image.size());
  const std::string hex =
      options.hex ? assembly::IntelHex(outcome.image, outcome.written) : std::string();
  return WriteAssembled(options, image, listing, hex, out, err);
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

int RunAssembler(std::span<const std::string> args, std::istream& in, std::ostream& out,
                 std::ostream& err) {
  Options options;
  if (const auto status = ParseOptions(args, options, out, err)) {
    return *status;
  }
  const std::string sourceName = InputName(options.source);
  auto input = ReadInput(kProgram, options.source, in, err);
  if (const int* status = std::get_if<int>(&input)) {
    return *status;
  }
  const std::string& bytes = std::get<std::string>(input);

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
    return WriteOutputs({&output, 1}, out, err) ? kExitSuccess : kExitUsageOrFile;
  }
  if (ChooseSyntax(options.syntax, bytes) == Syntax::Asl) {
    return AssembleAslSource(options, bytes, out, err);
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
  const std::string hex = options.hex ? assembly::IntelHex(result.image) : std::string();
  return WriteAssembled(options, image, listing, hex, out, err);
}

} // namespace cli
