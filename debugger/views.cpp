#include "debugger/views.h"

#include "simulate/trace.h"
#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <algorithm>
#include <cstdio>

namespace debugger {

namespace {

std::string Hex(unsigned value, int digits) {
  std::string text;
  translate::AppendHex(text, static_cast<std::int16_t>(value), digits);
  return text;
}

Cell Value(std::string text, bool changed) { return {std::move(text), changed}; }

std::string YesNo(bool value) { return value ? "yes" : "no"; }

} // namespace

std::string FormatSeconds(double seconds) {
  char text[32];
  if (seconds < 1e-3) {
    std::snprintf(text, sizeof text, "%.1f us", seconds * 1e6);
  } else if (seconds < 1) {
    std::snprintf(text, sizeof text, "%.3f ms", seconds * 1e3);
  } else {
    std::snprintf(text, sizeof text, "%.3f s", seconds);
  }
  return text;
}

ProcessorView MakeProcessorView(const simulate::Machine& now, const simulate::Machine& before,
                                double clockHz) {
  const bool is4040 = now.cpu == simulate::Processor::I4040;
  ProcessorView view;
  view.acc = Value(Hex(now.acc, 1), now.acc != before.acc);
  view.carry = Value(std::to_string(now.carry), now.carry != before.carry);
  const auto pc = simulate::ProgramCounter(now);
  view.pc = Value(Hex(pc, 3), pc != simulate::ProgramCounter(before));
  const std::size_t size = simulate::AddressRegisters(now.cpu);
  view.depth = Value(std::to_string(now.pointer) + " of " + std::to_string(size - 1),
                     now.pointer != before.pointer);
  view.cycles = Value(std::to_string(now.cycles), now.cycles != before.cycles);
  view.time = Value(FormatSeconds(static_cast<double>(now.cycles) * 8 / clockHz),
                    now.cycles != before.cycles);
  view.src = Value(Hex(now.src, 2), now.src != before.src);
  view.dcl = Value(std::to_string(now.dcl), now.dcl != before.dcl);
  view.registerBank =
      Value(std::to_string(now.registerBank), now.registerBank != before.registerBank);
  view.romBank = Value(std::to_string(now.romBank), now.romBank != before.romBank);
  view.halted = Value(YesNo(now.halted), now.halted != before.halted);
  view.interrupts = Value(now.interruptsEnabled ? "enabled" : "disabled",
                          now.interruptsEnabled != before.interruptsEnabled);
  const std::size_t registers = is4040 ? 24 : 16;
  for (std::size_t i = 0; i < registers; ++i) {
    view.registers.push_back(
        Value(Hex(now.registers[i], 1), now.registers[i] != before.registers[i]));
  }
  for (std::size_t pair = 0; pair < registers / 2; ++pair) {
    const unsigned value = (now.registers[2 * pair] << 4) | now.registers[2 * pair + 1];
    const unsigned old = (before.registers[2 * pair] << 4) | before.registers[2 * pair + 1];
    view.pairs.push_back(Value(Hex(value, 2), value != old));
  }
  for (std::size_t i = 1; i < size; ++i) {
    const std::size_t index = (now.pointer + size - i) % size;
    const std::size_t oldIndex = (before.pointer + size - i) % size;
    view.stack.push_back(
        Value(Hex(now.addresses[index], 3), now.addresses[index] != before.addresses[oldIndex]));
  }
  return view;
}

std::vector<RamRow> MakeRamView(const simulate::Machine& now, const simulate::Machine& before) {
  std::vector<RamRow> rows;
  for (std::size_t line = 0; line < simulate::kRamLines; ++line) {
    for (std::size_t chip = 0; chip < simulate::kRamChips; ++chip) {
      for (std::size_t reg = 0; reg < simulate::kRamRegisters; ++reg) {
        RamRow row;
        row.name = "line " + std::to_string(line) + " chip " + std::to_string(chip) + " reg " +
                   std::to_string(reg);
        for (std::size_t c = 0; c < simulate::kMainCharacters; ++c) {
          const std::size_t i = simulate::RamIndex(line, chip, reg, c);
          row.characters[c] = Value(Hex(now.ram[i], 1), now.ram[i] != before.ram[i]);
        }
        for (std::size_t c = 0; c < simulate::kStatusCharacters; ++c) {
          const std::size_t i = simulate::StatusIndex(line, chip, reg, c);
          row.characters[simulate::kMainCharacters + c] =
              Value(Hex(now.status[i], 1), now.status[i] != before.status[i]);
        }
        rows.push_back(std::move(row));
      }
    }
  }
  return rows;
}

std::string AddressText(int address) {
  std::string text = translate::FormatAddress(static_cast<std::int16_t>(address & 0xFFF));
  if (address >= static_cast<int>(simulate::kBankSize)) {
    text += " (bank 1)";
  }
  return text;
}

std::vector<DisassembledRow> DisassembleAround(const simulate::Machine& machine, int address,
                                               std::size_t count) {
  const int bank = address >> 12;
  const int counter = address & 0xFFF;
  const auto byteAt = [&machine, bank](int at) {
    return machine.rom[static_cast<std::size_t>(bank) * simulate::kBankSize +
                       static_cast<std::size_t>(at & 0xFFF)];
  };
  const auto length = [&byteAt](int at) {
    const std::uint8_t first = byteAt(at);
    const int position = translate::kFirstByteInstruction[first];
    const bool jcn = (first & 0xF0) == translate::kJcnOpcode;
    return jcn || (position >= 0 &&
                   translate::IsTwoByteOperand(
                       translate::kInstructionSet[static_cast<std::size_t>(position)].operand))
               ? 2
               : 1;
  };
  // From a little before the counter, where the instructions line up with it; else from it.
  int start = std::max(0, counter - 16);
  for (int at = start; at != counter;) {
    if (at > counter) {
      start = counter;
      break;
    }
    at += length(at);
  }
  std::vector<DisassembledRow> rows;
  for (int at = start; rows.size() < count && at < static_cast<int>(simulate::kBankSize);) {
    DisassembledRow row;
    row.address = bank * static_cast<int>(simulate::kBankSize) + at;
    const int size = std::min(length(at), static_cast<int>(simulate::kBankSize) - at);
    for (int i = 0; i < size; ++i) {
      row.bytes.push_back(byteAt(at + i));
    }
    row.text = simulate::InstructionText(row.bytes[0], size > 1 ? row.bytes[1] : std::uint8_t{0},
                                         static_cast<std::uint16_t>(at));
    rows.push_back(std::move(row));
    at += size;
  }
  if (rows.empty()) {
    return rows;
  }
  // Jumps to an instruction in view go to its label.
  const int first = rows.front().address & 0xFFF;
  const int last = rows.back().address & 0xFFF;
  for (DisassembledRow& row : rows) {
    const std::uint8_t opcode = row.bytes[0] & 0xF0;
    const int at = row.address & 0xFFF;
    int target = -1;
    if ((opcode == 0x40 || opcode == 0x50) && row.bytes.size() == 2) {
      target = (row.bytes[0] & 0xF) << 8 | row.bytes[1];
    } else if ((opcode == 0x10 || opcode == 0x70) && row.bytes.size() == 2) {
      target = ((at + 2) & 0xF00) | row.bytes[1];
    }
    if (target < first || target > last) {
      continue;
    }
    const auto labelled = std::find_if(rows.begin(), rows.end(), [target](const auto& other) {
      return (other.address & 0xFFF) == target;
    });
    if (labelled == rows.end()) {
      continue;
    }
    const std::string hex = translate::FormatAddress(static_cast<std::int16_t>(target));
    labelled->label = "L" + hex;
    if (row.text.ends_with(hex)) {
      row.text.replace(row.text.size() - hex.size(), hex.size(), "L" + hex);
    }
  }
  return rows;
}

} // namespace debugger
