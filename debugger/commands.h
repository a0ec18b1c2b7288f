#pragma once

#include "debugger/session.h"
#include "services/debugger_services.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace debugger {

// What the debugger window's menus, keys and controls do. Everything reaches the window system
// through the services, so the commands run alike in the real window and under a test's fake.
class DebuggerCommands {
public:
  explicit DebuggerCommands(services::DebuggerServices& services);

  // File > Open: a program chosen in the open dialog.
  void OpenDialog();
  // Opens `path`: source, or an image when the name says so (.bin, .rom, .img). On an error the
  // message is shown and the window keeps what it had. Returns true when it opened.
  bool Open(const std::string& path);
  // The open file changed on disk: offers to load it again, keeping the breakpoints on their
  // source lines.
  void FileChanged();
  // Loads the open file again without asking.
  void Reload();
  // Reads the open source in `syntax` from now on: remembered for the file, and loaded again.
  // A source that does not assemble in it keeps the syntax it had.
  void SetSyntax(Syntax syntax);

  // Run control.
  void Step();
  void StepOver();
  // Runs until the subroutine the program is in has returned.
  void StepOut();
  // Back one instruction, or back to the last place a breakpoint or watch would have stopped a
  // run; the board, the keys waiting, the serial input and output and the paper go back too.
  void StepBack();
  void RunBackwards();
  void Run();
  void Stop();
  void Reset();
  void RunToRow(int row);
  void ToggleBreakpointAtRow(int row);
  // Breakpoints on I/O and values, written as the Breakpoints list takes them ("io rom 3",
  // "watch r5 = 7 if acc = 1 after 2"); a condition and count for any breakpoint; removal.
  // Each says what is wrong instead, and returns false.
  bool AddWatch(const std::string& text);
  bool SetWatchCondition(std::size_t index, const std::string& text);
  void RemoveWatch(std::size_t index);

  // Edits of the machine while it stands still, each undone by Undo in turn.
  void SetRegister(unsigned r, std::uint8_t value); // R0-R15 as the program sees them now
  void SetAccumulator(std::uint8_t value);
  void SetCarry(bool carry);
  void SetRamCharacter(std::size_t index, std::uint8_t value);    // simulate::RamIndex
  void SetStatusCharacter(std::size_t index, std::uint8_t value); // simulate::StatusIndex
  void SetRomPort(std::uint8_t port, std::uint8_t value);
  void SetRamPort(std::size_t index, std::uint8_t value); // line * 4 + chip
  // "Set next instruction": the program goes on at the instruction of listing row `row`.
  void SetNextRow(int row);
  void Undo();

  // The last `count` instructions run, as trace lines, and saving them to a file the user
  // chooses.
  [[nodiscard]] std::vector<std::string> Trace(std::size_t count);
  void SaveTrace(std::size_t count);
  // The stopwatch: cycles since it was last reset.
  void ResetStopwatch();
  [[nodiscard]] std::uint64_t StopwatchCycles() const;
  // The lines run since the coverage was last cleared are marked in the listing.
  void ClearCoverage();
  // Runs at the processor's real speed at the chosen clock instead of as fast as possible.
  void SetRealSpeed(bool real) { realSpeed_ = real; }
  [[nodiscard]] bool RealSpeed() const { return realSpeed_; }
  [[nodiscard]] bool Running() const { return running_; }
  // Runs the next slice of a run; the window calls it from its timer while `Running()`.
  void Tick();

  // The board.
  void SetCpu(simulate::Processor cpu);
  void SetClock(double hz);
  void SetTest(bool level);
  void SetRomInputBit(std::uint8_t port, int bit, bool on);
  // The INT button: asks the 4040 for an interrupt, held until the processor takes it.
  void RequestInterrupt();
  void SetSerial(const SerialSettings& settings);
  // Text typed into the terminal, sent on the serial input.
  void Type(std::string_view text);
  // The board the program runs on: one that comes with the program, by name, or with an empty
  // name the serial line alone. It is remembered for the open file. Returns false, having said
  // why, when there is no such board.
  bool ChooseBoard(const std::string& name);
  // Board > Open board file: a board file chosen in the open dialog.
  void OpenBoardDialog();
  bool OpenBoardFile(const std::string& path);
  // The board's name, or the path of its file; empty for the serial line alone.
  [[nodiscard]] const std::string& boardChoice() const { return boardChoice_; }
  // Counts board changes, so that the window knows when to rebuild its panel.
  [[nodiscard]] int boardVersion() const { return boardVersion_; }
  // A key of the board clicked on the panel.
  void PressKey(std::size_t key);
  // Text typed on the panel: the key of that name, Enter for "=" and Escape for "C". Returns
  // false when no key has the name.
  bool TypeKey(std::string_view text);
  void SetSwitch(std::size_t index, std::size_t position);

