#include "boards/check.h"

#include "boards/text.h"
#include "simulate/parts/shift_register.h"

#include <algorithm>
#include <map>
#include <set>

namespace boards {

namespace {

using simulate::ShiftRegister;

template <typename Kind> const Kind* PartOf(const BoardDescription& board, std::string_view name) {
  for (const Part& part : board.parts) {
    if (part.name == name) {
      return std::get_if<Kind>(&part.kind);
    }
  }
  return nullptr;
}

bool HasPart(const BoardDescription& board, std::string_view name) {
  return std::any_of(board.parts.begin(), board.parts.end(),
                     [name](const Part& part) { return part.name == name; });
}

// Checks one part; `drive` records an input that the part drives.
class PartChecker {
public:
  PartChecker(const BoardDescription& board, const Part& part,
              std::map<std::string, std::string>& driven, std::set<std::string>& keyNames)
      : board_(board), part_(part), driven_(driven), keyNames_(keyNames) {}

  std::string operator()(const ShiftRegisterPart& p) {
    if (p.chips < 1 || p.chips > ShiftRegister::kMostChips) {
      return Fault("has " + std::to_string(p.chips) + " chips; a chain has 1 to " +
                   std::to_string(ShiftRegister::kMostChips));
    }
    return {};
  }

  std::string operator()(const KeyMatrixPart& p) {
    const ShiftRegisterPart* columns = Reference<ShiftRegisterPart>(p.columns, "columns");
    if (columns == nullptr) {
      return error_;
    }
    if (p.rows.empty() || p.rows.size() > 8) {
      return Fault("has " + std::to_string(p.rows.size()) + " rows; a matrix has 1 to 8");
    }
    for (const InputPin& row : p.rows) {
      if (std::string fault = Drive(row); !fault.empty()) {
        return fault;
      }
    }
    std::map<std::pair<unsigned, unsigned>, std::string> places;
    for (const MatrixKey& key : p.keys) {
      if (key.column >= columns->chips * ShiftRegister::kBitsPerChip) {
        return Fault("key " + Quoted(key.name) + " is on column " + std::to_string(key.column) +
                     ", but " + Quoted(p.columns) + " has " +
                     std::to_string(columns->chips * ShiftRegister::kBitsPerChip) + " bits");
      }
      if (key.row >= p.rows.size()) {
        return Fault("key " + Quoted(key.name) + " is on row " + std::to_string(key.row) +
                     ", but the matrix has " + std::to_string(p.rows.size()) + " rows");
      }
      const auto [place, added] = places.emplace(std::pair(key.column, key.row), key.name);
      if (!added) {
        return Fault("keys " + Quoted(place->second) + " and " + Quoted(key.name) +
                     " are both on column " + std::to_string(key.column) + ", row " +
                     std::to_string(key.row));
      }
      if (std::string fault = KeyName(key.name, key.aliases); !fault.empty()) {
        return fault;
      }
    }
    return {};
  }

  std::string operator()(const SwitchPart& p) {
    const KeyMatrixPart* matrix = Reference<KeyMatrixPart>(p.matrix, "matrix");
    if (matrix == nullptr) {
      return error_;
    }
    const ShiftRegisterPart* columns = PartOf<ShiftRegisterPart>(board_, matrix->columns);
    if (columns != nullptr && p.column >= columns->chips * ShiftRegister::kBitsPerChip) {
      return Fault("is on column " + std::to_string(p.column) + ", but " + Quoted(matrix->columns) +
                   " has " + std::to_string(columns->chips * ShiftRegister::kBitsPerChip) +
                   " bits");
    }
    if (p.positions.empty()) {
      return Fault("has no positions");
    }
    std::map<std::uint8_t, std::string> values;
    for (const auto& [name, rows] : p.positions) {
      if (rows >> matrix->rows.size() != 0) {
        return Fault("position " + Quoted(name) + " closes rows the matrix does not have");
      }
      const auto [other, added] = values.emplace(rows, name);
      if (!added) {
        return Fault("positions " + Quoted(other->second) + " and " + Quoted(name) +
                     " close the same rows");
      }
    }
    if (p.position >= p.positions.size()) {
      return Fault("starts at a position it does not have");
    }
    return KeyName(part_.name, {});
  }

  std::string operator()(const ButtonPart& p) {
    if (std::string fault = Drive(p.input); !fault.empty()) {
      return fault;
    }
    return KeyName(part_.name, p.aliases);
  }

  std::string operator()(const PulseTrainPart& p) {
    if (!(p.periodMs > 0) || !(p.widthMs > 0) || !(p.widthMs < p.periodMs) || !(p.phaseMs >= 0)) {
      return Fault("needs a period above 0, a width above 0 and below the period, and a phase "
                   "of 0 or more");
    }
    if (p.indexEvery < 1) {
      return Fault("needs an index every 1 or more pulses");
    }
    if (std::string fault = Drive(p.output); !fault.empty()) {
      return fault;
    }
    return p.index ? Drive(*p.index) : std::string();
  }

