#include "cli/sim_options.h"

#include "boards/board_file.h"
#include "cli/command_line.h"
#include "file_io/file_io.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace cli {

namespace {

constexpr std::string_view kProgram = "brindlewick-sim";

constexpr std::string_view kUsage = R"(Usage: brindlewick-sim [options] PROGRAM
Runs an Intel 4004 or 4040 program, cycle by cycle.

  PROGRAM                 a source file (assembled first, with brindlewick-asm's messages and exit
                          status 1 on an error), or with --image a binary image loaded at 000;
                          a name ending in .hex or .ihx is read as Intel HEX
  --image                 PROGRAM is a binary image, not source
  --syntax NAME           the source's language: classic (the default), asl (the macro-assembler
                          syntax of published 4004 sources), or auto (asl when the source has a
                          cpu directive, else classic)
  -I DIR                  look for included files in DIR too (asl; may be repeated)
  --cpu 4004|4040         processor (default 4004, or 4040 for a source with "cpu 4040")
  --cycles N              stop at the first instruction boundary at or after N instruction cycles
  --until ADDR            stop when the next instruction to run is at ADDR (hexadecimal)
  --test 0|1              level of the TEST input while no serial input drives it (default 0)
  --rom-input P=V         the 4-bit value that the input lines of ROM port P (hex digit) present to
                          RDR (default 0); may be given several times
  --state                 at the end, print the machine state as one JSON object
  --trace                 print one line per instruction run: cycle count, address, bytes,
                          mnemonic with operands, then the accumulator, carry and what changed
  --clock HZ              the processor clock in Hz, 1000 to 100000000 (default 740000), for
                          serial timing and times
  --interrupt-every N     with the 4040: a device asks for an interrupt every N instruction
                          cycles and holds INT until the processor takes it
  --serial-tx PIN         decode asynchronous serial output (8N1) sent by the program on PIN:
                          rom:P:B = bit B of ROM port P's output; ram:L:C:B = bit B of the output
                          port of RAM chip C on CM-RAM line L
  --serial-rx test        send serial input to the program on the TEST input
  --serial-invert-tx      the board inverts the output line (idle = 0 instead of 1)
  --serial-invert-rx      the board inverts the input line (TEST reads 0 while idle)
  --serial-invert         both of these
  --serial-format F       frame: data bits 5-8, parity N/E/O, stop bits 1-2 (default 8N1)
  --baud N                serial bit rate (default 9600)
  --input TEXT            the bytes to send on the serial input, in order (C-style \r \n escapes)
  --until-output TEXT     stop once the decoded serial output contains TEXT
  --board NAME|FILE       run on a board: one that comes with the program (listed below), or a
                          board file (JSON); it sets the processor, the clock and the serial
                          line, which --cpu and --clock may still change
  --keys KEYS             press keys on the board's keyboard: digits, + - x / = . C CE (* for x),
                          any key by its name in brackets ([00] [M+] [FEED]), and switch settings
                          such as [DP=2] or [ROUND=trunc]; spaces are ignored. After the last
                          key the run goes on until the printer has been still for 2 s (at most
                          30 s)
  --key-hold MS           how long each key is held (default 100 ms of simulated time)
  --key-release MS        how long each key is let go, and the printer still, before the next
                          goes down (default 300)
  -h, --help              show this help and exit
      --version           show the version and exit

Decoded serial output and the lines the board's printer prints go to standard output as they come
(with --state or --trace, to standard error). Exit status: 0 when a stop condition was met; 1
for a source error, a run that stopped at a byte that is no instruction, or one that met no stop
condition within --cycles (10,000,000 without it); 2 for bad usage or an unreadable file. Without
a stop option the run ends at a 4040 HLT with interrupts disabled.

The boards that come with the program: )";

struct Options {
  std::string program;
  bool image = false;
  std::string syntax = "classic";
  std::vector<std::string> includeFolders;
  std::string cpu{simulate::ProcessorName(simulate::Processor::I4004)};
  // Numbers as they were typed, checked with their ranges.
  std::optional<std::string> cycles;
  std::optional<std::string> until;
  std::optional<std::string> test;
  std::vector<std::string> romInputs;
  bool state = false;
  bool trace = false;
  std::optional<std::string> clock;
  std::optional<std::string> interruptEvery;
  std::optional<std::string> serialTx;
  std::optional<std::string> serialRx;
  bool invertTx = false;
  bool invertRx = false;
  bool invert = false;
  std::string serialFormat = "8N1";
  std::optional<std::string> baud;
  std::optional<std::string> input;
  std::optional<std::string> untilOutput;
  std::optional<std::string> board;
  std::optional<std::string> keys;
  std::optional<std::string> keyHold;
  std::optional<std::string> keyRelease;
  std::string serialOptionGiven; // the first serial wiring option given, for its message
  bool cpuGiven = false;
  bool syntaxGiven = false;
};

