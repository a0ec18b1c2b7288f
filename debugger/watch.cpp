#include "debugger/watch.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace debugger {

namespace {

// The words of a text, split at blanks and kept apart at "=", "<", ">", "!" and ":".
class Words {
public:
  explicit Words(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
      const char c = text[at];
      if (c == ' ' || c == '\t') {
        ++at;
        continue;
      }
      std::size_t end = at + 1;
      if (std::string_view("=<>!").find(c) != std::string_view::npos) {
        while (end < text.size() &&
               std::string_view("=<>").find(text[end]) != std::string_view::npos) {
          ++end;
        }
      } else {
        while (end < text.size() &&
               std::string_view(" \t=<>!").find(text[end]) == std::string_view::npos) {
          ++end;
        }
      }
      std::string word(text.substr(at, end - at));
      std::transform(word.begin(), word.end(), word.begin(),
                     [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
      words_.push_back(std::move(word));
      at = end;
    }
  }
  [[nodiscard]] bool AtEnd() const { return next_ >= words_.size(); }
  [[nodiscard]] const std::string& Peek() const {
    static const std::string kNone;
    return AtEnd() ? kNone : words_[next_];
  }
  std::string Take() { return AtEnd() ? std::string() : words_[next_++]; }

private:
  std::vector<std::string> words_;
  std::size_t next_ = 0;
};

// A number: decimal, hexadecimal with an h suffix or a 0x prefix.
std::optional<std::uint64_t> Number(std::string_view word) {
  int base = 10;
  if (word.starts_with("0x")) {
    base = 16;
    word.remove_prefix(2);
  } else if (word.ends_with('h')) {
    base = 16;
    word.remove_suffix(1);
  }
  if (word.empty() || word.size() > 16) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char c : word) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
    if (digit >= base) {
      return std::nullopt;
    }
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
  }
  return value;
}

// "L:C", "L:C:R" or "L:C:R:N", each part a number within its limit.
std::optional<std::vector<unsigned>> Place(std::string_view word, std::size_t least,
                                           std::size_t most) {
  static constexpr std::array<unsigned, 4> kLimits{4, 4, 4, 16};
  std::vector<unsigned> parts;
  while (true) {
    const std::size_t colon = word.find(':');
    const auto value = Number(word.substr(0, colon));
    if (!value || parts.size() >= most || *value >= kLimits[parts.size()]) {
      return std::nullopt;
    }
    parts.push_back(static_cast<unsigned>(*value));
    if (colon == std::string_view::npos) {
      break;
    }
    word.remove_prefix(colon + 1);
  }
  if (parts.size() < least) {
    return std::nullopt;
  }
  return parts;
}

using Operand = Condition::Comparison::Operand;
using Relation = Condition::Comparison::Relation;

std::optional<Condition::Comparison> OperandOf(const std::string& word) {
  Condition::Comparison comparison;
  static const std::array<std::pair<const char*, Operand>, 6> kNames{{{"acc", Operand::Acc},
                                                                      {"carry", Operand::Carry},
                                                                      {"pc", Operand::Pc},
                                                                      {"src", Operand::Src},
                                                                      {"dcl", Operand::Dcl},
                                                                      {"cycles", Operand::Cycles}}};
  for (const auto& [name, operand] : kNames) {
    if (word == name) {
      comparison.operand = operand;
      return comparison;
    }
  }
  if (word.size() >= 2 && (word[0] == 'r' || word[0] == 'p')) {
    std::string_view rest(word);
    rest.remove_prefix(1);
    std::optional<std::uint64_t> index;
    if (rest.size() == 1 && rest[0] >= 'a' && rest[0] <= 'f' && word[0] == 'r') {
      index = static_cast<std::uint64_t>(rest[0] - 'a' + 10);
    } else if (rest.find_first_not_of("0123456789") == std::string_view::npos) {
      index = Number(rest);
    }
    const unsigned limit = word[0] == 'r' ? 16 : 8;
    if (index && *index < limit) {
      comparison.operand = word[0] == 'r' ? Operand::Register : Operand::Pair;
      comparison.index = static_cast<unsigned>(*index);
      return comparison;
    }
  }
  return std::nullopt;
}