  [[nodiscard]] const Session& session() const { return session_; }
  // True once after the run went back over serial output the terminal showed: it is to show
  // the session's transcript again.
  [[nodiscard]] bool TakeTerminalRewritten() { return std::exchange(terminalRewritten_, false); }
  // The machine as the views last showed it, so that they can mark what changed.
  [[nodiscard]] const simulate::Machine& shown() const { return *shown_; }
  // The views show the machine now.
  void MarkShown();
  // One line for the status bar: what the machine is doing, or why it stopped.
  [[nodiscard]] const std::string& status() const { return status_; }
  // Serial output decoded since the last call.
  [[nodiscard]] std::string TakeTerminalOutput();
  // Counts program loads, so that the window knows when to rebuild its listing.
  [[nodiscard]] int programVersion() const { return programVersion_; }
  // Counts resets and opens of another file: the terminal's text is cleared then, unless the
  // user keeps it.
  [[nodiscard]] int resetVersion() const { return resetVersion_; }
  // Why the open file's source, changed on disk, does not assemble (the program from before it
  // stays loaded): the line (0 when none) and the message; nothing once it assembles again.
  struct LoadProblem {
    std::string file; // the file the line is in: the open one, or an included one
    std::size_t line = 0;
    std::string message;
  };
  [[nodiscard]] const std::optional<LoadProblem>& loadProblem() const { return loadProblem_; }

private:
  // The address of the instruction on listing row `row`; nothing for a row out of range, and
  // nothing with a word in the status bar for a row without an instruction.
  std::optional<int> InstructionAtRow(int row);
  bool Load(const std::string& path, bool reloading);
  // The remembered settings of another file: serial line, board, clock and processor.
  void UseRememberedSettings(const std::string& path);
  // The key under which a file's settings are remembered: its canonical path.
  [[nodiscard]] static std::string SettingsPath(const std::string& path);
  // The syntax remembered for `path`, or else the one its text suggests.
  Syntax ChosenSyntax(const std::string& path, std::string_view bytes);
  // The open program's files: its own, and those it includes.
  [[nodiscard]] std::vector<std::string> WatchedFiles() const;
  // Puts the board `choice` in place (a name, a path, or empty); `quiet` keeps errors from the
  // user, for a remembered board that is gone.
  bool UseBoard(const std::string& choice, bool quiet);
  void StartRun();
  void Ended(Halt halt);
  // Runs `change` on the stopped machine as an undoable edit, and says what it did.
  void EditMachine(const std::function<void(simulate::Machine&, boards::Board&)>& change,
                   std::string what);
  // After going back: the status, and the terminal's text from the transcript.
  void WentBack(const std::string& what);
  void SetStatus(std::string text) { status_ = std::move(text); }

  services::DebuggerServices& services_;
  Session session_;
  std::unique_ptr<simulate::Machine> shown_;
  bool running_ = false;
  bool realSpeed_ = false;
  double runStartTime_ = 0;
  std::uint64_t runStartCycles_ = 0;
  std::string status_ = "Open a program: File > Open.";
  std::string terminal_;
  int programVersion_ = 0;
  std::string boardChoice_;
  int boardVersion_ = 0;
  std::uint64_t stopwatchStart_ = 0;
  bool terminalRewritten_ = false;
  int resetVersion_ = 0;
  bool asking_ = false; // the reload question is open
  bool changedWhileAsking_ = false;
  std::optional<LoadProblem> loadProblem_;
};

} // namespace debugger
