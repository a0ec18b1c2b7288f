#pragma once

#include "boards/description.h"
#include "cli/syntax.h"
#include "simulate/machine.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// The command line of brindlewick-sim: its options, their checks, and the run they ask for.
namespace cli {

// A run of brindlewick-sim as its command line asks for it, every value checked.
struct SimulatorRun {
  std::string program;
  bool image = false; // `program` is a binary image rather than source
  Syntax syntax = Syntax::Classic;
  std::vector<std::string> includeFolders;
  simulate::Processor cpu = simulate::Processor::I4004;
  bool cpuChosen = false; // by --cpu or the board, rather than by default
  double clock = 740000;
  std::optional<std::uint64_t> cycles; // --cycles
  int until = -1;                      // --until, or -1
  bool test = false;
  std::vector<std::pair<std::uint8_t, std::uint8_t>> romInputs; // port, value
  bool state = false;
  bool trace = false;
  boards::BoardDescription board; // --board, or the serial line the serial options wire
  bool boardGiven = false;
  std::string input; // the bytes of --input
  std::optional<std::string> untilOutput;
  std::optional<std::string> keys;
  double keyHoldMs = 100;
  double keyReleaseMs = 300;
  std::uint64_t interruptEvery = 0; // cycles, 0 for none
};

// Reads the command line `args` (without the program name). Returns the run, or the exit status
// when the program ends here: after --help or --version, written to `out`, or a usage error,
// written to `err`.
[[nodiscard]] std::variant<SimulatorRun, int>
ReadSimulatorCommandLine(std::span<const std::string> args, std::ostream& out, std::ostream& err);

// `text` with the C escapes \r \n \t \e \0 \\ and \xHH replaced by the bytes they stand for;
// nothing when an escape is broken.
[[nodiscard]] std::optional<std::string> Unescape(std::string_view text);

} // namespace cli
