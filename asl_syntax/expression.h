#pragma once

#include "asl_syntax/lexer.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Expressions in the macro-assembler syntax: integers of 64 bits, two's complement, and
// strings; that assembler's operators and precedence; its built-in functions and user functions.
namespace asl {

struct Value {
  bool isString = false;
  std::int64_t number = 0;
  std::string text;

  static Value Number(std::int64_t n) { return {false, n, {}}; }
  static Value String(std::string s) { return {true, 0, std::move(s)}; }
  friend bool operator==(const Value&, const Value&) = default;
};

// `name function p1,p2,...,expression`: the parameters' values take their names' places.
struct Function {
  std::vector<std::string> parameters;
  std::vector<Token> body; // ends with an End token
};

// What an expression looks up.
class Scope {
public:
  virtual ~Scope() = default;
  // The value of the symbol `name` (upper case); nothing when it is not defined (yet).
  [[nodiscard]] virtual std::optional<Value> Symbol(const std::string& name) = 0;
  // The address of the current instruction, `$`.
  [[nodiscard]] virtual std::int64_t Here() = 0;
  // The user function `name`, or null.
  [[nodiscard]] virtual const Function* FindFunction(const std::string& name) = 0;
};

struct Evaluation {
  Value value;                        // 0 where a symbol was not defined
  std::string error;                  // what is wrong with the expression, or empty
  std::vector<std::string> undefined; // the symbols it used that are not defined (yet)
};

// The value of the expression in `tokens` (which need not end with an End token).
[[nodiscard]] Evaluation Evaluate(std::span<const Token> tokens, Scope& scope);

// The tokens split at the commas outside parentheses; an empty list for no tokens.
[[nodiscard]] std::vector<std::span<const Token>> SplitAtCommas(std::span<const Token> tokens);

// A text where a number is wanted: its characters' codes, the first one highest ("AB" is 4142H).
[[nodiscard]] std::int64_t TextAsNumber(std::string_view text);

} // namespace asl
