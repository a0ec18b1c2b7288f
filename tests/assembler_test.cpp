#include "assembler_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using assembly::AssemblyOutcome;
using assembly::ProgramStore;
using assembly::SourceSelection;
using Bytes = AssemblerFixture::Bytes;

using Assembler = AssemblerFixture;

// Joins lines as the source area does: CR LF after every line.
std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line + "\r\n";
  }
  return text;
}

TEST_F(Assembler, WorkedExampleGivesTheExactListingAndImage) {
  const AssemblyOutcome outcome = Run(Lines({"JUN NEXT", "NOP", "NEXT:", "JZ NEXT"}));
  ASSERT_TRUE(outcome.Completed()) << outcome.Message;
  EXPECT_EQ(outcome.Listing, "000    40 03\r\n"
                             "002    00\r\n"
                             "003    14 03\r\n");
  EXPECT_EQ(Image(), (Bytes{0x40, 0x03, 0x00, 0x14, 0x03}));
  EXPECT_EQ(store->InstrPos, 2);
  EXPECT_EQ(store->LabelPos, 0);
  EXPECT_EQ(outcome.Line, 0u);
  EXPECT_FALSE(outcome.Selection);
}

TEST_F(Assembler, ListsOneLinePerInstructionWithThreeDigitAddresses) {
  std::vector<std::string> lines = {"; a comment", "", "START:", "FIM 0, 3F", "DATA A5"};
  for (int i = 0; i < 0x100; ++i) {
    lines.push_back("NOP");
  }
  lines.push_back("JMS START");
  const AssemblyOutcome outcome = Run(Lines(lines));
  ASSERT_TRUE(outcome.Completed()) << outcome.Message;
  const std::string& listing = *outcome.Listing;
  EXPECT_TRUE(listing.starts_with("000    20 3F\r\n"
                                  "002    A5\r\n"
                                  "003    00\r\n"));
  EXPECT_TRUE(listing.ends_with("102    00\r\n"
                                "103    50 00\r\n"));
  EXPECT_EQ(Image().size(), 2u + 1u + 0x100u + 2u);
}

TEST_F(Assembler, EmptySourceCompletesWithAnEmptyListing) {
  for (const std::string source : {"", "\r\n", "; nothing\r\n\r\n", "ONLY:\r\nLABELS:\r\n"}) {
    SCOPED_TRACE(source);
    const AssemblyOutcome outcome = Run(source);
    EXPECT_TRUE(outcome.Completed());
    EXPECT_EQ(outcome.Listing, "");
    EXPECT_EQ(store->InstrPos, -1);
    EXPECT_TRUE(Image().empty());
  }
  EXPECT_EQ(store->LabelPos, 1);
}

TEST_F(Assembler, LabelsTakeTheAddressOfTheNextInstruction) {
  const AssemblyOutcome outcome =
      Run(Lines({"FIRST:", "SAME:", "NOP", "NOP", "NOP", "NOP", "NOP", // NOPs at 0-4
                 "JUN FIRST",                                          // at 5, two bytes
                 "AFTERTWO:", "NOP",                                   // at 7
                 "AFTERONE:", "FIRST:",                                // a second FIRST
                 "JUN FIRST",                                          // first definition wins
                 "END:"}));
  ASSERT_TRUE(outcome.Completed()) << outcome.Message;
  const std::vector<assembly::LabelEntry> expected = {{"FIRST", "0"},    {"SAME", "0"},
                                                      {"AFTERTWO", "7"}, {"AFTERONE", "8"},
                                                      {"FIRST", "8"},    {"END", "10"}};
  ASSERT_EQ(store->LabelPos, 5);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(store->Labels[i], expected[i]) << "label " << i;
  }
  EXPECT_EQ(store->Instructions[7].Address, 8);
  EXPECT_EQ(Image(), (Bytes{0, 0, 0, 0, 0, 0x40, 0x00, 0, 0x40, 0x00}));
}

