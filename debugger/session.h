#pragma once

#include "boards/board.h"
#include "boards/key_script.h"
#include "debugger/program.h"
#include "simulate/machine.h"
#include "simulate/step.h"

#include <bitset>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A program running on a simulated board, step by step or in slices: what the debugger window
// drives. No Qt here.
namespace debugger {

// The serial line of the board, as the user sets it for a program.
struct SerialSettings {
  bool enabled = false;
  std::string pin = "rom:0:0"; // where the program sends: rom:P:B or ram:L:C:B
  bool receive = true;         // the program receives on TEST
  bool invertTransmit = false;
  bool invertReceive = false;
  std::string format = "8N1";
  double baud = 9600;

  friend bool operator==(const SerialSettings&, const SerialSettings&) = default;
};

// "enabled=1;pin=rom:0:0;..." and back, for remembering the settings of a file.
[[nodiscard]] std::string ToText(const SerialSettings& settings);
[[nodiscard]] SerialSettings SerialSettingsFromText(std::string_view text);

// How long a key clicked or typed on the board's panel is held, and how long it is let go (and the
// printer still) before the next one goes down, in the program's time.
inline constexpr double kKeyHoldSeconds = 0.1;
inline constexpr double kKeyReleaseSeconds = 0.3;

using boards::PaperText;

// Why a run ended.
enum class Halt : std::uint8_t {
  None,       // it goes on
  Breakpoint, // the next instruction has a breakpoint
  Target,     // reached the cursor, or the return of a stepped-over call
  Halted,     // a 4040 in HLT with interrupts disabled
  Stopped,    // a byte that is no instruction, or WPM/RPM
  Budget,     // the slice's cycles are used up
};

class Session {
public:
  Session();

  // Puts a program in place and resets the machine. Breakpoints stay on the same source lines
  // where the new program has an instruction there.
  void Load(Program program);
  [[nodiscard]] const Program& program() const { return program_; }
  [[nodiscard]] bool HasProgram() const { return !program_.path.empty(); }

  void SetCpu(simulate::Processor cpu); // resets
  [[nodiscard]] simulate::Processor cpu() const { return machine_->cpu; }
  void SetClock(double hz);
  [[nodiscard]] double clock() const { return clock_; }
  // Sets the serial line up anew; returns what is wrong with the settings, or an empty text.
  std::string SetSerial(const SerialSettings& settings);
  [[nodiscard]] const SerialSettings& serial() const { return serial_; }
  void SetTest(bool level);
  [[nodiscard]] bool test() const { return test_; }
  void SetRomInput(std::uint8_t port, std::uint8_t value);
  // A device asks the 4040 for an interrupt and holds INT until it is taken.
  void RequestInterrupt() { board_->RequestInterrupt(); }
  [[nodiscard]] std::uint8_t romInput(std::uint8_t port) const { return romInputs_[port & 0xF]; }
  // The board: one described by a board file (the calculator, ...), or without one the serial
  // line of `serial()`. Setting it resets the machine.
  void SetBoard(std::optional<boards::BoardDescription> board);
  [[nodiscard]] const std::optional<boards::BoardDescription>& boardDescription() const {
    return description_;
  }
  [[nodiscard]] const boards::Board& board() const { return *board_; }
  // Holds key `key` of the board for kKeyHoldSeconds, from now or, while earlier keys are still
  // going down and up or the printer is printing, once it has been still for kKeyReleaseSeconds:
  // keys typed quickly follow one another as a person's would, and none is lost.
  void PressKey(std::size_t key);
  // Sets a switch of the board from now on; the setting outlasts a reset.
  void SetSwitch(std::size_t index, std::size_t position);
  // The lines the printer has fed out since the program was loaded, oldest first.
  [[nodiscard]] const std::vector<PaperText>& paper() const { return paper_; }
  // The line at the printer's hammers, not fed out yet.
  [[nodiscard]] PaperText PrintingLine() const;

  // Bytes for the program's serial input.
  void SendInput(std::string_view bytes);
  // The serial output decoded since the last call; broken characters come as a note in brackets.
  [[nodiscard]] std::string TakeOutput();

  // Puts the machine back to its state after reset, with the program loaded.
  void Reset();

  [[nodiscard]] const simulate::Machine& machine() const { return *machine_; }

  // Runs one instruction (or one waiting cycle of a halted 4040).
  simulate::StepResult Step();
  // A run begins: its first instruction runs even at a breakpoint, so that it can go on from one.
  void BeginRun() { runStarting_ = true; }
  // Runs until one of: a breakpoint (not on the first instruction of a run), the target, a stop,
  // HLT with interrupts disabled, or `cycles` more cycles. A run goes on over several calls.
  Halt Run(std::uint64_t cycles);
  // Where a run stops on its own besides breakpoints: the next instruction at `address` with
  // the stack pointer at `pointer` (or any pointer when -1). Cleared when reached.
  void SetTarget(int address, int pointer = -1);
  void ClearTarget() { targetAddress_ = -1; }
  [[nodiscard]] bool HasTarget() const { return targetAddress_ >= 0; }
  // True when the next instruction is a JMS: stepping over it runs to its return.
  [[nodiscard]] bool NextIsCall() const;
  // The instruction that stopped the last run, for its message.
  [[nodiscard]] const simulate::StepResult& lastStop() const { return lastStop_; }

  bool ToggleBreakpoint(int address);
  [[nodiscard]] bool HasBreakpoint(int address) const;
  [[nodiscard]] const std::bitset<simulate::kBanks * simulate::kBankSize>& breakpoints() const {
    return breakpoints_;
  }

  // The address of the next instruction, with the ROM bank in bit 12.
  [[nodiscard]] int NextAddress() const;

private:
  void RebuildBoard();
  // Takes what came out of the board: the paper's lines, and the serial output as text.
  void CollectOutput();

  Program program_;
  std::unique_ptr<simulate::Machine> machine_;
  std::optional<boards::BoardDescription> description_;
  std::unique_ptr<boards::Board> board_;
  std::vector<std::size_t> switchPositions_;
  std::optional<boards::KeyPacer> keys_; // the keys typed, going down one after another
  std::vector<PaperText> paper_;
  std::string serialText_; // taken by TakeOutput
  double clock_ = 740000;
  SerialSettings serial_;
  bool test_ = false;
  std::array<std::uint8_t, 16> romInputs_{};
  std::bitset<simulate::kBanks * simulate::kBankSize> breakpoints_;
  bool runStarting_ = false;
  int targetAddress_ = -1;
  int targetPointer_ = -1;
  simulate::StepResult lastStop_;
};

} // namespace debugger
