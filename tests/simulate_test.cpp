#include "boards/board.h"
#include "simulate/step.h"
#include "simulate/trace.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Every instruction of the 4004 and the 4040, as rows of a state before, the instruction's bytes,
// the state after and the cycles taken. The values after are worked out from Intel's MCS-4 and
// MCS-40 manuals, not from running the code; every row compares the whole machine, so a change
// the row does not name fails it too.
namespace {

using simulate::Machine;
using simulate::Processor;

// A part of a machine's state; only what is set counts. Registers are as the program sees them
// (on the 4040 through the current register bank).
struct State {
  std::optional<int> acc = {};
  std::optional<int> carry = {};
  std::vector<std::pair<int, int>> registers = {};
  std::optional<int> src = {};
  std::optional<int> dcl = {};
  std::vector<std::array<int, 5>> ram = {};       // line, chip, register, character, value
  std::vector<std::array<int, 5>> status = {};    // line, chip, register, status character, value
  std::vector<std::pair<int, int>> ramPorts = {}; // line * 4 + chip, value
  std::vector<std::pair<int, int>> romPorts = {};
  std::optional<int> pc = {};      // expected: the next instruction (default: after this one)
  std::optional<int> pointer = {}; // stack pointer
  std::vector<std::pair<int, int>> addresses = {}; // address register, value
  std::optional<int> registerBank = {};
  std::optional<int> romBank = {};
  std::optional<int> bankSwitchCycle = {};
  std::optional<bool> halted = {};
  std::optional<bool> interruptsEnabled = {};
  std::optional<bool> servingInterrupt = {};
  std::optional<int> savedSrc = {};
  std::vector<std::pair<int, int>> rom = {}; // address in bank 0, byte
};

void Apply(Machine& machine, const State& state) {
  if (state.acc)
    machine.acc = static_cast<std::uint8_t>(*state.acc);
  if (state.carry)
    machine.carry = static_cast<std::uint8_t>(*state.carry);
  if (state.registerBank)
    machine.registerBank = static_cast<std::uint8_t>(*state.registerBank);
  for (const auto& [r, value] : state.registers) {
    machine.registers[simulate::RegisterIndex(machine, static_cast<unsigned>(r))] =
        static_cast<std::uint8_t>(value);
  }
  if (state.src)
    machine.src = static_cast<std::uint8_t>(*state.src);
  if (state.dcl)
    machine.dcl = static_cast<std::uint8_t>(*state.dcl);
  for (const auto& [line, chip, reg, c, value] : state.ram) {
    machine.ram[simulate::RamIndex(line, chip, reg, c)] = static_cast<std::uint8_t>(value);
  }
  for (const auto& [line, chip, reg, c, value] : state.status) {
    machine.status[simulate::StatusIndex(line, chip, reg, c)] = static_cast<std::uint8_t>(value);
  }
  for (const auto& [port, value] : state.ramPorts) {
    machine.ramPorts[static_cast<std::size_t>(port)] = static_cast<std::uint8_t>(value);
  }
  for (const auto& [port, value] : state.romPorts) {
    machine.romPorts[static_cast<std::size_t>(port)] = static_cast<std::uint8_t>(value);
  }
  if (state.pointer)
    machine.pointer = static_cast<std::uint8_t>(*state.pointer);
  for (const auto& [index, value] : state.addresses) {
    machine.addresses[static_cast<std::size_t>(index)] = static_cast<std::uint16_t>(value);
  }
  if (state.pc)
    machine.addresses[machine.pointer] = static_cast<std::uint16_t>(*state.pc);
  if (state.romBank) {
    machine.romBank = static_cast<std::uint8_t>(*state.romBank);
    // A bank designated long ago is the one fetched from; one just designated is not yet.
    if (!state.bankSwitchCycle) {
      machine.fetchBank = machine.romBank;
    }
  }
  if (state.bankSwitchCycle)
    machine.bankSwitchCycle = static_cast<std::uint64_t>(*state.bankSwitchCycle);
  if (state.halted)
    machine.halted = *state.halted;
  if (state.interruptsEnabled)
    machine.interruptsEnabled = *state.interruptsEnabled;
  if (state.servingInterrupt)
    machine.servingInterrupt = *state.servingInterrupt;
  if (state.savedSrc)
    machine.savedSrc = static_cast<std::uint8_t>(*state.savedSrc);
  for (const auto& [address, byte] : state.rom) {
    machine.rom[static_cast<std::size_t>(address)] = static_cast<std::uint8_t>(byte);
  }
}

// What differs between two machines, for a failure message.
std::string Difference(const Machine& actual, const Machine& expected) {
  std::string text = simulate::Changes(expected, actual);
  const auto field = [&text](const char* name, unsigned a, unsigned e) {
    if (a != e) {
      text += std::string(" ") + name + "=" + std::to_string(a) + " (expected " +
              std::to_string(e) + ")";
    }
  };
  field("acc", actual.acc, expected.acc);
  field("carry", actual.carry, expected.carry);
  field("pc", simulate::ProgramCounter(actual), simulate::ProgramCounter(expected));
  field("cycles", static_cast<unsigned>(actual.cycles), static_cast<unsigned>(expected.cycles));
  field("bankSwitchCycle", static_cast<unsigned>(actual.bankSwitchCycle),
        static_cast<unsigned>(expected.bankSwitchCycle));
  for (std::size_t i = 0; i < actual.addresses.size(); ++i) {
    field("address register", actual.addresses[i], expected.addresses[i]);
  }
  return text.empty() ? "(other fields)" : text;
}

// Peripherals with a fixed TEST level and ROM inputs, which record the outputs.
class TestBoard final : public simulate::Peripherals {
public:
  bool test = false;
  std::uint8_t romInput = 0;
  bool interrupt = false;
  std::vector<std::string> outputs;