template <typename Kind> bool HasPart(const boards::BoardDescription& board) {
  return std::any_of(board.parts.begin(), board.parts.end(), [](const boards::Part& part) {
    return std::holds_alternative<Kind>(part.kind);
  });
}

// The board that --board names: one that comes with the program, or a board file.
std::variant<boards::BoardDescription, std::string> LoadBoard(const std::string& argument) {
  boards::LoadedBoard loaded;
  if (const auto builtIn = boards::BuiltInBoard(argument)) {
    loaded = boards::ParseBoard(*builtIn, argument);
  } else {
    const file_io::FileContent file = file_io::ReadFile(argument);
    if (file.error) {
      if (!boards::LooksLikeBoardFile(argument)) {
        std::string names;
        for (const std::string& name : boards::BuiltInBoardNames()) {
          names += (names.empty() ? "" : ", ") + name;
        }
        return "unknown board '" + argument + "' (the boards are " + names +
               "; or give a board file)";
      }
      return "cannot read '" + argument + "': " + *file.error;
    }
    loaded = boards::ParseBoard(file.bytes, argument);
  }
  if (!loaded.board) {
    return loaded.error;
  }
  return std::move(*loaded.board);
}

std::optional<unsigned> HexNumber(std::string_view text) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// A whole number from `low` to `high`, in decimal digits only; nothing for anything else.
std::optional<std::uint64_t> WholeNumber(std::string_view text, std::uint64_t low,
                                         std::uint64_t high) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low ||
      value > high) {
    return std::nullopt;
  }
  return value;
}

// A number above `low` (or from `low` on, with `lowIncluded`) up to `high`; nothing for
// anything else.
std::optional<double> RealNumber(std::string_view text, double low, bool lowIncluded, double high) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value) || value > high || value < low || (!lowIncluded && value == low)) {
    return std::nullopt;
  }
  return value;
}

constexpr std::uint64_t kMostCycles = std::numeric_limits<std::uint64_t>::max();

// Checks the numeric options, each against its range.
std::string CheckNumbers(const Options& options, SimulatorRun& run) {
  if (options.cycles) {
    run.cycles = WholeNumber(*options.cycles, 0, kMostCycles);
    if (!run.cycles) {
      return "--cycles needs a whole number from 0 to " + std::to_string(kMostCycles) + ", not '" +
             *options.cycles + "'";
    }
  }
  if (options.test) {
    const auto level = WholeNumber(*options.test, 0, 1);
    if (!level) {
      return "--test must be 0 or 1, not '" + *options.test + "'";
    }
    run.test = *level != 0;
  }
  if (options.clock) {
    const auto clock = RealNumber(*options.clock, 1000, true, 100e6);
    if (!clock) {
      return "--clock needs a frequency in Hz from 1000 to 100000000, not '" + *options.clock + "'";
    }
    run.clock = *clock;
  }
  if (options.baud && !RealNumber(*options.baud, 0, false, 1e7)) {
    return "--baud needs a bit rate above 0 and at most 10000000, not '" + *options.baud + "'";
  }
  if (options.keyHold) {
    const auto hold = RealNumber(*options.keyHold, 0, false, 60000);
    if (!hold) {
      return "--key-hold must be above 0 and at most 60000 (milliseconds), not '" +
             *options.keyHold + "'";
    }
    run.keyHoldMs = *hold;
  }
  if (options.keyRelease) {
    const auto release = RealNumber(*options.keyRelease, 0, true, 60000);
    if (!release) {
      return "--key-release must be 0 to 60000 (milliseconds), not '" + *options.keyRelease + "'";
    }
    run.keyReleaseMs = *release;
  }
  if (options.interruptEvery) {
    run.interruptEvery = WholeNumber(*options.interruptEvery, 1, kMostCycles).value_or(0);
    if (run.interruptEvery == 0) {
      return "--interrupt-every needs a whole number of cycles from 1 to " +
             std::to_string(kMostCycles) + ", not '" + *options.interruptEvery + "'";
    }
  }
  return {};
}

