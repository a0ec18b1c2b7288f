#include "cli/state_json.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace cli {

std::string StateJson(const simulate::Machine& machine, bool test) {
  using simulate::kRamChips;
  using simulate::kRamLines;
  using simulate::kRamRegisters;
  const bool is4040 = machine.cpu == simulate::Processor::I4040;
  nlohmann::ordered_json state;
  state["cpu"] = simulate::ProcessorName(machine.cpu);
  state["cycles"] = machine.cycles;
  state["pc"] = simulate::ProgramCounter(machine);
  const std::size_t size = simulate::AddressRegisters(machine.cpu);
  nlohmann::ordered_json stack = nlohmann::ordered_json::array();
  for (std::size_t i = 1; i < size; ++i) {
    stack.push_back(machine.addresses[(machine.pointer + size - i) % size]);
  }
  state["stack"] = stack;
  state["acc"] = machine.acc;
  state["carry"] = machine.carry;
  state["test"] = test ? 1 : 0;
  state["registers"] = std::vector<int>(machine.registers.begin(), machine.registers.begin() + 16);
  if (is4040) {
    state["registers_bank1"] =
        std::vector<int>(machine.registers.begin() + 16, machine.registers.end());
    state["register_bank"] = machine.registerBank;
    state["rom_bank"] = machine.romBank;
  }
  state["src"] = machine.src;
  state["dcl"] = machine.dcl;
  nlohmann::ordered_json ram = nlohmann::ordered_json::array();
  nlohmann::ordered_json ramPorts = nlohmann::ordered_json::array();
  for (std::size_t line = 0; line < kRamLines; ++line) {
    nlohmann::ordered_json chips = nlohmann::ordered_json::array();
    nlohmann::ordered_json ports = nlohmann::ordered_json::array();
    for (std::size_t chip = 0; chip < kRamChips; ++chip) {
      nlohmann::ordered_json registers = nlohmann::ordered_json::array();
      for (std::size_t reg = 0; reg < kRamRegisters; ++reg) {
        std::vector<int> characters;
        for (std::size_t c = 0; c < simulate::kMainCharacters; ++c) {
          characters.push_back(machine.ram[simulate::RamIndex(line, chip, reg, c)]);
        }
        for (std::size_t c = 0; c < simulate::kStatusCharacters; ++c) {
          characters.push_back(machine.status[simulate::StatusIndex(line, chip, reg, c)]);
        }
        registers.push_back(characters);
      }
      chips.push_back(registers);
      ports.push_back(machine.ramPorts[line * kRamChips + chip]);
    }
    ram.push_back(chips);
    ramPorts.push_back(ports);
  }
  state["ram"] = ram;
  state["ram_ports"] = ramPorts;
  state["rom_ports"] = std::vector<int>(machine.romPorts.begin(), machine.romPorts.end());
  if (is4040) {
    state["halted"] = machine.halted;
    state["interrupts_enabled"] = machine.interruptsEnabled;
  }
  return state.dump();
}

} // namespace cli
