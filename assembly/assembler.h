#pragma once

#include "assembly/program_store.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace assembly {

// Messages of the second pass and of the table limits.
inline constexpr std::string_view kUndefinedLabel = "Undefined Label";
inline constexpr std::string_view kAddressOutOfBlock = "Address out of block";
inline constexpr std::string_view kUnknownError = "Unknown error";
inline constexpr std::string_view kTooManyInstructions = "Too many instructions";
inline constexpr std::string_view kTooManyLabels = "Too many labels";

// Every message that an assembly run can end with.
inline constexpr std::array<std::string_view, 10> kMessages{translate::kUndefinedInstruction,
                                                            translate::kLabelMissing,
                                                            translate::kRegisterOutOfRange,
                                                            translate::kDataOutOfRange,
                                                            translate::kDataMissing,
                                                            kUndefinedLabel,
                                                            kAddressOutOfBlock,
                                                            kUnknownError,
                                                            kTooManyInstructions,
                                                            kTooManyLabels};

// A stretch of the source text, in characters (a multi-byte UTF-8 character counts as one).
struct SourceSelection {
  std::size_t Start = 0;
  std::size_t Length = 0;

  friend bool operator==(const SourceSelection&, const SourceSelection&) = default;
};

// Everything a caller needs to show the result of one run.
struct AssemblyOutcome {
  // Empty when the run completed without error; otherwise the one message to show.
  std::string Message;
  // The new text of the listing area: the whole listing, or after a second-pass error the
  // lines of the records before the failing one. Absent when the first pass rejected a line;
  // the listing area then keeps the previous run's text.
  std::optional<std::string> Listing;
  // The characters of the rejected line, without its line end, when the first pass rejected a
  // line; an empty rejected line is an empty selection at its start.
  std::optional<SourceSelection> Selection;
  // 1-based number and text (without line end) of the line that the message is about; 0 and
  // empty when the run completed.
  std::size_t Line = 0;
  std::string LineText;

  [[nodiscard]] bool Completed() const { return Message.empty(); }
};

// Assembles `source` (UTF-8; lines end in CR LF, LF or CR, the last one may end without) into
// `store`: the first pass stores records and labels, the second resolves label references and
// writes the listing. `Mnemonics` must be loaded.
[[nodiscard]] AssemblyOutcome Assemble(ProgramStore& store, std::string_view source);

// The 1-based source line of each instruction of `source`, in order: the record index of the
// store after a completed run maps to the line it came from.
[[nodiscard]] std::vector<std::size_t> InstructionLines(std::string_view source);

// The lines of `source` as the assembler cuts them (CR LF, LF or CR ends one), without their
// line ends.
[[nodiscard]] std::vector<std::string_view> SourceLines(std::string_view source);

} // namespace assembly