// Checks the options that say what the board is: --board, or the serial options that wire a
// serial line. Returns what is wrong with them.
std::string CheckBoardOptions(const Options& options, SimulatorRun& run) {
  if (options.board) {
    if (!options.serialOptionGiven.empty()) {
      return options.serialOptionGiven +
             " cannot be used with --board: the board wires its own serial line";
    }
    auto board = LoadBoard(*options.board);
    if (auto* problem = std::get_if<std::string>(&board)) {
      return std::move(*problem);
    }
    run.board = std::move(std::get<boards::BoardDescription>(board));
    run.boardGiven = true;
    if (!options.cpuGiven && run.board.cpu) {
      run.cpu = *run.board.cpu;
      run.cpuChosen = true;
    }
    if (!options.clock && run.board.clockHz) {
      run.clock = *run.board.clockHz;
    }
    return {};
  }
  const auto format = simulate::ParseSerialFormat(options.serialFormat);
  if (!format) {
    return "--serial-format needs data bits 5-8, parity N/E/O and stop bits 1-2, like 8N1, "
           "not '" +
           options.serialFormat + "'";
  }
  boards::SerialLine line;
  line.format = *format;
  line.baud = options.baud ? RealNumber(*options.baud, 0, false, 1e7).value_or(9600) : 9600;
  line.invertTransmit = options.invertTx || options.invert;
  line.invertReceive = options.invertRx || options.invert;
  if (options.serialTx) {
    line.transmit = boards::ParseOutputPin(*options.serialTx);
    if (!line.transmit) {
      return "--serial-tx needs rom:P:B or ram:L:C:B, not '" + *options.serialTx + "'";
    }
  }
  if (options.serialRx) {
    if (*options.serialRx != "test") {
      return "--serial-rx can only be 'test', not '" + *options.serialRx + "'";
    }
    line.receiveOnTest = true;
  }
  run.board = boards::SerialBoard(line);
  return {};
}

// Checks the options that need a serial line: --input and --until-output.
std::string CheckSerialText(const Options& options, SimulatorRun& run) {
  if (options.input) {
    if (!HasPart<boards::SerialInPart>(run.board)) {
      return options.board ? "--input needs a board with a serial input"
                           : "--input needs --serial-rx test";
    }
    const auto bytes = Unescape(*options.input);
    if (!bytes) {
      return "--input has a broken escape: '" + *options.input + "'";
    }
    run.input = *bytes;
  }
  if (options.untilOutput) {
    if (!HasPart<boards::SerialOutPart>(run.board)) {
      return options.board ? "--until-output needs a board with a serial output"
                           : "--until-output needs --serial-tx";
    }
    run.untilOutput = Unescape(*options.untilOutput);
    if (!run.untilOutput || run.untilOutput->empty()) {
      return "--until-output needs a text, with whole escapes: '" + *options.untilOutput + "'";
    }
  }
  return {};
}

// The checked run, or what is wrong with the options.
std::variant<SimulatorRun, std::string> Check(const Options& options) {
  SimulatorRun run;
  run.program = options.program;
  run.image = options.image;
  run.state = options.state;
  run.trace = options.trace;
  run.keys = options.keys;
  const auto cpu = simulate::ParseProcessor(options.cpu);
  if (!cpu) {
    return "--cpu must be 4004 or 4040, not '" + options.cpu + "'";
  }
  run.cpu = *cpu;
  run.cpuChosen = options.cpuGiven;
  const auto syntax = ParseSyntax(options.syntax);
  if (!syntax) {
    return "--syntax must be classic, asl or auto, not '" + options.syntax + "'";
  }
  if (options.image && options.syntaxGiven) {
    return "--syntax is for a source; --image loads a binary image";
  }
  run.syntax = *syntax;
  run.includeFolders = options.includeFolders;
  if (std::string problem = CheckNumbers(options, run); !problem.empty()) {
    return problem;
  }
  if (run.interruptEvery != 0 && run.cpu != simulate::Processor::I4040) {
    return "--interrupt-every needs the 4040 (--cpu 4040, or a board with one): the 4004 has no "
           "interrupt";
  }
  if (options.until) {
    const auto address = HexNumber(*options.until);
    if (!address || *address > 0xFFF) {
      return "--until needs a hexadecimal address 000-FFF, not '" + *options.until + "'";
    }
    run.until = static_cast<int>(*address);
  }
  for (const std::string& entry : options.romInputs) {
    const std::size_t equals = entry.find('=');
    const auto port = HexNumber(std::string_view(entry).substr(0, equals));
    const auto value =
        equals == std::string::npos ? std::nullopt : HexNumber(entry.substr(equals + 1));
    if (!port || !value || *port > 0xF || *value > 0xF) {
      return "--rom-input needs P=V with a hexadecimal port 0-F and value 0-F, not '" + entry + "'";
    }
    run.romInputs.emplace_back(*port, *value);
  }
  if (std::string problem = CheckBoardOptions(options, run); !problem.empty()) {
    return problem;
  }
  if (options.keys && !options.board) {
    return "--keys needs a --board with keys";
  }
  if (std::string problem = CheckSerialText(options, run); !problem.empty()) {
    return problem;
  }
  return run;
}

} // namespace

