#pragma once

#include "translate/line_parser.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace assembly {

using translate::AsmLine;

// A program fills at most the 4096 bytes of program memory (000-FFF), so it holds at most 4096
// instructions. Labels may name every address and the one after the end, several names each.
inline constexpr int kProgramMemorySize = 4096;
inline constexpr int kInstructionCapacity = kProgramMemorySize;
inline constexpr int kLabelCapacity = 8192;

// One label definition: its name as the parser returned it, and its address as decimal text.
struct LabelEntry {
  std::string Name;
  std::string Address;

  friend bool operator==(const LabelEntry&, const LabelEntry&) = default;
};

// The assembled program as the window keeps it between commands. Each run of the assembler
// resets only the counters and overwrites entries from index 0, so entries past the counters
// may still hold an earlier, longer run's records; nothing reads them. The tables grow as runs
// need them, up to their capacities, and never shrink, so a short program costs only its own
// entries.
//
// While the first pass runs, a counter is the number of entries stored so far. Once the first
// pass has completed it is the index of the last entry, -1 when there is none. After a rejected
// line it stays the number of entries stored before that line.
struct ProgramStore {
  std::vector<AsmLine> Instructions;
  std::vector<LabelEntry> Labels;
  std::int16_t InstrPos = 0;
  std::int16_t LabelPos = 0;
};

// The entry at `index` of a table, added when the table ends just before it. The first pass
// stores through this, having checked the capacity.
template <typename Entry> Entry& EntryToStore(std::vector<Entry>& table, std::size_t index) {
  if (index == table.size()) {
    table.emplace_back();
  }
  return table.at(index);
}

// The flat binary image of records 0 to `InstrPos`: `Byte1`, then `Byte2` for two-byte
// records, so the byte at offset n belongs at program address n. Only meaningful after a run
// that completed without error; empty when `InstrPos` is negative.
[[nodiscard]] std::vector<std::uint8_t> BinaryImage(const ProgramStore& store);

} // namespace assembly
