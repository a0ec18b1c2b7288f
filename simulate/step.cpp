#include "simulate/step.h"

#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <array>

namespace simulate {

namespace {

using translate::kInstructionSet;
using translate::Operand;
using translate::Position;

// How the processor takes a first byte: the instruction's position in the one instruction
// table (or kJcn for the conditional jumps with any condition, kUndefined for a byte that no
// instruction has), its length and its cycles.
struct Decoded {
  std::uint8_t position = 0;
  std::uint8_t length = 0;
  std::uint8_t cycles = 0;
};

constexpr std::uint8_t kJcn = 0xFE;
constexpr std::uint8_t kUndefined = 0xFF;

constexpr std::array<Decoded, 256> MakeDecodeTable() {
  std::array<Decoded, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    Decoded& entry = table[static_cast<std::size_t>(byte)];
    const int position = translate::kFirstByteInstruction[static_cast<std::size_t>(byte)];
    if ((byte & 0xF0) == translate::kJcnOpcode) {
      // Every condition is a JCN, the six with mnemonics and the other ten alike.
      const translate::Instruction& jz = kInstructionSet[Position("JZ")];
      entry = {kJcn, 2, jz.cycles};
    } else if (position < 0) {
      entry = {kUndefined, 1, 1};
    } else {
      const translate::Instruction& row = kInstructionSet[static_cast<std::size_t>(position)];
      entry = {static_cast<std::uint8_t>(position),
               static_cast<std::uint8_t>(translate::IsTwoByteOperand(row.operand) ? 2 : 1),
               row.cycles};
    }
  }
  return table;
}

constexpr std::array<Decoded, 256> kDecode = MakeDecodeTable();

// The 4004 decodes only the upper four bits of the 0x row: 01-0F, the 4040's additions among
// them, run as NOP there. (Real firmware relies on it: it tells a 4004 from a 4040 by whether
// AN7 changes the accumulator.)
constexpr bool IsNopOn4004(std::uint8_t byte) { return (byte & 0xF0) == 0; }

// KBP: a single 1 bit becomes its position 1-4, none stays 0, more than one gives F.
constexpr std::array<std::uint8_t, 16> kKeyboardProcess = {0x0, 0x1, 0x2, 0xF, 0x3, 0xF, 0xF, 0xF,
                                                           0x4, 0xF, 0xF, 0xF, 0xF, 0xF, 0xF, 0xF};

} // namespace

std::uint8_t BankAt(Machine& machine, std::uint64_t cycle) {
  if (cycle >= machine.bankSwitchCycle) {
    machine.fetchBank = machine.romBank;
  }
  return machine.fetchBank;
}

