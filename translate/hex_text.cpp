#include "translate/hex_text.h"

#include <limits>

namespace translate {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  return -1;
}

std::string FormatHex(std::uint64_t value, int width) {
  std::string text;
  do {
    text.insert(text.begin(), kHexDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(text.size()) < width) {
    text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
  }
  return text;
}

std::uint32_t HexRunValue(std::string_view text) {
  constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) {
      break;
    }
    value = value > (kMax >> 4) ? kMax : (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::int16_t HexToInt(std::string_view text) {
  const std::uint32_t value = HexRunValue(text);
  return value <= 0x7FFF ? static_cast<std::int16_t>(value) : std::int16_t{0};
}

void AppendHex(std::string& out, std::int16_t value, int width) {
  char text[4];
  out.append(text, static_cast<std::size_t>(WriteHex(text, value, width) - text));
}

std::string FormatAddress(std::int16_t value) {
  std::string text;
  AppendHex(text, value, 3);
  return text;
}

std::string FormatByte(std::int16_t value) {
  std::string text;
  AppendHex(text, value, 2);
  return text;
}

} // namespace translate