  bool Test(std::uint64_t) override { return test; }
  std::uint8_t RomInput(std::uint8_t port, std::uint64_t) override {
    return static_cast<std::uint8_t>(romInput + port) & 0xF;
  }
  void RomOutput(std::uint8_t port, std::uint8_t value, std::uint64_t cycle) override {
    outputs.push_back("rom " + std::to_string(port) + "=" + std::to_string(value) + " @" +
                      std::to_string(cycle));
  }
  void RamOutput(std::uint8_t line, std::uint8_t chip, std::uint8_t value,
                 std::uint64_t cycle) override {
    outputs.push_back("ram " + std::to_string(line) + ":" + std::to_string(chip) + "=" +
                      std::to_string(value) + " @" + std::to_string(cycle));
  }
  bool Interrupt(std::uint64_t) override { return interrupt; }
};

struct Row {
  const char* what;
  std::vector<std::uint8_t> bytes;
  State given;
  State expected;
  int cycles;
  Processor cpu = Processor::I4004;
  int at = 0x100; // where the instruction sits
  bool test = false;
  std::uint8_t romInput = 0;
  std::vector<std::string> outputs = {}; // what the peripherals were told, as TestBoard writes it
};

void Check(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Machine before = simulate::MakeMachine(row.cpu);
    before.cycles = 40;
    Apply(before, row.given);
    before.addresses[before.pointer] = static_cast<std::uint16_t>(row.at);
    // In both ROM banks, so that the row does not depend on the one designated.
    for (std::size_t i = 0; i < row.bytes.size(); ++i) {
      const std::size_t address = (static_cast<std::size_t>(row.at) + i) % 4096;
      before.rom[address] = row.bytes[i];
      before.rom[simulate::kBankSize + address] = row.bytes[i];
    }
    Machine expected = before;
    expected.addresses[expected.pointer] =
        static_cast<std::uint16_t>((row.at + row.bytes.size()) & 0xFFF);
    Apply(expected, row.expected);
    expected.cycles = before.cycles + static_cast<std::uint64_t>(row.cycles);

    Machine after = before;
    TestBoard board;
    board.test = row.test;
    board.romInput = row.romInput;
    const simulate::StepResult step = simulate::Step(after, board);
    EXPECT_EQ(step.stop, simulate::Stop::None);
    EXPECT_EQ(step.cycles, row.cycles);
    EXPECT_TRUE(after == expected) << Difference(after, expected);
    EXPECT_EQ(board.outputs, row.outputs);
  }
}

TEST(Instructions, Nop) { Check({{"NOP", {0x00}, {.acc = 3, .carry = 1}, {}, 1}}); }

