#include "asl_syntax/expression.h"

#include "asl_syntax/functions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <map>

namespace asl {

namespace {

using detail::Bits;
using detail::BuiltIns;
using detail::kTextFunctions;
using detail::ShiftLeft;
using detail::ShiftRight;
using detail::Signed;
using detail::Subtract;

// Deeper nesting than this of parentheses or function calls is refused rather than allowed to
// exhaust the stack.
constexpr int kMostDepth = 200;

// A user function's parameters, seen before the symbols of the same names.
class ParameterScope final : public Scope {
public:
  ParameterScope(Scope& outer, const Function& function, const std::vector<Value>& values)
      : outer_(outer), function_(function), values_(values) {}
  std::optional<Value> Symbol(const std::string& name) override {
    for (std::size_t i = 0; i < function_.parameters.size(); ++i) {
      if (function_.parameters[i] == name) {
        return values_[i];
      }
    }
    return outer_.Symbol(name);
  }
  std::int64_t Here() override { return outer_.Here(); }
  const Function* FindFunction(const std::string& name) override {
    return outer_.FindFunction(name);
  }

private:
  Scope& outer_;
  const Function& function_;
  const std::vector<Value>& values_;
};

// Recursive descent over the operator levels, loosest first:
//   comparisons = == <> != < > <= >=; !!; ||; &&; + - (and a leading unary - or +); * / #; ^;
//   !; |; &; ><; << >>; ~ ~~ (unary); operands.
class Parser {
public:
  Parser(std::span<const Token> tokens, Scope& scope, Evaluation& result, int depth)
      : tokens_(tokens), scope_(scope), result_(result), depth_(depth) {}

  Value Parse() {
    Value value = Comparison();
    if (Ok() && !AtEnd()) {
      Fail("unexpected \"" + Current().text + "\"");
    }
    return value;
  }

private:
  bool Ok() const { return result_.error.empty(); }
  bool AtEnd() const { return at_ >= tokens_.size() || tokens_[at_].kind == Token::Kind::End; }
  const Token& Current() const {
    static const Token kEnd;
    return AtEnd() ? kEnd : tokens_[at_];
  }
  bool Accept(std::string_view op) {
    if (!AtEnd() && tokens_[at_].kind == Token::Kind::Operator && tokens_[at_].text == op) {
      ++at_;
      return true;
    }
    return false;
  }
  Value Fail(std::string error) {
    if (result_.error.empty()) {
      result_.error = std::move(error);
    }
    return Value::Number(0);
  }
  std::int64_t Number(const Value& value) {
    if (value.isString) {
      return TextAsNumber(value.text);
    }
    return value.number;
  }

  // One binary level: `next` for the operands, `apply` for the operators of `ops`.
  template <typename Next, typename Apply>
  Value Level(std::initializer_list<std::string_view> ops, Next next, Apply apply) {
    Value left = (this->*next)();
    while (Ok()) {
      std::string_view matched;
      for (const std::string_view op : ops) {
        if (Accept(op)) {
          matched = op;
          break;
        }
      }
      if (matched.empty()) {
        break;
      }
      const Value right = (this->*next)();
      if (!Ok()) {
        break;
      }
      left = apply(matched, left, right);
    }
    return left;
  }

