#include "simulate/step.h"

#include "translate/hex_text.h"
#include "translate/instruction_table.h"

namespace simulate {

RunOutcome Run(Machine& machine, Peripherals& peripherals, const RunLimits& limits) {
  RunOutcome outcome;
  bool first = true;
  for (;;) {
    if (machine.cycles >= limits.cycleLimit) {
      outcome.end = RunEnd::CycleLimit;
      return outcome;
    }
    if (limits.pause != nullptr && *limits.pause) {
      outcome.end = RunEnd::Paused;
      return outcome;
    }
    const std::uint16_t pc = ProgramCounter(machine);
    if (static_cast<int>(pc) == limits.until && !machine.halted) {
      outcome.end = RunEnd::Address;
      return outcome;
    }
    if (limits.breakpoints != nullptr && (!first || limits.breakpointOnFirst) && !machine.halted) {
      const std::size_t bank =
          machine.cpu == Processor::I4040 ? BankAt(machine, machine.cycles) : 0;
      if (limits.breakpoints->test(bank * kBankSize + pc)) {
        outcome.end = RunEnd::Breakpoint;
        return outcome;
      }
    }
    first = false;
    if (limits.executed != nullptr && !machine.halted) {
      const std::size_t bank =
          machine.cpu == Processor::I4040 ? BankAt(machine, machine.cycles) : 0;
      limits.executed->set(bank * kBankSize + pc);
    }
    outcome.last = Step(machine, peripherals);
    if (outcome.last.stop != Stop::None) {
      outcome.end = RunEnd::Stopped;
      return outcome;
    }
    if (limits.endAtHalt && machine.halted && !machine.interruptsEnabled) {
      outcome.end = RunEnd::Halted;
      return outcome;
    }
  }
}

std::string Describe(Stop stop, const StepResult& step, Processor cpu) {
  const std::string byte = translate::FormatByte(step.bytes[0]);
  switch (stop) {
  case Stop::UndefinedInstruction:
    return "the byte " + byte + " is not an instruction of the " + std::string(ProcessorName(cpu)) +
           " (the program may have run into data)";
  case Stop::NoProgramMemory:
    return std::string(
               translate::kInstructionSet[static_cast<std::size_t>(
                                              translate::kFirstByteInstruction[step.bytes[0]])]
                   .mnemonic) +
           " needs program RAM, which is not supported on this board";
  case Stop::None:
    break;
  }
  return {};
}

} // namespace simulate
