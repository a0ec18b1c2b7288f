#pragma once

#include "boards/description.h"
#include "simulate/parts/drum_printer.h"
#include "simulate/parts/key_matrix.h"
#include "simulate/parts/program_ram.h"
#include "simulate/parts/pulse_train.h"
#include "simulate/parts/serial_line.h"
#include "simulate/parts/shift_register.h"
#include "simulate/parts/timeline.h"
#include "simulate/peripherals.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace boards {

using simulate::DrumPrinter;
using simulate::KeyMatrix;
using simulate::PaperLine;
using simulate::Peripherals;
using simulate::ProgramRam;
using simulate::PulseTrain;
using simulate::SerialCharacter;
using simulate::SerialDecoder;
using simulate::SerialFeeder;
using simulate::ShiftRegister;
using simulate::Timeline;

// A line of the printer's paper as it reads, with "  [red]" after a line printed in red.
struct PaperText {
  std::string text;
  bool red = false;

  friend bool operator==(const PaperText&, const PaperText&) = default;
};

// The parts of a description at work, wired to the processor. Inputs that no part drives read
// the fixed levels set with SetTest and SetRomInput.
class Board final : public Peripherals {
public:
  // `description` must have passed CheckBoard. `clockHz` turns milliseconds and bit rates into
  // instruction cycles.
  Board(const BoardDescription& description, double clockHz);
  // A board is a value: a copy goes on from the same state on its own, as the debugger's
  // history of a run needs.
  Board(const Board&) = default;
  Board& operator=(const Board&) = default;
  ~Board() override = default;

  bool Test(std::uint64_t cycle) override;
  bool Interrupt(std::uint64_t cycle) override;
  void InterruptTaken(std::uint64_t cycle) override;
  std::uint8_t RomInput(std::uint8_t port, std::uint64_t cycle) override;
  void RomOutput(std::uint8_t port, std::uint8_t value, std::uint64_t cycle) override;
  void RamOutput(std::uint8_t line, std::uint8_t chip, std::uint8_t value,
                 std::uint64_t cycle) override;
  void SentAddress(std::uint8_t address, std::uint64_t cycle) override;
  [[nodiscard]] bool HasProgramMemory() const override { return programRam_.has_value(); }
  void WriteProgramMemory(simulate::Machine& machine, std::uint8_t value,
                          std::uint64_t cycle) override;
  std::uint8_t ReadProgramMemory(simulate::Machine& machine, std::uint64_t cycle) override;
  void MapProgramMemory(simulate::Machine& machine) override;

  [[nodiscard]] const BoardDescription& description() const { return *description_; }
  [[nodiscard]] double CyclesPerSecond() const { return cyclesPerSecond_; }

  void SetTest(bool level) { test_ = level; }
  void SetRomInput(std::uint8_t port, std::uint8_t value) { romInputs_[port & 0xF] = value & 0xF; }
  // The level of TEST at `cycle`, without the program looking at it (which starts a waiting
  // serial byte).
  [[nodiscard]] bool TestLevel(std::uint64_t cycle) const;
  // A device asks for an interrupt on INT and holds it until the 4040 takes it: once now, and
  // with `RequestInterruptEvery` every `cycles` cycles from cycle `cycles` on (0 for never).
  // Parts wired to INT drive it as a level besides.
  void RequestInterrupt() { interruptRequested_ = true; }
  void RequestInterruptEvery(std::uint64_t cycles);
  [[nodiscard]] bool InterruptRequested() const { return interruptRequested_; }

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
  [[nodiscard]] const DrumPrinter* Printer() const { return printer_ ? &*printer_ : nullptr; }
  // The line at the printer's hammers, not fed out yet; empty without a printer.
  [[nodiscard]] PaperText PrintingLine() const;

  // Bytes for the program's serial input, after those already waiting (none without one).
  void SendInput(std::string_view bytes);
  [[nodiscard]] const SerialFeeder* Input() const;