  Value Comparison() {
    return Level({"==", "=", "<>", "!=", "<=", ">=", "<", ">"}, &Parser::LogicalXor,
                 [this](std::string_view op, const Value& a, const Value& b) {
                   int order = 0;
                   if (a.isString && b.isString) {
                     order = a.text < b.text ? -1 : a.text == b.text ? 0 : 1;
                   } else {
                     const std::int64_t x = Number(a);
                     const std::int64_t y = Number(b);
                     order = x < y ? -1 : x == y ? 0 : 1;
                   }
                   bool holds = false;
                   if (op == "=" || op == "==") {
                     holds = order == 0;
                   } else if (op == "<>" || op == "!=") {
                     holds = order != 0;
                   } else if (op == "<") {
                     holds = order < 0;
                   } else if (op == ">") {
                     holds = order > 0;
                   } else if (op == "<=") {
                     holds = order <= 0;
                   } else {
                     holds = order >= 0;
                   }
                   return Value::Number(holds ? 1 : 0);
                 });
  }
  Value LogicalXor() {
    return Level({"!!"}, &Parser::LogicalOr,
                 [this](std::string_view, const Value& a, const Value& b) {
                   return Value::Number((Number(a) != 0) != (Number(b) != 0) ? 1 : 0);
                 });
  }
  Value LogicalOr() {
    return Level({"||"}, &Parser::LogicalAnd,
                 [this](std::string_view, const Value& a, const Value& b) {
                   return Value::Number(Number(a) != 0 || Number(b) != 0 ? 1 : 0);
                 });
  }
  Value LogicalAnd() {
    return Level({"&&"}, &Parser::Additive,
                 [this](std::string_view, const Value& a, const Value& b) {
                   return Value::Number(Number(a) != 0 && Number(b) != 0 ? 1 : 0);
                 });
  }
  // A leading sign applies to the whole first term: -a*b is -(a*b).
  Value Additive() {
    int sign = 0;
    if (Accept("-")) {
      sign = -1;
    } else if (Accept("+")) {
      sign = 1;
    }
    Value left = Multiplicative();
    if (sign == -1 && Ok()) {
      left = Value::Number(Signed(0 - Bits(Number(left))));
    }
    while (Ok()) {
      const bool plus = Accept("+");
      if (!plus && !Accept("-")) {
        break;
      }
      const Value right = Multiplicative();
      if (!Ok()) {
        break;
      }
      if (plus && left.isString && right.isString) {
        left = Value::String(left.text + right.text);
      } else {
        const std::uint64_t a = Bits(Number(left));
        const std::uint64_t b = Bits(Number(right));
        left = Value::Number(Signed(plus ? a + b : a - b));
      }
    }
    return left;
  }
  Value Multiplicative() {
    return Level({"*", "/", "#"}, &Parser::Power,
                 [this](std::string_view op, const Value& a, const Value& b) {
                   const std::int64_t x = Number(a);
                   const std::int64_t y = Number(b);
                   if (op == "*") {
                     return Value::Number(Signed(Bits(x) * Bits(y)));
                   }
                   if (y == 0) {
                     return Fail("division by zero");
                   }
                   if (y == -1) { // the one quotient that does not fit: wraps
                     return Value::Number(op == "/" ? Signed(0 - Bits(x)) : 0);
                   }
                   return Value::Number(op == "/" ? x / y : x % y);
                 });
  }
  Value Power() {
    return Level({"^"}, &Parser::Xor, [this](std::string_view, const Value& a, const Value& b) {
      std::int64_t exponent = Number(b);
      if (exponent < 0) {
        return Fail("a negative power");
      }
      std::uint64_t base = Bits(Number(a));
      std::uint64_t result = 1;
      while (exponent > 0) {
        if ((exponent & 1) != 0) {
          result *= base;
        }
        base *= base;
        exponent >>= 1;
      }
      return Value::Number(Signed(result));
    });
  }
  Value Xor() {
    return Level({"!"}, &Parser::Or, [this](std::string_view, const Value& a, const Value& b) {
      return Value::Number(Number(a) ^ Number(b));
    });
  }
  Value Or() {
    return Level({"|"}, &Parser::And, [this](std::string_view, const Value& a, const Value& b) {
      return Value::Number(Number(a) | Number(b));
    });
  }
  Value And() {
    return Level({"&"}, &Parser::Mirror, [this](std::string_view, const Value& a, const Value& b) {
      return Value::Number(Number(a) & Number(b));
    });
  }
  // x >< n mirrors the lowest n bits of x (1 to 32); the bits above them stay.
  Value Mirror() {
    return Level({"><"}, &Parser::Shift, [this](std::string_view, const Value& a, const Value& b) {
      const std::int64_t x = Number(a);
      const std::int64_t n = Number(b);
      if (n < 1 || n > 32) {
        return Fail("a bit mirror takes 1 to 32 bits, not " + std::to_string(n));
      }
      std::uint64_t mirrored = 0;
      for (std::int64_t bit = 0; bit < n; ++bit) {
        mirrored |= ((Bits(x) >> bit) & 1) << (n - 1 - bit);
      }
      const std::uint64_t low = (std::uint64_t{1} << n) - 1;
      return Value::Number(Signed((Bits(x) & ~low) | mirrored));
    });
  }
  Value Shift() {
    return Level({"<<", ">>"}, &Parser::Unary,
                 [this](std::string_view op, const Value& a, const Value& b) {
                   return Value::Number(op == "<<" ? ShiftLeft(Number(a), Number(b))
                                                   : ShiftRight(Number(a), Number(b)));
                 });
  }
  Value Unary() {
    const bool logical = Accept("~~");
    if (!logical && !Accept("~")) {
      return Operand();
    }
    if (++depth_ > kMostDepth) {
      return Fail("the expression nests more than " + std::to_string(kMostDepth) + " levels deep");
    }
    const std::int64_t operand = Number(Unary());
    --depth_;
    return Value::Number(logical ? (operand == 0 ? 1 : 0) : ~operand);
  }

