#include "assembly/assembler.h"

#include "translate/hex_text.h"
#include "translate/instruction_table.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
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
    std::size_t end = ShortLineEnd();
    if (end == kNotFound) {
      end = std::min(NextOf('\r', nextCr_), NextOf('\n', nextLf_));
    }
    line.number = ++count_;
    line.start = next_;
    line.text = source_.substr(next_, end - next_);
    const bool crlf = end + 1 < source_.size() && source_[end] == '\r' && source_[end + 1] == '\n';
    next_ = std::min(source_.size(), end + (crlf ? 2 : 1));
    return true;
  }

private:
  static constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

  // Most lines are short: the first 32 bytes of the line are looked at eight at a time for a CR
  // or an LF, before the library's search is asked. After the XOR, a CR or LF is a zero byte,
  // and `(v - 0x01..) & ~v & 0x80..` marks the first zero byte of v exactly. Gives the position
  // of the line end, or kNotFound.
  std::size_t ShortLineEnd() const {
    if constexpr (std::endian::native != std::endian::little) {
      return kNotFound;
    }
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    for (std::size_t at = next_; at < next_ + 32 && at + 8 <= source_.size(); at += 8) {
      std::uint64_t word = 0;
      std::memcpy(&word, source_.data() + at, 8);
      const std::uint64_t cr = word ^ (kOnes * '\r');
      const std::uint64_t lf = word ^ (kOnes * '\n');
      const std::uint64_t found = (((cr - kOnes) & ~cr) | ((lf - kOnes) & ~lf)) & kHighBits;
      if (found != 0) {
        return at + static_cast<std::size_t>(std::countr_zero(found) / 8);
      }
    }
    return kNotFound;
  }

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

// The source line of the instruction with index `index`, found again by reading the text as the
// first pass did. Only a second-pass error needs it, so no run keeps a line for every
// instruction.
SourceLine LineOfInstruction(std::string_view source, int index) {
  LineReader reader(source);
  SourceLine line;
  while (reader.Next(line)) {
    const AsmLine record = translate::ParseLine(line.text);
    if (record.Kind != translate::kNoInstruction && record.Kind != translate::kLabelKind &&
        index-- == 0) {
      break;
    }
  }
  return line;
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

// A label name's hash. Names are mostly short, so the name is taken eight bytes at a time, and
// each group is mixed in with one multiplication.
std::uint32_t HashName(std::string_view name) {
  constexpr std::uint64_t kMix = 0x9E3779B97F4A7C15u;
  std::uint64_t hash = name.size() * kMix;
  std::size_t at = 0;
  for (; at + 8 <= name.size(); at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, name.data() + at, 8);
    hash = (hash ^ word) * kMix;
    hash ^= hash >> 29;
  }
  std::uint64_t tail = 0;
  for (std::size_t i = 0; at + i < name.size(); ++i) {
    tail |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[at + i])) << (8 * i);
  }
  hash = (hash ^ tail) * kMix;
  return static_cast<std::uint32_t>((hash ^ (hash >> 32)) * kMix >> 32);
}

// The labels of one run as the second pass needs them: each label's address as a number and
// its name's hash, taken as the first pass stores it.
struct LabelFacts {
  std::vector<std::int32_t> addresses;
  std::vector<std::uint32_t> hashes;
};

// Finds labels by name in an open-addressing table of label indexes, at most four fifths full
// (small enough to stay in the processor's fastest cache for the largest programs). Where a
// name is defined more than once, the first definition in the source is the one that is found.
// Names are compared only where the hashes agree.
class LabelIndex {
public:
  LabelIndex(const ProgramStore& store, const LabelFacts& facts) : store_(store), facts_(facts) {
    std::size_t capacity = 16;
    while (capacity < facts.hashes.size() + facts.hashes.size() / 4) {
      capacity *= 2;
    }
    slots_.assign(capacity, kEmpty);
    for (std::size_t label = 0; label < facts.hashes.size(); ++label) {
      std::int32_t& slot = slots_[Find(store.Labels[label].Name, facts.hashes[label])];
      if (slot == kEmpty) {
        slot = static_cast<std::int32_t>(label);
      }
    }
  }

  // The address of the label called `name`, or nothing when there is no such label.
  [[nodiscard]] std::optional<std::int32_t> Address(std::string_view name) const {
    const std::int32_t label = slots_[Find(name, HashName(name))];
    if (label == kEmpty) {
      return std::nullopt;
    }
    return facts_.addresses[static_cast<std::size_t>(label)];
  }

private:
  static constexpr std::int32_t kEmpty = -1;

  // The slot that holds `name`, or the empty slot where it would go.
  std::size_t Find(std::string_view name, std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t index = hash & mask;; index = (index + 1) & mask) {
      const std::int32_t label = slots_[index];
      if (label == kEmpty || (facts_.hashes[static_cast<std::size_t>(label)] == hash &&
                              store_.Labels[static_cast<std::size_t>(label)].Name == name)) {
        return index;
      }
    }
  }

  const ProgramStore& store_;
  const LabelFacts& facts_;
  std::vector<std::int32_t> slots_;
};

bool SameBlock(std::int32_t a, std::int32_t b) { return a / 256 == b / 256; }