  std::string operator()(const DrumPrinterPart& p) {
    if (Reference<PulseTrainPart>(p.drum, "drum") == nullptr) {
      return error_;
    }
    const ShiftRegisterPart* hammers = Reference<ShiftRegisterPart>(p.hammers, "hammers");
    if (hammers == nullptr) {
      return error_;
    }
    if (p.hammerColumns.size() > hammers->chips * ShiftRegister::kBitsPerChip) {
      return Fault("has " + std::to_string(p.hammerColumns.size()) + " hammers, but " +
                   Quoted(p.hammers) + " has " +
                   std::to_string(hammers->chips * ShiftRegister::kBitsPerChip) + " bits");
    }
    std::set<unsigned> columns;
    for (const PrinterColumns& group : p.columns) {
      if (group.first < 1 || group.last < group.first || group.last > 64) {
        return Fault("has columns " + std::to_string(group.first) + "-" +
                     std::to_string(group.last) + "; columns count from 1 to at most 64");
      }
      for (unsigned column = group.first; column <= group.last; ++column) {
        if (!columns.insert(column).second) {
          return Fault("describes column " + std::to_string(column) + " twice");
        }
      }
    }
    for (const unsigned column : p.hammerColumns) {
      if (column != 0 && columns.count(column) == 0) {
        return Fault("has a hammer on column " + std::to_string(column) +
                     ", which its columns do not describe");
      }
    }
    return {};
  }

  std::string operator()(const LampPart&) { return {}; }

  std::string operator()(const SerialOutPart& p) { return Rate(p.baud); }

  std::string operator()(const SerialInPart& p) {
    if (std::string fault = Rate(p.baud); !fault.empty()) {
      return fault;
    }
    return Drive(p.pin);
  }

  std::string operator()(const ProgramRamPart& p) {
    if (p.banks < 1 || p.banks > 16) {
      return Fault("has " + std::to_string(p.banks) + " banks; program RAM has 1 to 16");
    }
    return {};
  }

private:
  std::string Fault(const std::string& text) const {
    return "part " + Quoted(part_.name) + " " + text;
  }

  template <typename Kind> const Kind* Reference(const std::string& name, const char* role) {
    if (name.empty()) {
      error_ = Fault("is missing its wire \"" + std::string(role) + "\"");
      return nullptr;
    }
    if (!HasPart(board_, name)) {
      error_ = Fault("refers to " + Quoted(name) + " for \"" + role +
                     "\", but there is no such "
                     "part");
      return nullptr;
    }
    const Kind* kind = PartOf<Kind>(board_, name);
    if (kind == nullptr) {
      const std::size_t wanted = PartKind(Kind{}).index();
      error_ = Fault("refers to " + Quoted(name) + " for \"" + role + "\", which is no " +
                     std::string(kPartKindNames[wanted]));
    }
    return kind;
  }

  std::string Drive(const InputPin& pin) {
    const auto [other, added] = driven_.emplace(PinText(pin), part_.name);
    if (!added) {
      return other->second == part_.name ? Fault("uses pin " + PinText(pin) + " twice")
                                         : "pin " + PinText(pin) + " is used twice: by parts " +
                                               Quoted(other->second) + " and " + Quoted(part_.name);
    }
    return {};
  }

  std::string KeyName(const std::string& name, const std::vector<std::string>& aliases) {
    if (!keyNames_.insert(Lower(name)).second) {
      return "the key or switch name " + Quoted(name) + " is used twice";
    }
    for (const std::string& alias : aliases) {
      if (!keyNames_.insert(Lower(alias)).second) {
        return "the key name " + Quoted(alias) + " is used twice";
      }
    }
    return {};
  }

  std::string Rate(double baud) const {
    return baud > 0 ? std::string() : Fault("needs a bit rate above 0");
  }

  const BoardDescription& board_;
  const Part& part_;
  std::map<std::string, std::string>& driven_;
  std::set<std::string>& keyNames_;
  std::string error_;
};

} // namespace

std::string CheckBoard(const BoardDescription& board) {
  std::set<std::string> names;
  std::array<int, std::variant_size_v<PartKind>> counts{};
  for (const Part& part : board.parts) {
    if (part.name.empty()) {
      return "a part has no name";
    }
    if (!names.insert(part.name).second) {
      return "the part name " + Quoted(part.name) + " is used twice";
    }
    ++counts[part.kind.index()];
  }
  for (const auto kind : {PartKind(DrumPrinterPart{}).index(), PartKind(SerialOutPart{}).index(),
                          PartKind(SerialInPart{}).index(), PartKind(ProgramRamPart{}).index()}) {
    if (counts[kind] > 1) {
      return "a board has at most one " + std::string(kPartKindNames[kind]);
    }
  }
  std::map<std::string, std::string> driven;
  std::set<std::string> keyNames;
  for (const Part& part : board.parts) {
    if (std::string fault = std::visit(PartChecker(board, part, driven, keyNames), part.kind);
        !fault.empty()) {
      return fault;
    }
  }
  return {};
}

} // namespace boards
