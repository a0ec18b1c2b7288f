#include "translate/hex_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using translate::FormatAddress;
using translate::FormatByte;
using translate::HexRunValue;
using translate::HexToInt;

TEST(HexToInt, ReadsTheLeadingDigitRunAndGivesZeroForWhatItCannotRead) {
  struct Case {
    const char* text;
    std::int16_t value;
  };
  const Case cases[] = {
      {"", 0},
      {"G", 0},
      {"TABLE", 0},
      {"A", 10},
      {"a", 10},
      {"1G", 1},
      {"FF", 255},
      {"ff", 255},
      {"100", 256},
      {"0042", 0x42},
      {"7FFF", 32767},
      {"8000", 0},
      {"FFFF", 0},
      {"10000", 0},
      {"7FFFZ", 32767},
      {"-1", 0},
      {"0x10", 0},
      {" 5", 0},
      {"00000000000000000000007", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(HexToInt(c.text), c.value);
  }
}

TEST(HexRunValue, SaturatesInsteadOfWrappingForLongRuns) {
  EXPECT_EQ(HexRunValue("FFFFFFFF"), 0xFFFFFFFFu);
  // Twenty digits: must not wrap round to a small value.
  EXPECT_EQ(HexRunValue("10000000000000000000"), 0xFFFFFFFFu);
  EXPECT_EQ(HexRunValue("100000001"), 0xFFFFFFFFu);
  EXPECT_EQ(HexRunValue("0000000000000000000000FF"), 0xFFu);
}

TEST(HexFormat, PadsToThreeAndTwoDigitsAndWritesNegativesAsFourDigits) {
  struct Case {
    std::int16_t value;
    const char* address;
    const char* byte;
  };
  const Case cases[] = {
      {0, "000", "00"},         {5, "005", "05"},        {10, "00A", "0A"},
      {31, "01F", "1F"},        {171, "0AB", "AB"},      {255, "0FF", "FF"},
      {291, "123", "123"},      {427, "1AB", "1AB"},     {4095, "FFF", "FFF"},
      {4096, "1000", "1000"},   {32767, "7FFF", "7FFF"}, {-1, "FFFF", "FFFF"},
      {-32768, "8000", "8000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(FormatAddress(c.value), c.address);
    EXPECT_EQ(FormatByte(c.value), c.byte);
  }
  // Values of any size, for messages, are written whole.
  EXPECT_EQ(translate::FormatHex(0xF0), "0F0");
  EXPECT_EQ(translate::FormatHex(0x12345), "12345");
  EXPECT_EQ(translate::FormatHex(0xFFFFFFFFFFFFFFFFull), "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(translate::FormatHex(7, 2), "07");
}

} // namespace
