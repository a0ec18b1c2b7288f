#include "assembler_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The assembler at and past every limit of its tables and its input.
namespace {

using assembly::AssemblyOutcome;
using assembly::ProgramStore;
using assembly::SourceSelection;
using Bytes = AssemblerFixture::Bytes;

using Limits = AssemblerFixture;

// `count` copies of `line`, each ended by CR LF.
std::string Repeat(const std::string& line, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += line;
    text += "\r\n";
  }
  return text;
}

TEST_F(Limits, AProgramFillsTheWholeProgramMemory) {
  // 4096 one-byte instructions, 000-FFF.
  AssemblyOutcome outcome = Run(Repeat("NOP", 4096));
  ASSERT_TRUE(outcome.Completed()) << outcome.Message;
  EXPECT_EQ(store->InstrPos, 4095);
  EXPECT_EQ(Image(), Bytes(4096, 0x00));
  EXPECT_TRUE(outcome.Listing->ends_with("FFF    00\r\n"));

  // The 4097th does not fit: stopped at its line, which is selected; the listing is kept.
  outcome = Run(Repeat("NOP", 4096) + "LDM 1\r\nNOP\r\n");
  EXPECT_EQ(outcome.Message, "Too many instructions");
  EXPECT_EQ(outcome.Line, 4097u);
  EXPECT_EQ(outcome.Selection, (SourceSelection{4096 * 5, 5}));
  EXPECT_FALSE(outcome.Listing);
  EXPECT_EQ(store->InstrPos, 4096);

  // A two-byte instruction at FFE fits; at FFF its second byte would lie past the end.
  outcome = Run(Repeat("NOP", 4094) + "FIM 0, AB\r\n");
  ASSERT_TRUE(outcome.Completed()) << outcome.Message;
  EXPECT_TRUE(outcome.Listing->ends_with("FFE    20 AB\r\n"));
  EXPECT_EQ(Run(Repeat("NOP", 4095) + "FIM 0, AB\r\n").Message, "Too many instructions");
  // 2048 jumps fill it too.
  outcome = Run("L:\r\n" + Repeat("JUN L", 2048));
  ASSERT_TRUE(outcome.Completed()) << outcome.Message;
  EXPECT_EQ(Image().size(), 4096u);
}

