#include "translate/latin1.h"

#include <cstdint>
#include <cstring>

namespace translate {

std::string Latin1ToUtf8(std::string_view bytes) {
  // Sized once: a byte from 80 up takes two bytes of UTF-8, a zero byte none.
  std::size_t size = 0;
  for (const char c : bytes) {
    const auto code = static_cast<unsigned char>(c);
    size += code == 0 ? 0 : code < 0x80 ? 1 : 2;
  }
  std::string text(size, '\0');
  char* out = text.data();
  for (const char c : bytes) {
    const auto code = static_cast<unsigned char>(c);
    if (code >= 0x80) {
      *out++ = static_cast<char>(0xC0 | (code >> 6));
      *out++ = static_cast<char>(0x80 | (code & 0x3F));
    } else if (code != 0) {
      *out++ = c;
    }
  }
  return text;
}

// It runs over every byte of the source, so it looks at eight bytes at a time and has no branch
// in its loop, which lets the compiler use vector instructions.
bool IsPlainAscii(std::string_view bytes) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  const std::size_t words = bytes.size() / 8;
  // A byte from 80 up sets its high bit; a zero byte sets it in `word - kOnes` but not in
  // `word`.
  std::uint64_t found = 0;
  for (std::size_t i = 0; i < words; ++i) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + 8 * i, 8);
    found |= word | (word - kOnes);
  }
  for (std::size_t i = 8 * words; i < bytes.size(); ++i) {
    const auto code = static_cast<unsigned char>(bytes[i]);
    found |= code == 0 ? 0x80u : code;
  }
  return (found & kHighBits) == 0;
}

} // namespace translate