  Value Operand() {
    if (AtEnd()) {
      return Fail("an operand is missing");
    }
    const Token& token = tokens_[at_++];
    switch (token.kind) {
    case Token::Kind::Number:
      return Value::Number(token.number);
    case Token::Kind::String:
      return Value::String(token.text);
    case Token::Kind::Character:
      return Value::Number(TextAsNumber(token.text));
    case Token::Kind::Name:
      if (Accept("(")) {
        return Call(token.text);
      }
      return Symbol(token.text);
    case Token::Kind::Operator:
      if (token.text == "$") {
        return Value::Number(scope_.Here());
      }
      if (token.text == "(") {
        if (++depth_ > kMostDepth) {
          return Fail("the expression nests more than " + std::to_string(kMostDepth) +
                      " levels deep");
        }
        Value inner = Comparison();
        --depth_;
        if (Ok() && !Accept(")")) {
          return Fail("a \")\" is missing");
        }
        return inner;
      }
      return Fail("unexpected \"" + token.text + "\"");
    case Token::Kind::End:
      break;
    }
    return Fail("an operand is missing");
  }

  Value Symbol(const std::string& name) {
    if (auto value = scope_.Symbol(name)) {
      return *value;
    }
    if (std::find(result_.undefined.begin(), result_.undefined.end(), name) ==
        result_.undefined.end()) {
      result_.undefined.push_back(name);
    }
    return Value::Number(0);
  }

  // The arguments of a call, after its "(": each evaluated once.
  std::vector<Value> Arguments() {
    std::vector<Value> values;
    if (Accept(")")) {
      return values;
    }
    for (;;) {
      values.push_back(Comparison());
      if (!Ok() || Accept(")")) {
        return values;
      }
      if (!Accept(",")) {
        Fail("a \")\" is missing");
        return values;
      }
    }
  }

  Value Call(const std::string& name) {
    if (++depth_ > kMostDepth) {
      return Fail("functions call each other more than " + std::to_string(kMostDepth) +
                  " levels deep");
    }
    const std::vector<Value> arguments = Arguments();
    Value result = Ok() ? Apply(name, arguments) : Value::Number(0);
    --depth_;
    return result;
  }

  Value Apply(const std::string& name, const std::vector<Value>& arguments) {
    // A user function may take the place of a built-in one.
    if (const Function* function = scope_.FindFunction(name)) {
      if (arguments.size() != function->parameters.size()) {
        return Fail("function " + name + " takes " + std::to_string(function->parameters.size()) +
                    " argument(s), not " + std::to_string(arguments.size()));
      }
      ParameterScope inner(scope_, *function, arguments);
      Parser body(function->body, inner, result_, depth_);
      return body.Parse();
    }
    if (std::find(kTextFunctions.begin(), kTextFunctions.end(), name) != kTextFunctions.end()) {
      return ApplyToText(name, arguments);
    }
    const auto builtIn = BuiltIns().find(name);
    if (builtIn == BuiltIns().end()) {
      return Fail("unknown function " + name);
    }
    if (arguments.size() != builtIn->second.arguments) {
      return Fail("function " + name + " takes " + std::to_string(builtIn->second.arguments) +
                  " argument(s), not " + std::to_string(arguments.size()));
    }
    std::vector<std::int64_t> numbers;
    for (const Value& argument : arguments) {
      numbers.push_back(Number(argument));
    }
    return Value::Number(builtIn->second.function(numbers));
  }

