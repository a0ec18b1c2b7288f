#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace translate {

// `Kind` of a label definition, and of a blank line or a rejected line.
inline constexpr std::int16_t kLabelKind = 100;
inline constexpr std::int16_t kNoInstruction = -1;

// Messages for a line that cannot be translated.
inline constexpr std::string_view kUndefinedInstruction = "Undefined instruction";
inline constexpr std::string_view kLabelMissing = "Label missing";
inline constexpr std::string_view kRegisterOutOfRange = "Register out of range";
inline constexpr std::string_view kDataOutOfRange = "Data out of range";
inline constexpr std::string_view kDataMissing = "Data missing";

// One translated source line. `Kind` is the instruction code 0-65, `kLabelKind` for a label
// definition, or `kNoInstruction` for a blank line (empty `Text`) or a rejected line (`Text` is
// the message). For an instruction, `Text` names the label it refers to, if any; for a label
// definition it is the label's name.
struct AsmLine {
  std::int16_t Address = 0;
  std::int16_t Kind = 0;
  std::int16_t Byte1 = 0;
  std::int16_t Byte2 = 0;
  bool IsTwoByte = false;
  std::string Text;

  friend bool operator==(const AsmLine&, const AsmLine&) = default;
};

// True when `record` is a rejected line; `Text` then holds the message.
[[nodiscard]] inline bool IsRejected(const AsmLine& record) {
  return record.Kind == kNoInstruction && !record.Text.empty();
}

// Translates one source line (without its line end) into a record. Reads `Mnemonics`, which
// `LoadMnemonicTable` must have filled. Errors come back in the record, never as exceptions.
[[nodiscard]] AsmLine ParseLine(std::string_view line);

} // namespace translate
