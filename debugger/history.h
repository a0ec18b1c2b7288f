#pragma once

#include "boards/board.h"
#include "boards/key_script.h"
#include "simulate/machine.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

// The history of a run, for stepping back: copies of everything a run changes, taken every so
// many cycles and after every input from outside. The simulator gives the same run for the same
// inputs, so going back to any instruction is a copy restored and the cycles after it run again.
namespace debugger {

// Everything a run changes: the machine, the board with its parts, the keys waiting to go down,
// and how much output had come out.
struct RunState {
  simulate::Machine machine;
  std::optional<boards::Board> board;
  std::optional<boards::KeyPacer> keys;
  std::size_t paperLines = 0;       // the printer's lines fed out since the program was loaded
  std::size_t transcriptLength = 0; // the serial characters decoded since then
};

class History {
public:
  // A copy is taken at least this often in a run.
  static constexpr std::uint64_t kEveryCycles = 1u << 15;
  // Periodic copies older than this many cycles go; it covers well over 1,000,000 instructions
  // (each takes one or two cycles).
  static constexpr std::uint64_t kHorizonCycles = 4'000'000;
  // And no more copies than this are kept, the oldest going first: a bound on the memory.
  static constexpr std::size_t kMostCopies = 256;

  // Forgets everything and starts from `state`.
  void Start(const RunState& state);
  // Keeps a copy of `state`, periodic or after an input; copies later than it are dropped (a
  // run that went back and on again leaves its old future behind).
  void Keep(const RunState& state, bool input);
  // Whether a periodic copy is due at `cycle`.
  [[nodiscard]] bool Due(std::uint64_t cycle) const {
    return copies_.empty() || cycle >= copies_.back().state.machine.cycles + kEveryCycles;
  }
  // The latest copy taken before `cycle`, or null.
  [[nodiscard]] const RunState* Before(std::uint64_t cycle) const;
  // Drops the copies taken at or after `cycle`.
  void DropFrom(std::uint64_t cycle);
  // The oldest cycle that can be gone back to.
  [[nodiscard]] std::uint64_t Oldest() const {
    return copies_.empty() ? 0 : copies_.front().state.machine.cycles;
  }
  [[nodiscard]] std::size_t Copies() const { return copies_.size(); }
  // About how many bytes the copies take.
  [[nodiscard]] std::size_t Bytes() const;

private:
  struct Copy {
    RunState state;
    bool input = false;
  };
  std::deque<Copy> copies_;
};

} // namespace debugger
