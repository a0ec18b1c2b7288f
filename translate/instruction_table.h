#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace translate {

// What follows a mnemonic in the source, and so how the line parser and the second pass treat
// the instruction.
enum class Operand : std::uint8_t {
  None,          // fixed one-byte instruction; the rest of the line is ignored
  NearLabel,     // conditional jump: label in the same 256-byte block, two bytes
  FarLabel,      // JUN, JMS: label anywhere, its 12-bit address split over both bytes
  PairData,      // FIM: register pair, comma, then a byte or a bracketed label, two bytes
  Pair,          // register pair 0-7 merged into the opcode
  Register,      // register 0-F merged into the opcode
  RegisterLabel, // ISZ: register, comma, then a label in the same block, two bytes
  Nibble,        // 4-bit data 0-F merged into the opcode
  DataByte,      // DATA: one byte of data
};

struct Instruction {
  std::string_view mnemonic;
  std::uint8_t opcode; // the first byte before any operand is merged in
  Operand operand;
  // Instruction cycles (8 clock periods each) the processor takes: two for the two-byte
  // instructions and for FIN, which fetches a byte of program memory; 0 for DATA, which is not
  // an instruction.
  std::uint8_t cycles;
};

inline constexpr std::size_t kInstructionCount = 66;

// The instruction set. A mnemonic's position is its instruction code (`AsmLine::Kind`), so rows
// never move. 4040-only instructions are included; SEI and CLI are this assembler's names for
// the 4040's interrupt enable and disable.
inline constexpr std::array<Instruction, kInstructionCount> kInstructionSet{{
    {"NOP", 0x00, Operand::None, 1},          {"HLT", 0x01, Operand::None, 1},
    {"BBS", 0x02, Operand::None, 1},          {"LCR", 0x03, Operand::None, 1},
    {"OR4", 0x04, Operand::None, 1},          {"OR5", 0x05, Operand::None, 1},
    {"AN6", 0x06, Operand::None, 1},          {"AN7", 0x07, Operand::None, 1},
    {"DB0", 0x08, Operand::None, 1},          {"DB1", 0x09, Operand::None, 1},
    {"SB0", 0x0A, Operand::None, 1},          {"SB1", 0x0B, Operand::None, 1},
    {"SEI", 0x0C, Operand::None, 1},          {"CLI", 0x0D, Operand::None, 1},
    {"RPM", 0x0E, Operand::None, 1},          {"WRM", 0xE0, Operand::None, 1},
    {"WMP", 0xE1, Operand::None, 1},          {"WRR", 0xE2, Operand::None, 1},
    {"WPM", 0xE3, Operand::None, 1},          {"WR0", 0xE4, Operand::None, 1},
    {"WR1", 0xE5, Operand::None, 1},          {"WR2", 0xE6, Operand::None, 1},
    {"WR3", 0xE7, Operand::None, 1},          {"SBM", 0xE8, Operand::None, 1},
    {"RDM", 0xE9, Operand::None, 1},          {"RDR", 0xEA, Operand::None, 1},
    {"ADM", 0xEB, Operand::None, 1},          {"RD0", 0xEC, Operand::None, 1},
    {"RD1", 0xED, Operand::None, 1},          {"RD2", 0xEE, Operand::None, 1},
    {"RD3", 0xEF, Operand::None, 1},          {"CLB", 0xF0, Operand::None, 1},
    {"CLC", 0xF1, Operand::None, 1},          {"IAC", 0xF2, Operand::None, 1},
    {"CMC", 0xF3, Operand::None, 1},          {"CMA", 0xF4, Operand::None, 1},
    {"RAL", 0xF5, Operand::None, 1},          {"RAR", 0xF6, Operand::None, 1},
    {"TCC", 0xF7, Operand::None, 1},          {"DAC", 0xF8, Operand::None, 1},
    {"TCS", 0xF9, Operand::None, 1},          {"STC", 0xFA, Operand::None, 1},
    {"DAA", 0xFB, Operand::None, 1},          {"KBP", 0xFC, Operand::None, 1},
    {"DCL", 0xFD, Operand::None, 1},          {"JZ", 0x14, Operand::NearLabel, 2},
    {"JNZ", 0x1C, Operand::NearLabel, 2},     {"JC", 0x12, Operand::NearLabel, 2},
    {"JNC", 0x1A, Operand::NearLabel, 2},     {"JT", 0x11, Operand::NearLabel, 2},
    {"JNT", 0x19, Operand::NearLabel, 2},     {"FIM", 0x20, Operand::PairData, 2},
    {"SRC", 0x21, Operand::Pair, 1},          {"FIN", 0x30, Operand::Pair, 2},
    {"JIN", 0x31, Operand::Pair, 1},          {"JUN", 0x40, Operand::FarLabel, 2},
    {"JMS", 0x50, Operand::FarLabel, 2},      {"INC", 0x60, Operand::Register, 1},
    {"ISZ", 0x70, Operand::RegisterLabel, 2}, {"ADD", 0x80, Operand::Register, 1},
    {"SUB", 0x90, Operand::Register, 1},      {"LDA", 0xA0, Operand::Register, 1},
    {"XCH", 0xB0, Operand::Register, 1},      {"BBL", 0xC0, Operand::Nibble, 1},
    {"LDM", 0xD0, Operand::Nibble, 1},        {"DATA", 0x00, Operand::DataByte, 0},
}};

