#pragma once

#include "simulate/machine.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What the debugger window shows of a machine, as text, with what changed since the views last
// showed it marked. No Qt here.
namespace debugger {

struct Cell {
  std::string text;
  bool changed = false;

  friend bool operator==(const Cell&, const Cell&) = default;
};

struct ProcessorView {
  Cell acc;
  Cell carry;
  Cell pc;
  Cell depth; // stack levels in use, 0 to 3 (4004) or 7 (4040)
  Cell cycles;
  Cell time; // the cycles at the clock
  Cell src;
  Cell dcl;
  Cell registerBank; // 4040
  Cell romBank;      // 4040
  Cell halted;
  Cell interrupts;
  std::vector<Cell> registers; // R0-RF, and on the 4040 R0'-R7' of the second bank
  std::vector<Cell> pairs;     // P0-P7, and on the 4040 P0'-P3'
  std::vector<Cell> stack;     // the other address registers, the next BBL's first
};

[[nodiscard]] ProcessorView MakeProcessorView(const simulate::Machine& now,
                                              const simulate::Machine& before, double clockHz);

// The 4002 RAM: one row per register of a chip (line, chip, register), 16 main characters and 4
// status characters each.
struct RamRow {
  std::string name; // "line 0 chip 1 reg 2"
  std::array<Cell, simulate::kMainCharacters + simulate::kStatusCharacters> characters;
};

[[nodiscard]] std::vector<RamRow> MakeRamView(const simulate::Machine& now,
                                              const simulate::Machine& before);

// Program memory written as instructions where the program has no source: around `address`
// (with the bank in bit 12), `count` instructions from a little before it, each jump target in
// view named with a label as the disassembler writes them ("L0FE").
struct DisassembledRow {
  int address = 0; // with the bank in bit 12
  std::vector<std::uint8_t> bytes;
  std::string label; // "L0FE", or empty
  std::string text;  // "JUN L0FE", "LDM 5"
};
[[nodiscard]] std::vector<DisassembledRow> DisassembleAround(const simulate::Machine& machine,
                                                             int address, std::size_t count);

// An address with the bank in bit 12 as "0A5", or "0A5 (bank 1)".
[[nodiscard]] std::string AddressText(int address);

// A duration in seconds as "1.234 ms", "12.5 s" and the like.
[[nodiscard]] std::string FormatSeconds(double seconds);

} // namespace debugger
