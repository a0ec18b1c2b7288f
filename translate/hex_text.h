#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace translate {

// The hexadecimal digits, upper case, by value.
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value of hexadecimal digit `c` (0-9, A-F, a-f), or -1 for any other character.
[[nodiscard]] int HexDigitValue(char c);

// `value` in upper-case hexadecimal without leading zeros, padded to at least `width` digits:
// for addresses and values of any size in messages ("0F0", "1FFF", "12345").
[[nodiscard]] std::string FormatHex(std::uint64_t value, int width = 3);

// Value of the run of hexadecimal digits (0-9, A-F, a-f) at the start of `text`; 0 when the
// run is empty. Runs worth more than 0xFFFFFFFF saturate there, so any length of run can be
// judged by its value without overflow.
[[nodiscard]] std::uint32_t HexRunValue(std::string_view text);

// Hexadecimal text to a 16-bit number: the leading digit run, or 0 when that run is empty or
// worth more than 7FFF. Never fails.
[[nodiscard]] std::int16_t HexToInt(std::string_view text);

// Writes `value` in upper-case hexadecimal without leading zeros, zero-padded to at least `width`
// (at most 4) digits, at `out`; returns the end of what it wrote. A negative value is written as
// the four digits of its 16-bit two's complement.
inline char* WriteHex(char* out, std::int16_t value, int width) {
  const auto bits = static_cast<std::uint16_t>(value);
  const int digits = bits >= 0x1000 ? 4 : bits >= 0x100 ? 3 : bits >= 0x10 ? 2 : 1;
  const int length = digits > width ? digits : width > 4 ? 4 : width;
  // Padding digits are the value's zero high nibbles.
  for (int i = 0; i < length; ++i) {
    out[length - 1 - i] = kHexDigits[(bits >> (4 * i)) & 0xF];
  }
  return out + length;
}

// Appends `value` as `WriteHex` writes it.
void AppendHex(std::string& out, std::int16_t value, int width);

// Three-digit (at least) address text, as in the listing's first column.
[[nodiscard]] std::string FormatAddress(std::int16_t value);

// Two-digit (at least) byte text, as in the listing's byte columns.
[[nodiscard]] std::string FormatByte(std::int16_t value);

} // namespace translate
