#pragma once

#include "simulate/machine.h"
#include "simulate/parts/drum_printer.h"
#include "simulate/parts/serial_line.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// A board as data: which parts hang on which pins of the processor. The description is plain
// values, read from a board file or made up by a program; `CheckBoard` says whether its wiring
// holds together, and `Board` runs it.
namespace boards {

using simulate::PrinterColumns;
using simulate::Processor;
using simulate::SerialFormat;

// An output bit that a part listens to: bit `bit` of ROM port `chip`'s output latch, or of the
// output port of RAM chip `chip` on CM-RAM line `line`.
struct OutputPin {
  enum class Kind : std::uint8_t { Rom, Ram };
  Kind kind = Kind::Rom;
  std::uint8_t line = 0;
  std::uint8_t chip = 0; // or the ROM port
  std::uint8_t bit = 0;

  friend bool operator==(const OutputPin&, const OutputPin&) = default;
};

// "rom:P:B" or "ram:L:C:B" (hexadecimal port P, decimal line, chip and bit); nothing for a text
// that is not one.
[[nodiscard]] std::optional<OutputPin> ParseOutputPin(std::string_view text);
[[nodiscard]] std::string PinText(const OutputPin& pin);

// An input that a part drives: the TEST pin, the 4040's INT pin, or input line `bit` of ROM
// port `port`.
struct InputPin {
  enum class Kind : std::uint8_t { Test, Rom, Interrupt };
  Kind kind = Kind::Test;
  std::uint8_t port = 0;
  std::uint8_t bit = 0;

  friend bool operator==(const InputPin&, const InputPin&) = default;
};

// "test", "int" or "rom:P:B"; nothing for a text that is not one.
[[nodiscard]] std::optional<InputPin> ParseInputPin(std::string_view text);
[[nodiscard]] std::string PinText(const InputPin& pin);

// The output port of RAM chip `chip` on CM-RAM line `line`, all four bits: "ram:L:C".
struct RamPort {
  std::uint8_t line = 0;
  std::uint8_t chip = 0;

  friend bool operator==(const RamPort&, const RamPort&) = default;
};
[[nodiscard]] std::optional<RamPort> ParseRamPort(std::string_view text);

// Where a key sits on the window's panel, and what it shows.
struct PanelPlace {
  int row = -1; // -1: wherever there is room
  int column = -1;
  std::string label; // empty: the key's name

  friend bool operator==(const PanelPlace&, const PanelPlace&) = default;
};

// A chain of 4003s.
struct ShiftRegisterPart {
  OutputPin clock;
  OutputPin data;
  unsigned chips = 1;
  friend bool operator==(const ShiftRegisterPart&, const ShiftRegisterPart&) = default;
};

// A key of a key matrix: it joins `column` to `row` while it is held.
struct MatrixKey {
  std::string name;
  std::vector<std::string> aliases; // other names for it in key scripts
  unsigned column = 0;
  unsigned row = 0;
  PanelPlace place;
  friend bool operator==(const MatrixKey&, const MatrixKey&) = default;
};

struct KeyMatrixPart {
  std::string columns;        // the shift register whose bits select the columns
  bool activeLow = true;      // a column is selected while its bit is 0
  std::vector<InputPin> rows; // row r is read on rows[r]
  std::vector<MatrixKey> keys;
  friend bool operator==(const KeyMatrixPart&, const KeyMatrixPart&) = default;
};

// A switch of several positions wired into a key matrix column: each position closes the rows
// of its value.
struct SwitchPart {
  std::string matrix;
  unsigned column = 0;
  std::vector<std::pair<std::string, std::uint8_t>> positions; // name, rows closed
  std::size_t position = 0;                                    // at power-on
  std::string label;
  friend bool operator==(const SwitchPart&, const SwitchPart&) = default;
};

// A push button on an input line, which reads 1 while it is held.
struct ButtonPart {
  InputPin input;
  std::vector<std::string> aliases;
  PanelPlace place;
  friend bool operator==(const ButtonPart&, const ButtonPart&) = default;
};

struct PulseTrainPart {
  InputPin output;
  double periodMs = 0;
  double widthMs = 0;
  double phaseMs = 0;
  unsigned indexEvery = 1;
  std::optional<InputPin> index;
  friend bool operator==(const PulseTrainPart&, const PulseTrainPart&) = default;
};

struct DrumPrinterPart {
  std::string drum;                    // the pulse train that marks the drum's positions
  std::string hammers;                 // the shift register that chooses the hammers
  std::vector<unsigned> hammerColumns; // by shift-register bit: the column, 0 for none
  OutputPin fire;
  OutputPin advance;
  std::optional<OutputPin> red;
  std::vector<PrinterColumns> columns;
  friend bool operator==(const DrumPrinterPart&, const DrumPrinterPart&) = default;
};

struct LampPart {
  OutputPin pin; // lit while the pin is 1
  std::string label;
  friend bool operator==(const LampPart&, const LampPart&) = default;
};

// The program sends serial characters on `pin`.
struct SerialOutPart {
  OutputPin pin;
  SerialFormat format;
  double baud = 9600;
  bool invert = false; // the board inverts the line: it rests at 0
  friend bool operator==(const SerialOutPart&, const SerialOutPart&) = default;
};

// The program receives serial characters on `pin`.
struct SerialInPart {
  InputPin pin;
  SerialFormat format;
  double baud = 9600;
  bool invert = false; // the board inverts the line: the program reads 0 at rest
  friend bool operator==(const SerialInPart&, const SerialInPart&) = default;
};

struct ProgramRamPart {
  std::uint8_t page = 0xF;
  unsigned banks = 1;
  std::optional<RamPort> bankSelect; // the port whose value chooses the bank
  bool lowHalfFirst = false;         // Intel's 4008/4009: the first WPM writes the upper half
  bool srcStartsByte = false;        // Intel's: only RESET sets the half-byte counter back
  friend bool operator==(const ProgramRamPart&, const ProgramRamPart&) = default;
};

using PartKind =
    std::variant<ShiftRegisterPart, KeyMatrixPart, SwitchPart, ButtonPart, PulseTrainPart,
                 DrumPrinterPart, LampPart, SerialOutPart, SerialInPart, ProgramRamPart>;

// The words a board file uses for each kind of part, in the order of `PartKind`.
inline constexpr std::array<std::string_view, std::variant_size_v<PartKind>> kPartKindNames{
    "shift-register", "key-matrix", "switch",     "button",    "pulse-train",
    "drum-printer",   "lamp",       "serial-out", "serial-in", "program-ram"};

struct Part {
  std::string name;
  PartKind kind;
  friend bool operator==(const Part&, const Part&) = default;
};

struct BoardDescription {
  std::string name;
  std::string title;
  std::optional<Processor> cpu;  // the processor the board has, where it has one
  std::optional<double> clockHz; // its clock
  std::vector<Part> parts;
  friend bool operator==(const BoardDescription&, const BoardDescription&) = default;
};

// A board with a serial line and nothing else, as the serial options of the programs set one up.
struct SerialLine {
  std::optional<OutputPin> transmit; // where the program sends
  bool receiveOnTest = false;        // the program receives on TEST
  SerialFormat format;
  double baud = 9600;
  bool invertTransmit = false;
  bool invertReceive = false;
};
[[nodiscard]] BoardDescription SerialBoard(const SerialLine& line);

} // namespace boards
