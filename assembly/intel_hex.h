#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Images as Intel HEX, the text format EPROM programmers and published firmware use: written
// from an image, and read back into one.
namespace assembly {

// The image as Intel HEX: data records of at most 16 bytes from address 0 upward, then the
// end-of-file record; each record ends with a line feed.
[[nodiscard]] std::string IntelHex(std::span<const std::uint8_t> image);

// Only the bytes of `image` whose `written` flag is set: each run of written bytes in records of
// at most 16, so the gaps an EPROM programmer should leave alone stay out of the file.
[[nodiscard]] std::string IntelHex(std::span<const std::uint8_t> image,
                                   const std::vector<bool>& written);

// An image read from Intel HEX: the bytes from 000 to the last one a record gives, the others
// 00; which addresses the records filled; or what is wrong with the text.
struct HexImage {
  std::vector<std::uint8_t> bytes;
  std::vector<bool> filled;
  std::string error; // empty when the text was read
};

// Reads data (00) and end-of-file (01) records; extended address records (02, 04) are taken
// where they keep the addresses within `most` bytes, and start address records (03, 05) are
// passed over. Each record's checksum is checked.
[[nodiscard]] HexImage ReadIntelHex(std::string_view text, std::size_t most);

// True for the names of Intel HEX files: .hex and .ihx, in any case.
[[nodiscard]] bool HasIntelHexName(std::string_view path);

// "000-3FF, 800-8FF": the runs of addresses that are filled.
[[nodiscard]] std::string FilledRanges(const std::vector<bool>& filled);

} // namespace assembly
