#include "cli/sim.h"

#include "boards/board_file.h"
#include "cli/cli.h"
#include "services/file_io.h"
#include "simulate/board.h"
#include "simulate/key_script.h"
#include "simulate/step.h"
#include "simulate/trace.h"
#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace cli {

namespace {

constexpr std::string_view kProgram = "brindlewick-sim";
constexpr std::uint64_t kDefaultCycles = 10'000'000;

constexpr std::string_view kUsage = R"(Usage: brindlewick-sim [options] PROGRAM
Runs an Intel 4004 or 4040 program, cycle by cycle.

  PROGRAM                 a source file (assembled first, with brindlewick-asm's messages and exit
                          status 1 on an error), or with --image a binary image loaded at 000
  --image                 PROGRAM is a binary image, not source
  --cpu 4004|4040         processor (default 4004)
  --cycles N              stop at the first instruction boundary at or after N instruction cycles
  --until ADDR            stop when the next instruction to run is at ADDR (hexadecimal)
  --test 0|1              level of the TEST input while no serial input drives it (default 0)
  --rom-input P=V         the 4-bit value that the input lines of ROM port P (hex digit) present to
                          RDR (default 0); may be given several times
  --state                 at the end, print the machine state as one JSON object
  --trace                 print one line per instruction run: cycle count, address, bytes,
                          mnemonic with operands, then the accumulator, carry and what changed
  --clock HZ              the processor clock in Hz (default 740000), for serial timing and times
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
  --board NAME|FILE       run on a board: busicom-141pf, 4004-sbc, test4004, or a board file
                          (JSON); it sets the processor, the clock and the serial line, which
                          --cpu and --clock may still change
  --keys KEYS             press keys on the board's keyboard: digits, + - x / = . C CE (* for x),
                          any key by its name in brackets ([00] [M+] [FEED]), and switch settings
                          such as [DP=2] or [ROUND=trunc]; spaces are ignored. After the last
                          key the run goes on until the printer has been still for 2 s (at most
                          30 s)
  --key-hold MS           how long each key is held (default 100 ms of simulated time)
  --key-release MS        how long each key is let go before the next (default 300)
  -h, --help              show this help and exit
      --version           show the version and exit

Decoded serial output and the lines the board's printer prints go to standard output as they come
(with --state or --trace, to standard error). Exit status: 0 when a stop condition was met; 1 for a source error, a run that stopped at
a byte that is no instruction, or one that met no stop condition within --cycles (10,000,000
without it); 2 for bad usage or an unreadable file. Without a stop option the run ends at a 4040
HLT with interrupts disabled.
)";

struct Options {
  std::string program;
  bool image = false;
  std::string cpu = "4004";
  std::optional<std::uint64_t> cycles;
  std::optional<std::string> until;
  int test = 0;
  std::vector<std::string> romInputs;
  bool state = false;
  bool trace = false;
  double clock = 740000;
  std::optional<std::string> serialTx;
  std::optional<std::string> serialRx;
  bool invertTx = false;
  bool invertRx = false;
  bool invert = false;
  std::string serialFormat = "8N1";
  double baud = 9600;
  std::optional<std::string> input;
  std::optional<std::string> untilOutput;
  std::optional<std::string> board;
  std::optional<std::string> keys;
  double keyHold = 100;
  double keyRelease = 300;
  std::string serialOptionGiven; // the first serial wiring option given, for its message
  bool cpuGiven = false;
  bool clockGiven = false;
  bool help = false;
  bool version = false;
};

// The settings the run takes from the options, once they are checked.
struct Settings {
  simulate::Processor cpu = simulate::Processor::I4004;
  double clock = 740000;
  int until = -1;
  std::vector<std::pair<std::uint8_t, std::uint8_t>> romInputs;
  simulate::BoardDescription board;
  std::string input;
  std::optional<std::string> untilOutput;
};

template <typename Kind> bool HasPart(const simulate::BoardDescription& board) {
  return std::any_of(board.parts.begin(), board.parts.end(), [](const simulate::Part& part) {
    return std::holds_alternative<Kind>(part.kind);
  });
}

