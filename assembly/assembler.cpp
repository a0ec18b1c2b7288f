#include "assembly/assembler.h"

#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

namespace assembly {

namespace {

using translate::kInstructionCount;
using translate::kInstructionSet;
using translate::Operand;

// One source line as the first pass cuts it out.
struct SourceLine {
  std::size_t number = 0; // 1-based
  std::size_t start = 0;  // byte offset of its first character
  std::string_view text;  // without the line end
};

// Cuts the text into lines. CR LF, LF alone and CR alone each end a line; a last line without
// a line end is a line too.
class LineReader {
public:
  explicit LineReader(std::string_view source)
      : source_(source), nextCr_(Find('\r', 0)), nextLf_(Find('\n', 0)) {}

  bool Next(SourceLine& line) {
    if (next_ >= source_.size()) {
      return false;
    }
    const std::size_t end = std::min(NextOf('\r', nextCr_), NextOf('\n', nextLf_));
    line.number = ++count_;
    line.start = next_;
    line.text = source_.substr(next_, end - next_);
    const bool crlf = end + 1 < source_.size() && source_[end] == '\r' && source_[end + 1] == '\n';
    next_ = std::min(source_.size(), end + (crlf ? 2 : 1));
    return true;
  }

private:
  // The position of the first `c` at or after `from`, or the end of the text.
  std::size_t Find(char c, std::size_t from) const {
    if (from >= source_.size()) {
      return source_.size();
    }
    const void* hit = std::memchr(source_.data() + from, c, source_.size() - from);
    return hit != nullptr ? static_cast<std::size_t>(static_cast<const char*>(hit) - source_.data())
                          : source_.size();
  }

  // The first `c` at or after the current line's start, remembered in `found` so that the
  // text is searched only once for each kind of line end.
  std::size_t NextOf(char c, std::size_t& found) const {
    if (found < next_) {
      found = Find(c, next_);
    }
    return found;
  }

  std::string_view source_;
  std::size_t next_ = 0;
  std::size_t count_ = 0;
  std::size_t nextCr_;
  std::size_t nextLf_;
};

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) {
    count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  }
  return count;
}

// The address after the last instruction stored so far in this run.
std::int16_t NextAddress(const ProgramStore& store) {
  if (store.InstrPos == 0) {
    return 0;
  }
  const AsmLine& previous = store.Instructions[static_cast<std::size_t>(store.InstrPos - 1)];
  return static_cast<std::int16_t>(previous.Address + (previous.IsTwoByte ? 2 : 1));
}

AssemblyOutcome Failure(std::string_view message, const SourceLine& line) {
  AssemblyOutcome outcome;
  outcome.Message = message;
  outcome.Line = line.number;
  outcome.LineText = line.text;
  return outcome;
}

// The first pass stopped at `line`: the line's characters are selected, without its line end,
// so that typing the correction over the selection keeps the line apart from the next one. The
// listing area keeps its text.
AssemblyOutcome Rejection(std::string_view message, std::string_view source,
                          const SourceLine& line) {
  AssemblyOutcome outcome = Failure(message, line);
  outcome.Selection =
      SourceSelection{CharacterCount(source.substr(0, line.start)), CharacterCount(line.text)};
  return outcome;
}

// Finds labels by name in an open-addressing table. Where a name is defined more than once, the
// first definition in the source is the one that is found.
class LabelIndex {
public:
  explicit LabelIndex(const ProgramStore& store) : store_(store) {
    std::size_t capacity = 16;
    while (capacity < 2 * static_cast<std::size_t>(store.LabelPos + 1)) {
      capacity *= 2;
    }
    slots_.assign(capacity, kEmpty);
    for (int label = 0; label <= store.LabelPos; ++label) {
      std::size_t slot = Find(store.Labels[static_cast<std::size_t>(label)].Name);
      if (slots_[slot] == kEmpty) {
        slots_[slot] = label;
      }
    }
  }

  // The address of the label called `name`, or nothing when there is no such label.
  [[nodiscard]] std::optional<std::int32_t> Address(std::string_view name) const {
    const int label = slots_[Find(name)];
    if (label == kEmpty) {
      return std::nullopt;
    }
    const std::string& text = store_.Labels[static_cast<std::size_t>(label)].Address;
    std::int32_t address = 0;
    std::from_chars(text.data(), text.data() + text.size(), address);
    return address;
  }

private:
  static constexpr int kEmpty = -1;

  // The slot that holds `name`, or the empty slot where it would go.
  std::size_t Find(std::string_view name) const {
    std::uint64_t hash = 14695981039346656037u; // FNV-1a
    for (char c : name) {
      hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const int label = slots_[slot];
      if (label == kEmpty || store_.Labels[static_cast<std::size_t>(label)].Name == name) {
        return slot;
      }
    }
  }

