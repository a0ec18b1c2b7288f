#pragma once

#include "translate/instruction_table.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Intel's mnemonics for the 4004 and the 4040, as the macro-assembler syntax writes them, on top
// of the one instruction table: the same opcodes and operands under Intel's names (LD, EIN,
// DIN), JCN (and JCM) with a condition, and AD0-AD3 for RD0-RD3.
namespace asl {

struct Mnemonic {
  std::string_view name;
  std::uint8_t opcode;
  translate::Operand operand; // NearLabel stands for JCN's condition and label
  bool only4040;
};

// The mnemonic called `name` (upper case), or nothing.
[[nodiscard]] std::optional<Mnemonic> FindMnemonic(std::string_view name);

// JCN's condition written with letters: any of T (1), C (2), Z (4) and N (8), in any order,
// each at most once. Nothing for other text.
[[nodiscard]] std::optional<std::uint8_t> ConditionLetters(std::string_view text);

// The register called `name` (R0-R15, RA-RF, upper case), or nothing.
[[nodiscard]] std::optional<std::uint8_t> RegisterName(std::string_view name);
// The register pair called `name` (R0R1 ... RERF, R0P-R7P), as the pair's number 0-7.
[[nodiscard]] std::optional<std::uint8_t> PairName(std::string_view name);

// A register or register pair as a `reg` alias holds it.
struct RegisterSymbol {
  bool pair = false;
  std::uint8_t number = 0;
  friend bool operator==(const RegisterSymbol&, const RegisterSymbol&) = default;
};
[[nodiscard]] std::optional<RegisterSymbol> RegisterOrPair(std::string_view name);
[[nodiscard]] std::string RegisterText(const RegisterSymbol& reg);

} // namespace asl
