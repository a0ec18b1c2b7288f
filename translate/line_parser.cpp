#include "translate/line_parser.h"

#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace translate {

namespace {

constexpr char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// For each byte: what it becomes in the normalised line (a-z in upper case, every other byte as
// it is), and whether it is kept there (spaces and tabs are not).
struct ByteTables {
  std::array<char, 256> upper{};
  std::array<std::uint8_t, 256> kept{};
};

constexpr ByteTables MakeByteTables() {
  ByteTables tables;
  for (int b = 0; b < 256; ++b) {
    const auto c = static_cast<char>(b);
    tables.upper[static_cast<std::size_t>(b)] = Upper(c);
    tables.kept[static_cast<std::size_t>(b)] = c == ' ' || c == '\t' ? 0 : 1;
  }
  return tables;
}

constexpr ByteTables kBytes = MakeByteTables();

// The line as the language reads it: comment cut off at ';', spaces and tabs removed, a-z in
// upper case. Every other character, bytes of multi-byte characters included, stays as it is.
// Most lines are short and are normalised into `buffer`; a longer line goes to `longLine`, sized
// exactly first. Only the parts that a record keeps are copied out of it.
std::string_view Normalise(std::string_view line, std::span<char, 64> buffer,
                           std::string& longLine) {
  if (line.size() <= buffer.size()) {
    std::size_t length = 0;
    for (const char c : line) {
      if (c == ';') {
        break;
      }
      const auto b = static_cast<unsigned char>(c);
      buffer[length] = kBytes.upper[b];
      length += kBytes.kept[b];
    }
    return {buffer.data(), length};
  }
  line = line.substr(0, line.find(';'));
  std::size_t length = 0;
  for (const char c : line) {
    length += kBytes.kept[static_cast<unsigned char>(c)];
  }
  longLine.resize(length);
  char* out = longLine.data();
  for (const char c : line) {
    const auto b = static_cast<unsigned char>(c);
    *out = kBytes.upper[b];
    out += kBytes.kept[b];
  }
  return longLine;
}

// Up to the first four characters of a text as one number, the first in the low byte, and 0 for
// the characters that the text does not have. A mnemonic begins a line when the line's number,
// cut to the mnemonic's length, equals the mnemonic's: mnemonics hold no zero byte, so one longer
// than the line never matches.
constexpr std::uint32_t LeadingCharacters(std::string_view text) {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < 4 && i < text.size(); ++i) {
    word |= static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])) << (8 * i);
  }
  return word;
}

struct Candidate {
  std::uint32_t word = 0; // the mnemonic's LeadingCharacters
  std::uint32_t mask = 0; // its length in bytes
  std::uint8_t position = 0;
};

// The instruction set grouped by the first character of the mnemonic, so that a line is compared
// only with the entries that can begin it: the candidates for a first character c are
// candidates[first[c]] up to, not including, candidates[first[c + 1]].
struct CandidateIndex {
  std::array<std::uint8_t, 257> first{};
  std::array<Candidate, kInstructionCount> candidates{};
};

constexpr CandidateIndex MakeCandidateIndex() {
  CandidateIndex index;
  std::size_t filled = 0;
  for (std::size_t c = 0; c < 256; ++c) {
    index.first[c] = static_cast<std::uint8_t>(filled);
    for (std::size_t position = 0; position < kInstructionCount; ++position) {
      const std::string_view mnemonic = kInstructionSet[position].mnemonic;
      if (static_cast<unsigned char>(mnemonic[0]) == c) {
        const std::uint32_t mask =
            mnemonic.size() >= 4 ? 0xFFFFFFFFu : (1u << (8 * mnemonic.size())) - 1;
        index.candidates[filled++] = {LeadingCharacters(mnemonic), mask,
                                      static_cast<std::uint8_t>(position)};
      }
    }
  }
  index.first[256] = static_cast<std::uint8_t>(filled);
  return index;
}

constexpr CandidateIndex kCandidates = MakeCandidateIndex();

// Every mnemonic has two to four characters, so its first four decide.
static_assert([] {
  for (const Instruction& row : kInstructionSet) {
    if (row.mnemonic.size() < 2 || row.mnemonic.size() > 4) {
      return false;
    }
  }
  return true;
}());

// The position of the mnemonic in `Mnemonics` that `normal` begins with, or kInstructionCount
// when there is none. No entry is a prefix of another, so at most one entry matches; an entry
// that is still empty (table not loaded) matches nothing.
std::size_t FindMnemonic(std::string_view normal) {
  const std::uint32_t word = LeadingCharacters(normal);
  const auto c = static_cast<unsigned char>(normal.front());
  for (std::size_t i = kCandidates.first[c]; i < kCandidates.first[c + 1u]; ++i) {
    const Candidate& candidate = kCandidates.candidates[i];
    if ((word & candidate.mask) == candidate.word) {
      return Mnemonics[candidate.position].empty() ? kInstructionCount : candidate.position;
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
std::string_view Translate(std::string_view normal, AsmLine& record) {
  std::string& text = record.Text;
  if (normal.empty()) {
    record.Kind = kNoInstruction;
    return {};
  }
  // A label definition wins over any mnemonic: "JUN LOOP:" defines the label JUNLOOP.
  if (normal.back() == ':') {
    record.Kind = kLabelKind;
    text.assign(normal.substr(0, normal.size() - 1));
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
    text.assign(normal.substr(instruction.mnemonic.size()));
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
      text.assign(WithoutLastCharacter(operand.substr(1)));
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
    text.assign(normal.substr(comma + 1));
    return {};
  }
  }
  return {};
}

} // namespace

AsmLine ParseLine(std::string_view line) {
  // One record, returned from every path, so that it is constructed in the caller's place.
  AsmLine record;
  std::array<char, 64> buffer;
  std::string longLine;
  const std::string_view message = Translate(Normalise(line, buffer, longLine), record);
  if (!message.empty()) {
    record = AsmLine{};
    record.Kind = kNoInstruction;
    record.Text = message;
  }
  return record;
}

} // namespace translate
