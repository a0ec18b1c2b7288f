#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace cli {

// The image as Intel HEX: data records of at most 16 bytes from address 0 upward, then the
// end-of-file record; each record ends with a line feed.
[[nodiscard]] std::string IntelHex(std::span<const std::uint8_t> image);

} // namespace cli
