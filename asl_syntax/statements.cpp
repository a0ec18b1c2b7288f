#include "asl_syntax/pass_state.h"
#include "translate/hex_text.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>

namespace asl::detail {

namespace {

std::string Where(const Location& where) {
  return where.FileName() + ":" + std::to_string(where.line);
}

} // namespace

std::string HexText(std::int64_t value) {
  return value < 0 ? std::to_string(value)
                   : translate::FormatHex(static_cast<std::uint64_t>(value));
}

void Pass::Statement(const SplitLine& line) {
  switch (line.keyword) {
  case Keyword::Equ:
    DefineValue(line.label, SymbolEntry::Kind::Equ, line.operands);
    return;
  case Keyword::Set:
    DefineValue(line.label, SymbolEntry::Kind::Set, line.operands);
    return;
  case Keyword::Reg:
    DefineRegister(line.label, line.operands);
    return;
  case Keyword::Function:
    DefineFunction(line.label, line.operands);
    return;
  case Keyword::Macro:
    BeginMacro(line.label, line.operands);
    return;
  default:
    break;
  }
  if (!line.label.empty()) {
    DefineLabel(line.label);
  }
  if (Directive(line)) {
    return;
  }
  const std::string& op = line.operation;
  if (const auto macro = macros_.find(op); macro != macros_.end()) {
    Expand(op, macro->second, line.operands);
    return;
  }
  if (const auto mnemonic = FindMnemonic(op)) {
    if (mnemonic->only4040 && !cpu4040_) {
      Error(op + " is an instruction of the 4040, not of the 4004 (cpu 4040 chooses the 4040)");
      return;
    }
    Instruction(*mnemonic, line.operands);
    return;
  }
  // Directives of the macro assembler's wider language that this one does not take: saying so
  // tells the user the line is understood, not mistyped.
  static constexpr std::array<std::string_view, 18> kNotTaken = {
      "REPT",       "IRP",       "IRPC",   "WHILE",   "BINCLUDE", "SECTION",
      "ENDSECTION", "PUBLIC",    "GLOBAL", "FORWARD", "PHASE",    "DEPHASE",
      "STRUCT",     "ENDSTRUCT", "UNION",  "ENUM",    "SAVE",     "RESTORE"};
  if (std::find(kNotTaken.begin(), kNotTaken.end(), op) != kNotTaken.end()) {
    Error("the directive \"" + op + "\" is not supported in this syntax");
    return;
  }
  Error("unknown instruction or directive \"" + op + "\"");
}

bool Pass::Directive(const SplitLine& line) {
  switch (line.keyword) {
  case Keyword::Org:
    Org(line.operands);
    return true;
  case Keyword::Data:
    Data(line.operands);
    return true;
  case Keyword::Ds:
    Reserve(line.operands);
    return true;
  case Keyword::Cpu:
    Cpu(line.operands);
    return true;
  case Keyword::Include:
    Include(line.operands);
    return true;
  case Keyword::End:
    ended_ = true;
    return true;
  case Keyword::Message:
    Say(Diagnostic::Kind::Message, line.operands);
    return true;
  case Keyword::Warning:
    Say(Diagnostic::Kind::Warning, line.operands);
    return true;
  case Keyword::Error:
  case Keyword::Fatal:
    Say(Diagnostic::Kind::Error, line.operands);
    ended_ = ended_ || line.keyword == Keyword::Fatal;
    return true;
  case Keyword::Endm:
    Error("ENDM without MACRO");
    return true;
  case Keyword::NoEffect:
    return true;
  default:
    return false;
  }
}

void Pass::DefineLabel(const std::string& name) {
  auto [entry, added] = symbols_.try_emplace(name);
  SymbolEntry& symbol = entry->second;
  if (!added && symbol.definedThisPass) {
    Error(name + " is already defined at " + Where(symbol.where));
    return;
  }
  symbol = SymbolEntry{SymbolEntry::Kind::Label, Value::Number(pc_), {}, line_, true};
}

void Pass::DefineValue(const std::string& name, SymbolEntry::Kind kind, std::string_view operands) {
  if (name.empty()) {
    Error(std::string(kind == SymbolEntry::Kind::Set ? "SET" : "EQU") + " needs a name");
    return;
  }
  const auto tokens = Tokens(operands);
  if (!tokens) {
    return;
  }
  const auto value = Evaluate(*tokens, "the value of " + name);
  if (!value) {
    return;
  }
  auto [entry, added] = symbols_.try_emplace(name);
  SymbolEntry& symbol = entry->second;
  if (!added && symbol.definedThisPass) {
    const bool redefinable = kind == SymbolEntry::Kind::Set && symbol.kind == kind;
    const bool same =
        kind == SymbolEntry::Kind::Equ && symbol.kind == kind && symbol.value == *value;
    if (!redefinable && !same) {
      Error(name + " is already defined at " + Where(symbol.where));
      return;
    }
  }
  symbol = SymbolEntry{kind, *value, {}, line_, true};
  symbol.uncertain = usedUndefined_;
}

std::optional<RegisterSymbol> Pass::Register(const std::string& name) {
  if (const auto builtIn = RegisterOrPair(name)) {
    return builtIn;
  }
  for (const Symbols* table : std::array<const Symbols*, 2>{&symbols_, &previous_}) {
    const auto found = table->find(name);
    if (found != table->end() && found->second.kind == SymbolEntry::Kind::Reg &&
        (table == &previous_ || found->second.definedThisPass)) {
      return found->second.reg;
    }
  }
  return std::nullopt;
}

void Pass::DefineRegister(const std::string& name, std::string_view operands) {
  const auto tokens = Tokens(operands);
  if (!tokens) {
    return;
  }
  if (name.empty() || tokens->size() != 2 || (*tokens)[0].kind != Token::Kind::Name) {
    Error("REG needs a name and a register or register pair: \"P0 reg R0R1\"");
    return;
  }
  const auto reg = Register((*tokens)[0].text);
  if (!reg) {
    Error("\"" + (*tokens)[0].text + "\" is no register or register pair");
    return;
  }
  // A name that already means a register keeps that meaning: "R10 reg RA" changes nothing.
  if (const auto builtIn = RegisterOrPair(name)) {
    if (*builtIn != *reg) {
      Error(name + " is the name of " + RegisterText(*builtIn) + ", not of " + RegisterText(*reg));
    }
    return;
  }
  auto [entry, added] = symbols_.try_emplace(name);
  if (!added && entry->second.definedThisPass &&
      !(entry->second.kind == SymbolEntry::Kind::Reg && entry->second.reg == *reg)) {
    Error(name + " is already defined at " + Where(entry->second.where));
    return;
  }
  SymbolEntry& symbol = entry->second;
  symbol.kind = SymbolEntry::Kind::Reg;
  symbol.value = Value::Number(0);
  symbol.reg = *reg;
  symbol.where = line_;
  symbol.definedThisPass = true;
}

void Pass::DefineFunction(const std::string& name, std::string_view operands) {
  const auto tokens = Tokens(operands);
  if (!tokens) {
    return;
  }
  const auto parts = SplitAtCommas(*tokens);
  if (name.empty() || parts.empty()) {
    Error("FUNCTION needs a name, its parameters and an expression: \"lo function x, x & 255\"");
    return;
  }
  Function function;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    if (parts[i].size() != 1 || parts[i][0].kind != Token::Kind::Name) {
      Error("the parameters of FUNCTION " + name + " must be names");
      return;
    }
    function.parameters.push_back(parts[i][0].text);
  }
  // The expression is the last part: from its first token to the end of the line.
  const Token* first = parts.back().data();
  function.body.assign(first, tokens->data() + tokens->size());
  if (function.body.size() <= 1) {
    Error("FUNCTION " + name + " has no expression");
    return;
  }
  functions_[name] = std::move(function);
}