// The board that --board names: one that comes with the program, or a board file.
std::variant<simulate::BoardDescription, std::string> LoadBoard(const std::string& argument) {
  boards::LoadedBoard loaded;
  if (const auto builtIn = boards::BuiltInBoard(argument)) {
    loaded = boards::ParseBoard(*builtIn, argument);
  } else {
    const services::FileContent file = services::ReadFile(argument);
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

// The checked settings, or what is wrong with the options.
std::variant<Settings, std::string> Check(const Options& options) {
  Settings settings;
  if (options.cpu == "4040") {
    settings.cpu = simulate::Processor::I4040;
  } else if (options.cpu != "4004") {
    return "--cpu must be 4004 or 4040, not '" + options.cpu + "'";
  }
  if (options.until) {
    const auto address = HexNumber(*options.until);
    if (!address || *address > 0xFFF) {
      return "--until needs a hexadecimal address 000-FFF, not '" + *options.until + "'";
    }
    settings.until = static_cast<int>(*address);
  }
  for (const std::string& entry : options.romInputs) {
    const std::size_t equals = entry.find('=');
    const auto port = HexNumber(std::string_view(entry).substr(0, equals));
    const auto value =
        equals == std::string::npos ? std::nullopt : HexNumber(entry.substr(equals + 1));
    if (!port || !value || *port > 0xF || *value > 0xF) {
      return "--rom-input needs P=V with a hexadecimal port 0-F and value 0-F, not '" + entry + "'";
    }
    settings.romInputs.emplace_back(*port, *value);
  }
  if (options.board) {
    if (!options.serialOptionGiven.empty()) {
      return options.serialOptionGiven +
             " cannot be used with --board: the board wires its own serial line";
    }
    auto board = LoadBoard(*options.board);
    if (auto* problem = std::get_if<std::string>(&board)) {
      return std::move(*problem);
    }
    settings.board = std::move(std::get<simulate::BoardDescription>(board));
    if (!options.cpuGiven && settings.board.cpu) {
      settings.cpu = *settings.board.cpu;
    }
    if (!options.clockGiven && settings.board.clockHz) {
      settings.clock = *settings.board.clockHz;
    }
  } else {
    const auto format = simulate::ParseSerialFormat(options.serialFormat);
    if (!format) {
      return "--serial-format needs data bits 5-8, parity N/E/O and stop bits 1-2, like 8N1, "
             "not '" +
             options.serialFormat + "'";
    }
    simulate::SerialLine line;
    line.format = *format;
    line.baud = options.baud;
    line.invertTransmit = options.invertTx || options.invert;
    line.invertReceive = options.invertRx || options.invert;
    if (options.serialTx) {
      line.transmit = simulate::ParseOutputPin(*options.serialTx);
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
    settings.board = simulate::SerialBoard(line);
  }
  if (options.clockGiven) {
    settings.clock = options.clock;
  }
  if (!(settings.clock > 0) || !(options.baud > 0)) {
    return std::string("--clock and --baud must be above 0");
  }
  if (!(options.keyHold > 0) || !(options.keyRelease >= 0)) {
    return std::string("--key-hold must be above 0 and --key-release 0 or more");
  }
  if (options.keys && !options.board) {
    return std::string("--keys needs a --board with keys");
  }
  if (options.input) {
    if (!HasPart<simulate::SerialInPart>(settings.board)) {
      return std::string(options.board ? "--input needs a board with a serial input"
                                       : "--input needs --serial-rx test");
    }
    const auto bytes = Unescape(*options.input);
    if (!bytes) {
      return "--input has a broken escape: '" + *options.input + "'";
    }
    settings.input = *bytes;
  }
  if (options.untilOutput) {
    if (!HasPart<simulate::SerialOutPart>(settings.board)) {
      return std::string(options.board ? "--until-output needs a board with a serial output"
                                       : "--until-output needs --serial-tx");
    }
    settings.untilOutput = Unescape(*options.untilOutput);
    if (!settings.untilOutput || settings.untilOutput->empty()) {
      return "--until-output needs a text, with whole escapes: '" + *options.untilOutput + "'";
    }
  }
  return settings;
}

// Parses the command line into options, or says what is wrong with it.
std::variant<Options, std::string> Parse(std::span<const std::string> args) {
  Options options;
  CLI::App app;
  app.set_help_flag();
  app.allow_windows_style_options(false);
  app.add_option("PROGRAM", options.program);
  app.add_flag("--image", options.image);
  app.add_option("--cpu", options.cpu);
  app.add_option("--cycles", options.cycles);
  app.add_option("--until", options.until);
  app.add_option("--test", options.test)->check(CLI::IsMember({0, 1}));
  app.add_option("--rom-input", options.romInputs)->allow_extra_args(false);
  app.add_flag("--state", options.state);
  app.add_flag("--trace", options.trace);
  app.add_option("--clock", options.clock);
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
  app.add_flag("-h,--help", options.help);
  app.add_flag("--version", options.version);
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    return std::string(error.what());
  }
  if (!options.help && !options.version && options.program.empty()) {
    return std::string("no PROGRAM given");
  }
  for (const char* name : {"--serial-tx", "--serial-rx", "--serial-invert-tx", "--serial-invert-rx",
                           "--serial-invert", "--serial-format", "--baud"}) {
    if (options.serialOptionGiven.empty() && app.count(name) > 0) {
      options.serialOptionGiven = name;
    }
  }
  options.cpuGiven = app.count("--cpu") > 0;
  options.clockGiven = app.count("--clock") > 0;
  return options;
}

// The program's image: read, and assembled first unless it is an image. Returns the exit
// status of a failure.
std::variant<std::vector<std::uint8_t>, int> LoadProgram(const Options& options, std::istream& in,
                                                         std::ostream& err) {
  std::string bytes;
  if (options.program == "-") {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else {
    services::FileContent content = services::ReadFile(options.program);
    if (content.error) {
      err << kProgram << ": cannot read '" << options.program << "': " << *content.error << '\n';
      return kExitFailure;
    }
    bytes = std::move(content.bytes);
  }
  if (options.image) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  }
  translate::LoadMnemonicTable();
  const auto store = std::make_unique<assembly::ProgramStore>();
  Assembled assembled = AssembleFileBytes(*store, bytes);
  if (!assembled.outcome.Completed()) {
    ReportSourceError(options.program == "-" ? "<stdin>" : options.program, assembled.outcome, err);
    return kExitSourceError;
  }
  return std::move(assembled.image);
}

// Writes the serial output decoded so far, and reports broken characters.
class SerialOutput {
public:
  SerialOutput(std::ostream& out, std::ostream& err, std::optional<std::string> until)
      : out_(out), err_(err), until_(std::move(until)) {}

  // Takes the characters decoded up to `cycle`. Returns true when the awaited text has come.
  bool Take(simulate::Board& board, std::uint64_t cycle) {
    simulate::SerialDecoder* decoder = board.Output(cycle);
    board.OutputArrived() = false;
    if (decoder == nullptr) {
      return false;
    }
    for (const simulate::SerialCharacter& character : decoder->Received()) {
      if (character.framingError || character.parityError) {
        err_ << kProgram << ": serial " << (character.framingError ? "framing" : "parity")
             << " error at cycle " << character.cycle << " (the character read "
             << static_cast<unsigned>(character.value) << ")\n";
        continue;
      }
      out_.put(static_cast<char>(character.value));
      text_.push_back(static_cast<char>(character.value));
    }
    decoder->Received().clear();
    out_.flush();
    return until_ && text_.find(*until_) != std::string::npos;
  }

  // Writes the lines the printer has fed out since the last call; at the end of the run, with
  // `end`, also the line still in the printer if anything is printed on it.
  void TakePaper(simulate::Board& board, bool end) {
    simulate::DrumPrinter* printer = board.Printer();
    if (printer == nullptr) {
      return;
    }
    for (const simulate::PaperLine& line : printer->Fed()) {
      out_ << printer->Text(line) << '\n';
    }
    printer->Fed().clear();
    if (end && !printer->Current().Blank()) {
      out_ << printer->Text(printer->Current()) << '\n';
    }
    out_.flush();
  }

private:
  std::ostream& out_;
  std::ostream& err_;
  std::optional<std::string> until_;
  std::string text_;
};

} // namespace

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

std::string StateJson(const simulate::Machine& machine, bool test) {
  using simulate::kRamChips;
  using simulate::kRamLines;
  using simulate::kRamRegisters;
  const bool is4040 = machine.cpu == simulate::Processor::I4040;
  nlohmann::ordered_json state;
  state["cpu"] = is4040 ? "4040" : "4004";
  state["cycles"] = machine.cycles;
  state["pc"] = simulate::ProgramCounter(machine);
  const std::size_t size = simulate::AddressRegisters(machine.cpu);
  nlohmann::ordered_json stack = nlohmann::ordered_json::array();
  for (std::size_t i = 1; i < size; ++i) {
    stack.push_back(machine.addresses[(machine.pointer + size - i) % size]);
  }
  state["stack"] = stack;
  state["acc"] = machine.acc;
  state["carry"] = machine.carry;
  state["test"] = test ? 1 : 0;
  state["registers"] = std::vector<int>(machine.registers.begin(), machine.registers.begin() + 16);
  if (is4040) {
    state["registers_bank1"] =
        std::vector<int>(machine.registers.begin() + 16, machine.registers.end());
    state["register_bank"] = machine.registerBank;
    state["rom_bank"] = machine.romBank;
  }
  state["src"] = machine.src;
  state["dcl"] = machine.dcl;
  nlohmann::ordered_json ram = nlohmann::ordered_json::array();
  nlohmann::ordered_json ramPorts = nlohmann::ordered_json::array();
  for (std::size_t line = 0; line < kRamLines; ++line) {
    nlohmann::ordered_json chips = nlohmann::ordered_json::array();
    nlohmann::ordered_json ports = nlohmann::ordered_json::array();
    for (std::size_t chip = 0; chip < kRamChips; ++chip) {
      nlohmann::ordered_json registers = nlohmann::ordered_json::array();
      for (std::size_t reg = 0; reg < kRamRegisters; ++reg) {
        std::vector<int> characters;
        for (std::size_t c = 0; c < simulate::kMainCharacters; ++c) {
          characters.push_back(machine.ram[simulate::RamIndex(line, chip, reg, c)]);
        }
        for (std::size_t c = 0; c < simulate::kStatusCharacters; ++c) {
          characters.push_back(machine.status[simulate::StatusIndex(line, chip, reg, c)]);
        }
        registers.push_back(characters);
      }
      chips.push_back(registers);
      ports.push_back(machine.ramPorts[line * kRamChips + chip]);
    }
    ram.push_back(chips);
    ramPorts.push_back(ports);
  }
  state["ram"] = ram;
  state["ram_ports"] = ramPorts;
  state["rom_ports"] = std::vector<int>(machine.romPorts.begin(), machine.romPorts.end());
  if (is4040) {
    state["halted"] = machine.halted;
    state["interrupts_enabled"] = machine.interruptsEnabled;
  }
  return state.dump();
}

int RunSimulator(std::span<const std::string> args, std::istream& in, std::ostream& out,
                 std::ostream& err) {
  const auto parsed = Parse(args);
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
  const auto checked = Check(options);
  if (const auto* problem = std::get_if<std::string>(&checked)) {
    err << kProgram << ": " << *problem << "\nTry '" << kProgram << " --help'.\n";
    return kExitFailure;
  }
  const Settings& settings = std::get<Settings>(checked);

  const auto loaded = LoadProgram(options, in, err);
  if (const int* status = std::get_if<int>(&loaded)) {
    return *status;
  }
  const auto machinePointer =
      std::make_unique<simulate::Machine>(simulate::MakeMachine(settings.cpu));
  simulate::Machine& machine = *machinePointer;
  if (const std::string problem = simulate::LoadImage(machine, std::get<0>(loaded));
      !problem.empty()) {
    err << kProgram << ": cannot load '" << options.program << "': " << problem << '\n';
    return kExitFailure;
  }

  simulate::Board board(settings.board, settings.clock);
  board.SetTest(options.test != 0);
  for (const auto& [port, value] : settings.romInputs) {
    board.SetRomInput(port, value);
  }
  board.SendInput(settings.input);

  // The keys, and when the run may end after them: once the printer has been still for a while,
  // and at the latest some time after the last key.
  const double cyclesPerMs = board.CyclesPerSecond() / 1000;
  std::optional<std::uint64_t> keysEnd;
  if (options.keys) {
    const simulate::KeyScript script = simulate::ParseKeys(*options.keys, board);
    if (!script.error.empty()) {
      err << kProgram << ": --keys: " << script.error << '\n';
      return kExitFailure;
    }
    keysEnd = simulate::ScheduleKeys(board, script.actions, 0,
                                     static_cast<std::uint64_t>(options.keyHold * cyclesPerMs),
                                     static_cast<std::uint64_t>(options.keyRelease * cyclesPerMs));
  }
  const auto stillFor = static_cast<std::uint64_t>(2000 * cyclesPerMs);
  const auto keysDeadline =
      keysEnd ? *keysEnd + static_cast<std::uint64_t>(30000 * cyclesPerMs) : 0;

  // Serial output and paper share standard output with nothing else, unless the state or a trace
  // goes there.
  std::ostream& serialStream = options.state || options.trace ? err : out;
  SerialOutput serial(serialStream, err, settings.untilOutput);
  const bool stopOptions = options.cycles || options.until || options.untilOutput;
  simulate::RunLimits limits;
  limits.cycleLimit =
      options.cycles.value_or(keysEnd ? std::numeric_limits<std::uint64_t>::max() : kDefaultCycles);
  limits.until = settings.until;
  limits.endAtHalt = !stopOptions && settings.cpu == simulate::Processor::I4040;
  limits.pause = &board.OutputArrived();

  int status = kExitSuccess;
  for (;;) {
    simulate::RunOutcome outcome;
    bool more = false;
    simulate::RunLimits slice = limits;
    if (keysEnd) {
      // Looks at the printer every tenth of a second.
      slice.cycleLimit = std::min(
          limits.cycleLimit, machine.cycles + static_cast<std::uint64_t>(100 * cyclesPerMs) + 1);
    }
    if (options.trace) {
      // One step at a time, each written as it runs.
      const simulate::Machine before = machine;
      slice.cycleLimit = std::min(slice.cycleLimit, machine.cycles + 1);
      outcome = simulate::Run(machine, board, slice);
      if (machine.cycles != before.cycles) {
        out << simulate::TraceLine(before, machine, outcome.last) << '\n';
      }
    } else {
      outcome = simulate::Run(machine, board, slice);
    }
    more = outcome.end == simulate::RunEnd::CycleLimit && machine.cycles < limits.cycleLimit;
    const bool awaited = serial.Take(board, machine.cycles);
    serial.TakePaper(board, false);
    if (awaited) {
      break; // the awaited output has come
    }
    if (keysEnd && outcome.end != simulate::RunEnd::Stopped) {
      const simulate::DrumPrinter* printer = board.Printer();
      const std::uint64_t lastActivity =
          std::max(*keysEnd, printer != nullptr ? printer->LastActivity() : 0);
      if (machine.cycles >= lastActivity + stillFor) {
        break; // the keys are done and the printer is still
      }
      if (machine.cycles >= keysDeadline) {
        err << kProgram << ": the printer was still printing 30 s after the last key\n";
        status = kExitSourceError;
        break;
      }
    }
    if (more || outcome.end == simulate::RunEnd::Paused) {
      continue;
    }
    if (outcome.end == simulate::RunEnd::Stopped) {
      err << kProgram << ": stopped at "
          << translate::FormatAddress(static_cast<std::int16_t>(outcome.last.address)) << ": "
          << simulate::Describe(outcome.last.stop, outcome.last, machine.cpu) << '\n';
      status = kExitSourceError;
    } else if (outcome.end == simulate::RunEnd::CycleLimit &&
               (!options.cycles || options.until || options.untilOutput)) {
      err << kProgram << ": no stop condition was met within " << limits.cycleLimit << " cycles"
          << (stopOptions ? "" : " (--cycles, --until or --until-output set one)") << '\n';
      status = kExitSourceError;
    }
    break;
  }
  serial.TakePaper(board, true);
  if (options.state) {
    out << StateJson(machine, board.TestLevel(machine.cycles)) << '\n';
  }
  out.flush();
  return status;
}

} // namespace cli