// After FFF the program counter goes on at 000, so a jump within a block at FFE reaches block
// 000-0FF, not F00-FFF.
TEST_F(Limits, AJumpAtTheTopOfMemoryReachesBlockZero) {
  struct Case {
    std::string jump;
    std::string target;
    std::string message;
    std::string lastLine;
  };
  const Case cases[] = {
      {"JNZ LOW", "LOW", "", "FFE    1C 05\r\n"},
      {"ISZ 3, LOW", "LOW", "", "FFE    73 05\r\n"},
      {"JNZ HIGH", "HIGH", "Address out of block", "FFD    00\r\n"},
      {"ISZ 3, HIGH", "HIGH", "Address out of block", "FFD    00\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jump);
    // LOW at 005, HIGH at F00.
    const std::string source = Repeat("NOP", 5) + "LOW:\r\n" + Repeat("NOP", 0xF00 - 5) +
                               "HIGH:\r\n" + Repeat("NOP", 0xFE) + c.jump + "\r\n";
    const AssemblyOutcome outcome = Run(source);
    EXPECT_EQ(outcome.Message, c.message);
    EXPECT_TRUE(outcome.Listing->ends_with(c.lastLine));
  }
}

// A label after the last byte of a full memory gets 1000, an address that does not exist: no
// instruction can take it.
TEST_F(Limits, ALabelAfterAFullMemoryCannotBeReached) {
  for (const std::string jump : {"JUN END", "JMS END", "JZ END", "ISZ 1, END", "FIM 0, [END]"}) {
    SCOPED_TRACE(jump);
    const std::string source = jump + "\r\n" + Repeat("NOP", 4094) + "END:\r\n";
    const AssemblyOutcome outcome = Run(source);
    EXPECT_EQ(outcome.Message, "Address out of block");
    EXPECT_EQ(store->Labels[0], (assembly::LabelEntry{"END", "4096"}));
    EXPECT_EQ(outcome.Listing, "") << "the first instruction failed";
  }
}

TEST_F(Limits, LabelsNameEveryAddressAndMore) {
  // A label at every address and one after the end: 4097.
  std::string source;
  for (int i = 0; i < 4096; ++i) {
    source.append("A").append(std::to_string(i)).append(":\r\nNOP\r\n");
  }
  source += "END:\r\n";
  AssemblyOutcome outcome = Run(source);
  ASSERT_TRUE(outcome.Completed()) << outcome.Message;
  EXPECT_EQ(store->LabelPos, 4096);
  EXPECT_EQ(store->Labels[4095], (assembly::LabelEntry{"A4095", "4095"}));

  // The table holds 8192 definitions; the 8193rd is refused at its line.
  const std::string full = Repeat("L:", 8192);
  ASSERT_TRUE(Run(full + "NOP\r\n").Completed());
  EXPECT_EQ(store->LabelPos, 8191);
  outcome = Run(full + "EXTRA:\r\nNOP\r\n");
  EXPECT_EQ(outcome.Message, "Too many labels");
  EXPECT_EQ(outcome.Line, 8193u);
  EXPECT_EQ(store->LabelPos, 8192);
}

TEST_F(Limits, LongLinesAndLargeSourcesAssemble) {
  const std::string longName(100000, 'Q');
  const std::string longComment = "; " + std::string(100000, 'x');
  std::string source = "JUN " + longName + "\r\n";
  while (source.size() < (1u << 20)) {
    source += "NOP " + longComment + "\r\n";
  }
  source += longName + ":\r\nDATA 7E " + longComment;
  ASSERT_GE(source.size(), 1u << 20);
  const AssemblyOutcome outcome = Run(source);
  ASSERT_TRUE(outcome.Completed()) << outcome.Message;
  const std::size_t nops = store->InstrPos - 1;
  const Bytes image = Image();
  ASSERT_EQ(image.size(), nops + 3);
  EXPECT_EQ(image[0], 0x40);
  EXPECT_EQ(image[1], nops + 2);
  EXPECT_EQ(image.back(), 0x7E);

  // A rejected line deep in a large source is found and selected.
  const AssemblyOutcome rejected = Run(source + "\r\nBAD");
  EXPECT_EQ(rejected.Message, "Undefined instruction");
  EXPECT_EQ(rejected.Selection, (SourceSelection{source.size() + 2, 3}));
}

TEST_F(Limits, NothingIsWrittenPastTheTables) {
  // Fill both tables, then overflow each: the tables keep their size and their last entries.
  const std::string source = Repeat("L:", 8192) + Repeat("FIM 7, FF", 2048);
  ASSERT_TRUE(Run(source).Completed());
  const assembly::LabelEntry lastLabel = store->Labels.back();
  const translate::AsmLine lastInstruction = store->Instructions.back();

  EXPECT_EQ(Run("EXTRA:\r\n" + source).Message, "Too many labels");
  EXPECT_EQ(store->LabelPos, 8192);
  EXPECT_EQ(Run(source + "DATA 01\r\nDATA 02\r\n").Message, "Too many instructions");
  EXPECT_EQ(store->InstrPos, 2048);
  ASSERT_EQ(store->Labels.size(), 8192u);
  ASSERT_EQ(store->Instructions.size(), 2048u);
  EXPECT_EQ(store->Labels.back(), lastLabel);
  EXPECT_EQ(store->Instructions.back(), lastInstruction);
  EXPECT_EQ(Image().size(), 4096u) << "the image never reads past the stored records";
}

TEST_F(Limits, ALongerThenAShorterProgramLeavesNoStaleRecord) {
  const std::string longer = Repeat("JUN END", 2047) + "END:\r\n";
  ASSERT_TRUE(Run(longer).Completed());
  // A rejected shorter run, then a completed one: only the short program is listed and saved.
  EXPECT_EQ(Run("LDM 1\r\nLDM 2\r\nBAD\r\n").Message, "Undefined instruction");
  const AssemblyOutcome shorter = Run("LDM 1\r\nLDM 2\r\n");
  ASSERT_TRUE(shorter.Completed());
  EXPECT_EQ(shorter.Listing, "000    D1\r\n001    D2\r\n");
  EXPECT_EQ(Image(), (Bytes{0xD1, 0xD2}));
  // The same text again gives the same listing: no label is added to a resolved byte twice.
  EXPECT_EQ(Run(longer).Listing, Run(longer).Listing);
}

} // namespace
