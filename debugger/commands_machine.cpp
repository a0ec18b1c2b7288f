// The debugger's edits of the machine, which Undo takes back, and the inputs of the board: TEST,
// the ROM input lines, INT, the serial input, keys and switches.
#include "debugger/commands.h"
#include "debugger/views.h"
#include "translate/hex_text.h"

#include <utility>

namespace debugger {

namespace {

std::string Address(int address) { return AddressText(address); }

} // namespace

void DebuggerCommands::EditMachine(
    const std::function<void(simulate::Machine&, boards::Board&)>& change, std::string what) {
  if (!session_.HasProgram()) {
    return;
  }
  Stop();
  MarkShown();
  session_.Edit(change);
  SetStatus(std::move(what) + " (Ctrl+Z takes it back).");
}

void DebuggerCommands::SetRegister(unsigned r, std::uint8_t value) {
  std::string what = "R";
  what += translate::kHexDigits[r & 0xF];
  what += " set to ";
  what += translate::kHexDigits[value & 0xF];
  EditMachine(
      [r, value](simulate::Machine& machine, boards::Board&) {
        machine.registers[simulate::RegisterIndex(machine, r & 0xF)] = value & 0xF;
      },
      std::move(what));
}

void DebuggerCommands::SetAccumulator(std::uint8_t value) {
  std::string what = "The accumulator set to ";
  what += translate::kHexDigits[value & 0xF];
  EditMachine([value](simulate::Machine& machine, boards::Board&) { machine.acc = value & 0xF; },
              std::move(what));
}

void DebuggerCommands::SetCarry(bool carry) {
  EditMachine(
      [carry](simulate::Machine& machine, boards::Board&) { machine.carry = carry ? 1 : 0; },
      std::string("The carry set to ") + (carry ? "1" : "0"));
}

void DebuggerCommands::SetRamCharacter(std::size_t index, std::uint8_t value) {
  if (index >= simulate::Machine{}.ram.size()) {
    return;
  }
  EditMachine([index, value](simulate::Machine& machine,
                             boards::Board&) { machine.ram[index] = value & 0xF; },
              "A RAM character set");
}

void DebuggerCommands::SetStatusCharacter(std::size_t index, std::uint8_t value) {
  if (index >= simulate::Machine{}.status.size()) {
    return;
  }
  EditMachine([index, value](simulate::Machine& machine,
                             boards::Board&) { machine.status[index] = value & 0xF; },
              "A status character set");
}

void DebuggerCommands::SetRomPort(std::uint8_t port, std::uint8_t value) {
  EditMachine(
      [port, value](simulate::Machine& machine, boards::Board& board) {
        machine.romPorts[port & 0xF] = value & 0xF;
        // The board sees the latch change as when the program writes it.
        board.RomOutput(port & 0xF, value & 0xF, machine.cycles);
      },
      std::string("ROM port ") + translate::kHexDigits[port & 0xF] + " set");
}

void DebuggerCommands::SetRamPort(std::size_t index, std::uint8_t value) {
  if (index >= simulate::kRamLines * simulate::kRamChips) {
    return;
  }
  EditMachine(
      [index, value](simulate::Machine& machine, boards::Board& board) {
        machine.ramPorts[index] = value & 0xF;
        board.RamOutput(static_cast<std::uint8_t>(index / simulate::kRamChips),
                        static_cast<std::uint8_t>(index % simulate::kRamChips), value & 0xF,
                        machine.cycles);
      },
      "A RAM port set");
}

void DebuggerCommands::SetNextRow(int row) {
  const std::optional<int> found = InstructionAtRow(row);
  if (!found) {
    return;
  }
  const int address = *found;
  EditMachine(
      [address](simulate::Machine& machine, boards::Board&) {
        machine.addresses[machine.pointer] = static_cast<std::uint16_t>(address & 0xFFF);
        machine.halted = false;
        if (machine.cpu == simulate::Processor::I4040) {
          machine.romBank = machine.fetchBank = static_cast<std::uint8_t>(address >> 12);
          machine.bankSwitchCycle = machine.cycles;
        }
      },
      "The next instruction is at " + Address(address));
}

void DebuggerCommands::Undo() {
  if (running_) {
    return;
  }
  MarkShown();
  if (!session_.Undo()) {
    SetStatus("Nothing to take back: the edits end when the program runs on.");
    return;
  }
  WentBack("The last edit was taken back.");
}

void DebuggerCommands::SetTest(bool level) { session_.SetTest(level); }

void DebuggerCommands::SetRomInputBit(std::uint8_t port, int bit, bool on) {
  std::uint8_t value = session_.romInput(port);
  value = static_cast<std::uint8_t>(on ? value | (1u << bit) : value & ~(1u << bit));
  session_.SetRomInput(port, value);
}

void DebuggerCommands::RequestInterrupt() {
  if (session_.cpu() != simulate::Processor::I4040) {
    SetStatus("The 4004 has no interrupt input; choose the 4040.");
    return;
  }
  session_.RequestInterrupt();
  SetStatus(session_.machine().interruptsEnabled
                ? "INT is raised: the 4040 takes the interrupt before its next instruction."
                : "INT is raised: the 4040 takes the interrupt once the program enables "
                  "interrupts (EIN).");
}

void DebuggerCommands::Type(std::string_view text) { session_.SendInput(text); }

void DebuggerCommands::PressKey(std::size_t key) {
  const boards::Board& board = session_.board();
  if (key >= board.Keys().size()) {
    return;
  }
  session_.PressKey(key);
  if (!running_) {
    SetStatus("Key " + board.Keys()[key].name +
              " is held for 0.1 s of the program's time: run the program to let it see it.");
  }
}

bool DebuggerCommands::TypeKey(std::string_view text) {
  std::string name(text);
  if (name == "\r" || name == "\n") {
    name = "=";
  } else if (name == "\x1B") {
    name = "C";
  }
  const std::optional<std::size_t> key = session_.board().FindKey(name);
  if (!key) {
    return false;
  }
  PressKey(*key);
  return true;
}

void DebuggerCommands::SetSwitch(std::size_t index, std::size_t position) {
  session_.SetSwitch(index, position);
}

} // namespace debugger