// The address that follows `address` in program memory: the program counter has 12 bits, so
// after FFF comes 000.
std::int32_t Following(std::int32_t address, int bytes) {
  return (address + bytes) % kProgramMemorySize;
}

// Completes the bytes of `record` that depend on its label, which lies at `target`. Returns the
// message when the reference cannot be resolved, and an empty text when it was.
std::string_view Resolve(AsmLine& record, std::int32_t target) {
  if (record.Kind < 0 || static_cast<std::size_t>(record.Kind) >= kInstructionCount) {
    return kUnknownError;
  }
  // A label after the last byte of a full program memory names an address that does not exist.
  if (target >= kProgramMemorySize) {
    return kAddressOutOfBlock;
  }
  switch (kInstructionSet[static_cast<std::size_t>(record.Kind)].operand) {
  case Operand::NearLabel:
  case Operand::RegisterLabel:
    // The 4004 forms the jump address from the program counter after it has fetched both
    // bytes, so a jump whose first byte sits at offset FE or FF lands in the next block, and
    // one at FFE in block 000.
    if (!SameBlock(Following(record.Address, 2), target)) {
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

// The longest listing line: a four-digit address (never reached: addresses stay below 1000),
// four spaces, two four-digit bytes with a space, CR LF.
constexpr std::size_t kLongestListingLine = 4 + 4 + 4 + 1 + 4 + 2;

// Writes one listing line at `out` and returns its end: address, four spaces, first byte, and
// for a two-byte instruction one space and the second byte; CR LF after every line.
char* WriteListingLine(char* out, const AsmLine& record) {
  out = translate::WriteHex(out, record.Address, 3);
  out = std::fill_n(out, 4, ' ');
  out = translate::WriteHex(out, record.Byte1, 2);
  if (record.IsTwoByte) {
    *out++ = ' ';
    out = translate::WriteHex(out, record.Byte2, 2);
  }
  *out++ = '\r';
  *out++ = '\n';
  return out;
}

} // namespace

std::vector<std::size_t> InstructionLines(std::string_view source) {
  std::vector<std::size_t> lines;
  LineReader reader(source);
  SourceLine line;
  while (reader.Next(line)) {
    const AsmLine record = translate::ParseLine(line.text);
    if (record.Kind != translate::kNoInstruction && record.Kind != translate::kLabelKind) {
      lines.push_back(line.number);
    }
  }
  return lines;
}

std::vector<std::string_view> SourceLines(std::string_view source) {
  std::vector<std::string_view> lines;
  LineReader reader(source);
  SourceLine line;
  while (reader.Next(line)) {
    lines.push_back(line.text);
  }
  return lines;
}

AssemblyOutcome Assemble(ProgramStore& store, std::string_view source) {
  // First pass: store every instruction with its address and every label definition with the
  // address of the instruction that follows it.
  store.InstrPos = 0;
  store.LabelPos = 0;
  LabelFacts labelFacts;
  labelFacts.addresses.reserve(store.Labels.size());
  labelFacts.hashes.reserve(store.Labels.size());
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
      LabelEntry& entry = EntryToStore(store.Labels, static_cast<std::size_t>(store.LabelPos));
      labelFacts.hashes.push_back(HashName(record.Text));
      entry.Name = std::move(record.Text);
      // The address is kept as decimal text.
      const std::int16_t address = NextAddress(store);
      char digits[8];
      const auto written = std::to_chars(digits, digits + sizeof digits, address);
      entry.Address.assign(digits, written.ptr);
      labelFacts.addresses.push_back(address);
      ++store.LabelPos;
      continue;
    }
    // Every byte of the program must lie in program memory; an instruction takes at least one
    // byte, so this also keeps the table within its capacity.
    record.Address = NextAddress(store);
    if (record.Address + (record.IsTwoByte ? 2 : 1) > kProgramMemorySize) {
      return Rejection(kTooManyInstructions, source, line);
    }
    EntryToStore(store.Instructions, static_cast<std::size_t>(store.InstrPos)) = std::move(record);
    ++store.InstrPos;
  }
  --store.InstrPos;
  --store.LabelPos;

  // Second pass: complete the bytes that depend on a label, and list every instruction. The
  // listing is written into a buffer sized for the longest lines, and cut to its length.
  const LabelIndex labels(store, labelFacts);
  AssemblyOutcome outcome;
  std::string& listing = outcome.Listing.emplace();
  listing.resize(static_cast<std::size_t>(store.InstrPos + 1) * kLongestListingLine);
  char* const start = listing.data();
  char* end = start;
  for (int f = 0; f <= store.InstrPos; ++f) {
    AsmLine& record = store.Instructions[static_cast<std::size_t>(f)];
    if (!record.Text.empty()) {
      const std::optional<std::int32_t> target = labels.Address(record.Text);
      const std::string_view message = target ? Resolve(record, *target) : kUndefinedLabel;
      if (!message.empty()) {
        listing.resize(static_cast<std::size_t>(end - start));
        const SourceLine origin = LineOfInstruction(source, f);
        outcome.Message = message;
        outcome.Line = origin.number;
        outcome.LineText = origin.text;
        return outcome;
      }
    }
    end = WriteListingLine(end, record);
  }
  listing.resize(static_cast<std::size_t>(end - start));
  return outcome;
}

} // namespace assembly
