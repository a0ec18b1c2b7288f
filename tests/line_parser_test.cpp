#include "translate/instruction_table.h"
#include "translate/line_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using translate::AsmLine;
using translate::ParseLine;

class LineParser : public ::testing::Test {
protected:
  void SetUp() override { translate::LoadMnemonicTable(); }
};

AsmLine Record(int kind, int byte1, int byte2, bool twoByte, const std::string& text = "") {
  AsmLine record;
  record.Kind = static_cast<std::int16_t>(kind);
  record.Byte1 = static_cast<std::int16_t>(byte1);
  record.Byte2 = static_cast<std::int16_t>(byte2);
  record.IsTwoByte = twoByte;
  record.Text = text;
  return record;
}

AsmLine Label(const std::string& name) { return Record(translate::kLabelKind, 0, 0, false, name); }
AsmLine Blank() { return Record(translate::kNoInstruction, 0, 0, false); }

struct Case {
  std::string line;
  AsmLine expected;
};

void ExpectRecords(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE("line: \"" + c.line + "\"");
    EXPECT_EQ(ParseLine(c.line), c.expected);
  }
}

// Rejected lines: only the kind and the message are defined.
void ExpectMessages(const std::vector<std::pair<std::string, std::string_view>>& cases) {
  for (const auto& [line, message] : cases) {
    SCOPED_TRACE("line: \"" + line + "\"");
    const AsmLine record = ParseLine(line);
    EXPECT_EQ(record.Kind, translate::kNoInstruction);
    EXPECT_EQ(record.Text, message);
  }
}

TEST_F(LineParser, BlankLinesAndLabelDefinitions) {
  ExpectRecords({
      {"", Blank()},
      {" \t  \t", Blank()},
      {"; only a comment", Blank()},
      {"   ;NOP", Blank()},
      {"loop:", Label("LOOP")},
      {"Loop :", Label("LOOP")},
      {"LOOP: ; start", Label("LOOP")},
      {":", Label("")},
      // The colon test comes before any mnemonic test.
      {"JUN LOOP:", Label("JUNLOOP")},
      // Other characters are part of the name.
      {"my.loop_1:", Label("MY.LOOP_1")},
      {"caf\xC3\xA9:", Label("CAF\xC3\xA9")},
  });
}

TEST_F(LineParser, MnemonicIsRecognisedByTheLinesFirstCharacters) {
  ExpectRecords({
      {"nop", Record(0, 0x00, 0, false)},
      {"NOPE", Record(0, 0x00, 0, false)},
      {"N OP", Record(0, 0x00, 0, false)},
      {"\tN\tO P 5 ; anything after a fixed instruction is ignored", Record(0, 0x00, 0, false)},
      {"WR 0", Record(19, 0xE4, 0, false)},
      {"dcl", Record(44, 0xFD, 0, false)},
      // "JCN" begins with "JC": the rest is taken for the label.
      {"JCN 4, LOOP", Record(47, 0x12, 0, true, "N4,LOOP")},
  });
  ExpectMessages({
      {"LOOP: NOP", translate::kUndefinedInstruction},
      {"JMP LOOP", translate::kUndefinedInstruction},
      {"NO", translate::kUndefinedInstruction},
      {"J", translate::kUndefinedInstruction},
      {"\xE2\x82\xAC", translate::kUndefinedInstruction},
  });
}

TEST_F(LineParser, DigitOperandsAreTheFourthCharacterOnly) {
  ExpectRecords({
      {"ADD R1", Record(59, 0x80, 0, false)}, // R is not a digit and reads as 0
      {"LDM 15", Record(64, 0xD1, 0, false)}, // the 5 is ignored
      // Nothing after the mnemonic reads as 0, never as a letter of the mnemonic itself.
      {"LDM", Record(64, 0xD0, 0, false)},
      {"INC", Record(57, 0x60, 0, false)},
      {"ADD", Record(59, 0x80, 0, false)},
      {"SUB", Record(60, 0x90, 0, false)},
      {"LDA", Record(61, 0xA0, 0, false)},
      {"SRC", Record(52, 0x21, 0, false)},
      {"ldm f", Record(64, 0xDF, 0, false)},
      {"INC F", Record(57, 0x6F, 0, false)},
      {"XCH A", Record(62, 0xBA, 0, false)},
      {"BBL 0", Record(63, 0xC0, 0, false)},
      {"LDM\xE2\x82\xAC", Record(64, 0xD0, 0, false)},
  });
}

