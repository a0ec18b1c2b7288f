#include "translate/line_parser.h"

#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace translate {

namespace {

// Writes the line as the language reads it into `normal`: comment cut off at ';', spaces and
// tabs removed, a-z in upper case. Every other character, bytes of multi-byte characters
// included, stays as it is. The text is sized exactly before it is written, so a comment line
// or a short statement needs no memory of its own.
void Normalise(std::string_view line, std::string& normal) {
  line = line.substr(0, line.find(';'));
  std::size_t length = 0;
  for (const char c : line) {
    length += c == ' ' || c == '\t' ? 0 : 1;
  }
  normal.resize(length);
  char* out = normal.data();
  for (const char c : line) {
    if (c != ' ' && c != '\t') {
      *out++ = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
  }
}

// The positions of the instruction set grouped by the first character of their mnemonic, so
// that a line is compared only with the entries that can begin it: the positions whose mnemonic
// begins with c are positions[first[c]] up to, not including, positions[first[c + 1]].
struct CandidateIndex {
  std::array<std::uint8_t, 257> first{};
  std::array<std::uint8_t, kInstructionCount> positions{};
};

constexpr CandidateIndex MakeCandidateIndex() {
  CandidateIndex index;
  std::size_t filled = 0;
  for (std::size_t c = 0; c < 256; ++c) {
    index.first[c] = static_cast<std::uint8_t>(filled);
    for (std::size_t position = 0; position < kInstructionCount; ++position) {
      if (static_cast<unsigned char>(kInstructionSet[position].mnemonic[0]) == c) {
        index.positions[filled++] = static_cast<std::uint8_t>(position);
      }
    }
  }
  index.first[256] = static_cast<std::uint8_t>(filled);
  return index;
}

constexpr CandidateIndex kCandidates = MakeCandidateIndex();

// The position of the mnemonic in `Mnemonics` that `normal` begins with, or kInstructionCount
// when there is none. No entry is a prefix of another, so at most one entry matches; an entry
// that is still empty (table not loaded) matches nothing.
std::size_t FindMnemonic(std::string_view normal) {
  const auto c = static_cast<unsigned char>(normal.front());
  for (std::size_t i = kCandidates.first[c]; i < kCandidates.first[c + 1u]; ++i) {
    const std::size_t position = kCandidates.positions[i];
    const std::string_view entry = Mnemonics[position];
    if (entry.empty() || entry.size() > normal.size()) {
      continue;
    }
    std::size_t same = 0;
    while (same < entry.size() && entry[same] == normal[same]) {
      ++same;
    }
    if (same == entry.size()) {
      return position;
    }
  }
  return kInstructionCount;
}

// `text` without its last character, a multi-byte UTF-8 character counting as one.
std::string_view WithoutLastCharacter(std::string_view text) {
  std::size_t end = text.size();
  if (end == 0) {
    return text;
  }
  --end;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
  }
  return text.substr(0, end);
}

// Operand digits sit at fixed places: the pair, register or data digit is the fourth character
// of the normalised line, whatever stands after it ("LDM 15" loads 1).
int DigitAt(std::string_view normal, std::size_t position) {
  return HexToInt(normal.substr(std::min(position - 1, normal.size()), 1));
}

// Translates the normalised line held in `record.Text` into the rest of the record, leaving in
// `Text` the label name or label reference, if any. Returns the message when the line is
// rejected, and an empty text otherwise.
std::string_view Translate(AsmLine& record) {
  std::string& text = record.Text;
  const std::string_view normal = text;
  if (normal.empty()) {
    record.Kind = kNoInstruction;
    return {};
  }
  // A label definition wins over any mnemonic: "JUN LOOP:" defines the label JUNLOOP.
  if (normal.back() == ':') {
    record.Kind = kLabelKind;
    text.pop_back();
    return {};
  }

  const std::size_t position = FindMnemonic(normal);
  if (position == kInstructionCount) {
    return kUndefinedInstruction;
  }

  const Instruction& instruction = kInstructionSet[position];
  record.Kind = static_cast<std::int16_t>(position);
  record.IsTwoByte = IsTwoByteOperand(instruction.operand);
  record.Byte1 = instruction.opcode;

  switch (instruction.operand) {
  case Operand::None:
    break;

  case Operand::NearLabel:
  case Operand::FarLabel:
    if (normal.size() == instruction.mnemonic.size()) {
      return kLabelMissing;
    }
    text.erase(0, instruction.mnemonic.size());
    return {};

  case Operand::DataByte:
    // Only the two characters after "DATA" are read, so the value cannot exceed FF.
    record.Byte1 = HexToInt(normal.substr(4, 2));
    break;

  case Operand::Register:
  case Operand::Nibble:
    record.Byte1 = static_cast<std::int16_t>(record.Byte1 + DigitAt(normal, 4));
    break;

  case Operand::Pair:
  case Operand::PairData: {
    const int pair = DigitAt(normal, 4);
    if (pair >= 8) {
      return kRegisterOutOfRange;
    }
    record.Byte1 = static_cast<std::int16_t>(record.Byte1 + 2 * pair);
    if (instruction.operand == Operand::Pair) {
      break;
    }
    // FIM: the pair is judged before the comma is looked for.
    const std::size_t comma = normal.find(',');
    if (comma == std::string_view::npos) {
      return kDataMissing;
    }
    const std::string_view operand = normal.substr(comma + 1);
    if (operand.starts_with('[')) {
      // The last character is taken for the closing bracket, whatever it is.
      if (operand.size() == 1) {
        return kLabelMissing;
      }
      const std::size_t end = comma + 2 + WithoutLastCharacter(operand.substr(1)).size();
      text.erase(end);
      text.erase(0, comma + 2);
      return {};
    }
    // The whole digit run counts: "FIM 2, 8000" is out of range, not a silent 00.
    const std::uint32_t data = HexRunValue(operand);
    if (data > 0xFF) {
      return kDataOutOfRange;
    }
    record.Byte2 = static_cast<std::int16_t>(data);
    break;
  }

  case Operand::RegisterLabel: {
    record.Byte1 = static_cast<std::int16_t>(record.Byte1 + DigitAt(normal, 4));
    const std::size_t comma = normal.find(',');
    if (comma == std::string_view::npos || comma + 1 == normal.size()) {
      return kLabelMissing;
    }
    text.erase(0, comma + 1);
    return {};
  }
  }
  // Nothing of the line is kept.
  text.clear();
  return {};
}

} // namespace

AsmLine ParseLine(std::string_view line) {
  // The normalised line is built in the record's own text. One record, returned from every
  // path, so that it is constructed in the caller's place.
  AsmLine record;
  Normalise(line, record.Text);
  const std::string_view message = Translate(record);
  if (!message.empty()) {
    record = AsmLine{};
    record.Kind = kNoInstruction;
    record.Text = message;
  }
  return record;
}

} // namespace translate
