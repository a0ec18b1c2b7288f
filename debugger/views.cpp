#include "debugger/views.h"

#include "translate/hex_text.h"

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

} // namespace debugger
