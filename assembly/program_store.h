#pragma once

#include "translate/line_parser.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace assembly {

using translate::AsmLine;

inline constexpr int kInstructionCapacity = 2001;
inline constexpr int kLabelCapacity = 1001;

// One label definition: its name as the parser returned it, and its address as decimal text.
struct LabelEntry {
  std::string Name;
  std::string Address;

  friend bool operator==(const LabelEntry&, const LabelEntry&) = default;
};

// The assembled program as the window keeps it between commands. Each run of the assembler
// resets only the counters and overwrites entries from index 0, so entries past the counters
// may still hold an earlier, longer run's records; nothing reads them.
//
// While the first pass runs, a counter is the number of entries stored so far. Once the first
// pass has completed it is the index of the last entry, -1 when there is none. After a rejected
// line it stays the number of entries stored before that line.
struct ProgramStore {
  std::array<AsmLine, kInstructionCapacity> Instructions{};
  std::array<LabelEntry, kLabelCapacity> Labels{};
  std::int16_t InstrPos = 0;
  std::int16_t LabelPos = 0;
};

// The flat binary image of records 0 to `InstrPos`: `Byte1`, then `Byte2` for two-byte
// records, so the byte at offset n belongs at program address n. Only meaningful after a run
// that completed without error; empty when `InstrPos` is negative.
[[nodiscard]] std::vector<std::uint8_t> BinaryImage(const ProgramStore& store);

} // namespace assembly
