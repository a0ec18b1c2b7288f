#include "cli/intel_hex.h"

#include "translate/hex_text.h"

#include <algorithm>
#include <cstddef>

namespace cli {

namespace {

void AppendByte(std::string& out, std::uint8_t value, std::uint8_t& checksum) {
  out.push_back(translate::kHexDigits[value >> 4]);
  out.push_back(translate::kHexDigits[value & 0xF]);
  checksum = static_cast<std::uint8_t>(checksum + value);
}

void AppendRecord(std::string& out, std::uint16_t address, std::uint8_t type,
                  std::span<const std::uint8_t> data) {
  std::uint8_t checksum = 0;
  out.push_back(':');
  AppendByte(out, static_cast<std::uint8_t>(data.size()), checksum);
  AppendByte(out, static_cast<std::uint8_t>(address >> 8), checksum);
  AppendByte(out, static_cast<std::uint8_t>(address & 0xFF), checksum);
  AppendByte(out, type, checksum);
  for (std::uint8_t byte : data) {
    AppendByte(out, byte, checksum);
  }
  std::uint8_t ignored = 0;
  AppendByte(out, static_cast<std::uint8_t>(-checksum), ignored);
  out.push_back('\n');
}

constexpr std::size_t kRecordBytes = 16;
constexpr std::uint8_t kData = 0x00;
constexpr std::uint8_t kEndOfFile = 0x01;

} // namespace

std::string IntelHex(std::span<const std::uint8_t> image) {
  std::string out;
  // A program image is at most 8 KB (two banks of the 4040), so 16-bit record addresses always
  // suffice.
  for (std::size_t offset = 0; offset < image.size(); offset += kRecordBytes) {
    const std::size_t count = std::min(kRecordBytes, image.size() - offset);
    AppendRecord(out, static_cast<std::uint16_t>(offset), kData, image.subspan(offset, count));
  }
  AppendRecord(out, 0, kEndOfFile, {});
  return out;
}

std::string IntelHex(std::span<const std::uint8_t> image, const std::vector<bool>& written) {
  std::string out;
  const std::size_t size = std::min(image.size(), written.size());
  std::size_t address = 0;
  while (address < size) {
    if (!written[address]) {
      ++address;
      continue;
    }
    std::size_t end = address;
    while (end < size && end - address < kRecordBytes && written[end]) {
      ++end;
    }
    AppendRecord(out, static_cast<std::uint16_t>(address), kData,
                 image.subspan(address, end - address));
    address = end;
  }
  AppendRecord(out, 0, kEndOfFile, {});
  return out;
}

} // namespace cli