std::variant<SimulatorRun, int> ReadSimulatorCommandLine(std::span<const std::string> args,
                                                         std::ostream& out, std::ostream& err) {
  Options options;
  std::string usage(kUsage);
  for (const std::string& name : boards::BuiltInBoardNames()) {
    usage += name + (name == boards::BuiltInBoardNames().back() ? ".\n" : ", ");
  }
  CommandLine line(kProgram, usage);
  CLI::App& app = line.app();
  app.add_option("PROGRAM", options.program);
  app.add_flag("--image", options.image);
  app.add_option("--syntax", options.syntax);
  app.add_option("-I", options.includeFolders)->allow_extra_args(false);
  app.add_option("--cpu", options.cpu);
  app.add_option("--cycles", options.cycles);
  app.add_option("--until", options.until);
  app.add_option("--test", options.test);
  app.add_option("--rom-input", options.romInputs)->allow_extra_args(false);
  app.add_flag("--state", options.state);
  app.add_flag("--trace", options.trace);
  app.add_option("--clock", options.clock);
  app.add_option("--interrupt-every", options.interruptEvery);
  app.add_option("--serial-tx", options.serialTx);
  app.add_option("--serial-rx", options.serialRx);
  app.add_flag("--serial-invert-tx", options.invertTx);
  app.add_flag("--serial-invert-rx", options.invertRx);
  app.add_flag("--serial-invert", options.invert);
  app.add_option("--serial-format", options.serialFormat);
  app.add_option("--baud", options.baud);
  app.add_option("--input", options.input);
  app.add_option("--until-output", options.untilOutput);
  app.add_option("--board", options.board);
  app.add_option("--keys", options.keys);
  app.add_option("--key-hold", options.keyHold);
  app.add_option("--key-release", options.keyRelease);
  if (const auto status = line.Parse(args, out, err)) {
    return *status;
  }
  if (options.program.empty()) {
    return line.UsageError("no PROGRAM given", err);
  }
  for (const char* name : {"--serial-tx", "--serial-rx", "--serial-invert-tx", "--serial-invert-rx",
                           "--serial-invert", "--serial-format", "--baud"}) {
    if (options.serialOptionGiven.empty() && app.count(name) > 0) {
      options.serialOptionGiven = name;
    }
  }
  options.cpuGiven = app.count("--cpu") > 0;
  options.syntaxGiven = app.count("--syntax") > 0;
  auto checked = Check(options);
  if (const auto* problem = std::get_if<std::string>(&checked)) {
    return line.UsageError(*problem, err);
  }
  return std::move(std::get<SimulatorRun>(checked));
}

std::optional<std::string> Unescape(std::string_view text) {

  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes += text[i];
      continue;
    }
    if (++i == text.size()) {
      return std::nullopt;
    }
    switch (text[i]) {
    case 'r':
      bytes += '\r';
      break;
    case 'n':
      bytes += '\n';
      break;
    case 't':
      bytes += '\t';
      break;
    case 'e':
      bytes += '\x1B';
      break;
    case '0':
      bytes += '\0';
      break;
    case '\\':
      bytes += '\\';
      break;
    case 'x': {
      const auto value = HexNumber(text.substr(i + 1, 2));
      if (!value || i + 2 >= text.size()) {
        return std::nullopt;
      }
      bytes += static_cast<char>(*value);
      i += 2;
      break;
    }
    default:
      return std::nullopt;
    }
  }
  return bytes;
}

} // namespace cli
