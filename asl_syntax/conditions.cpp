#include "asl_syntax/pass_state.h"

namespace asl::detail {

namespace {

bool IsWordCharacter(char c) { return IsNameCharacter(c); }

} // namespace

bool Pass::Conditional(const SplitLine& line) {
  switch (line.keyword) {
  case Keyword::If:
    If(line.operands, false, false);
    return true;
  case Keyword::Ifdef:
  case Keyword::Ifndef:
    If(line.operands, line.keyword == Keyword::Ifndef, true);
    return true;
  case Keyword::Elseif:
    ElseIf(line.operands);
    return true;
  case Keyword::Else:
    Else("IF");
    return true;
  case Keyword::Endif:
    EndIf(false);
    return true;
  case Keyword::Switch:
    Switch(line.operands);
    return true;
  case Keyword::Case:
    Case(line.operands);
    return true;
  case Keyword::Elsecase:
    Else("SWITCH");
    return true;
  case Keyword::Endcase:
    EndIf(true);
    return true;
  default:
    return false;
  }
}

bool Pass::Defined(const std::string& name) const {
  // Only what is defined before this line of this pass: a file that guards itself with IFNDEF
  // must be read again in every pass.
  const auto found = symbols_.find(name);
  return (found != symbols_.end() && found->second.definedThisPass) || functions_.contains(name) ||
         macros_.contains(name) || Special(name).has_value();
}

void Pass::If(std::string_view operands, bool negate, bool defined) {
  OpenBlock condition;
  condition.where = line_;
  condition.parentActive = Active();
  bool holds = false;
  if (condition.parentActive) {
    if (defined) {
      const std::string name = Upper(Trim(operands));
      if (name.empty()) {
        Error("IFDEF and IFNDEF need a name");
      }
      holds = Defined(name) != negate;
    } else if (const auto tokens = Tokens(operands)) {
      if (const auto value = Evaluate(*tokens, "the condition")) {
        holds = value->isString ? !value->text.empty() : value->number != 0;
      }
    }
  }
  condition.active = condition.parentActive && holds;
  condition.taken = holds;
  conditions_.push_back(condition);
}

void Pass::ElseIf(std::string_view operands) {
  if (conditions_.empty() || conditions_.back().isSwitch || conditions_.back().elseSeen) {
    Error("ELSEIF without IF");
    return;
  }
  OpenBlock& condition = conditions_.back();
  if (condition.taken || !condition.parentActive) {
    condition.active = false;
    return;
  }
  bool holds = false;
  if (const auto tokens = Tokens(operands)) {
    // ELSEIF without a condition is ELSE.
    if (tokens->size() == 1) {
      holds = true;
    } else if (const auto value = Evaluate(*tokens, "the condition")) {
      holds = value->isString ? !value->text.empty() : value->number != 0;
    }
  }
  condition.active = holds;
  condition.taken = holds;
}

void Pass::Else(const char* opener) {
  const bool isSwitch = std::string_view(opener) == "SWITCH";
  if (conditions_.empty() || conditions_.back().isSwitch != isSwitch ||
      conditions_.back().elseSeen) {
    Error(std::string(isSwitch ? "ELSECASE" : "ELSE") + " without " + opener);
    return;
  }
  OpenBlock& condition = conditions_.back();
  condition.active = condition.parentActive && !condition.taken;
  condition.taken = true;
  condition.elseSeen = true;
}

void Pass::EndIf(bool isSwitch) {
  if (conditions_.empty() || conditions_.back().isSwitch != isSwitch) {
    Error(std::string(isSwitch ? "ENDCASE without SWITCH" : "ENDIF without IF"));
    return;
  }
  conditions_.pop_back();
}

void Pass::Switch(std::string_view operands) {
  OpenBlock condition;
  condition.isSwitch = true;
  condition.where = line_;
  condition.parentActive = Active();
  condition.active = false;
  if (condition.parentActive) {
    if (const auto tokens = Tokens(operands)) {
      if (const auto value = Evaluate(*tokens, "the value of SWITCH")) {
        condition.switchValue = *value;
      }
    }
  }
  conditions_.push_back(condition);
}

void Pass::Case(std::string_view operands) {
  if (conditions_.empty() || !conditions_.back().isSwitch || conditions_.back().elseSeen) {
    Error("CASE without SWITCH");
    return;
  }
  OpenBlock& condition = conditions_.back();
  // The first case that matches is taken, and no other after it.
  if (condition.taken || !condition.parentActive) {
    condition.active = false;
    return;
  }
  bool matches = false;
  if (const auto tokens = Tokens(operands)) {
    for (const auto part : SplitAtCommas(*tokens)) {
      const auto value = Evaluate(part, "the value of CASE");
      matches = matches || (value && *value == condition.switchValue);
    }
  }
  condition.active = matches;
  condition.taken = matches;
}

void Pass::BeginMacro(const std::string& name, std::string_view operands) {
  if (name.empty()) {
    Error("MACRO needs a name");
  }
  recorded_ = Macro{};
  recorded_.where = line_;
  if (const auto tokens = Tokens(operands)) {
    for (const auto part : SplitAtCommas(*tokens)) {
      if (part.size() != 1 || part[0].kind != Token::Kind::Name) {
        Error("the parameters of MACRO " + name + " must be names");
        break;
      }
      recorded_.parameters.push_back(part[0].text);
    }
  }
  recording_ = true;
  recordNesting_ = 0;
  recordName_ = name;
  recordWhere_ = line_;
}

void Pass::Record(std::string_view text, const SplitLine& line) {
  if (line.keyword == Keyword::Macro) {
    ++recordNesting_;
  } else if (line.keyword == Keyword::Endm && recordNesting_-- == 0) {
    recording_ = false;
    if (!recordName_.empty()) {
      macros_[recordName_] = std::move(recorded_);
    }
    return;
  }
  recorded_.body->emplace_back(text);
}

void Pass::Expand(const std::string& name, const Macro& macro, std::string_view operands) {
  if (macroDepth_ >= kMostMacroNesting) {
    Fatal("macros nest more than " + std::to_string(kMostMacroNesting) +
          " deep (the limit of macros expanded within macros; does " + name + " call itself?)");
    return;
  }
  // The arguments are text, split at the commas outside parentheses and quotes.
  std::vector<std::string> arguments;
  if (!Trim(operands).empty()) {
    int depth = 0;
    char quote = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= operands.size(); ++i) {
      const char c = i < operands.size() ? operands[i] : ',';
      if (quote != 0) {
        quote = c == quote ? 0 : quote;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '(') {
        ++depth;
      } else if (c == ')') {
        --depth;
      } else if (c == ',' && depth <= 0) {
        arguments.emplace_back(Trim(operands.substr(start, i - start)));
        start = i + 1;
      }
    }
  }
  if (arguments.size() > macro.parameters.size()) {
    Error("macro " + name + " takes " + std::to_string(macro.parameters.size()) +
          " argument(s), not " + std::to_string(arguments.size()));
    return;
  }
  arguments.resize(macro.parameters.size());
  Frame frame;
  frame.kind = Frame::Kind::Macro;
  frame.file = macro.where.file;
  frame.firstLine = macro.where.line + 1;
  frame.name = name;
  frame.parameters = macro.parameters;
  frame.arguments = std::move(arguments);
  frame.call = line_;
  frame.body = macro.body;
  for (const std::string& line : *frame.body) {
    frame.lines.push_back(line);
  }
  frames_.push_back(std::move(frame));
  ++macroDepth_;
}