std::optional<Relation> RelationOf(const std::string& word) {
  if (word == "=" || word == "==") {
    return Relation::Equal;
  }
  if (word == "!=" || word == "<>") {
    return Relation::NotEqual;
  }
  if (word == "<") {
    return Relation::Less;
  }
  if (word == ">") {
    return Relation::Greater;
  }
  if (word == "<=") {
    return Relation::LessOrEqual;
  }
  if (word == ">=") {
    return Relation::GreaterOrEqual;
  }
  return std::nullopt;
}

std::uint64_t OperandValue(const Condition::Comparison& comparison,
                           const simulate::Machine& machine) {
  switch (comparison.operand) {
  case Operand::Acc:
    return machine.acc;
  case Operand::Carry:
    return machine.carry;
  case Operand::Pc:
    return simulate::ProgramCounter(machine);
  case Operand::Src:
    return machine.src;
  case Operand::Dcl:
    return machine.dcl;
  case Operand::Register:
    return machine.registers[simulate::RegisterIndex(machine, comparison.index)];
  case Operand::Pair:
    return static_cast<std::uint64_t>(
        machine.registers[simulate::RegisterIndex(machine, 2 * comparison.index)] << 4 |
        machine.registers[simulate::RegisterIndex(machine, 2 * comparison.index + 1)]);
  case Operand::Cycles:
    return machine.cycles;
  }
  return 0;
}

// The value watch that the words after "watch" write.
std::variant<ValueTarget, std::string> ValueTargetOf(Words& words) {
  ValueTarget target;
  const std::string what = words.Take();
  if (what == "acc") {
    target.kind = ValueTarget::Kind::Acc;
  } else if (what == "carry") {
    target.kind = ValueTarget::Kind::Carry;
  } else if (what == "ram" || what == "status") {
    const auto place = Place(words.Take(), 4, 4);
    if (!place) {
      return "a RAM character is L:C:R:N (line 0-3, chip 0-3, register 0-3, character " +
             std::string(what == "ram" ? "0-15" : "0-3") + ")";
    }
    const auto& p = *place;
    if (what == "status" && p[3] >= simulate::kStatusCharacters) {
      return std::string("a status character is 0-3");
    }
    target.kind =
        what == "ram" ? ValueTarget::Kind::RamCharacter : ValueTarget::Kind::StatusCharacter;
    target.index =
        static_cast<unsigned>(what == "ram" ? simulate::RamIndex(p[0], p[1], p[2], p[3])
                                            : simulate::StatusIndex(p[0], p[1], p[2], p[3]));
  } else if (what == "rom-port") {
    const auto port = Number(words.Take());
    if (!port || *port > 15) {
      return std::string("a ROM port is 0-F");
    }
    target.kind = ValueTarget::Kind::RomPort;
    target.index = static_cast<unsigned>(*port);
  } else if (what == "ram-port") {
    const auto place = Place(words.Take(), 2, 2);
    if (!place) {
      return std::string("a RAM port is L:C (line 0-3, chip 0-3)");
    }
    target.kind = ValueTarget::Kind::RamPort;
    target.index = (*place)[0] * simulate::kRamChips + (*place)[1];
  } else if (const auto operand = OperandOf(what);
             operand &&
             (operand->operand == Operand::Register || operand->operand == Operand::Pair)) {
    target.kind = operand->operand == Operand::Register ? ValueTarget::Kind::Register
                                                        : ValueTarget::Kind::Pair;
    target.index = operand->index;
  } else {
    return "watch what? acc, carry, r0-r15, p0-p7, ram L:C:R:N, status L:C:R:N, rom-port P or "
           "ram-port L:C, not \"" +
           what + "\"";
  }
  if (words.Peek() == "=" || words.Peek() == "==") {
    words.Take();
    const auto value = Number(words.Take());
    if (!value || *value > 255) {
      return std::string("a value to watch for is a number 0-255");
    }
    target.equals = static_cast<unsigned>(*value);
  }
  return target;
}

