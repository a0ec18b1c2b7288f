#pragma once

#include "asl_syntax/expression.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// The arithmetic of expressions in the macro-assembler syntax, and its built-in functions on
// numbers: lo and hi, the bit functions of that assembler's bitfuncs.inc with the definitions
// given there, and its integer functions.
namespace asl::detail {

[[nodiscard]] inline std::uint64_t Bits(std::int64_t n) { return static_cast<std::uint64_t>(n); }
[[nodiscard]] inline std::int64_t Signed(std::uint64_t n) { return static_cast<std::int64_t>(n); }

// Shifts as that assembler's 64-bit arithmetic does: the count taken modulo 64, right shifts
// keeping the sign.
[[nodiscard]] inline std::int64_t ShiftLeft(std::int64_t x, std::int64_t count) {
  return Signed(Bits(x) << (count & 63));
}
[[nodiscard]] inline std::int64_t ShiftRight(std::int64_t x, std::int64_t count) {
  const int n = static_cast<int>(count & 63);
  return x < 0 ? Signed(~(~Bits(x) >> n)) : Signed(Bits(x) >> n);
}

// Wrapping arithmetic, as two's complement registers do: never undefined, whatever the values.
[[nodiscard]] inline std::int64_t Subtract(std::int64_t a, std::int64_t b) {
  return Signed(Bits(a) - Bits(b));
}

using BuiltIn = std::int64_t (*)(const std::vector<std::int64_t>&);
struct BuiltInFunction {
  std::size_t arguments;
  BuiltIn function;
};
// The built-in functions on numbers, by name (upper case).
[[nodiscard]] const std::map<std::string, BuiltInFunction, std::less<>>& BuiltIns();

// The built-in functions on strings: STRLEN(s), UPSTRING(s), LOWSTRING(s), SUBSTR(s, start,
// count), CHARFROMSTR(s, at), STRSTR(s, t) and VAL(s), which the expression parser carries out
// itself; positions count from 0, and -1 stands for none.
inline constexpr std::array<std::string_view, 7> kTextFunctions{
    "STRLEN", "UPSTRING", "LOWSTRING", "SUBSTR", "CHARFROMSTR", "STRSTR", "VAL"};

// The value of text function `name` (not VAL) on `arguments`, whose count and first string the
// caller has checked; `number` turns an argument into a number.
[[nodiscard]] Value ApplyTextFunction(std::string_view name, const std::vector<Value>& arguments,
                                      const std::function<std::int64_t(const Value&)>& number);

} // namespace asl::detail