// True for the instructions that occupy two bytes of program memory.
[[nodiscard]] constexpr bool IsTwoByteOperand(Operand operand) {
  return operand == Operand::NearLabel || operand == Operand::FarLabel ||
         operand == Operand::PairData || operand == Operand::RegisterLabel;
}

// The position of `mnemonic` in the instruction set, for code that names an instruction.
[[nodiscard]] consteval std::size_t Position(std::string_view mnemonic) {
  for (std::size_t i = 0; i < kInstructionCount; ++i) {
    if (kInstructionSet[i].mnemonic == mnemonic) {
      return i;
    }
  }
  throw "no such mnemonic";
}

// True when `instruction` can produce `byte` as its first byte, whatever its operand.
[[nodiscard]] constexpr bool CanEncode(const Instruction& instruction, int byte) {
  switch (instruction.operand) {
  case Operand::None:
  case Operand::NearLabel: // the condition is part of the mnemonic
    return byte == instruction.opcode;
  case Operand::Pair:
  case Operand::PairData: // the pair sits in bits 1-3
    return (byte & 0xF1) == instruction.opcode;
  case Operand::FarLabel: // the address's high digit, the register or the data in bits 0-3
  case Operand::Register:
  case Operand::RegisterLabel:
  case Operand::Nibble:
    return (byte & 0xF0) == instruction.opcode;
  case Operand::DataByte:
    return false;
  }
  return false;
}

// For every first byte, the position of the instruction that writes it, or -1 for the bytes
// that only DATA writes: 0F, FE, FF, and the conditional jumps with other conditions than the
// six mnemonics.
inline constexpr std::array<std::int8_t, 256> kFirstByteInstruction = [] {
  std::array<std::int8_t, 256> table{};
  table.fill(-1);
  for (int byte = 0; byte < 256; ++byte) {
    for (std::size_t position = 0; position < kInstructionCount; ++position) {
      if (CanEncode(kInstructionSet[position], byte)) {
        table[static_cast<std::size_t>(byte)] = static_cast<std::int8_t>(position);
      }
    }
  }
  return table;
}();

// The six conditional jumps are the processor's JCN (opcode 1x) with the condition in the low
// four bits: 1 jumps when TEST is 0, 2 when the carry is 1, 4 when the accumulator is 0, and 8
// inverts the test.
inline constexpr std::uint8_t kJcnOpcode = 0x10;

// The mnemonic table that the line parser matches source lines against: position = instruction
// code. It holds empty strings, which match no line, until `LoadMnemonicTable` has run.
using MnemonicTable = std::array<std::string_view, kInstructionCount>;
extern MnemonicTable Mnemonics;

// Fills `Mnemonics` from the instruction set. Running it again stores the same strings.
void LoadMnemonicTable();

} // namespace translate