TEST(Instructions, ConditionalJumpsTestInvertedOrNot) {
  // JCN 1x: bit 0 jumps on TEST = 0, bit 1 on carry = 1, bit 2 on accumulator = 0, bit 3
  // inverts. The target keeps the block of the address after both bytes.
  Check({
      {"JZ taken", {0x14, 0x40}, {.acc = 0}, {.pc = 0x140}, 2},
      {"JZ not taken", {0x14, 0x40}, {.acc = 3}, {}, 2},
      {"JNZ taken", {0x1C, 0x40}, {.acc = 3}, {.pc = 0x140}, 2},
      {"JC taken", {0x12, 0x40}, {.carry = 1}, {.pc = 0x140}, 2},
      {"JNC not taken", {0x1A, 0x40}, {.carry = 1}, {}, 2},
      {"JT taken on TEST 0", {0x11, 0x40}, {}, {.pc = 0x140}, 2},
      {"JT not taken on TEST 1", {0x11, 0x40}, {}, {}, 2, Processor::I4004, 0x100, true},
      {"JNT taken on TEST 1", {0x19, 0x40}, {}, {.pc = 0x140}, 2, Processor::I4004, 0x100, true},
      {"JCN 0 never jumps", {0x10, 0x40}, {.acc = 0, .carry = 1}, {}, 2},
      {"JCN 8 always jumps", {0x18, 0x40}, {.acc = 5}, {.pc = 0x140}, 2},
      {"JCN 6: carry or zero", {0x16, 0x40}, {.acc = 5, .carry = 1}, {.pc = 0x140}, 2},
      {"JCN E: neither carry nor zero", {0x1E, 0x40}, {.acc = 5, .carry = 1}, {}, 2},
      {"JCN at 1FE lands in block 200",
       {0x14, 0x40},
       {.acc = 0},
       {.pc = 0x240},
       2,
       Processor::I4004,
       0x1FE},
      {"JCN at 1FF lands in block 200",
       {0x14, 0x40},
       {.acc = 0},
       {.pc = 0x240},
       2,
       Processor::I4004,
       0x1FF},
      {"JCN at FFE wraps to block 000",
       {0x14, 0x40},
       {.acc = 0},
       {.pc = 0x040},
       2,
       Processor::I4004,
       0xFFE},
  });
}

TEST(Instructions, PairsAndFarJumps) {
  Check({
      {"FIM loads a pair", {0x24, 0xA7}, {}, {.registers = {{4, 0xA}, {5, 7}}}, 2},
      {"SRC sends a pair and keeps it in the SRC register",
       {0x27},
       {.registers = {{6, 0xC}, {7, 5}}},
       {.src = 0xC5, .savedSrc = 0xC5},
       1},
      // Distinct bytes at 23 in the blocks around: reading the wrong block gives another.
      {"FIN reads in its own block",
       {0x34},
       {.registers = {{0, 0x2}, {1, 0x3}}, .rom = {{0x023, 0x11}, {0x123, 0x5C}, {0x223, 0x22}}},
       {.registers = {{4, 0x5}, {5, 0xC}}},
       2},
      {"JIN jumps within the block", {0x33}, {.registers = {{2, 0x5}, {3, 0x6}}}, {.pc = 0x156}, 1},
      {"JIN at 1FF jumps within block 200",
       {0x33},
       {.registers = {{2, 0x5}, {3, 0x6}}},
       {.pc = 0x256},
       1,
       Processor::I4004,
       0x1FF},
      {"JUN", {0x4A, 0xBC}, {}, {.pc = 0xABC}, 2},
      {"JMS saves the return address",
       {0x5A, 0xBC},
       {},
       {.pointer = 1, .addresses = {{0, 0x102}, {1, 0xABC}}},
       2},
      {"BBL returns and loads the accumulator",
       {0xC7},
       {.pointer = 1, .addresses = {{0, 0x234}}},
       // The register it leaves keeps the address after BBL.
       {.acc = 7, .pointer = 0, .addresses = {{1, 0x101}}},
       1},
      {"BBL from level 0 wraps to the top of the 4004's stack",
       {0xC0},
       {.pointer = 0, .addresses = {{3, 0x345}}},
       {.acc = 0, .pointer = 3, .addresses = {{0, 0x101}}},
       1},
  });
}