void Pass::Cpu(std::string_view operands) {
  const std::string name = Upper(Trim(operands));
  if (name == "4004" || name == "I4004") {
    cpu4040_ = false;
  } else if (name == "4040" || name == "I4040") {
    cpu4040_ = true;
  } else {
    Error("CPU can be 4004 or 4040 here, not \"" + std::string(Trim(operands)) + "\"");
  }
}

void Pass::Org(std::string_view operands) {
  const auto tokens = Tokens(operands);
  if (!tokens) {
    return;
  }
  const auto address = Integer(*tokens, "ORG");
  if (!address) {
    return;
  }
  if (*address < 0 || *address > LastAddress() + 1) {
    Error("ORG " + HexText(*address) + " is outside the program memory of the " +
          (cpu4040_ ? "4040 (0000-1FFF)" : "4004 (000-FFF)"));
    return;
  }
  pc_ = *address;
}

void Pass::Reserve(std::string_view operands) {
  const auto tokens = Tokens(operands);
  if (!tokens) {
    return;
  }
  const auto count = Integer(*tokens, "DS");
  if (!count) {
    return;
  }
  if (*count < 0) {
    Error("DS reserves 0 or more bytes, not " + std::to_string(*count));
    return;
  }
  if (*count > LastAddress() + 1 - pc_) {
    Error("DS " + std::to_string(*count) + " does not fit in the program memory from " +
          HexText(pc_));
    return;
  }
  result_.rows.back().address = static_cast<int>(pc_);
  pc_ += *count;
}

void Pass::Include(std::string_view operands) {
  std::string name(Trim(operands));
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
    name = name.substr(1, name.size() - 2);
  }
  if (name.empty()) {
    Error("INCLUDE needs the name of a file");
    return;
  }
  // A name without an extension means an .inc file, as in that assembler.
  if (std::filesystem::path(name).extension().empty()) {
    name += ".inc";
  }
  if (static_cast<int>(frames_.size()) > kMostIncludeNesting + macroDepth_) {
    Fatal("includes nest more than " + std::to_string(kMostIncludeNesting) +
          " deep (the limit of included files within included files)");
    return;
  }
  bool missing = false;
  auto* file = ResolveInclude(name, missing);
  if (file == nullptr) {
    // The bit functions are built in: their file of that assembler's distribution is not needed.
    if (missing && Upper(std::filesystem::path(name).filename().string()) == "BITFUNCS.INC") {
      return;
    }
    if (missing) {
      Error("cannot find the include file \"" + name + "\"");
    }
    return;
  }
  for (const Frame& frame : frames_) {
    if (frame.kind == Frame::Kind::File && frame.file == &file->first) {
      Error("\"" + file->first +
            "\" is included again while it is being read (a cycle of includes)");
      return;
    }
  }
  PushFile(*file, line_);
}

void Pass::Say(Diagnostic::Kind kind, std::string_view operands) {
  const auto tokens = Tokens(operands);
  if (!tokens) {
    return;
  }
  std::string text;
  for (const auto part : SplitAtCommas(*tokens)) {
    const auto value = Evaluate(part, "the text");
    if (!value) {
      return;
    }
    text += value->isString ? value->text : std::to_string(value->number);
  }
  Report(kind, text, line_);
}

} // namespace asl::detail
