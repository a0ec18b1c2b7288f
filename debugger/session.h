#pragma once

#include "boards/board.h"
#include "boards/key_script.h"
#include "debugger/history.h"
#include "debugger/program.h"
#include "debugger/watch.h"
#include "simulate/machine.h"
#include "simulate/step.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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
  None,       // it goes on; going back: the start of the history was reached
  Breakpoint, // the next instruction has a breakpoint, or a watch saw its value
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
  [[nodiscard]] simulate::Processor cpu() const { return state_.machine.cpu; }
  void SetClock(double hz);
  [[nodiscard]] double clock() const { return clock_; }
  // Sets the serial line up anew; returns what is wrong with the settings, or an empty text.
  std::string SetSerial(const SerialSettings& settings);
  [[nodiscard]] const SerialSettings& serial() const { return serial_; }
  void SetTest(bool level);
  [[nodiscard]] bool test() const { return test_; }
  void SetRomInput(std::uint8_t port, std::uint8_t value);
  // A device asks the 4040 for an interrupt and holds INT until it is taken.
  void RequestInterrupt();
  [[nodiscard]] std::uint8_t romInput(std::uint8_t port) const { return romInputs_[port & 0xF]; }
  // The board: one described by a board file (the calculator, ...), or without one the serial
  // line of `serial()`. Setting it resets the machine.
  void SetBoard(std::optional<boards::BoardDescription> board);
  [[nodiscard]] const std::optional<boards::BoardDescription>& boardDescription() const {
    return description_;
  }
  [[nodiscard]] const boards::Board& board() const { return *state_.board; }
  // Holds key `key` of the board for kKeyHoldSeconds, from now or, while earlier keys are still
  // going down and up or the printer is printing, once it has been still for kKeyReleaseSeconds:
  // keys typed quickly follow one another as a person's would, and none is lost.
  void PressKey(std::size_t key);
  // Sets a switch of the board from now on; the setting outlasts a reset.
  void SetSwitch(std::size_t index, std::size_t position);
  // The lines the printer has fed out since the program was loaded, oldest first.
  [[nodiscard]] const std::vector<PaperText>& paper() const { return paper_; }
  // The serial output decoded since the program was loaded (its last megabyte).
  [[nodiscard]] const std::string& transcript() const { return transcript_; }
  // The line at the printer's hammers, not fed out yet.
  [[nodiscard]] PaperText PrintingLine() const;

  // Bytes for the program's serial input.
  void SendInput(std::string_view bytes);
  // The serial output decoded since the last call; broken characters come as a note in brackets.
  [[nodiscard]] std::string TakeOutput();
  // True once after going back over serial output that TakeOutput had handed out: the terminal
  // is to show `transcript()` again.
  [[nodiscard]] bool TakeRewound() { return std::exchange(rewound_, false); }

  // Puts the machine back to its state after reset, with the program loaded.
  void Reset();

  [[nodiscard]] const simulate::Machine& machine() const { return state_.machine; }

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
  // Runs until the subroutine the machine is in has returned (its BBL has run). False, with
  // nothing done, at the top level.
  bool StepOut();

  // Going back. One instruction: false at the start of the history. Back to the last place
  // before now where the run would have stopped at a breakpoint or a watch: Halt::Breakpoint,
  // or Halt::None at the start of the history. The board, the keys waiting, the serial input and
  // the paper go back too.
  bool StepBack();
  Halt RunBackwards();
  // How far back the history reaches, in cycles, and about how much memory it takes.
  [[nodiscard]] std::uint64_t HistoryStart() const { return history_.Oldest(); }
  [[nodiscard]] std::size_t HistoryBytes() const { return history_.Bytes(); }

  // The last `count` instructions run (at most), oldest first, as trace lines; worked out by
  // running again from the history.
  [[nodiscard]] std::vector<std::string> Trace(std::size_t count);

  // The addresses (with the bank in bit 12) of every instruction run since the coverage was
  // cleared.
  [[nodiscard]] const std::bitset<simulate::kBanks * simulate::kBankSize>& executed() const {
    return executed_;
  }
  void ClearCoverage() { executed_.reset(); }

  // Changes the machine where it stands (a register, a RAM character, a port latch, the next
  // instruction...): undone by Undo, in turn, until the machine runs on.
  void Edit(const std::function<void(simulate::Machine&, boards::Board&)>& change);
  bool Undo();
  [[nodiscard]] bool CanUndo() const { return !undo_.empty(); }
  // The instruction that stopped the last run, for its message.
  [[nodiscard]] const simulate::StepResult& lastStop() const { return lastStop_; }

  bool ToggleBreakpoint(int address);
  [[nodiscard]] bool HasBreakpoint(int address) const;
  [[nodiscard]] const std::bitset<simulate::kBanks * simulate::kBankSize>& breakpoints() const {
    return breakpoints_;
  }
  // Every breakpoint: those at addresses and the watches, each with its condition and count.
  [[nodiscard]] const std::vector<Watch>& watches() const { return watches_; }
  // Adds a watch written as ParseWatch reads it; returns what is wrong with it, or nothing.
  std::string AddWatch(std::string_view text);
  // Gives breakpoint `index` a new "if CONDITION after N" (empty for none); returns what is
  // wrong with it, or nothing.
  std::string SetWatchCondition(std::size_t index, std::string_view text);
  void RemoveWatch(std::size_t index);

  // The address of the next instruction, with the ROM bank in bit 12.
  [[nodiscard]] int NextAddress() const;

private:
  void RebuildBoard();
  // Takes what came out of the board: the paper's lines, and the serial output as text.
  void CollectOutput();
  // One step as Step makes it, without the history: keys, the instruction, coverage, output.
  simulate::StepResult StepOnce();
  // After an input from outside: a copy for the history, and no undo past it.
  void Input();
  // A periodic copy for the history, when one is due.
  void KeepHistory();
  // Whether the run stops before the next instruction, at a breakpoint with its condition
  // and count; counts the hit. `first` is the first instruction of a run.
  bool StopsBefore(bool first);
  // Whether a value watch saw its value change in the step from `before`.
  bool StopsAfter(const simulate::Machine& before);
  [[nodiscard]] bool HasValueOrIoWatch() const;
  // Puts `state` in place, the output since it taken back; then runs on to `cycle` without
  // stopping, the output that comes out again collected again.
  void Restore(const RunState& state);
  void ReplayTo(std::uint64_t cycle);
  // After going back: what the terminal showed past this point is to be shown anew.
  void FinishGoingBack();
  // Whether a breakpoint or watch stops the run at the state now, having come from `before`
  // by a step (`stepped`) or not; without counting hits, for going back.
  [[nodiscard]] bool WouldStop(const simulate::Machine& before, bool stepped) const;
  // Presses the keys whose turn has come; a press is an input that the history keeps.
  std::optional<std::uint64_t> AdvanceKeys();
  [[nodiscard]] bool WatchHolds(const Watch& watch, const simulate::Machine& before,
                                bool afterStep) const;

  Program program_;
  RunState state_;
  History history_;
  std::optional<boards::BoardDescription> description_;
  std::vector<std::size_t> switchPositions_;
  std::vector<PaperText> paper_;
  std::string transcript_;         // the serial output since the program was loaded, its last MB
  std::size_t transcriptBase_ = 0; // characters dropped from the front of transcript_
  std::size_t taken_ = 0;          // of the transcript, handed out by TakeOutput (counted from 0)
  bool rewound_ = false;
  std::vector<Watch> watches_;
  std::bitset<simulate::kBanks * simulate::kBankSize> executed_;
  std::vector<RunState> undo_;
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