TEST_F(Assembler, EveryKindOfLineEndEndsALine) {
  const std::string expected = "000    40 03\r\n002    00\r\n003    14 03\r\n";
  const std::string sources[] = {
      "JUN NEXT\r\nNOP\r\nNEXT:\r\nJZ NEXT\r\n",
      "JUN NEXT\nNOP\nNEXT:\nJZ NEXT\n",
      "JUN NEXT\rNOP\rNEXT:\rJZ NEXT\r",
      "JUN NEXT\r\nNOP\nNEXT:\rJZ NEXT",
      // The last line counts without a line break after it.
      "JUN NEXT\r\nNOP\r\nNEXT:\r\nJZ NEXT",
  };
  for (const std::string& source : sources) {
    SCOPED_TRACE(testing::PrintToString(source));
    const AssemblyOutcome outcome = Run(source);
    ASSERT_TRUE(outcome.Completed()) << outcome.Message;
    EXPECT_EQ(outcome.Listing, expected);
  }
  // A line feed and a carriage return in that order are two line ends, so nothing is joined.
  const AssemblyOutcome outcome = Run("NOP\n\rBAD");
  EXPECT_EQ(outcome.Line, 3u);
}

TEST_F(Assembler, RejectedLineIsSelectedAndTheListingKept) {
  struct Case {
    std::string source;
    std::string message;
    SourceSelection selection;
    std::size_t line;
    std::string lineText;
  };
  const Case cases[] = {
      // The line's characters, never its line end: typing over the selection must not join the
      // line to the next one.
      {"BAD\r\nNOP\r\n", "Undefined instruction", {0, 3}, 1, "BAD"},
      {"NOP\r\nSRC 8 ; pair\r\nNOP\r\n", "Register out of range", {5, 12}, 2, "SRC 8 ; pair"},
      {"NOP\r\n\r\nJZ\r\n", "Label missing", {7, 2}, 3, "JZ"},
      {"NOP\nNOP\nFIM 1\n", "Data missing", {8, 5}, 3, "FIM 1"},
      {"NOP\rFIM 1, 100\rNOP", "Data out of range", {4, 10}, 2, "FIM 1, 100"},
      {"NOP\r\nFIM 1", "Data missing", {5, 5}, 2, "FIM 1"},
      // Characters outside ISO-8859-1 count as one character each.
      {"NOP ; \xE2\x82\xAC\r\nJMP X\r\n", "Undefined instruction", {9, 5}, 2, "JMP X"},
      {"; \xF0\x9F\x98\x80 caf\xC3\xA9\r\nBAD\r\n", "Undefined instruction", {10, 3}, 2, "BAD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.source));
    const AssemblyOutcome outcome = Run(c.source);
    EXPECT_EQ(outcome.Message, c.message);
    EXPECT_EQ(outcome.Selection, c.selection);
    EXPECT_EQ(outcome.Line, c.line);
    EXPECT_EQ(outcome.LineText, c.lineText);
    EXPECT_FALSE(outcome.Listing) << "the listing area keeps its text";
  }
  // The counters then count the entries stored before the rejected line.
  EXPECT_EQ(Run(Lines({"A:", "NOP", "JUN A", "B:", "BAD", "NOP"})).Line, 5u);
  EXPECT_EQ(store->InstrPos, 2);
  EXPECT_EQ(store->LabelPos, 2);
}

TEST_F(Assembler, SecondPassErrorsKeepTheListingOfTheRecordsBefore) {
  struct Case {
    std::vector<std::string> lines;
    std::string message;
    std::string listing;
    std::size_t line;
  };
  const Case cases[] = {
      {{"NOP", "JUN THERE", "NOP"}, "Undefined Label", "000    00\r\n", 2},
      // Names are compared exactly; the parser upper-cases both sides.
      {{"NOP", "here:", "JZ HERE", "JZ HERE2"},
       "Undefined Label",
       "000    00\r\n001    14 01\r\n",
       4},
  };
  for (const Case& c : cases) {
    const AssemblyOutcome outcome = Run(Lines(c.lines));
    EXPECT_EQ(outcome.Message, c.message);
    EXPECT_EQ(outcome.Listing, c.listing);
    EXPECT_EQ(outcome.Line, c.line);
    EXPECT_EQ(outcome.LineText, c.lines[c.line - 1]);
    EXPECT_FALSE(outcome.Selection) << "a second-pass error selects nothing";
  }
  // Records before the failing one are resolved; the counters are last indexes.
  EXPECT_EQ(store->InstrPos, 2);
  EXPECT_EQ(store->Instructions[1].Byte2, 1);
}

// Source with `instruction` at `at` and the label L at `target`, padded with DATA bytes.
std::string Placed(const std::string& instruction, int at, int target) {
  std::string source;
  int address = 0;
  const auto padTo = [&](int end) {
    for (; address < end; ++address) {
      source += "DATA 00\r\n";
    }
  };
  if (target <= at) {
    padTo(target);
    source += "L:\r\n";
  }
  padTo(at);
  source += instruction + "\r\n";
  address += 2;
  if (target > at) {
    padTo(target);
    source += "L:\r\n";
  }
  return source;
}

TEST_F(Assembler, BlockLocalJumpsStayInTheBlockOfTheAddressAfterThem) {
  struct Case {
    std::string instruction;
    int at;
    int target;
    std::string message; // empty: resolved
    int byte1;
    int byte2;
  };
  const Case cases[] = {
      {"JZ L", 0x0FD, 0x0C8, "", 0x14, 0xC8},
      {"JZ L", 0x0FD, 0x100, "Address out of block", 0, 0},
      // Both bytes fetched, the program counter is already in the next block.
      {"JZ L", 0x0FE, 0x100, "", 0x14, 0x00},
      {"JZ L", 0x0FE, 0x0C8, "Address out of block", 0, 0},
      {"JNC L", 0x0FF, 0x101, "", 0x1A, 0x01},
      {"JNC L", 0x0FF, 0x0FE, "Address out of block", 0, 0},
      {"ISZ 3, L", 0x0FE, 0x1FF, "", 0x73, 0xFF},
      {"ISZ 3, L", 0x0FE, 0x0FE, "Address out of block", 0, 0},
      {"JT L", 0x1F0, 0x100, "", 0x11, 0x00},
      {"JT L", 0x1F0, 0x0FF, "Address out of block", 0, 0},
      // FIM's second byte is data: the first byte's block counts.
      {"FIM 1, [L]", 0x0FE, 0x0C8, "", 0x22, 0xC8},
      {"FIM 1, [L]", 0x0FE, 0x100, "Address out of block", 0, 0},
      {"FIM 1, [L]", 0x100, 0x1FF, "", 0x22, 0xFF},
      // Full addresses: the high four bits go into the opcode.
      {"JUN L", 0x0FE, 0x102, "", 0x41, 0x02},
      {"JMS L", 0x005, 0x003, "", 0x50, 0x03},
      {"JUN L", 0x000, 0x3A5, "", 0x43, 0xA5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.instruction + " at " + std::to_string(c.at) + " to " + std::to_string(c.target));
    const AssemblyOutcome outcome = Run(Placed(c.instruction, c.at, c.target));
    EXPECT_EQ(outcome.Message, c.message);
    if (c.message.empty()) {
      const Bytes image = Image();
      ASSERT_GT(image.size(), static_cast<std::size_t>(c.at + 1));
      EXPECT_EQ(image[c.at], c.byte1);
      EXPECT_EQ(image[c.at + 1], c.byte2);
    } else {
      EXPECT_EQ(outcome.Listing->size(), static_cast<std::size_t>(c.at) * 11)
          << "the DATA lines before the jump are listed";
    }
  }
}

TEST_F(Assembler, CharactersOutsideLatin1ChangeNothing) {
  const AssemblyOutcome plain = Run(Lines({"LOOP:", "JZ LOOP ; wait", "FIM 1, [LOOP]"}));
  const AssemblyOutcome euro =
      Run(Lines({"LOOP: ; \xE2\x82\xAC", "JZ LOOP ; \xE2\x82\xAC\xE4\xB8\xAD", "FIM 1, [LOOP]"}));
  ASSERT_TRUE(plain.Completed());
  EXPECT_EQ(euro.Message, plain.Message);
  EXPECT_EQ(euro.Listing, plain.Listing);
  // Labels made of such characters are told apart like any others.
  EXPECT_TRUE(Run(Lines({"\xE2\x82\xAC:", "JUN \xE2\x82\xAC"})).Completed());
  EXPECT_EQ(Run(Lines({"\xE2\x82\xAC:", "JUN \xC2\xA5"})).Message, "Undefined Label");
}

} // namespace