TEST(Instructions, RegistersAndArithmetic) {
  Check({
      {"INC wraps without carry",
       {0x63},
       {.carry = 0, .registers = {{3, 0xF}}},
       {.registers = {{3, 0}}},
       1},
      {"ISZ jumps while not zero",
       {0x75, 0x20},
       {.registers = {{5, 3}}},
       {.registers = {{5, 4}}, .pc = 0x120},
       2},
      {"ISZ falls through at zero",
       {0x75, 0x20},
       {.registers = {{5, 0xF}}},
       {.registers = {{5, 0}}},
       2},
      {"ISZ at FFE jumps into block 000",
       {0x75, 0x20},
       {.registers = {{5, 3}}},
       {.registers = {{5, 4}}, .pc = 0x020},
       2,
       Processor::I4004,
       0xFFE},
      {"ADD with carry in and out",
       {0x82},
       {.acc = 9, .carry = 1, .registers = {{2, 8}}},
       {.acc = 2, .carry = 1},
       1},
      {"ADD without carry",
       {0x82},
       {.acc = 3, .carry = 0, .registers = {{2, 4}}},
       {.acc = 7, .carry = 0},
       1},
      // SUB adds the complement and the complemented carry: carry 1 afterwards means no borrow.
      {"SUB without borrow",
       {0x92},
       {.acc = 9, .carry = 0, .registers = {{2, 4}}},
       {.acc = 5, .carry = 1},
       1},
      {"SUB with a borrow",
       {0x92},
       {.acc = 3, .carry = 0, .registers = {{2, 4}}},
       {.acc = 0xF, .carry = 0},
       1},
      {"SUB with a borrow in",
       {0x92},
       {.acc = 9, .carry = 1, .registers = {{2, 4}}},
       {.acc = 4, .carry = 1},
       1},
      {"LD", {0xA6}, {.acc = 1, .registers = {{6, 9}}}, {.acc = 9}, 1},
      {"XCH", {0xB6}, {.acc = 1, .registers = {{6, 9}}}, {.acc = 9, .registers = {{6, 1}}}, 1},
      {"LDM", {0xDA}, {.acc = 1}, {.acc = 0xA}, 1},
  });
}

TEST(Instructions, Accumulator) {
  Check({
      {"CLB", {0xF0}, {.acc = 5, .carry = 1}, {.acc = 0, .carry = 0}, 1},
      {"CLC", {0xF1}, {.carry = 1}, {.carry = 0}, 1},
      {"IAC overflows into the carry", {0xF2}, {.acc = 0xF}, {.acc = 0, .carry = 1}, 1},
      {"IAC", {0xF2}, {.acc = 4, .carry = 1}, {.acc = 5, .carry = 0}, 1},
      {"CMC", {0xF3}, {.carry = 0}, {.carry = 1}, 1},
      {"CMA", {0xF4}, {.acc = 0x5}, {.acc = 0xA}, 1},
      {"RAL through the carry", {0xF5}, {.acc = 0xA, .carry = 1}, {.acc = 0x5, .carry = 1}, 1},
      {"RAR through the carry", {0xF6}, {.acc = 0x5, .carry = 0}, {.acc = 0x2, .carry = 1}, 1},
      {"TCC", {0xF7}, {.acc = 9, .carry = 1}, {.acc = 1, .carry = 0}, 1},
      {"DAC without borrow", {0xF8}, {.acc = 5, .carry = 0}, {.acc = 4, .carry = 1}, 1},
      {"DAC from 0 borrows", {0xF8}, {.acc = 0, .carry = 1}, {.acc = 0xF, .carry = 0}, 1},
      {"TCS after a borrow", {0xF9}, {.acc = 3, .carry = 0}, {.acc = 9, .carry = 0}, 1},
      {"TCS after a carry", {0xF9}, {.acc = 3, .carry = 1}, {.acc = 10, .carry = 0}, 1},
      {"STC", {0xFA}, {.carry = 0}, {.carry = 1}, 1},
      // DAA adds 6 above 9 or after a carry, and sets the carry only on overflow.
      {"DAA leaves 9", {0xFB}, {.acc = 9, .carry = 0}, {}, 1},
      {"DAA corrects A", {0xFB}, {.acc = 0xA, .carry = 0}, {.acc = 0, .carry = 1}, 1},
      {"DAA after a carry", {0xFB}, {.acc = 3, .carry = 1}, {.acc = 9, .carry = 1}, 1},
      {"DAA keeps the carry it had", {0xFB}, {.acc = 9, .carry = 1}, {.acc = 0xF, .carry = 1}, 1},
      {"KBP 0", {0xFC}, {.acc = 0}, {.acc = 0}, 1},
      {"KBP 1", {0xFC}, {.acc = 1}, {.acc = 1}, 1},
      {"KBP 2", {0xFC}, {.acc = 2}, {.acc = 2}, 1},
      {"KBP 4", {0xFC}, {.acc = 4}, {.acc = 3}, 1},
      {"KBP 8", {0xFC}, {.acc = 8}, {.acc = 4}, 1},
      {"KBP two keys", {0xFC}, {.acc = 6}, {.acc = 0xF}, 1},
      {"DCL takes three bits", {0xFD}, {.acc = 0xE}, {.dcl = 6}, 1},
  });
}

