#pragma once

#include <string>
#include <string_view>

// Source files hold one character per byte, ISO-8859-1; the assembler works on UTF-8.
namespace translate {

// The bytes as UTF-8 text: one character per byte, zero bytes left out.
[[nodiscard]] std::string Latin1ToUtf8(std::string_view bytes);

// True when the bytes read the same as ISO-8859-1 and as UTF-8: ASCII without zero bytes.
[[nodiscard]] bool IsPlainAscii(std::string_view bytes);

} // namespace translate
