#include "assembly/intel_hex.h"

#include "translate/hex_text.h"

#include <algorithm>
#include <cstddef>

namespace assembly {

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

HexImage ReadIntelHex(std::string_view text, std::size_t most) {
  HexImage image;
  std::size_t base = 0; // from extended address records
  std::size_t lineNumber = 0;
  bool ended = false;
  while (!text.empty() && !ended) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.remove_suffix(1);
    }
    if (line.empty()) {
      continue;
    }
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    if (line.front() != ':' || line.size() < 11 || line.size() % 2 == 0) {
      image.error = where + "not an Intel HEX record";
      return image;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
      const int high = translate::HexDigitValue(line[i]);
      const int low = translate::HexDigitValue(line[i + 1]);
      if (high < 0 || low < 0) {
        image.error = where + "not hexadecimal";
        return image;
      }
      bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    std::uint8_t sum = 0;
    for (const std::uint8_t byte : bytes) {
      sum = static_cast<std::uint8_t>(sum + byte);
    }
    if (sum != 0) {
      image.error = where + "the checksum does not match";
      return image;
    }
    const std::size_t count = bytes[0];
    if (bytes.size() != count + 5) {
      image.error = where + "the record's length does not match its count";
      return image;
    }
    const std::size_t address = static_cast<std::size_t>(bytes[1] << 8 | bytes[2]);
    switch (bytes[3]) {
    case 0x00: {
      const std::size_t first = base + address;
      if (first + count > most) {
        image.error = where + "the data at " + translate::FormatHex(first) + " lies beyond the " +
                      std::to_string(most) + " bytes of program memory";
        return image;
      }
      if (image.bytes.size() < first + count) {
        image.bytes.resize(first + count, 0);
        image.filled.resize(first + count, false);
      }
      for (std::size_t i = 0; i < count; ++i) {
        image.bytes[first + i] = bytes[4 + i];
        image.filled[first + i] = true;
      }
      break;
    }
    case 0x01:
      ended = true;
      break;
    case 0x02:
    case 0x04:
      if (count != 2) {
        image.error = where + "an extended address record has two data bytes";
        return image;
      }
      base = static_cast<std::size_t>(bytes[4] << 8 | bytes[5]) * (bytes[3] == 0x02 ? 16 : 65536);
      break;
    case 0x03:
    case 0x05:
      break;
    default:
      image.error = where + "unknown record type " + translate::FormatHex(bytes[3], 2);
      return image;
    }
  }
  if (!ended) {
    image.error = "the end-of-file record is missing";
  }
  return image;
}

bool HasIntelHexName(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) {
    return false;
  }
  std::string extension(path.substr(dot + 1));
  for (char& c : extension) {
    c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return extension == "hex" || extension == "ihx";
}

std::string FilledRanges(const std::vector<bool>& filled) {
  std::string text;
  for (std::size_t at = 0; at < filled.size();) {
    if (!filled[at]) {
      ++at;
      continue;
    }
    std::size_t end = at;
    while (end + 1 < filled.size() && filled[end + 1]) {
      ++end;
    }
    text += (text.empty() ? "" : ", ") + translate::FormatHex(at) + "-" + translate::FormatHex(end);
    at = end + 1;
  }
  return text.empty() ? "nothing" : text;
}

} // namespace assembly