// The "if CONDITION" and "after N" that may end a breakpoint's text.
std::string Extras(Words& words, Watch& watch) {
  while (!words.AtEnd()) {
    const std::string word = words.Take();
    if (word == "after") {
      const auto count = Number(words.Take());
      if (!count || *count > 1'000'000'000) {
        return "after needs a number of hits to let pass";
      }
      watch.skip = static_cast<unsigned>(*count);
    } else if (word == "if") {
      std::string rest;
      while (!words.AtEnd() && words.Peek() != "after") {
        rest += words.Take() + " ";
      }
      auto condition = Condition::Parse(rest);
      if (const auto* problem = std::get_if<std::string>(&condition)) {
        return *problem;
      }
      watch.condition = std::get<Condition>(std::move(condition));
    } else {
      return "\"" + word + "\" is not understood here (if CONDITION, after N)";
    }
  }
  return {};
}

// Reads what may follow the breakpoint's place (`if`, `after`) and keeps its text, trimmed.
std::variant<Watch, std::string> Finish(Words& words, Watch& watch, std::string_view text) {
  if (std::string problem = Extras(words, watch); !problem.empty()) {
    return problem;
  }
  std::string cleaned(text);
  cleaned.erase(0, cleaned.find_first_not_of(' '));
  cleaned.erase(cleaned.find_last_not_of(' ') + 1);
  watch.text = cleaned;
  return watch;
}

} // namespace

std::variant<Condition, std::string> Condition::Parse(std::string_view text) {
  Condition condition;
  Words words(text);
  if (words.AtEnd()) {
    return std::string("the condition is empty");
  }
  std::vector<Comparison> all;
  while (true) {
    const std::string name = words.Take();
    auto comparison = OperandOf(name);
    if (!comparison) {
      return "\"" + name + "\" is none of acc, carry, pc, src, dcl, r0-r15, p0-p7, cycles";
    }
    const std::string op = words.Take();
    const auto relation = RelationOf(op);
    if (!relation) {
      return "after " + name + " comes =, !=, <, >, <= or >=, not \"" + op + "\"";
    }
    const std::string number = words.Take();
    const auto value = Number(number);
    if (!value) {
      return "\"" + number + "\" is not a number (decimal, or hexadecimal with h)";
    }
    comparison->relation = *relation;
    comparison->value = *value;
    all.push_back(*comparison);
    const std::string joint = words.Take();
    if (joint.empty()) {
      break;
    }
    if (joint == "or") {
      condition.anyOf_.push_back(std::move(all));
      all.clear();
    } else if (joint != "and") {
      return "\"" + joint + "\" joins nothing: use and, or";
    }
  }
  condition.anyOf_.push_back(std::move(all));
  std::string cleaned(text);
  cleaned.erase(cleaned.find_last_not_of(' ') + 1);
  condition.text_ = cleaned;
  return condition;
}

bool Condition::Holds(const simulate::Machine& machine) const {
  return std::any_of(anyOf_.begin(), anyOf_.end(), [&machine](const auto& all) {
    return std::all_of(all.begin(), all.end(), [&machine](const Comparison& c) {
      const std::uint64_t value = OperandValue(c, machine);
      switch (c.relation) {
      case Relation::Equal:
        return value == c.value;
      case Relation::NotEqual:
        return value != c.value;
      case Relation::Less:
        return value < c.value;
      case Relation::Greater:
        return value > c.value;
      case Relation::LessOrEqual:
        return value <= c.value;
      case Relation::GreaterOrEqual:
        return value >= c.value;
      }
      return false;
    });
  });
}

