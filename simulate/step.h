#pragma once

#include "simulate/machine.h"
#include "simulate/peripherals.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <string>

namespace simulate {

// Why an instruction could not run. The machine is then left as it was before it.
enum class Stop : std::uint8_t {
  None,
  UndefinedInstruction, // FE or FF, or on the 4040 0F: bytes the processor does not define
  NoProgramMemory,      // WPM or RPM, which need program RAM that this system does not have
};

// A write that an instruction made outside the processor.
struct Write {
  enum class Target : std::uint8_t { None, RamCharacter, RamStatus, RamPort, RomPort };
  Target target = Target::None;
  std::uint8_t lines = 0; // CM-RAM lines reached, one bit each (RAM targets)
  std::uint8_t chip = 0;  // RAM chip, or ROM port
  std::uint8_t reg = 0;
  std::uint8_t index = 0; // main or status character
  std::uint8_t value = 0;

  friend bool operator==(const Write&, const Write&) = default;
};

// What one step did.
struct StepResult {
  std::uint16_t address = 0; // of the instruction, 000-FFF
  std::uint8_t bank = 0;     // the ROM bank it came from
  std::array<std::uint8_t, 2> bytes{};
  std::uint8_t length = 0; // bytes of the instruction; 0 when none ran
  std::uint8_t cycles = 0; // instruction cycles the step took
  bool halted = false;     // the 4040 waited a cycle in HLT
  bool interrupt = false;  // the 4040 took an interrupt in place of an instruction
  Stop stop = Stop::None;
  Write write;
};

// Runs one instruction of `machine`: or, on a halted 4040, waits one cycle; or takes an
// interrupt. Undefined bytes and the program-RAM instructions stop instead, with nothing
// changed.
StepResult Step(Machine& machine, Peripherals& peripherals);

// The ROM bank that instructions come from at `cycle`: on the 4040, a DB0 or DB1 takes effect
// three cycles after it ran.
std::uint8_t BankAt(Machine& machine, std::uint64_t cycle);

// Bounds of a run: it ends before an instruction at `until` (or at a breakpoint), when the
// cycle count reaches `cycleLimit`, at a stop, at HLT with interrupts disabled when
// `endAtHalt`, or when `*pause` has become true. A breakpoint on the first instruction stops
// the run only with `breakpointOnFirst`: a run that goes on from a breakpoint leaves it
// without, and a run that goes on from where an earlier slice of it ended stops there with.
struct RunLimits {
  std::uint64_t cycleLimit = 0;
  int until = -1;                                              // 12-bit address, -1 for none
  const std::bitset<kBanks* kBankSize>* breakpoints = nullptr; // by bank * 4096 + address
  bool endAtHalt = false;
  const bool* pause = nullptr;
  bool breakpointOnFirst = false;
  // When given, the address of each instruction run is set here, by bank * 4096 + address.
  std::bitset<kBanks* kBankSize>* executed = nullptr;
};

enum class RunEnd : std::uint8_t { CycleLimit, Address, Breakpoint, Halted, Stopped, Paused };

struct RunOutcome {
  RunEnd end = RunEnd::CycleLimit;
  StepResult last; // the last step; for Stopped, the one that could not run
};

// Steps until one of the limits is met.
RunOutcome Run(Machine& machine, Peripherals& peripherals, const RunLimits& limits);

// The words for a stop, for messages.
[[nodiscard]] std::string Describe(Stop stop, const StepResult& step, Processor cpu);

} // namespace simulate
