#pragma once

#include "simulate/machine.h"
#include "simulate/parts.h"
#include "simulate/peripherals.h"
#include "simulate/program_ram.h"
#include "simulate/serial.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// A board as data: which parts hang on which pins of the processor. The description is plain
// values, read from a board file or made up by a program; `Board` runs it.
namespace simulate {

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

// An input that a part drives: the TEST pin, or input line `bit` of ROM port `port`.
struct InputPin {
  enum class Kind : std::uint8_t { Test, Rom };
  Kind kind = Kind::Test;
  std::uint8_t port = 0;
  std::uint8_t bit = 0;

  friend bool operator==(const InputPin&, const InputPin&) = default;
};

// "test" or "rom:P:B"; nothing for a text that is not one.
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
  bool lowHalfFirst = true;
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

// What is wrong with the wiring of `board`: a name used twice, a reference to no part or to a
// part of the wrong kind, an input driven by two parts, a key on a row or column the matrix
// does not have, and the like. Empty when nothing is.
[[nodiscard]] std::string CheckBoard(const BoardDescription& board);

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

// The parts of a description at work, wired to the processor. Inputs that no part drives read
// the fixed levels set with SetTest and SetRomInput.
class Board final : public Peripherals {
public:
  // `description` must have passed CheckBoard. `clockHz` turns milliseconds and bit rates into
  // instruction cycles.
  Board(const BoardDescription& description, double clockHz);
  ~Board() override;
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  bool Test(std::uint64_t cycle) override;
  std::uint8_t RomInput(std::uint8_t port, std::uint64_t cycle) override;
  void RomOutput(std::uint8_t port, std::uint8_t value, std::uint64_t cycle) override;
  void RamOutput(std::uint8_t line, std::uint8_t chip, std::uint8_t value,
                 std::uint64_t cycle) override;
  ProgramRam* ProgramMemory() override { return programRam_.get(); }

  [[nodiscard]] const BoardDescription& description() const { return description_; }
  [[nodiscard]] double CyclesPerSecond() const { return cyclesPerSecond_; }

  void SetTest(bool level) { test_ = level; }
  void SetRomInput(std::uint8_t port, std::uint8_t value) { romInputs_[port & 0xF] = value & 0xF; }
  // The level of TEST at `cycle`, without the program looking at it (which starts a waiting
  // serial byte).
  [[nodiscard]] bool TestLevel(std::uint64_t cycle) const;

  // The keys a script or the panel can press: matrix keys and buttons.
  struct Key {
    std::string name;
    std::vector<std::string> aliases;
    PanelPlace place;
    std::string part; // the key matrix or button part it belongs to
  };
  [[nodiscard]] const std::vector<Key>& Keys() const { return keys_; }
  // The key with this name or alias, letters in any case.
  [[nodiscard]] std::optional<std::size_t> FindKey(std::string_view name) const;
  // Holds key `key` from `from` until `until`.
  void PressKey(std::size_t key, std::uint64_t from, std::uint64_t until);
  [[nodiscard]] bool KeyDown(std::size_t key, std::uint64_t cycle) const;

  struct Switch {
    std::string name;
    std::string label;
    std::vector<std::string> positions;
  };
  [[nodiscard]] const std::vector<Switch>& Switches() const { return switches_; }
  [[nodiscard]] std::optional<std::size_t> FindSwitch(std::string_view name) const;
  // The position of switch `index` named `position` (letters in any case).
  [[nodiscard]] std::optional<std::size_t> FindPosition(std::size_t index,
                                                        std::string_view position) const;
  void SetSwitch(std::size_t index, std::size_t position, std::uint64_t from);
  [[nodiscard]] std::size_t SwitchPosition(std::size_t index, std::uint64_t cycle) const;

  struct Lamp {
    std::string name;
    std::string label;
    OutputPin pin;
  };
  [[nodiscard]] const std::vector<Lamp>& Lamps() const { return lamps_; }
  [[nodiscard]] bool LampLit(std::size_t lamp) const;

  // The board's printer, if it has one.
  [[nodiscard]] DrumPrinter* Printer() { return printer_.get(); }
  [[nodiscard]] const DrumPrinter* Printer() const { return printer_.get(); }

  // Bytes for the program's serial input, after those already waiting (none without one).
  void SendInput(std::string_view bytes);
  [[nodiscard]] const SerialFeeder* Input() const;
  // The serial output decoded up to `cycle`; nothing without a serial output.
  SerialDecoder* Output(std::uint64_t cycle);
  // Set when a serial character or a line of paper has come out since it was last cleared.
  bool& OutputArrived() { return outputArrived_; }

private:
  struct Listener;
  struct Driver;
  struct Serial;

  [[nodiscard]] bool Level(const OutputPin& pin) const;
  [[nodiscard]] bool Driven(const Driver& driver, std::uint64_t cycle, bool poll);
  [[nodiscard]] bool DrivenLevel(const Driver& driver, std::uint64_t cycle) const;
  void Notify(const std::vector<Listener>& listeners, std::uint64_t cycle);

  BoardDescription description_;
  double cyclesPerSecond_;
  bool test_ = false;
  std::array<std::uint8_t, 16> romInputs_{};
  std::array<std::uint8_t, 16> romLatches_{};
  std::array<std::uint8_t, kRamLines * kRamChips> ramLatches_{};

  std::vector<std::unique_ptr<ShiftRegister>> shiftRegisters_;
  std::vector<std::pair<OutputPin, OutputPin>> registerPins_; // clock, data
  std::vector<std::unique_ptr<KeyMatrix>> matrices_;
  std::vector<std::unique_ptr<PulseTrain>> pulseTrains_;
  std::unique_ptr<DrumPrinter> printer_;
  std::optional<DrumPrinterPart> printerPart_;
  std::unique_ptr<ProgramRam> programRam_;
  std::optional<RamPort> bankSelect_;
  std::vector<Timeline> buttons_;
  std::unique_ptr<Serial> serial_;

  std::vector<Key> keys_;
  std::vector<std::pair<std::size_t, std::size_t>> keyContacts_; // matrix + contact, or button
  std::vector<std::uint8_t> keyRows_;                            // the rows each key closes
  std::vector<Switch> switches_;
  std::vector<std::pair<std::size_t, std::size_t>> switchContacts_; // matrix, contact
  std::vector<std::vector<std::uint8_t>> switchValues_;
  std::vector<Lamp> lamps_;

  std::array<std::vector<Listener>, 16> romListeners_;
  std::array<std::vector<Listener>, kRamLines * kRamChips> ramListeners_;
  std::unique_ptr<Driver> testDriver_;
  std::array<std::array<std::unique_ptr<Driver>, 4>, 16> romDrivers_;
  std::array<std::uint8_t, 16> drivenMask_{};
  bool outputArrived_ = false;
};

} // namespace simulate