TEST_F(LineParser, RegisterPairsRunFromZeroToSeven) {
  ExpectRecords({
      {"SRC 0", Record(52, 0x21, 0, false)},
      {"SRC 7", Record(52, 0x2F, 0, false)},
      {"FIN 0", Record(53, 0x30, 0, false)},
      {"FIN 7", Record(53, 0x3E, 0, false)},
      {"JIN 7", Record(54, 0x3F, 0, false)},
      {"FIM 7, FF", Record(51, 0x2E, 0xFF, true)},
  });
  ExpectMessages({
      {"SRC 8", translate::kRegisterOutOfRange},
      {"FIN 8", translate::kRegisterOutOfRange},
      {"JIN F", translate::kRegisterOutOfRange},
      {"FIM 8, 00", translate::kRegisterOutOfRange},
      // The pair is judged before the comma is looked for.
      {"FIM 9", translate::kRegisterOutOfRange},
  });
}

TEST_F(LineParser, LabelOperands) {
  ExpectRecords({
      {"jz loop ; wait", Record(45, 0x14, 0, true, "LOOP")},
      {"jun my loop", Record(55, 0x40, 0, true, "MYLOOP")},
      {"JNZ X", Record(46, 0x1C, 0, true, "X")},
      {"JNT X", Record(50, 0x19, 0, true, "X")},
      {"JMS SUB1", Record(56, 0x50, 0, true, "SUB1")},
      {"ISZ 5, LOOP", Record(58, 0x75, 0, true, "LOOP")},
      {"ISZ F,A,B", Record(58, 0x7F, 0, true, "A,B")},
  });
  ExpectMessages({
      {"JZ", translate::kLabelMissing},
      {"JNC ; no label", translate::kLabelMissing},
      {"JUN", translate::kLabelMissing},
      {"ISZ 5 LOOP", translate::kLabelMissing},
      {"ISZ 5,", translate::kLabelMissing},
  });
}

TEST_F(LineParser, FimTakesAByteOrABracketedLabel) {
  ExpectRecords({
      {"FIM 2, 3F", Record(51, 0x24, 0x3F, true)},
      {"FIM 2,", Record(51, 0x24, 0x00, true)},
      {"FIM 2, 0FF", Record(51, 0x24, 0xFF, true)},
      {"FIM 2, 00000000000000000000FF", Record(51, 0x24, 0xFF, true)},
      // Not a digit: reads as 0. A label after FIM has to be bracketed.
      {"FIM 2, TABLE", Record(51, 0x24, 0x00, true)},
      {"FIM 2, [TABLE]", Record(51, 0x24, 0, true, "TABLE")},
      // The last character is taken for the closing bracket, whatever it is.
      {"FIM 2, [TABLE", Record(51, 0x24, 0, true, "TABL")},
      {"FIM 2, []", Record(51, 0x24, 0, true, "")},
      {"FIM 2, [AB\xE2\x82\xAC", Record(51, 0x24, 0, true, "AB")},
  });
  ExpectMessages({
      {"FIM 2", translate::kDataMissing},
      {"FIM 2, 100", translate::kDataOutOfRange},
      // Every digit run worth more than FF, whatever its length.
      {"FIM 2, 8000", translate::kDataOutOfRange},
      {"FIM 2, FFFF", translate::kDataOutOfRange},
      {"FIM 2, 10000", translate::kDataOutOfRange},
      {"FIM 2, 10000000000000000000", translate::kDataOutOfRange},
      // A bracket with nothing after it names no label.
      {"FIM 2, [", translate::kLabelMissing},
  });
}

TEST_F(LineParser, DataReadsTheTwoCharactersAfterTheDirective) {
  ExpectRecords({
      {"DATA 3F", Record(65, 0x3F, 0, false)},
      {"data ff", Record(65, 0xFF, 0, false)},
      {"DATA 5", Record(65, 0x05, 0, false)},
      {"DATA", Record(65, 0x00, 0, false)},
      {"DATA XY", Record(65, 0x00, 0, false)},
      {"DATA 123", Record(65, 0x12, 0, false)},
      {"DATA 1X", Record(65, 0x01, 0, false)},
  });
}

TEST_F(LineParser, NothingMatchesBeforeTheTableIsLoaded) {
  const translate::MnemonicTable loaded = translate::Mnemonics;
  translate::Mnemonics = {};
  const AsmLine record = ParseLine("NOP");
  translate::Mnemonics = loaded;
  EXPECT_EQ(record.Text, translate::kUndefinedInstruction);
}

} // namespace
