#include "asl_syntax/functions.h"

#include <algorithm>
#include <bit>
#include <cctype>

namespace asl::detail {

namespace {

// `bits` ones from bit `start` upward.
std::int64_t Mask(std::int64_t start, std::int64_t bits) {
  return ShiftLeft(Subtract(ShiftLeft(1, bits), 1), start);
}

std::int64_t ShiftLeftN(std::int64_t x, std::int64_t size, std::int64_t n) {
  return ShiftLeft(x, n) & Mask(0, size);
}
std::int64_t ShiftRightN(std::int64_t x, std::int64_t size, std::int64_t n) {
  return ShiftRight(x, n) & Mask(0, Subtract(size, n));
}

// The number of the lowest (or highest) bit that is set; -1 for none.
std::int64_t FirstBit(std::int64_t x) {
  for (int bit = 0; bit < 64; ++bit) {
    if (((Bits(x) >> bit) & 1) != 0) {
      return bit;
    }
  }
  return -1;
}
std::int64_t LastBit(std::int64_t x) {
  for (int bit = 63; bit >= 0; --bit) {
    if (((Bits(x) >> bit) & 1) != 0) {
      return bit;
    }
  }
  return -1;
}

} // namespace

const std::map<std::string, BuiltInFunction, std::less<>>& BuiltIns() {
  static const std::map<std::string, BuiltInFunction, std::less<>> functions{
      {"LO", {1, [](const auto& a) { return a[0] & 255; }}},
      {"HI", {1, [](const auto& a) { return ShiftRight(a[0], 8) & 255; }}},
      {"MASK", {2, [](const auto& a) { return Mask(a[0], a[1]); }}},
      {"INVMASK", {2, [](const auto& a) { return ~Mask(a[0], a[1]); }}},
      {"CUTOUT", {3, [](const auto& a) { return a[0] & Mask(a[1], a[2]); }}},
      {"HIWORD", {1, [](const auto& a) { return ShiftRight(a[0], 16) & 65535; }}},
      {"LOWORD", {1, [](const auto& a) { return a[0] & 65535; }}},
      {"ODD", {1, [](const auto& a) { return std::int64_t{(a[0] & 1) == 1}; }}},
      {"EVEN", {1, [](const auto& a) { return std::int64_t{(a[0] & 1) == 0}; }}},
      {"GETBIT", {2, [](const auto& a) { return ShiftRight(a[0], a[1]) & 1; }}},
      {"SHLN", {3, [](const auto& a) { return ShiftLeftN(a[0], a[1], a[2]); }}},
      {"SHRN", {3, [](const auto& a) { return ShiftRightN(a[0], a[1], a[2]); }}},
      {"ROTLN",
       {3,
        [](const auto& a) {
          return (a[0] & Mask(a[1], Subtract(32, a[1]))) | ShiftLeftN(a[0], a[1], a[2]) |
                 ShiftRightN(a[0], a[1], Subtract(a[1], a[2]));
        }}},
      {"ROTRN",
       {3,
        [](const auto& a) {
          return (a[0] & Mask(a[1], Subtract(32, a[1]))) | ShiftRightN(a[0], a[1], a[2]) |
                 ShiftLeftN(a[0], a[1], Subtract(a[1], a[2]));
        }}},
      {"ABS", {1, [](const auto& a) { return a[0] < 0 ? Subtract(0, a[0]) : a[0]; }}},
      {"SGN", {1, [](const auto& a) { return std::int64_t{a[0] > 0} - std::int64_t{a[0] < 0}; }}},
      {"INT", {1, [](const auto& a) { return a[0]; }}},
      {"BITCNT", {1, [](const auto& a) { return std::int64_t{std::popcount(Bits(a[0]))}; }}},
      {"FIRSTBIT", {1, [](const auto& a) { return FirstBit(a[0]); }}},
      {"LASTBIT", {1, [](const auto& a) { return LastBit(a[0]); }}},
  };
  return functions;
}

Value ApplyTextFunction(std::string_view name, const std::vector<Value>& arguments,
                        const std::function<std::int64_t(const Value&)>& number) {
  const std::string& text = arguments[0].text;
  const auto size = static_cast<std::int64_t>(text.size());
  if (name == "STRLEN") {
    return Value::Number(size);
  }
  if (name == "UPSTRING" || name == "LOWSTRING") {
    std::string changed = text;
    for (char& c : changed) {
      const auto u = static_cast<unsigned char>(c);
      c = static_cast<char>(name == "UPSTRING" ? std::toupper(u) : std::tolower(u));
    }
    return Value::String(std::move(changed));
  }
  if (name == "SUBSTR") {
    const std::int64_t start = std::clamp<std::int64_t>(number(arguments[1]), 0, size);
    const std::int64_t count = std::clamp<std::int64_t>(number(arguments[2]), 0, size - start);
    return Value::String(
        text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(count)));
  }
  if (name == "CHARFROMSTR") {
    const std::int64_t at = number(arguments[1]);
    return Value::Number(
        at >= 0 && at < size ? static_cast<unsigned char>(text[static_cast<std::size_t>(at)]) : -1);
  }
  // STRSTR
  const std::size_t found = text.find(arguments[1].text);
  return Value::Number(found == std::string::npos ? -1 : static_cast<std::int64_t>(found));
}

} // namespace asl::detail
