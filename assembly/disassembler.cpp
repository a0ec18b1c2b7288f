#include "assembly/disassembler.h"

#include "assembly/program_store.h"
#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <vector>

namespace assembly {

namespace {

using translate::Instruction;
using translate::kInstructionSet;
using translate::Operand;

constexpr int kNone = -1;

// One line of the program: an instruction at `address`, or DATA when `position` is kNone.
struct Record {
  int position = kNone;
  int address = 0;
  int length = 1;
  int target = kNone; // the jump target, for the instructions that take a label
};

bool TakesLabel(Operand operand) {
  return operand == Operand::NearLabel || operand == Operand::FarLabel ||
         operand == Operand::RegisterLabel;
}

// Decodes the image front to back, every byte in the first instruction that can hold it.
std::vector<Record> Decode(std::span<const std::uint8_t> image) {
  std::vector<Record> records;
  const int size = static_cast<int>(image.size());
  for (int address = 0; address < size;) {
    Record record;
    record.address = address;
    const int byte = image[static_cast<std::size_t>(address)];
    const int position = translate::kFirstByteInstruction[static_cast<std::size_t>(byte)];
    const bool twoBytes =
        position != kNone && translate::IsTwoByteOperand(kInstructionSet[position].operand);
    // A two-byte instruction cut off by the end of the image is a DATA byte.
    if (position != kNone && (!twoBytes || address + 1 < size)) {
      record.position = position;
      record.length = twoBytes ? 2 : 1;
      const Operand operand = kInstructionSet[position].operand;
      const int low = twoBytes ? image[static_cast<std::size_t>(address + 1)] : 0;
      if (operand == Operand::FarLabel) {
        record.target = ((byte & 0x0F) << 8) | low;
      } else if (TakesLabel(operand)) {
        // The processor keeps the block of the address after the instruction; after FFF the
        // 12-bit program counter goes on at 000.
        record.target = ((address + 2) & 0xF00) | low;
      }
    }
    records.push_back(record);
    address += record.length;
  }
  return records;
}

// Replaces the jump at `index` by two DATA records.
void WriteAsData(std::vector<Record>& records, std::size_t index) {
  const int address = records[index].address;
  records[index] = Record{kNone, address, 1, kNone};
  records.insert(records.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                 Record{kNone, address + 1, 1, kNone});
}

// Keeps a label only where it can stand: at the start of an instruction inside the image. A
// jump to anywhere else is written as DATA. That only adds instruction starts, so every jump
// kept stays valid.
void WriteUnreachableJumpsAsData(std::vector<Record>& records, std::size_t imageSize) {
  std::vector<bool> starts(imageSize, false);
  for (const Record& record : records) {
    starts[static_cast<std::size_t>(record.address)] = true;
  }
  for (std::size_t i = records.size(); i-- > 0;) {
    const int target = records[i].target;
    if (target != kNone && (static_cast<std::size_t>(target) >= imageSize ||
                            !starts[static_cast<std::size_t>(target)])) {
      WriteAsData(records, i);
    }
  }
}

// With more targets than `labelLimit`, the jumps to the least used targets are written as DATA.
void KeepLabelsWithin(std::vector<Record>& records, std::size_t labelLimit) {
  std::map<int, int> uses;
  for (const Record& record : records) {
    if (record.target != kNone) {
      ++uses[record.target];
    }
  }
  if (uses.size() <= labelLimit) {
    return;
  }
  std::vector<std::pair<int, int>> byUse; // uses, target
  for (const auto& [target, count] : uses) {
    byUse.emplace_back(count, target);
  }
  std::sort(byUse.begin(), byUse.end());
  std::vector<bool> dropped(kProgramMemorySize, false);
  for (std::size_t i = 0; i < byUse.size() - labelLimit; ++i) {
    dropped[static_cast<std::size_t>(byUse[i].second)] = true;
  }
  for (std::size_t i = records.size(); i-- > 0;) {
    if (records[i].target != kNone && dropped[static_cast<std::size_t>(records[i].target)]) {
      WriteAsData(records, i);
    }
  }
}

std::string LabelName(int address) {
  std::string name = "L";
  translate::AppendHex(name, static_cast<std::int16_t>(address), 3);
  return name;
}

std::string Byte(int value) { return translate::FormatByte(static_cast<std::int16_t>(value)); }

std::string Digit(int value) { return std::string(1, translate::kHexDigits[value & 0xF]); }

// The source text of one record.
std::string Statement(const Record& record, std::span<const std::uint8_t> image) {
  const int byte = image[static_cast<std::size_t>(record.address)];
  if (record.position == kNone) {
    return "DATA " + Byte(byte);
  }
  const Instruction& instruction = kInstructionSet[static_cast<std::size_t>(record.position)];
  const std::string mnemonic(instruction.mnemonic);
  const int pair = (byte >> 1) & 0x7;
  const int digit = byte & 0xF;
  switch (instruction.operand) {
  case Operand::None:
    return mnemonic;
  case Operand::NearLabel:
  case Operand::FarLabel:
    return mnemonic + " " + LabelName(record.target);
  case Operand::PairData:
    return mnemonic + " " + Digit(pair) + ", " +
           Byte(image[static_cast<std::size_t>(record.address + 1)]);
  case Operand::Pair:
    return mnemonic + " " + Digit(pair);
  case Operand::Register:
  case Operand::Nibble:
    return mnemonic + " " + Digit(digit);
  case Operand::RegisterLabel:
    return mnemonic + " " + Digit(digit) + ", " + LabelName(record.target);
  case Operand::DataByte:
    break;
  }
  return "DATA " + Byte(byte);
}

} // namespace

Disassembly Disassemble(std::span<const std::uint8_t> image, std::size_t labelLimit) {
  Disassembly result;
  if (image.size() > static_cast<std::size_t>(kProgramMemorySize)) {
    result.Error = "the image has " + std::to_string(image.size()) +
                   " bytes; program memory holds at most " + std::to_string(kProgramMemorySize);
    return result;
  }
  // At most one line per byte, so the program always fits the instruction table.
  std::vector<Record> records = Decode(image);
  WriteUnreachableJumpsAsData(records, image.size());
  KeepLabelsWithin(records, labelLimit);

  std::vector<bool> labelled(image.size(), false);
  for (const Record& record : records) {
    if (record.target != kNone) {
      labelled[static_cast<std::size_t>(record.target)] = true;
    }
  }
  std::string& source = result.Source;
  source += "; ";
  source += std::to_string(image.size());
  source += " bytes. Each line ends with the address and the bytes it assembles to.\n";
  for (const Record& record : records) {
    if (labelled[static_cast<std::size_t>(record.address)]) {
      source += LabelName(record.address);
      source += ":\n";
    }
    // The statement, then its address and bytes in a comment from column 29 on.
    const std::size_t lineStart = source.size();
    source += "        ";
    source += Statement(record, image);
    source.resize(std::max(source.size() + 1, lineStart + 28), ' ');
    source += "; ";
    translate::AppendHex(source, static_cast<std::int16_t>(record.address), 3);
    source += ':';
    for (int i = 0; i < record.length; ++i) {
      source += ' ';
      translate::AppendHex(source, image[static_cast<std::size_t>(record.address + i)], 2);
    }
    source += '\n';
  }
  return result;
}

} // namespace assembly