// The line with each parameter, as a whole word outside quotes and the comment, replaced by its
// argument.
std::string Pass::Substitute(std::string_view line, const Frame& frame) const {
  std::string out;
  out.reserve(line.size());
  char quote = 0;
  // Past the longest line allowed the rest does not matter: the caller refuses the line.
  for (std::size_t i = 0; i < line.size() && out.size() <= kLongestExpandedLine;) {
    const char c = line[i];
    if (quote != 0) {
      out.push_back(c);
      if (c == '\\' && i + 1 < line.size()) {
        out.push_back(line[++i]);
      } else if (c == quote) {
        quote = 0;
      }
      ++i;
      continue;
    }
    if (c == ';') {
      out.append(line.substr(i));
      break;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      out.push_back(c);
      ++i;
      continue;
    }
    if (IsNameStart(c) && (i == 0 || !IsWordCharacter(line[i - 1]))) {
      std::size_t end = i;
      while (end < line.size() && IsWordCharacter(line[end])) {
        ++end;
      }
      const std::string word = Upper(line.substr(i, end - i));
      bool replaced = false;
      for (std::size_t p = 0; p < frame.parameters.size(); ++p) {
        if (frame.parameters[p] == word) {
          out.append(frame.arguments[p]);
          replaced = true;
          break;
        }
      }
      if (!replaced) {
        out.append(line.substr(i, end - i));
      }
      i = end;
      continue;
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

} // namespace asl::detail
