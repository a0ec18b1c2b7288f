// A line of a source in the macro-assembler syntax taken apart: its label, its operation and
// its operands; and a file's text split into lines.
#include "asl_syntax/pass_state.h"

#include <algorithm>
#include <unordered_map>

namespace asl::detail {

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    // The library's search for LF does most of the work; a CR alone is looked for in each line.
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r' && end < text.size()) {
      line.remove_suffix(1);
    }
    if (const std::size_t cr = line.find('\r'); cr != std::string_view::npos) {
      lines.push_back(line.substr(0, cr));
      start += cr + 1;
      continue;
    }
    lines.push_back(line);
    start = next;
  }
  return lines;
}

namespace {

// The keyword that `word` spells in any case, without making a copy of a long word.
Keyword KeywordOfWord(std::string_view word) {
  constexpr std::size_t kLongestKeyword = 8;
  if (word.size() > kLongestKeyword) {
    return Keyword::None;
  }
  char upper[kLongestKeyword];
  for (std::size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return KeywordOf(std::string_view(upper, word.size()));
}

bool IsDefinition(Keyword keyword) {
  return keyword == Keyword::Equ || keyword == Keyword::Set || keyword == Keyword::Reg ||
         keyword == Keyword::Function || keyword == Keyword::Macro;
}

// "=" (EQU) or ":=" (SET) at `text[at]`, or nothing.
std::string_view AssignmentAt(std::string_view text, std::size_t at) {
  if (text.substr(at, 2) == ":=") {
    return text.substr(at, 2);
  }
  if (at < text.size() && text[at] == '=') {
    return text.substr(at, 1);
  }
  return {};
}

// A colon that ends a label, and is not the start of ":=".
bool LabelColonAt(std::string_view text, std::size_t at) {
  return at < text.size() && text[at] == ':' && AssignmentAt(text, at) != ":=";
}

// The word of name characters at `text[at]`; moves `at` past it.
std::string_view Word(std::string_view text, std::size_t& at) {
  const std::size_t start = at;
  while (at < text.size() && IsNameCharacter(text[at])) {
    ++at;
  }
  return text.substr(start, at - start);
}

void SkipSpace(std::string_view text, std::size_t& at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
    ++at;
  }
}

} // namespace

SplitLine Split(std::string_view line) {
  SplitLine split;
  const std::string_view text = line.substr(0, CommentStart(line));
  std::size_t at = 0;
  // A name in the first column is a label, with or without a colon.
  if (!text.empty() && IsNameStart(text[0])) {
    split.label = Upper(Word(text, at));
    if (LabelColonAt(text, at)) {
      ++at;
    }
  } else {
    SkipSpace(text, at);
    std::size_t end = at;
    const std::string_view word = Word(text, end);
    // Elsewhere only with a colon.
    if (!word.empty() && IsNameStart(word[0]) && LabelColonAt(text, end)) {
      split.label = Upper(word);
      at = end + 1;
    }
  }
  SkipSpace(text, at);
  std::size_t end = at;
  std::string_view operation = Word(text, end);
  if (operation.empty()) {
    operation = AssignmentAt(text, at);
    end = at + operation.size();
  }
  // An indented definition ("  X equ 5") names its symbol first too.
  if (split.label.empty() && !operation.empty() && IsNameStart(operation[0])) {
    std::size_t next = end;
    SkipSpace(text, next);
    std::size_t after = next;
    std::string_view second = Word(text, after);
    if (second.empty()) {
      second = AssignmentAt(text, next);
      after = next + second.size();
    }
    if (IsDefinition(KeywordOfWord(second))) {
      split.label = Upper(operation);
      operation = second;
      end = after;
    }
  }
  split.operation = Upper(operation);
  split.keyword = KeywordOf(split.operation);
  split.operands = Trim(text.substr(std::min(end, text.size())));
  return split;
}

Keyword KeywordOf(std::string_view operation) {
  static const std::unordered_map<std::string_view, Keyword> keywords{
      {"EQU", Keyword::Equ},         {"=", Keyword::Equ},
      {"SET", Keyword::Set},         {":=", Keyword::Set},
      {"REG", Keyword::Reg},         {"FUNCTION", Keyword::Function},
      {"MACRO", Keyword::Macro},     {"ENDM", Keyword::Endm},
      {"ORG", Keyword::Org},         {"DATA", Keyword::Data},
      {"DS", Keyword::Ds},           {"CPU", Keyword::Cpu},
      {"INCLUDE", Keyword::Include}, {"END", Keyword::End},
      {"MESSAGE", Keyword::Message}, {"WARNING", Keyword::Warning},
      {"ERROR", Keyword::Error},     {"FATAL", Keyword::Fatal},
      {"PAGE", Keyword::NoEffect},   {"LISTING", Keyword::NoEffect},
      {"SAVE", Keyword::NoEffect},   {"RESTORE", Keyword::NoEffect},
      {"TITLE", Keyword::NoEffect},  {"NEWPAGE", Keyword::NoEffect},
      {"MACEXP", Keyword::NoEffect}, {"PRTINIT", Keyword::NoEffect},
      {"IF", Keyword::If},           {"IFDEF", Keyword::Ifdef},
      {"IFNDEF", Keyword::Ifndef},   {"ELSEIF", Keyword::Elseif},
      {"ELSE", Keyword::Else},       {"ENDIF", Keyword::Endif},
      {"SWITCH", Keyword::Switch},   {"SELECT", Keyword::Switch},
      {"CASE", Keyword::Case},       {"ELSECASE", Keyword::Elsecase},
      {"ENDCASE", Keyword::Endcase},
  };
  const auto found = keywords.find(operation);
  return found == keywords.end() ? Keyword::None : found->second;
}

} // namespace asl::detail
