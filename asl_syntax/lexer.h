#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The words of a line in the macro-assembler syntax that published 4004 sources are written in:
// names, numbers, strings, character constants and operators.
namespace asl {

struct Token {
  enum class Kind : std::uint8_t {
    Name,      // a symbol, mnemonic or directive; `text` is upper case
    Number,    // `number` holds its value
    String,    // "..." with its escapes resolved in `text`
    Character, // '...' with its escapes resolved in `text`
    Operator,  // `text` is the operator: + - * / # ~ ~~ << >> >< & | ! ^ && || !! = == <> != <
               // > <= >= ( ) , $
    End,
  };
  Kind kind = Kind::End;
  std::string text;
  std::int64_t number = 0;
  std::size_t column = 0; // of the token's first character, 0-based

  friend bool operator==(const Token&, const Token&) = default;
};

struct Tokens {
  std::vector<Token> tokens; // ends with an End token
  std::string error;         // empty when the line could be read
};

// The tokens of `text` (a line without its comment, or an operand). Numbers are decimal, or end
// in H (hexadecimal, starting with a digit), B (binary), O or Q (octal); names start with a
// letter, `_`, `.` or `@`.
[[nodiscard]] Tokens Tokenize(std::string_view text);

// Where the comment of `line` begins (a `;` outside strings and character constants), or the
// line's length.
[[nodiscard]] std::size_t CommentStart(std::string_view line);

// Upper case of the ASCII letters of `text`: names are matched in any case.
[[nodiscard]] std::string Upper(std::string_view text);

// True for a character that may continue a name.
[[nodiscard]] constexpr bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.' || c == '@';
}

// True for a character that may begin a name.
[[nodiscard]] constexpr bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '.' || c == '@';
}

} // namespace asl