  // STRLEN(s), UPSTRING(s), LOWSTRING(s), SUBSTR(s, start, count), CHARFROMSTR(s, at),
  // STRSTR(s, t) and VAL(s); positions count from 0, and -1 stands for none.
  Value ApplyToText(const std::string& name, const std::vector<Value>& arguments) {
    const std::size_t wanted = name == "SUBSTR"                            ? 3
                               : name == "CHARFROMSTR" || name == "STRSTR" ? 2
                                                                           : 1;
    if (arguments.size() != wanted) {
      return Fail("function " + name + " takes " + std::to_string(wanted) + " argument(s), not " +
                  std::to_string(arguments.size()));
    }
    if (!arguments[0].isString || (name == "STRSTR" && !arguments[1].isString)) {
      return Fail("function " + name + " takes a string");
    }
    const std::string& text = arguments[0].text;
    if (name != "VAL") {
      const auto number = [this](const Value& value) { return Number(value); };
      return detail::ApplyTextFunction(name, arguments, number);
    }
    // VAL: the text read as an expression.
    const Tokens tokens = Tokenize(text);
    if (!tokens.error.empty()) {
      return Fail("VAL(\"" + text + "\"): " + tokens.error);
    }
    Parser inner(tokens.tokens, scope_, result_, depth_);
    return inner.Parse();
  }

  std::span<const Token> tokens_;
  std::size_t at_ = 0;
  Scope& scope_;
  Evaluation& result_;
  int depth_;
};

} // namespace

std::int64_t TextAsNumber(std::string_view text) {
  std::uint64_t value = 0;
  for (const char c : text) {
    value = (value << 8) | static_cast<unsigned char>(c);
  }
  return static_cast<std::int64_t>(value);
}

Evaluation Evaluate(std::span<const Token> tokens, Scope& scope) {
  Evaluation result;
  if (tokens.empty() || tokens.front().kind == Token::Kind::End) {
    result.error = "an expression is missing";
    return result;
  }
  // Most operands are a single number or name: they need no descent through the levels.
  const bool single = tokens.size() == 1 || tokens[1].kind == Token::Kind::End;
  if (single && tokens[0].kind == Token::Kind::Number) {
    result.value = Value::Number(tokens[0].number);
    return result;
  }
  if (single && tokens[0].kind == Token::Kind::Name) {
    if (auto value = scope.Symbol(tokens[0].text)) {
      result.value = std::move(*value);
    } else {
      result.undefined.push_back(tokens[0].text);
    }
    return result;
  }
  Parser parser(tokens, scope, result, 0);
  result.value = parser.Parse();
  if (!result.error.empty()) {
    result.value = Value::Number(0);
  }
  return result;
}

std::vector<std::span<const Token>> SplitAtCommas(std::span<const Token> tokens) {
  std::vector<std::span<const Token>> parts;
  if (tokens.empty() || tokens.front().kind == Token::Kind::End) {
    return parts;
  }
  int depth = 0;
  std::size_t start = 0;
  std::size_t end = 0;
  for (; end < tokens.size() && tokens[end].kind != Token::Kind::End; ++end) {
    const Token& token = tokens[end];
    if (token.kind != Token::Kind::Operator) {
      continue;
    }
    if (token.text == "(") {
      ++depth;
    } else if (token.text == ")") {
      --depth;
    } else if (token.text == "," && depth == 0) {
      parts.push_back(tokens.subspan(start, end - start));
      start = end + 1;
    }
  }
  parts.push_back(tokens.subspan(start, end - start));
  return parts;
}

} // namespace asl
