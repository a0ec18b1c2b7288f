#include "simulate/trace.h"

#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <cstdio>

namespace simulate {

namespace {

using translate::kInstructionSet;
using translate::Operand;

std::string Hex(unsigned value, int digits) {
  std::string text;
  translate::AppendHex(text, static_cast<std::int16_t>(value), digits);
  return text;
}

std::string Digit(unsigned value) { return Hex(value & 0xF, 1); }

void Add(std::string& changes, const std::string& change) {
  if (!changes.empty()) {
    changes += ' ';
  }
  changes += change;
}

} // namespace

std::string InstructionText(std::uint8_t first, std::uint8_t second, std::uint16_t address) {
  const auto blockTarget = [&](unsigned length) {
    return Hex(((address + length) & 0xF00) | second, 3);
  };
  const int position = translate::kFirstByteInstruction[first];
  if (position < 0) {
    if ((first & 0xF0) == translate::kJcnOpcode) {
      return "JCN " + Digit(first) + ", " + blockTarget(2);
    }
    return "DATA " + Hex(first, 2);
  }
  const translate::Instruction& row = kInstructionSet[static_cast<std::size_t>(position)];
  std::string text(row.mnemonic);
  switch (row.operand) {
  case Operand::None:
  case Operand::DataByte:
    return text;
  case Operand::NearLabel:
    return text + " " + blockTarget(2);
  case Operand::FarLabel:
    return text + " " + Hex(((first & 0xFu) << 8) | second, 3);
  case Operand::PairData:
    return text + " " + Digit((first >> 1) & 7) + ", " + Hex(second, 2);
  case Operand::Pair:
    return text + " " + Digit((first >> 1) & 7);
  case Operand::Register:
  case Operand::Nibble:
    return text + " " + Digit(first);
  case Operand::RegisterLabel:
    return text + " " + Digit(first) + ", " + blockTarget(2);
  }
  return text;
}

std::string Changes(const Machine& before, const Machine& after) {
  std::string changes;
  for (std::size_t i = 0; i < after.registers.size(); ++i) {
    if (before.registers[i] != after.registers[i]) {
      // R0-R7 of the 4040's second bank are written R0'-R7'.
      Add(changes, "R" + Digit(static_cast<unsigned>(i % 16)) + (i >= 16 ? "'" : "") + "=" +
                       Digit(after.registers[i]));
    }
  }
  for (std::size_t line = 0; line < kRamLines; ++line) {
    for (std::size_t chip = 0; chip < kRamChips; ++chip) {
      const std::string place = std::to_string(line) + ":" + std::to_string(chip) + ":";
      for (std::size_t reg = 0; reg < kRamRegisters; ++reg) {
        for (std::size_t c = 0; c < kMainCharacters; ++c) {
          const std::size_t i = RamIndex(line, chip, reg, c);
          if (before.ram[i] != after.ram[i]) {
            Add(changes, "M" + place + std::to_string(reg) + ":" + Digit(static_cast<unsigned>(c)) +
                             "=" + Digit(after.ram[i]));
          }
        }
        for (std::size_t c = 0; c < kStatusCharacters; ++c) {
          const std::size_t i = StatusIndex(line, chip, reg, c);
          if (before.status[i] != after.status[i]) {
            Add(changes, "S" + place + std::to_string(reg) + ":" + std::to_string(c) + "=" +
                             Digit(after.status[i]));
          }
        }
      }
      const std::size_t port = line * kRamChips + chip;
      if (before.ramPorts[port] != after.ramPorts[port]) {
        Add(changes, "RAMPORT" + std::to_string(line) + ":" + std::to_string(chip) + "=" +
                         Digit(after.ramPorts[port]));
      }
    }
  }
  for (std::size_t port = 0; port < kRomPorts; ++port) {
    if (before.romPorts[port] != after.romPorts[port]) {
      Add(changes,
          "ROMPORT" + Digit(static_cast<unsigned>(port)) + "=" + Digit(after.romPorts[port]));
    }
  }
  if (before.src != after.src) {
    Add(changes, "SRC=" + Hex(after.src, 2));
  }
  if (before.dcl != after.dcl) {
    Add(changes, "DCL=" + std::to_string(after.dcl));
  }
  if (before.registerBank != after.registerBank) {
    Add(changes, "regbank=" + std::to_string(after.registerBank));
  }
  if (before.romBank != after.romBank) {
    Add(changes, "rombank=" + std::to_string(after.romBank));
  }
  if (before.pointer != after.pointer) {
    const std::size_t size = AddressRegisters(after.cpu);
    Add(changes, (after.pointer == (before.pointer + 1) % size) ? "stack+" : "stack-");
  }
  if (before.halted != after.halted) {
    Add(changes, after.halted ? "halted" : "running");
  }
  if (before.interruptsEnabled != after.interruptsEnabled) {
    Add(changes, after.interruptsEnabled ? "interrupts-on" : "interrupts-off");
  }
  if (before.servingInterrupt != after.servingInterrupt) {
    Add(changes, after.servingInterrupt ? "interrupt" : "interrupt-done");
  }
  return changes;
}

std::string TraceLine(const Machine& before, const Machine& after, const StepResult& step) {
  std::string bytes;
  std::string text;
  if (step.interrupt) {
    text = "(interrupt)";
  } else if (step.halted) {
    text = "(halted)";
  } else {
    bytes = Hex(step.bytes[0], 2);
    if (step.length == 2) {
      bytes += ' ';
      bytes += Hex(step.bytes[1], 2);
    }
    text = InstructionText(step.bytes[0], step.bytes[1], step.address);
  }
  char line[96];
  std::snprintf(line, sizeof line, "%10llu  %03X  %-5s  %-12s  A=%X C=%u",
                static_cast<unsigned long long>(before.cycles), step.address, bytes.c_str(),
                text.c_str(), after.acc, after.carry);
  std::string result = line;
  const std::string changes = Changes(before, after);
  if (!changes.empty()) {
    result += "  ";
    result += changes;
  }
  return result;
}

} // namespace simulate