TEST(Instructions, RamAndPorts) {
  // SRC 6A: chip 1, register 2, character A.
  Check({
      {"WRM on line 0", {0xE0}, {.acc = 7, .src = 0x6A}, {.ram = {{0, 1, 2, 0xA, 7}}}, 1},
      {"WRM on line 3 (DCL 4)",
       {0xE0},
       {.acc = 7, .src = 0x6A, .dcl = 4},
       {.ram = {{3, 1, 2, 0xA, 7}}},
       1},
      {"WRM on lines 1 and 3 at once (DCL 5)",
       {0xE0},
       {.acc = 7, .src = 0x6A, .dcl = 5},
       {.ram = {{1, 1, 2, 0xA, 7}, {3, 1, 2, 0xA, 7}}},
       1},
      {"RDM", {0xE9}, {.acc = 0, .src = 0x6A, .ram = {{0, 1, 2, 0xA, 9}}}, {.acc = 9}, 1},
      {"RDM from two lines reads their OR",
       {0xE9},
       {.acc = 0, .src = 0x6A, .dcl = 3, .ram = {{1, 1, 2, 0xA, 1}, {2, 1, 2, 0xA, 4}}},
       {.acc = 5},
       1},
      {"ADM",
       {0xEB},
       {.acc = 9, .carry = 1, .src = 0x6A, .ram = {{0, 1, 2, 0xA, 9}}},
       {.acc = 3, .carry = 1},
       1},
      {"SBM",
       {0xE8},
       {.acc = 9, .carry = 0, .src = 0x6A, .ram = {{0, 1, 2, 0xA, 4}}},
       {.acc = 5, .carry = 1},
       1},
      {"WR0", {0xE4}, {.acc = 5, .src = 0x6A}, {.status = {{0, 1, 2, 0, 5}}}, 1},
      {"WR1", {0xE5}, {.acc = 5, .src = 0x6A}, {.status = {{0, 1, 2, 1, 5}}}, 1},
      {"WR2", {0xE6}, {.acc = 5, .src = 0x6A}, {.status = {{0, 1, 2, 2, 5}}}, 1},
      {"WR3", {0xE7}, {.acc = 5, .src = 0x6A}, {.status = {{0, 1, 2, 3, 5}}}, 1},
      {"RD0", {0xEC}, {.src = 0x6A, .status = {{0, 1, 2, 0, 0x9}}}, {.acc = 0x9}, 1},
      {"RD1", {0xED}, {.src = 0x6A, .status = {{0, 1, 2, 1, 0xA}}}, {.acc = 0xA}, 1},
      {"RD2", {0xEE}, {.src = 0x6A, .status = {{0, 1, 2, 2, 0xB}}}, {.acc = 0xB}, 1},
      {"RD3", {0xEF}, {.src = 0x6A, .status = {{0, 1, 2, 3, 0xC}}}, {.acc = 0xC}, 1},
      {"WMP",
       {0xE1},
       {.acc = 5, .src = 0x6A, .dcl = 1},
       {.ramPorts = {{1 * 4 + 1, 5}}},
       1,
       Processor::I4004,
       0x100,
       false,
       0,
       {"ram 1:1=5 @40"}},
      {"WMP on lines 1 and 3 at once (DCL 5)",
       {0xE1},
       {.acc = 9, .src = 0xEA, .dcl = 5},
       {.ramPorts = {{1 * 4 + 3, 9}, {3 * 4 + 3, 9}}},
       1,
       Processor::I4004,
       0x100,
       false,
       0,
       {"ram 1:3=9 @40", "ram 3:3=9 @40"}},
      {"WRR",
       {0xE2},
       {.acc = 5, .src = 0x6A},
       {.romPorts = {{6, 5}}},
       1,
       Processor::I4004,
       0x100,
       false,
       0,
       {"rom 6=5 @40"}},
      {"RDR reads the port's input lines",
       {0xEA},
       {.src = 0x6A},
       {.acc = 0xB},
       1,
       Processor::I4004,
       0x100,
       false,
       5},
  });
}