namespace {

std::uint8_t ReadRom(Machine& machine, std::uint64_t cycle, std::uint16_t address) {
  const std::size_t bank = machine.cpu == Processor::I4040 ? BankAt(machine, cycle) : 0;
  return machine.rom[bank * kBankSize + (address & 0xFFF)];
}

std::uint8_t& Reg(Machine& machine, unsigned r) {
  return machine.registers[RegisterIndex(machine, r & 0xF)];
}

std::uint8_t Pair(Machine& machine, unsigned pair) {
  return static_cast<std::uint8_t>((Reg(machine, 2 * pair) << 4) | Reg(machine, 2 * pair + 1));
}

void SetPair(Machine& machine, unsigned pair, std::uint8_t value) {
  Reg(machine, 2 * pair) = value >> 4;
  Reg(machine, 2 * pair + 1) = value & 0xF;
}

// Sets the accumulator to the low four bits of `sum` and the carry to its fifth bit.
void SetAccAndCarry(Machine& machine, unsigned sum) {
  machine.acc = sum & 0xF;
  machine.carry = (sum >> 4) & 1;
}

// The RAM character, status character or port that SRC and DCL select. With several CM-RAM lines
// selected, a write reaches the chip on each of them, and a read gives the bitwise OR of their
// characters.
struct RamSelection {
  std::uint8_t lines;
  std::uint8_t chip;
  std::uint8_t reg;
  std::uint8_t character;
};

RamSelection Selected(const Machine& machine) {
  return {SelectedLines(machine.dcl), static_cast<std::uint8_t>(machine.src >> 6),
          static_cast<std::uint8_t>((machine.src >> 4) & 3),
          static_cast<std::uint8_t>(machine.src & 0xF)};
}

std::uint8_t ReadRam(const Machine& machine, bool statusCharacter, unsigned index) {
  const RamSelection at = Selected(machine);
  std::uint8_t value = 0;
  for (unsigned line = 0; line < kRamLines; ++line) {
    if ((at.lines >> line) & 1) {
      value |= statusCharacter ? machine.status[StatusIndex(line, at.chip, at.reg, index)]
                               : machine.ram[RamIndex(line, at.chip, at.reg, index)];
    }
  }
  return value;
}

Write WriteRam(Machine& machine, bool statusCharacter, unsigned index) {
  const RamSelection at = Selected(machine);
  for (unsigned line = 0; line < kRamLines; ++line) {
    if ((at.lines >> line) & 1) {
      (statusCharacter ? machine.status[StatusIndex(line, at.chip, at.reg, index)]
                       : machine.ram[RamIndex(line, at.chip, at.reg, index)]) = machine.acc;
    }
  }
  return {statusCharacter ? Write::Target::RamStatus : Write::Target::RamCharacter,
          at.lines,
          at.chip,
          at.reg,
          static_cast<std::uint8_t>(index),
          machine.acc};
}

std::uint16_t Push(Machine& machine, std::uint16_t returnAddress, std::uint16_t target) {
  machine.addresses[machine.pointer] = returnAddress;
  machine.pointer =
      static_cast<std::uint8_t>((machine.pointer + 1) % AddressRegisters(machine.cpu));
  machine.addresses[machine.pointer] = target;
  return target;
}

void Pop(Machine& machine) {
  const std::size_t size = AddressRegisters(machine.cpu);
  machine.pointer = static_cast<std::uint8_t>((machine.pointer + size - 1) % size);
}

// Runs the instruction whose bytes are in `step`; the program counter already points past it,
// at `next`. `cycle` is the instruction's first cycle.
void Execute(Machine& machine, Peripherals& peripherals, StepResult& step, std::uint8_t position,
             std::uint16_t next, std::uint64_t cycle) {
  const std::uint8_t opcode = step.bytes[0];
  const std::uint8_t operand = step.bytes[1];
  const unsigned low = opcode & 0xF;
  // Jumps within a block keep the block of the address after the instruction.
  const auto inBlock = [next](unsigned offset) {
    return static_cast<std::uint16_t>((next & 0xF00) | offset);
  };
  std::uint16_t& pc = machine.addresses[machine.pointer];

  if (position == kJcn) {
    bool jump = ((low & 1) != 0 && !peripherals.Test(cycle)) ||
                ((low & 2) != 0 && machine.carry != 0) || ((low & 4) != 0 && machine.acc == 0);
    if ((low & 8) != 0) {
      jump = !jump;
    }
    if (jump) {
      pc = inBlock(operand);
    }
    return;
  }

  switch (position) {
  case Position("NOP"):
    return;

  // The 4040's additions.
  case Position("HLT"):
    machine.halted = true;
    return;
  case Position("BBS"):
    Pop(machine);
    machine.src = machine.savedSrc;
    if (machine.servingInterrupt) {
      machine.registerBank = machine.savedRegisterBank;
      machine.servingInterrupt = false;
    }
    return;
  case Position("LCR"):
    // The bank bit is the bank in effect: a DB0 or DB1 of the last three cycles has not taken
    // effect yet.
    machine.acc = static_cast<std::uint8_t>((BankAt(machine, cycle) << 3) | (machine.dcl & 7));
    return;
  case Position("OR4"):
  case Position("OR5"):
    machine.acc |= Reg(machine, 4 + (low & 1));
    return;
  case Position("AN6"):
  case Position("AN7"):
    machine.acc &= Reg(machine, 6 + (low & 1));
    return;
  case Position("DB0"):
  case Position("DB1"):
    // The bank changes for the fetches from the third cycle after this one.
    BankAt(machine, cycle);
    machine.romBank = low & 1;
    machine.bankSwitchCycle = cycle + 3;
    return;
  case Position("SB0"):
  case Position("SB1"):
    machine.registerBank = low & 1;
    return;
  case Position("SEI"):
    machine.interruptsEnabled = true;
    return;
  case Position("CLI"):
    machine.interruptsEnabled = false;
    return;

  case Position("FIM"):
    SetPair(machine, low >> 1, operand);
    return;
  case Position("SRC"):
    machine.src = Pair(machine, low >> 1);
    if (!machine.servingInterrupt) {
      machine.savedSrc = machine.src;
    }
    peripherals.SentAddress(machine.src, cycle);
    return;
  case Position("FIN"):
    // Reads the byte of program memory in the block of the address after FIN, on its second
    // cycle: at xFF that is the next block.
    SetPair(machine, low >> 1, ReadRom(machine, cycle + 1, inBlock(Pair(machine, 0))));
    return;
  case Position("JIN"):
    pc = inBlock(Pair(machine, low >> 1));
    return;
  case Position("JUN"):
    pc = static_cast<std::uint16_t>((low << 8) | operand);
    return;
  case Position("JMS"):
    Push(machine, next, static_cast<std::uint16_t>((low << 8) | operand));
    return;
  case Position("INC"):
    Reg(machine, low) = (Reg(machine, low) + 1) & 0xF;
    return;
  case Position("ISZ"): {
    std::uint8_t& r = Reg(machine, low);
    r = (r + 1) & 0xF;
    if (r != 0) {
      pc = inBlock(operand);
    }
    return;
  }
  case Position("ADD"):
    SetAccAndCarry(machine, machine.acc + Reg(machine, low) + machine.carry);
    return;
  case Position("SUB"):
    // Subtraction adds the complement and the complemented carry: carry 1 means no borrow.
    SetAccAndCarry(machine, machine.acc + (~Reg(machine, low) & 0xF) + (machine.carry ^ 1));
    return;
  case Position("LDA"):
    machine.acc = Reg(machine, low);
    return;
  case Position("XCH"): {
    const std::uint8_t value = Reg(machine, low);
    Reg(machine, low) = machine.acc;
    machine.acc = value;
    return;
  }
  case Position("BBL"):
    Pop(machine);
    machine.acc = static_cast<std::uint8_t>(low);
    return;
  case Position("LDM"):
    machine.acc = static_cast<std::uint8_t>(low);
    return;

  // RAM and ports.
  case Position("WRM"):
    step.write = WriteRam(machine, false, machine.src & 0xF);
    return;
  case Position("WR0"):
  case Position("WR1"):
  case Position("WR2"):
  case Position("WR3"):
    step.write = WriteRam(machine, true, low & 3);
    return;
  case Position("WMP"): {
    const RamSelection at = Selected(machine);
    for (std::uint8_t line = 0; line < kRamLines; ++line) {
      if ((at.lines >> line) & 1) {
        machine.ramPorts[line * kRamChips + at.chip] = machine.acc;
        peripherals.RamOutput(line, at.chip, machine.acc, cycle);
      }
    }
    // A port may choose the bank of program RAM that the processor fetches from.
    peripherals.MapProgramMemory(machine);
    step.write = {Write::Target::RamPort, at.lines, at.chip, 0, 0, machine.acc};
    return;
  }
  case Position("WRR"): {
    const auto port = static_cast<std::uint8_t>(machine.src >> 4);
    machine.romPorts[port] = machine.acc;
    peripherals.RomOutput(port, machine.acc, cycle);
    step.write = {Write::Target::RomPort, 0, port, 0, 0, machine.acc};
    return;
  }
  case Position("WPM"):
    peripherals.WriteProgramMemory(machine, machine.acc, cycle);
    return;
  case Position("RPM"):
    machine.acc = peripherals.ReadProgramMemory(machine, cycle) & 0xF;
    return;
  case Position("RDM"):
    machine.acc = ReadRam(machine, false, machine.src & 0xF);
    return;
  case Position("RD0"):
  case Position("RD1"):
  case Position("RD2"):
  case Position("RD3"):
    machine.acc = ReadRam(machine, true, low & 3);
    return;
  case Position("RDR"):
    machine.acc = peripherals.RomInput(static_cast<std::uint8_t>(machine.src >> 4), cycle) & 0xF;
    return;
  case Position("ADM"):
    SetAccAndCarry(machine,
                   machine.acc + ReadRam(machine, false, machine.src & 0xF) + machine.carry);
    return;
  case Position("SBM"):
    SetAccAndCarry(machine, machine.acc + (~ReadRam(machine, false, machine.src & 0xF) & 0xF) +
                                (machine.carry ^ 1));
    return;

  // The accumulator group.
  case Position("CLB"):
    machine.acc = 0;
    machine.carry = 0;
    return;
  case Position("CLC"):
    machine.carry = 0;
    return;
  case Position("IAC"):
    SetAccAndCarry(machine, machine.acc + 1u);
    return;
  case Position("CMC"):
    machine.carry ^= 1;
    return;
  case Position("CMA"):
    machine.acc ^= 0xF;
    return;
  case Position("RAL"):
    SetAccAndCarry(machine, (machine.acc << 1) | machine.carry);
    return;
  case Position("RAR"): {
    const std::uint8_t out = machine.acc & 1;
    machine.acc = static_cast<std::uint8_t>((machine.acc >> 1) | (machine.carry << 3));
    machine.carry = out;
    return;
  }
  case Position("TCC"):
    machine.acc = machine.carry;
    machine.carry = 0;
    return;
  case Position("DAC"):
    // Adding F: the carry is 1 unless the accumulator was 0 (a borrow).
    SetAccAndCarry(machine, machine.acc + 0xFu);
    return;
  case Position("TCS"):
    machine.acc = machine.carry != 0 ? 10 : 9;
    machine.carry = 0;
    return;
  case Position("STC"):
    machine.carry = 1;
    return;
  case Position("DAA"):
    // Adds 6 to a value above 9 or after a carry; sets the carry on overflow and otherwise
    // leaves it as it was.
    if (machine.carry != 0 || machine.acc > 9) {
      const unsigned sum = machine.acc + 6u;
      machine.acc = sum & 0xF;
      if (sum > 0xF) {
        machine.carry = 1;
      }
    }
    return;
  case Position("KBP"):
    machine.acc = kKeyboardProcess[machine.acc];
    return;
  case Position("DCL"):
    machine.dcl = machine.acc & 7;
    return;
  default:
    // A row of the instruction table without a case here: stop rather than run it as nothing.
    step.stop = Stop::UndefinedInstruction;
    return;
  }
}

} // namespace

