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

TEST_F(Limits, TablesHoldExactly2001InstructionsAnd1001Labels) {
  std::string source;
  for (int i = 0; i < 1001; ++i) {
    source += "L" + std::to_string(i) + ":\r\n";
  }
  for (int i = 0; i < 2000; ++i) {
    source += "JUN L" + std::to_string(i % 1001) + "\r\n";
  }
  // 1001 labels and 2001 instructions: both tables full.
  const std::string full = source + "NOP\r\n";
  AssemblyOutcome outcome = Run(full);
  ASSERT_TRUE(outcome.Completed()) << outcome.Message;
  EXPECT_EQ(store->InstrPos, 2000);
  EXPECT_EQ(store->LabelPos, 1000);
  EXPECT_EQ(Image().size(), 4001u);

  outcome = Run(full + "NOP\r\n");
  EXPECT_EQ(outcome.Message, "Too many instructions");
  EXPECT_EQ(outcome.Line, 3003u);
  EXPECT_FALSE(outcome.Listing);
  EXPECT_EQ(outcome.Selection->Length, 3u);
  EXPECT_EQ(store->InstrPos, 2001);

  outcome = Run(full + "EXTRA:\r\n");
  EXPECT_EQ(outcome.Message, "Too many labels");
  EXPECT_EQ(outcome.Line, 3003u);
  EXPECT_EQ(store->LabelPos, 1001);
}

TEST_F(Limits, ALabelMayFollowThe2001stInstruction) {
  std::string source;
  for (int i = 0; i < 2001; ++i) {
    source += "JUN END\r\n";
  }
  source += "END:\r\n";
  const AssemblyOutcome outcome = Run(source);
  ASSERT_TRUE(outcome.Completed()) << outcome.Message;
  EXPECT_EQ(store->Labels[0], (assembly::LabelEntry{"END", "4002"}));
  const Bytes image = Image();
  ASSERT_EQ(image.size(), 4002u);
  // 4002 is FA2: block F in the opcode, A2 in the second byte.
  EXPECT_EQ(image[0], 0x4F);
  EXPECT_EQ(image[1], 0xA2);
  EXPECT_TRUE(outcome.Listing->ends_with("FA0    4F A2\r\n"));
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
  // Fill both tables, then overflow each: the entries next to the tables' ends stay as they were.
  std::string source;
  for (int i = 0; i < 1001; ++i) {
    source += "LABEL" + std::to_string(i) + ":\r\n";
  }
  for (int i = 0; i < 2001; ++i) {
    source += "FIM 7, FF\r\n";
  }
  ASSERT_TRUE(Run(source).Completed());
  const assembly::LabelEntry firstLabel = store->Labels[0];
  const translate::AsmLine lastInstruction = store->Instructions[2000];

  EXPECT_EQ(Run(source + "DATA 01\r\nDATA 02\r\n").Message, "Too many instructions");
  EXPECT_EQ(store->Labels[0], firstLabel);
  EXPECT_EQ(store->Instructions[2000], lastInstruction);

  EXPECT_EQ(Run("EXTRA:\r\n" + source).Message, "Too many labels");
  EXPECT_EQ(store->LabelPos, 1001);
  EXPECT_EQ(store->Instructions[0].Byte1, 0x2E);
}

TEST_F(Limits, ALongerThenAShorterProgramLeavesNoStaleRecord) {
  std::string longer;
  for (int i = 0; i < 2001; ++i) {
    longer += "JUN END\r\n";
  }
  longer += "END:\r\n";
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