TEST(Instructions, The4040Additions) {
  const Processor i4040 = Processor::I4040;
  Check({
      {"HLT", {0x01}, {}, {.halted = true}, 1, i4040},
      {"BBS returns and sends the saved SRC",
       {0x02},
       {.src = 0x11,
        .pointer = 1,
        .addresses = {{0, 0x234}},
        .servingInterrupt = true,
        .savedSrc = 0x5A},
       {.src = 0x5A, .pointer = 0, .addresses = {{1, 0x101}}, .servingInterrupt = false},
       1,
       i4040},
      {"LCR reads DCL and the ROM bank", {0x03}, {.dcl = 5, .romBank = 1}, {.acc = 0xD}, 1, i4040},
      {"OR4", {0x04}, {.acc = 0x5, .registers = {{4, 0xA}}}, {.acc = 0xF}, 1, i4040},
      {"OR5", {0x05}, {.acc = 0x1, .registers = {{5, 0x2}}}, {.acc = 0x3}, 1, i4040},
      {"AN6", {0x06}, {.acc = 0x7, .registers = {{6, 0xC}}}, {.acc = 0x4}, 1, i4040},
      {"AN7", {0x07}, {.acc = 0xF, .registers = {{7, 0x0}}}, {.acc = 0x0}, 1, i4040},
      {"DB1: fetches from bank 1 from the third cycle on",
       {0x09},
       {},
       {.romBank = 1, .bankSwitchCycle = 43},
       1,
       i4040},
      {"DB0", {0x08}, {.romBank = 1}, {.romBank = 0, .bankSwitchCycle = 43}, 1, i4040},
      {"SB1 selects register bank 1", {0x0B}, {}, {.registerBank = 1}, 1, i4040},
      {"SB0", {0x0A}, {.registerBank = 1}, {.registerBank = 0}, 1, i4040},
      {"EIN (SEI)", {0x0C}, {}, {.interruptsEnabled = true}, 1, i4040},
      {"DIN (CLI)", {0x0D}, {.interruptsEnabled = true}, {.interruptsEnabled = false}, 1, i4040},
      {"the 4004 runs 07 as NOP", {0x07}, {.acc = 0xF, .registers = {{7, 0}}}, {}, 1},
      {"the 4004 runs 0C as NOP", {0x0C}, {}, {}, 1},
  });
}

TEST(Instructions, RegisterBanksShareR8ToR15) {
  Machine machine = simulate::MakeMachine(Processor::I4040);
  TestBoard board;
  // FIM 0, 12; SB1; FIM 0, 34; FIM 4, 56; SB0; SRC 0; SB1; SRC 4
  const std::vector<std::uint8_t> program = {0x20, 0x12, 0x0B, 0x20, 0x34, 0x28,
                                             0x56, 0x0A, 0x21, 0x0B, 0x29};
  std::copy(program.begin(), program.end(), machine.rom.begin());
  for (int i = 0; i < 7; ++i) {
    simulate::Step(machine, board);
  }
  EXPECT_EQ(machine.src, 0x12) << "bank 0 keeps its R0 R1";
  simulate::Step(machine, board);
  simulate::Step(machine, board);
  EXPECT_EQ(machine.src, 0x56) << "R8 R9 are the same in both banks";
  EXPECT_EQ(machine.registers[16], 3);
  EXPECT_EQ(machine.registers[17], 4);
}