StepResult Step(Machine& machine, Peripherals& peripherals) {
  StepResult step;
  const std::uint64_t cycle = machine.cycles;
  const bool is4040 = machine.cpu == Processor::I4040;

  // A 4040 with interrupts enabled takes an interrupt between instructions: like a JMS to 003,
  // which saves the address of the next instruction; the register bank is saved and bank 0
  // selected. No further interrupt is taken until BBS has returned, nor in the three cycles
  // after a DB0 or DB1.
  if (is4040 && machine.interruptsEnabled && !machine.servingInterrupt &&
      cycle >= machine.bankSwitchCycle && peripherals.Interrupt(cycle)) {
    step.address = ProgramCounter(machine);
    step.bank = BankAt(machine, cycle);
    step.interrupt = true;
    step.cycles = 2;
    machine.halted = false;
    machine.servingInterrupt = true;
    machine.savedRegisterBank = machine.registerBank;
    machine.registerBank = 0;
    peripherals.InterruptTaken(cycle);
    Push(machine, ProgramCounter(machine), 0x003);
    machine.cycles += step.cycles;
    return step;
  }
  if (machine.halted) {
    step.address = ProgramCounter(machine);
    step.halted = true;
    step.cycles = 1;
    machine.cycles += 1;
    return step;
  }

  const std::uint16_t address = ProgramCounter(machine);
  step.address = address;
  step.bank = is4040 ? BankAt(machine, cycle) : 0;
  step.bytes[0] = ReadRom(machine, cycle, address);
  const Decoded decoded =
      !is4040 && IsNopOn4004(step.bytes[0]) ? kDecode[0x00] : kDecode[step.bytes[0]];
  if (decoded.position == kUndefined) {
    step.stop = Stop::UndefinedInstruction;
    step.length = 1;
    return step;
  }
  if ((decoded.position == Position("WPM") || decoded.position == Position("RPM")) &&
      !peripherals.HasProgramMemory()) {
    step.stop = Stop::NoProgramMemory;
    step.length = 1;
    return step;
  }
  step.length = decoded.length;
  step.cycles = decoded.cycles;
  if (decoded.length == 2) {
    step.bytes[1] = ReadRom(machine, cycle + 1, static_cast<std::uint16_t>(address + 1));
  }
  // The program counter has 12 bits: after FFF comes 000.
  const auto next = static_cast<std::uint16_t>((address + decoded.length) & 0xFFF);
  machine.addresses[machine.pointer] = next;
  Execute(machine, peripherals, step, decoded.position, next, cycle);
  if (step.stop != Stop::None) {
    machine.addresses[machine.pointer] = address;
    step.cycles = 0;
    return step;
  }
  machine.cycles += decoded.cycles;
  return step;
}

} // namespace simulate
