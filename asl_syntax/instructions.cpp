#include "asl_syntax/instructions.h"

#include "translate/hex_text.h"

#include <array>
#include <unordered_map>
#include <utility>
#include <vector>

namespace asl {

namespace {

using translate::Operand;

// Intel's names where this project's own language has others.
std::string_view IntelName(std::string_view name) {
  if (name == "LDA") {
    return "LD";
  }
  if (name == "SEI") {
    return "EIN";
  }
  if (name == "CLI") {
    return "DIN";
  }
  return name;
}

std::vector<Mnemonic> MakeMnemonics() {
  std::vector<Mnemonic> mnemonics;
  for (const translate::Instruction& row : translate::kInstructionSet) {
    // JCN takes the place of the six conditional jump mnemonics, and DATA is a directive here.
    if (row.operand == Operand::NearLabel || row.operand == Operand::DataByte) {
      continue;
    }
    // The 4040's additions are 01-0E, in the row of NOP.
    const bool only4040 = row.opcode >= 0x01 && row.opcode <= 0x0F;
    mnemonics.push_back({IntelName(row.mnemonic), row.opcode, row.operand, only4040});
  }
  mnemonics.push_back({"JCN", translate::kJcnOpcode, Operand::NearLabel, false});
  mnemonics.push_back({"JCM", translate::kJcnOpcode, Operand::NearLabel, false});
  constexpr std::array<std::pair<std::string_view, std::size_t>, 4> kAliases{{
      {"AD0", translate::Position("RD0")},
      {"AD1", translate::Position("RD1")},
      {"AD2", translate::Position("RD2")},
      {"AD3", translate::Position("RD3")},
  }};
  for (const auto& [alias, position] : kAliases) {
    mnemonics.push_back({alias, translate::kInstructionSet[position].opcode, Operand::None, false});
  }
  return mnemonics;
}

std::optional<std::uint8_t> HexDigitOf(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<std::uint8_t>(c - '0');
  }
  if (c >= 'A' && c <= 'F') {
    return static_cast<std::uint8_t>(c - 'A' + 10);
  }
  return std::nullopt;
}

} // namespace

std::optional<Mnemonic> FindMnemonic(std::string_view name) {
  static const std::unordered_map<std::string_view, Mnemonic> mnemonics = [] {
    std::unordered_map<std::string_view, Mnemonic> byName;
    for (const Mnemonic& mnemonic : MakeMnemonics()) {
      byName.emplace(mnemonic.name, mnemonic);
    }
    return byName;
  }();
  const auto found = mnemonics.find(name);
  if (found == mnemonics.end()) {
    return std::nullopt;
  }
  return found->second;
}

std::optional<std::uint8_t> ConditionLetters(std::string_view text) {
  if (text.empty()) {
    return std::nullopt;
  }
  std::uint8_t condition = 0;
  for (const char c : text) {
    const std::uint8_t bit = c == 'T' ? 1 : c == 'C' ? 2 : c == 'Z' ? 4 : c == 'N' ? 8 : 0;
    if (bit == 0 || (condition & bit) != 0) {
      return std::nullopt;
    }
    condition |= bit;
  }
  return condition;
}

std::optional<std::uint8_t> RegisterName(std::string_view name) {
  if (name.size() < 2 || name[0] != 'R') {
    return std::nullopt;
  }
  const std::string_view rest = name.substr(1);
  if (rest.size() == 1) {
    return HexDigitOf(rest[0]);
  }
  if (rest.size() == 2 && rest[0] == '1' && rest[1] >= '0' && rest[1] <= '5') {
    return static_cast<std::uint8_t>(10 + (rest[1] - '0'));
  }
  return std::nullopt;
}

std::optional<std::uint8_t> PairName(std::string_view name) {
  // R0P-R7P.
  if (name.size() == 3 && name[0] == 'R' && name[2] == 'P' && name[1] >= '0' && name[1] <= '7') {
    return static_cast<std::uint8_t>(name[1] - '0');
  }
  // RnRm with n even and m = n + 1, in hexadecimal digits.
  if (name.size() == 4 && name[0] == 'R' && name[2] == 'R') {
    const auto first = HexDigitOf(name[1]);
    const auto second = HexDigitOf(name[3]);
    if (first && second && *first % 2 == 0 && *second == *first + 1) {
      return static_cast<std::uint8_t>(*first / 2);
    }
  }
  return std::nullopt;
}

std::optional<RegisterSymbol> RegisterOrPair(std::string_view name) {
  if (const auto reg = RegisterName(name)) {
    return RegisterSymbol{false, *reg};
  }
  if (const auto pair = PairName(name)) {
    return RegisterSymbol{true, *pair};
  }
  return std::nullopt;
}

std::string RegisterText(const RegisterSymbol& reg) {
  using translate::kHexDigits;
  std::string text = "R";
  if (reg.pair) {
    text.append(1, kHexDigits[(2 * reg.number) & 0xF]).append("R");
    return text.append(1, kHexDigits[(2 * reg.number + 1) & 0xF]);
  }
  return text.append(1, kHexDigits[reg.number & 0xF]);
}

} // namespace asl
