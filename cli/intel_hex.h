#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace cli {

// The image as Intel HEX: data records of at most 16 bytes from address 0 upward, then the
// end-of-file record; each record ends with a line feed.
[[nodiscard]] std::string IntelHex(std::span<const std::uint8_t> image);

// Only the bytes of `image` whose `written` flag is set: each run of written bytes in records of
// at most 16, so the gaps an EPROM programmer should leave alone stay out of the file.
[[nodiscard]] std::string IntelHex(std::span<const std::uint8_t> image,
                                   const std::vector<bool>& written);

} // namespace cli
