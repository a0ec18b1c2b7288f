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
};

inline constexpr std::size_t kInstructionCount = 66;

// The instruction set. A mnemonic's position is its instruction code (`AsmLine::Kind`), so rows
// never move. 4040-only instructions are included; SEI and CLI are this assembler's names for
// the 4040's interrupt enable and disable.
inline constexpr std::array<Instruction, kInstructionCount> kInstructionSet{{
    {"NOP", 0x00, Operand::None},          {"HLT", 0x01, Operand::None},
    {"BBS", 0x02, Operand::None},          {"LCR", 0x03, Operand::None},
    {"OR4", 0x04, Operand::None},          {"OR5", 0x05, Operand::None},
    {"AN6", 0x06, Operand::None},          {"AN7", 0x07, Operand::None},
    {"DB0", 0x08, Operand::None},          {"DB1", 0x09, Operand::None},
    {"SB0", 0x0A, Operand::None},          {"SB1", 0x0B, Operand::None},
    {"SEI", 0x0C, Operand::None},          {"CLI", 0x0D, Operand::None},
    {"RPM", 0x0E, Operand::None},          {"WRM", 0xE0, Operand::None},
    {"WMP", 0xE1, Operand::None},          {"WRR", 0xE2, Operand::None},
    {"WPM", 0xE3, Operand::None},          {"WR0", 0xE4, Operand::None},
    {"WR1", 0xE5, Operand::None},          {"WR2", 0xE6, Operand::None},
    {"WR3", 0xE7, Operand::None},          {"SBM", 0xE8, Operand::None},
    {"RDM", 0xE9, Operand::None},          {"RDR", 0xEA, Operand::None},
    {"ADM", 0xEB, Operand::None},          {"RD0", 0xEC, Operand::None},
    {"RD1", 0xED, Operand::None},          {"RD2", 0xEE, Operand::None},
    {"RD3", 0xEF, Operand::None},          {"CLB", 0xF0, Operand::None},
    {"CLC", 0xF1, Operand::None},          {"IAC", 0xF2, Operand::None},
    {"CMC", 0xF3, Operand::None},          {"CMA", 0xF4, Operand::None},
    {"RAL", 0xF5, Operand::None},          {"RAR", 0xF6, Operand::None},
    {"TCC", 0xF7, Operand::None},          {"DAC", 0xF8, Operand::None},
    {"TCS", 0xF9, Operand::None},          {"STC", 0xFA, Operand::None},
    {"DAA", 0xFB, Operand::None},          {"KBP", 0xFC, Operand::None},
    {"DCL", 0xFD, Operand::None},          {"JZ", 0x14, Operand::NearLabel},
    {"JNZ", 0x1C, Operand::NearLabel},     {"JC", 0x12, Operand::NearLabel},
    {"JNC", 0x1A, Operand::NearLabel},     {"JT", 0x11, Operand::NearLabel},
    {"JNT", 0x19, Operand::NearLabel},     {"FIM", 0x20, Operand::PairData},
    {"SRC", 0x21, Operand::Pair},          {"FIN", 0x30, Operand::Pair},
    {"JIN", 0x31, Operand::Pair},          {"JUN", 0x40, Operand::FarLabel},
    {"JMS", 0x50, Operand::FarLabel},      {"INC", 0x60, Operand::Register},
    {"ISZ", 0x70, Operand::RegisterLabel}, {"ADD", 0x80, Operand::Register},
    {"SUB", 0x90, Operand::Register},      {"LDA", 0xA0, Operand::Register},
    {"XCH", 0xB0, Operand::Register},      {"BBL", 0xC0, Operand::Nibble},
    {"LDM", 0xD0, Operand::Nibble},        {"DATA", 0x00, Operand::DataByte},
}};

// True for the instructions that occupy two bytes of program memory.
[[nodiscard]] constexpr bool IsTwoByteOperand(Operand operand) {
  return operand == Operand::NearLabel || operand == Operand::FarLabel ||
         operand == Operand::PairData || operand == Operand::RegisterLabel;
}

// The mnemonic table that the line parser matches source lines against: position = instruction
// code. It holds empty strings, which match no line, until `LoadMnemonicTable` has run.
using MnemonicTable = std::array<std::string_view, kInstructionCount>;
extern MnemonicTable Mnemonics;

// Fills `Mnemonics` from the instruction set. Running it again stores the same strings.
void LoadMnemonicTable();

} // namespace translate