  const ProgramStore& store_;
  std::vector<int> slots_;
};

bool SameBlock(std::int32_t a, std::int32_t b) { return a / 256 == b / 256; }

// Completes the bytes of `record` that depend on its label, which lies at `target`. Returns the
// message when the reference cannot be resolved, and an empty text when it was.
std::string_view Resolve(AsmLine& record, std::int32_t target) {
  if (record.Kind < 0 || static_cast<std::size_t>(record.Kind) >= kInstructionCount) {
    return kUnknownError;
  }
  switch (kInstructionSet[static_cast<std::size_t>(record.Kind)].operand) {
  case Operand::NearLabel:
  case Operand::RegisterLabel:
    // The 4004 forms the jump address from the program counter after it has fetched both
    // bytes, so a jump whose first byte sits at offset FE or FF lands in the next block.
    if (!SameBlock(record.Address + 2, target)) {
      return kAddressOutOfBlock;
    }
    record.Byte2 = static_cast<std::int16_t>(target % 256);
    return {};
  case Operand::PairData:
    // FIM's second byte is data, not a jump: the label has to lie in the instruction's block.
    if (!SameBlock(record.Address, target)) {
      return kAddressOutOfBlock;
    }
    record.Byte2 = static_cast<std::int16_t>(target % 256);
    return {};
  case Operand::FarLabel:
    // JUN and JMS carry the whole 12-bit address: its high four bits go into the opcode.
    record.Byte1 = static_cast<std::int16_t>(record.Byte1 + target / 256);
    record.Byte2 = static_cast<std::int16_t>(target % 256);
    return {};
  default:
    return kUnknownError;
  }
}

// One listing line: address, four spaces, first byte, and for a two-byte instruction one space
// and the second byte; CR LF after every line.
void AppendListingLine(std::string& listing, const AsmLine& record) {
  char line[4 + 4 + 4 + 1 + 4 + 2];
  char* end = translate::WriteHex(line, record.Address, 3);
  end = std::fill_n(end, 4, ' ');
  end = translate::WriteHex(end, record.Byte1, 2);
  if (record.IsTwoByte) {
    *end++ = ' ';
    end = translate::WriteHex(end, record.Byte2, 2);
  }
  *end++ = '\r';
  *end++ = '\n';
  listing.append(line, static_cast<std::size_t>(end - line));
}

} // namespace

AssemblyOutcome Assemble(ProgramStore& store, std::string_view source) {
  // First pass: store every instruction with its address and every label definition with the
  // address of the instruction that follows it.
  store.InstrPos = 0;
  store.LabelPos = 0;
  std::vector<SourceLine> origins; // the source line of each stored instruction
  LineReader reader(source);
  SourceLine line;
  while (reader.Next(line)) {
    AsmLine record = translate::ParseLine(line.text);
    if (translate::IsRejected(record)) {
      return Rejection(record.Text, source, line);
    }
    if (record.Kind == translate::kNoInstruction) {
      continue;
    }
    if (record.Kind == translate::kLabelKind) {
      if (store.LabelPos >= kLabelCapacity) {
        return Rejection(kTooManyLabels, source, line);
      }
      LabelEntry& entry = store.Labels[static_cast<std::size_t>(store.LabelPos)];
      entry.Name = std::move(record.Text);
      // The address is kept as decimal text.
      char digits[8];
      const auto written = std::to_chars(digits, digits + sizeof digits, NextAddress(store));
      entry.Address.assign(digits, written.ptr);
      ++store.LabelPos;
      continue;
    }
    if (store.InstrPos >= kInstructionCapacity) {
      return Rejection(kTooManyInstructions, source, line);
    }
    record.Address = NextAddress(store);
    store.Instructions[static_cast<std::size_t>(store.InstrPos)] = std::move(record);
    origins.push_back(line);
    ++store.InstrPos;
  }
  --store.InstrPos;
  --store.LabelPos;

  // Second pass: complete the bytes that depend on a label, and list every instruction.
  const LabelIndex labels(store);
  std::string listing;
  listing.reserve(static_cast<std::size_t>(store.InstrPos + 1) * 13);
  for (int f = 0; f <= store.InstrPos; ++f) {
    AsmLine& record = store.Instructions[static_cast<std::size_t>(f)];
    if (!record.Text.empty()) {
      const std::optional<std::int32_t> target = labels.Address(record.Text);
      const std::string_view message = target ? Resolve(record, *target) : kUndefinedLabel;
      if (!message.empty()) {
        AssemblyOutcome outcome = Failure(message, origins[static_cast<std::size_t>(f)]);
        outcome.Listing = std::move(listing);
        return outcome;
      }
    }
    AppendListingLine(listing, record);
  }
  AssemblyOutcome outcome;
  outcome.Listing = std::move(listing);
  return outcome;
}

} // namespace assembly