std::variant<Watch, std::string> ParseWatch(std::string_view text) {
  Words words(text);
  Watch watch;
  const std::string kind = words.Take();
  if (kind == "io") {
    IoTarget target;
    const std::string where = words.Take();
    if (where == "rom") {
      const auto port = Number(words.Take());
      if (!port || *port > 15) {
        return std::string("a ROM port is 0-F");
      }
      target.rom = true;
      target.port = static_cast<unsigned>(*port);
    } else if (where == "ram") {
      const auto place = Place(words.Take(), 2, 4);
      if (!place) {
        return std::string("a RAM chip is L:C, L:C:R or L:C:R:N (line 0-3, chip 0-3, register "
                           "0-3, character 0-15)");
      }
      target.line = (*place)[0];
      target.chip = (*place)[1];
      target.reg = place->size() > 2 ? static_cast<int>((*place)[2]) : -1;
      target.character = place->size() > 3 ? static_cast<int>((*place)[3]) : -1;
    } else {
      return "io on what? rom P or ram L:C, not \"" + where + "\"";
    }
    watch.on = target;
  } else if (kind == "watch") {
    auto target = ValueTargetOf(words);
    if (const auto* problem = std::get_if<std::string>(&target)) {
      return *problem;
    }
    watch.on = std::get<ValueTarget>(target);
  } else {
    return "a breakpoint begins with io or watch, not \"" + kind + "\"";
  }
  return Finish(words, watch, text);
}

std::variant<Watch, std::string> ParseAddressWatch(int address, std::string_view text) {
  Words words(text);
  Watch watch;
  watch.on = address;
  return Finish(words, watch, text);
}

bool IoHits(const IoTarget& target, const simulate::Machine& machine) {
  const std::size_t bank = machine.cpu == simulate::Processor::I4040 ? machine.romBank : 0;
  const std::uint8_t opcode =
      machine.rom[bank * simulate::kBankSize + simulate::ProgramCounter(machine)];
  if ((opcode & 0xF0) != 0xE0 || machine.halted) {
    return false;
  }
  const unsigned code = opcode & 0xF;
  constexpr unsigned kWrr = 0x2;
  constexpr unsigned kWpm = 0x3;
  constexpr unsigned kRdr = 0xA;
  if (code == kWpm) {
    return false;
  }
  if (target.rom) {
    return (code == kWrr || code == kRdr) && (machine.src >> 4) == target.port;
  }
  if (code == kWrr || code == kRdr) {
    return false;
  }
  if ((simulate::SelectedLines(machine.dcl) & (1u << target.line)) == 0 ||
      (machine.src >> 6) != target.chip) {
    return false;
  }
  constexpr unsigned kWmp = 0x1;
  if (code == kWmp) {
    return target.reg < 0 && target.character < 0;
  }
  if (target.reg >= 0 && static_cast<unsigned>(target.reg) != ((machine.src >> 4) & 3)) {
    return false;
  }
  // WRM, SBM, RDM and ADM work on the main character that SRC chose; WR0-WR3 and RD0-RD3 on a
  // status character, which a watch on one main character leaves out.
  const bool main = code == 0x0 || code == 0x8 || code == 0x9 || code == 0xB;
  return target.character < 0 ||
         (main && static_cast<unsigned>(target.character) == (machine.src & 0xF));
}

unsigned ValueOf(const ValueTarget& target, const simulate::Machine& machine) {
  switch (target.kind) {
  case ValueTarget::Kind::Acc:
    return machine.acc;
  case ValueTarget::Kind::Carry:
    return machine.carry;
  case ValueTarget::Kind::Register:
    return machine.registers[simulate::RegisterIndex(machine, target.index)];
  case ValueTarget::Kind::Pair:
    return static_cast<unsigned>(
        machine.registers[simulate::RegisterIndex(machine, 2 * target.index)] << 4 |
        machine.registers[simulate::RegisterIndex(machine, 2 * target.index + 1)]);
  case ValueTarget::Kind::RamCharacter:
    return machine.ram[target.index];
  case ValueTarget::Kind::StatusCharacter:
    return machine.status[target.index];
  case ValueTarget::Kind::RomPort:
    return machine.romPorts[target.index];
  case ValueTarget::Kind::RamPort:
    return machine.ramPorts[target.index];
  }
  return 0;
}

} // namespace debugger
