#include "translate/instruction_table.h"

namespace translate {

namespace {

constexpr bool IsPrefix(std::string_view prefix, std::string_view text) {
  return text.substr(0, prefix.size()) == prefix;
}

// A line can begin with at most one mnemonic, so the first match is the only match.
constexpr bool NoEntryIsPrefixOfAnother() {
  for (std::size_t i = 0; i < kInstructionCount; ++i) {
    for (std::size_t j = 0; j < kInstructionCount; ++j) {
      if (i != j && IsPrefix(kInstructionSet[i].mnemonic, kInstructionSet[j].mnemonic)) {
        return false;
      }
    }
  }
  return true;
}

constexpr bool EntriesAreUpperCaseWords() {
  for (const Instruction& row : kInstructionSet) {
    if (row.mnemonic.size() < 2 || row.mnemonic.size() > 4) {
      return false;
    }
    for (char c : row.mnemonic) {
      if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
        return false;
      }
    }
  }
  return true;
}

// Positions 0-14 have the opcode of their position, 15-44 the position plus 209 (E0-FD).
constexpr bool FixedOpcodesFollowPositions() {
  for (std::size_t i = 0; i < kInstructionCount; ++i) {
    const Instruction& row = kInstructionSet[i];
    const bool fixed = row.operand == Operand::None;
    if (fixed != (i <= 44)) {
      return false;
    }
    if (fixed && row.opcode != (i <= 14 ? i : i + 209)) {
      return false;
    }
  }
  return true;
}

// Every instruction takes a cycle for each of its bytes, and FIN a second one for the byte of
// program memory it reads.
constexpr bool CyclesFollowBytes() {
  for (const Instruction& row : kInstructionSet) {
    if (row.operand == Operand::DataByte) {
      continue;
    }
    const int bytes = IsTwoByteOperand(row.operand) ? 2 : 1;
    if (row.cycles != (row.mnemonic == "FIN" ? 2 : bytes)) {
      return false;
    }
  }
  return true;
}

// A first byte belongs to at most one instruction, so a byte decodes one way only.
constexpr bool EveryByteHasAtMostOneInstruction() {
  for (int byte = 0; byte < 256; ++byte) {
    int count = 0;
    for (const Instruction& row : kInstructionSet) {
      count += CanEncode(row, byte) ? 1 : 0;
    }
    if (count > 1) {
      return false;
    }
  }
  return true;
}

// The six conditional jumps are JCN with a condition.
constexpr bool ConditionalJumpsAreJcn() {
  for (const Instruction& row : kInstructionSet) {
    if ((row.operand == Operand::NearLabel) != ((row.opcode & 0xF0) == kJcnOpcode)) {
      return false;
    }
  }
  return true;
}

static_assert(NoEntryIsPrefixOfAnother());
static_assert(CyclesFollowBytes());
static_assert(EveryByteHasAtMostOneInstruction());
static_assert(ConditionalJumpsAreJcn());
static_assert(EntriesAreUpperCaseWords());
static_assert(FixedOpcodesFollowPositions());
static_assert(kInstructionSet[65].mnemonic == "DATA" &&
              kInstructionSet[65].operand == Operand::DataByte);

} // namespace

MnemonicTable Mnemonics{};

void LoadMnemonicTable() {
  for (std::size_t i = 0; i < kInstructionCount; ++i) {
    Mnemonics[i] = kInstructionSet[i].mnemonic;
  }
}

} // namespace translate
