#include "asl_syntax/lexer.h"
#include "translate/hex_text.h"

#include <array>

namespace asl {

namespace {

// The operators, longest first, so that "<<" is read before "<".
constexpr std::array<std::string_view, 28> kOperators{
    "~~", "<<", ">>", "><", "&&", "||", "!!", "==", "<>", "!=", "<=", ">=", "+", "-",
    "*",  "/",  "#",  "~",  "&",  "|",  "!",  "^",  "=",  "<",  ">",  "(",  ")", ","};

// The operator that `rest` begins with, or nothing.
std::string_view OperatorAt(std::string_view rest) {
  // The one-character operators that begin no longer one need no search.
  switch (rest.front()) {
  case ',':
  case '(':
  case ')':
  case '+':
  case '-':
  case '*':
  case '/':
  case '#':
  case '^':
    return rest.substr(0, 1);
  default:
    break;
  }
  for (const std::string_view op : kOperators) {
    if (rest.starts_with(op)) {
      return op;
    }
  }
  return {};
}

// A digit's value in any radix up to 16; any other character is worth more than every radix.
int DigitValue(char c) {
  const int value = translate::HexDigitValue(c);
  return value < 0 ? 99 : value;
}

// The value of a number written as `word` (digits and letters), or nothing when it is none.
std::optional<std::int64_t> NumberValue(std::string_view word) {
  int base = 10;
  std::string_view digits = word;
  switch (word.back()) {
  case 'H':
  case 'h':
    base = 16;
    digits.remove_suffix(1);
    break;
  case 'B':
  case 'b':
    base = 2;
    digits.remove_suffix(1);
    break;
  case 'O':
  case 'o':
  case 'Q':
  case 'q':
    base = 8;
    digits.remove_suffix(1);
    break;
  case 'D':
  case 'd':
    digits.remove_suffix(1);
    break;
  default:
    break;
  }
  if (digits.empty()) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (const char c : digits) {
    const int digit = DigitValue(c);
    if (digit >= base) {
      return std::nullopt;
    }
    // Integers have 64 bits, two's complement; a longer number wraps as the arithmetic does.
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
  }
  return static_cast<std::int64_t>(value);
}

// Reads the escape after a backslash at `text[at]`; moves `at` past it. Returns nothing for an
// unknown escape.
std::optional<char> Escape(std::string_view text, std::size_t& at) {
  if (at >= text.size()) {
    return std::nullopt;
  }
  const char c = text[at++];
  switch (c) {
  case 'r':
    return '\r';
  case 'n':
    return '\n';
  case 't':
    return '\t';
  case '0':
    return '\0';
  case 'e':
    return '\x1B';
  case '\\':
  case '"':
  case '\'':
    return c;
  case 'x':
  case 'X': {
    int value = 0;
    int count = 0;
    while (count < 2 && at < text.size() && DigitValue(text[at]) < 16) {
      value = value * 16 + DigitValue(text[at++]);
      ++count;
    }
    if (count == 0) {
      return std::nullopt;
    }
    return static_cast<char>(value);
  }
  default:
    return std::nullopt;
  }
}

} // namespace

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

std::size_t CommentStart(std::string_view line) {
  char quote = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quote != 0) {
      if (c == '\\') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      return i;
    }
  }
  return line.size();
}

Tokens Tokenize(std::string_view text) {
  Tokens result;
  result.tokens.reserve(8);
  std::size_t at = 0;
  const auto fail = [&](std::string error) {
    result.error = std::move(error);
    result.tokens.clear();
    return result;
  };
  while (at < text.size()) {
    const char c = text[at];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++at;
      continue;
    }
    Token token;
    token.column = at;
    if (c >= '0' && c <= '9') {
      std::size_t end = at;
      while (end < text.size() && IsNameCharacter(text[end]) && text[end] != '.') {
        ++end;
      }
      const std::string_view word = text.substr(at, end - at);
      const auto value = NumberValue(word);
      if (!value) {
        return fail("\"" + std::string(word) + "\" is not a number");
      }
      token.kind = Token::Kind::Number;
      token.number = *value;
      token.text = std::string(word);
      at = end;
    } else if (IsNameStart(c)) {
      std::size_t end = at;
      while (end < text.size() && IsNameCharacter(text[end])) {
        ++end;
      }
      token.kind = Token::Kind::Name;
      token.text = Upper(text.substr(at, end - at));
      at = end;
    } else if (c == '"' || c == '\'') {
      token.kind = c == '"' ? Token::Kind::String : Token::Kind::Character;
      ++at;
      bool closed = false;
      while (at < text.size()) {
        const char d = text[at++];
        if (d == c) {
          closed = true;
          break;
        }
        if (d == '\\') {
          const std::size_t escapeAt = at - 1;
          const auto escaped = Escape(text, at);
          if (!escaped) {
            return fail("unknown escape \"" + std::string(text.substr(escapeAt, 2)) + "\"");
          }
          token.text.push_back(*escaped);
        } else {
          token.text.push_back(d);
        }
      }
      if (!closed) {
        return fail(std::string(c == '"' ? "a string" : "a character constant") + " is not closed");
      }
    } else if (c == '$') {
      token.kind = Token::Kind::Operator;
      token.text = "$";
      ++at;
    } else {
      const std::string_view op = OperatorAt(text.substr(at));
      if (op.empty()) {
        return fail(std::string("unexpected character \"") + c + "\"");
      }
      token.kind = Token::Kind::Operator;
      token.text = op;
      at += op.size();
    }
    result.tokens.push_back(std::move(token));
  }
  Token end;
  end.column = text.size();
  result.tokens.push_back(end);
  return result;
}

} // namespace asl