  // What came out of the board: the serial characters decoded and the lines of paper fed out.
  struct Output {
    std::vector<SerialCharacter> serial;
    std::vector<PaperText> paper;
  };
  // Takes what came out up to `cycle` since the last call.
  [[nodiscard]] Output TakeOutput(std::uint64_t cycle);
  // True from the moment a serial character or a line of paper comes out until TakeOutput
  // takes it: a run that is to stop for the output points RunLimits::pause here.
  [[nodiscard]] const bool& OutputWaiting() const { return outputWaiting_; }

private:
  // Something to tell when an output port changes.
  struct Listener {
    enum class Kind : std::uint8_t { ShiftRegister, Fire, Ribbon, Advance, SerialOut, BankSelect };
    Kind kind;
    std::size_t index;
  };
  // What drives an input pin.
  struct Driver {
    enum class Kind : std::uint8_t { MatrixRow, Pulse, Index, Button, SerialIn };
    Kind kind;
    std::size_t index;
    unsigned row = 0;
  };
  struct Serial {
    std::optional<SerialOutPart> out;
    std::optional<SerialInPart> in;
    std::optional<SerialDecoder> decoder;
    std::optional<SerialFeeder> feeder;
  };
  // Where each part that others refer to went, by name.
  struct Wiring;

  void Add(const std::string& name, const ShiftRegisterPart& part, Wiring& wiring);
  void Add(const std::string& name, const PulseTrainPart& part, Wiring& wiring);
  void Add(const std::string& name, const KeyMatrixPart& part, Wiring& wiring);
  void Add(const std::string& name, const SwitchPart& part, Wiring& wiring);
  void Add(const std::string& name, const ButtonPart& part, Wiring& wiring);
  void Add(const std::string& name, const DrumPrinterPart& part, Wiring& wiring);
  void Add(const std::string& name, const LampPart& part, Wiring& wiring);
  void Add(const std::string& name, const SerialOutPart& part, Wiring& wiring);
  void Add(const std::string& name, const SerialInPart& part, Wiring& wiring);
  void Add(const std::string& name, const ProgramRamPart& part, Wiring& wiring);
  void Listen(const OutputPin& pin, const Listener& listener);
  void Drive(const InputPin& pin, const Driver& driver);

  [[nodiscard]] bool Level(const OutputPin& pin) const;
  [[nodiscard]] bool Driven(const Driver& driver, std::uint64_t cycle, bool poll);
  [[nodiscard]] bool DrivenLevel(const Driver& driver, std::uint64_t cycle) const;
  void Notify(const std::vector<Listener>& listeners, std::uint64_t cycle);
  // Brings the serial decoder up to `cycle`.
  void DecodeSerial(std::uint64_t cycle);

  // Shared by the copies of a board, which never change it.
  std::shared_ptr<const BoardDescription> description_;
  double cyclesPerSecond_;
  bool test_ = false;
  std::array<std::uint8_t, 16> romInputs_{};
  std::array<std::uint8_t, 16> romLatches_{};
  std::array<std::uint8_t, simulate::kRamLines * simulate::kRamChips> ramLatches_{};

  std::vector<ShiftRegister> shiftRegisters_;
  std::vector<std::pair<OutputPin, OutputPin>> registerPins_; // clock, data
  std::vector<KeyMatrix> matrices_;
  std::vector<std::size_t> matrixColumns_; // the shift register that drives each matrix's columns
  std::vector<PulseTrain> pulseTrains_;
  std::optional<DrumPrinter> printer_;
  std::optional<DrumPrinterPart> printerPart_;
  std::size_t printerHammers_ = 0; // the shift register of the hammers
  std::size_t printerDrum_ = 0;    // the pulse train of the drum
  std::optional<ProgramRam> programRam_;
  std::optional<RamPort> bankSelect_;
  std::vector<Timeline> buttons_;
  Serial serial_;

  std::vector<Key> keys_;
  std::vector<std::pair<std::size_t, std::size_t>> keyContacts_; // matrix + contact, or button
  std::vector<std::uint8_t> keyRows_;                            // the rows each key closes
  std::vector<Switch> switches_;
  std::vector<std::pair<std::size_t, std::size_t>> switchContacts_; // matrix, contact
  std::vector<std::vector<std::uint8_t>> switchValues_;
  std::vector<Lamp> lamps_;

  std::array<std::vector<Listener>, 16> romListeners_;
  std::array<std::vector<Listener>, simulate::kRamLines * simulate::kRamChips> ramListeners_;
  std::optional<Driver> testDriver_;
  std::optional<Driver> interruptDriver_;
  bool interruptRequested_ = false;
  std::uint64_t interruptEvery_ = 0;
  std::uint64_t nextInterrupt_ = 0;
  std::array<std::array<std::optional<Driver>, 4>, 16> romDrivers_;
  std::array<std::uint8_t, 16> drivenMask_{};
  bool outputWaiting_ = false;
};

} // namespace boards