TEST(Instructions, BytesTheProcessorDoesNotDefineStop) {
  for (const auto& [cpu, byte] : std::vector<std::pair<Processor, std::uint8_t>>{
           {Processor::I4004, 0xFE},
           {Processor::I4004, 0xFF},
           {Processor::I4040, 0x0F},
           {Processor::I4040, 0xFF},
           {Processor::I4004, 0xE3}, // WPM: no program RAM on this board
           {Processor::I4040, 0x0E}, // RPM
       }) {
    SCOPED_TRACE(byte);
    Machine machine = simulate::MakeMachine(cpu);
    machine.rom[0] = byte;
    const Machine before = machine;
    TestBoard board;
    const simulate::StepResult step = simulate::Step(machine, board);
    EXPECT_NE(step.stop, simulate::Stop::None);
    EXPECT_TRUE(machine == before) << "nothing changes";
    EXPECT_FALSE(simulate::Describe(step.stop, step, cpu).empty());
  }
}

TEST(Instructions, TheRomBankChangesOnTheThirdCycleAfterDb) {
  // DB1 at 000, JUN 100 at 001: the jump's second byte still comes from bank 0, and its target
  // from bank 1, where 100 holds LDM 7 (bank 0 has LDM 1 there).
  Machine machine = simulate::MakeMachine(Processor::I4040);
  machine.rom[0x000] = 0x09;
  machine.rom[0x001] = 0x41;
  machine.rom[0x002] = 0x00;
  machine.rom[0x100] = 0xD1;
  machine.rom[0x1001] = 0x4F; // a different JUN in bank 1, which must not be fetched
  machine.rom[0x1100] = 0xD7;
  TestBoard board;
  simulate::Step(machine, board);
  EXPECT_EQ(machine.romBank, 1);
  const simulate::StepResult jump = simulate::Step(machine, board);
  EXPECT_EQ(jump.bytes[0], 0x41);
  EXPECT_EQ(simulate::ProgramCounter(machine), 0x100);
  const simulate::StepResult load = simulate::Step(machine, board);
  EXPECT_EQ(load.bank, 1);
  EXPECT_EQ(machine.acc, 7);
}

TEST(Instructions, InterruptsCallThreeAndBbsReturns) {
  Machine machine = simulate::MakeMachine(Processor::I4040);
  // 000 EIN; 001 JUN 010; 003 BBS; 010 FIM 0, 42; 012 SRC 0; 013 HLT; 014 JUN 014.
  for (const auto& [address, byte] : std::vector<std::pair<int, std::uint8_t>>{{0x000, 0x0C},
                                                                               {0x001, 0x40},
                                                                               {0x002, 0x10},
                                                                               {0x003, 0x02},
                                                                               {0x010, 0x20},
                                                                               {0x011, 0x42},
                                                                               {0x012, 0x21},
                                                                               {0x013, 0x01},
                                                                               {0x014, 0x40},
                                                                               {0x015, 0x14}}) {
    machine.rom[static_cast<std::size_t>(address)] = byte;
  }
  TestBoard board;
  for (int i = 0; i < 4; ++i) {
    simulate::Step(machine, board); // EIN, JUN, FIM, SRC
  }
  board.interrupt = true;
  const simulate::StepResult taken = simulate::Step(machine, board);
  EXPECT_TRUE(taken.interrupt);
  EXPECT_EQ(taken.cycles, 2);
  EXPECT_FALSE(machine.halted) << "the interrupt came before HLT";
  EXPECT_TRUE(machine.servingInterrupt);
  EXPECT_EQ(simulate::ProgramCounter(machine), 0x003);
  EXPECT_EQ(machine.savedSrc, 0x42);

  machine.src = 0x99; // as a handler's own SRC would
  const simulate::StepResult bbs = simulate::Step(machine, board);
  EXPECT_FALSE(bbs.interrupt) << "no second interrupt before BBS has returned";
  EXPECT_FALSE(machine.servingInterrupt);
  EXPECT_EQ(machine.src, 0x42);
  EXPECT_EQ(simulate::ProgramCounter(machine), 0x013);

  board.interrupt = false;
  simulate::Step(machine, board); // HLT
  EXPECT_TRUE(machine.halted);
  const std::uint64_t cycles = machine.cycles;
  EXPECT_TRUE(simulate::Step(machine, board).halted);
  EXPECT_EQ(machine.cycles, cycles + 1) << "a halted 4040 goes on counting cycles";
  board.interrupt = true;
  EXPECT_TRUE(simulate::Step(machine, board).interrupt);
  EXPECT_FALSE(machine.halted) << "an interrupt wakes it";
  EXPECT_EQ(simulate::ProgramCounter(machine), 0x003);
}

} // namespace
